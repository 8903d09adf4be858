#pragma once
// The dispatch callback: copies the read subscription's values into the shared buffer and
// re-encodes every slot in use for the panel. Runs on the window thread inside
// SimConnect_CallDispatch; allocates nothing and writes no line.

#include "simlink/SimConnect.h"

void MyDispatchProcRD(SIMCONNECT_RECV* pData, DWORD cbData, void* pContext);

// x rounded to two decimals, an exact half going to the even neighbour; from 1e16 on, x itself.
double round_to_hundredths(double x);
