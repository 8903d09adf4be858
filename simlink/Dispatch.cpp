#include "simlink/Dispatch.h"

#include <cmath>
#include <cstring>

#include "encoding/ValueWord.h"
#include "simlink/SimConnectVars.h"

double round_to_hundredths(double x) {
    if (!(std::fabs(x) < 1e16))
        return x;
    return std::nearbyint(x * 100.0) / 100.0;  // the default rounding mode sends halves to even
}

void MyDispatchProcRD(SIMCONNECT_RECV* pData, DWORD cbData, void* /*pContext*/) {
    if (cbData < 40 || pData->dwID != SIMCONNECT_RECV_ID_SIMOBJECT_DATA)
        return;
    const auto* bytes = reinterpret_cast<const unsigned char*>(pData);
    DWORD request, count;
    std::memcpy(&request, bytes + 12, sizeof request);
    if (request != 0)
        return;
    std::memcpy(&count, bytes + 36, sizeof count);
    // A define count larger than the values the message carries is never read past its end.
    const DWORD carried = (cbData - 40) / 8;
    DWORD n = count < carried ? count : carried;
    if (n > SimConnectVars::kSlots)
        n = SimConnectVars::kSlots;
    std::atomic<double>* raw = SimConnectVars::get_buffer_index();
    for (DWORD i = 0; i < n; ++i) {
        double v;
        std::memcpy(&v, bytes + 40 + 8 * i, sizeof v);
        raw[i].store(v, std::memory_order_relaxed);
    }
    int used = SimConnectVars::buffer_counter.load();
    if (used > SimConnectVars::kSlots)
        used = SimConnectVars::kSlots;
    for (int i = 0; i < used; ++i) {
        const double v = round_to_hundredths(raw[i].load(std::memory_order_relaxed));
        SimConnectVars::cvalue[i].store(Encode(v), std::memory_order_relaxed);
    }
}
