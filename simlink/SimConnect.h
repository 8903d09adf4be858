#pragma once
// The simulator client interface: the eight calls Tarnwell makes, their constants, and the
// layout of the messages it receives. Written for this program; behind it sits one of the
// simulators chosen by simlink/SimulatorChoice.h (the embedded aircraft by default).

#include <cstddef>
#include <cstdint>

using HRESULT = int32_t;
using DWORD = uint32_t;
using HANDLE = void*;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

// Where the library posts its notification that messages are waiting. The window implements it
// and turns the post into a message on its own thread.
class NotifyTarget {
public:
    virtual void post_message(DWORD message) = 0;

protected:
    ~NotifyTarget() = default;
};
using HWND = NotifyTarget*;

enum SIMCONNECT_DATATYPE : DWORD {
    SIMCONNECT_DATATYPE_FLOAT32 = 3,
    SIMCONNECT_DATATYPE_FLOAT64 = 4
};
enum SIMCONNECT_PERIOD : DWORD { SIMCONNECT_PERIOD_NEVER = 0, SIMCONNECT_PERIOD_SIM_FRAME = 3 };
constexpr DWORD SIMCONNECT_DATA_REQUEST_FLAG_CHANGED = 1;
constexpr DWORD SIMCONNECT_OBJECT_ID_USER = 0;
constexpr DWORD SIMCONNECT_UNUSED = 0xFFFFFFFFu;
constexpr DWORD SIMCONNECT_GROUP_PRIORITY_HIGHEST = 1;
constexpr DWORD SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY = 16;

enum SIMCONNECT_RECV_ID : DWORD {
    SIMCONNECT_RECV_ID_OPEN = 2,
    SIMCONNECT_RECV_ID_SIMOBJECT_DATA = 8
};

// Every message starts with these three fields.
struct SIMCONNECT_RECV {
    DWORD dwSize;
    DWORD dwVersion;
    DWORD dwID;
};

// Kind 8: the request id at byte 12, the define count at byte 36, the values from byte 40.
struct SIMCONNECT_RECV_SIMOBJECT_DATA {
    DWORD dwSize;
    DWORD dwVersion;
    DWORD dwID;
    DWORD dwRequestID;
    DWORD dwObjectID;
    DWORD dwDefineID;
    DWORD dwFlags;
    DWORD dwentrynumber;
    DWORD dwoutof;
    DWORD dwDefineCount;
    double dwData[1];  // dwDefineCount values follow, in definition order
};
static_assert(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwRequestID) == 12);
static_assert(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwDefineCount) == 36);
static_assert(offsetof(SIMCONNECT_RECV_SIMOBJECT_DATA, dwData) == 40);

using DispatchProc = void (*)(SIMCONNECT_RECV* pData, DWORD cbData, void* pContext);

HRESULT SimConnect_Open(HANDLE* phSimConnect, const char* szName, HWND hWnd, DWORD UserEventWin32,
                        HANDLE hEventHandle, DWORD ConfigIndex);
HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext);
HRESULT SimConnect_AddToDataDefinition(HANDLE hSimConnect, DWORD DefineID, const char* DatumName,
                                       const char* UnitsName, DWORD DatumType, float fEpsilon,
                                       DWORD DatumID);
HRESULT SimConnect_ClearDataDefinition(HANDLE hSimConnect, DWORD DefineID);
HRESULT SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, DWORD RequestID, DWORD DefineID,
                                          DWORD ObjectID, DWORD Period, DWORD Flags, DWORD origin,
                                          DWORD interval, DWORD limit);
HRESULT SimConnect_SetDataOnSimObject(HANDLE hSimConnect, DWORD DefineID, DWORD ObjectID,
                                      DWORD Flags, DWORD ArrayCount, DWORD cbUnitSize,
                                      void* pDataSet);
HRESULT SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect, DWORD EventID,
                                            const char* EventName);
HRESULT SimConnect_TransmitClientEvent(HANDLE hSimConnect, DWORD ObjectID, DWORD EventID,
                                       DWORD dwData, DWORD GroupID, DWORD Flags);
