#include "simlink/Session.h"

HANDLE hSimConnect = nullptr;
HWND windowhandle = nullptr;
