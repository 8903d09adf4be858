#pragma once
// The two process-wide values of the simulator link.

#include "simlink/SimConnect.h"

// The session handle: empty until the open succeeds, then never replaced or closed.
extern HANDLE hSimConnect;
// The window the library posts its notification to.
extern HWND windowhandle;

constexpr DWORD WM_ACTIVATEAPP = 28;
constexpr DWORD WM_USER_SIMCONNECT = 0x402;  // WM_USER + 2
constexpr const char* kClientName = "Client Event";
