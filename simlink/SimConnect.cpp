// Placeholder until the simulator layer lands: every call fails.
#include "simlink/SimConnect.h"

HRESULT SimConnect_Open(HANDLE*, const char*, HWND, DWORD, HANDLE, DWORD) { return E_FAIL; }
HRESULT SimConnect_CallDispatch(HANDLE, DispatchProc, void*) { return E_FAIL; }
