#include "simlink/SimEventRequest.h"

#include <cmath>
#include <utility>

#include "app/Console.h"
#include "simlink/ParamBlock.h"
#include "simlink/Session.h"

std::atomic<int32_t> SimEventRequest::idcounter{0};

namespace {

// Whole part of a magnitude as a 32-bit unsigned number; NaN gives 0, larger values saturate.
uint32_t whole_of(float magnitude) {
    if (!(magnitude >= 1.0f))
        return 0;
    if (magnitude >= 4294967295.0f)
        return 0xFFFFFFFFu;
    return static_cast<uint32_t>(magnitude);
}

// Truncated toward zero, low 16 bits kept; out of any integer's range gives 0.
uint32_t low16_of(double x) {
    if (!(std::fabs(x) < 9.0e18))
        return 0;
    return static_cast<uint16_t>(static_cast<uint64_t>(static_cast<int64_t>(x)));
}

}  // namespace

SimEventRequest::SimEventRequest(std::string SEv, int32_t iparam_type, int32_t ev_id, int32_t vtype)
    : ev_ID(ev_id),
      active(true),
      SimEvent(std::move(SEv)),
      param_type(iparam_type),
      accepts_params(false),
      var_type(vtype) {
    id = idcounter.load();
    SimConnect_MapClientEventToSimEvent(hSimConnect, static_cast<DWORD>(ev_ID), SimEvent.c_str());
    idcounter.fetch_add(1);
    accepts_params = true;
}

SimEventRequest::SimEventRequest(std::string SEv, int32_t ev_id, int32_t vtype)
    : ev_ID(ev_id), active(true), SimEvent(std::move(SEv)), param_type(0), var_type(vtype) {
    id = idcounter.load();
    SimConnect_MapClientEventToSimEvent(hSimConnect, static_cast<DWORD>(ev_ID), SimEvent.c_str());
    idcounter.fetch_add(1);
}

void SimEventRequest::clear() {
    idcounter = 0;
}

namespace {

void transmit(const SimEventRequest& ev, DWORD data) {
    if (SimConnect_TransmitClientEvent(
            hSimConnect, SIMCONNECT_OBJECT_ID_USER, static_cast<DWORD>(ev.ev_ID), data,
            SIMCONNECT_GROUP_PRIORITY_HIGHEST, SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY) == E_FAIL)
        console::write("SimEvent FAILED at id: ", ev.id, " -> ", ev.SimEvent);
}

}  // namespace

void SimEventRequest::fire() const {
    console::write("Firing SimEvent ", SimEvent, " ", id);
    transmit(*this, 0);
}

void SimEventRequest::fire(float data) const {
    console::write("Firing SimEvent ", SimEvent, " ", id, " --> ", data);
    if (param_type == 1)
        data = static_cast<float>(dec2bcd(data));
    transmit(*this, simlink::event_data_word(data));
}

void SimEventRequest::fire(const uint8_t* ihandle, uint8_t isize) const {
    float v = simlink::param_block_value(ihandle, isize);
    console::write("Firing SimEvent ", SimEvent, " ", id, " --> ", v);
    console::write("Before -> ", v);
    if (param_type == 1)
        v = static_cast<float>(dec2bcd(v));
    console::write("After -> ", v);
    transmit(*this, simlink::event_data_word(v));
}

int32_t SimEventRequest::dec2bcd(float idec) {
    console::write("idec ", idec);
    const uint32_t whole = whole_of(std::fabs(idec));
    console::write("idec ", idec);
    const uint32_t hundred = whole * 100u;  // wraps, like every 32-bit step here
    // A negative value takes its hundredths from its magnitude, so that -122.8 packs like 122.8
    // (the packed form has no sign).
    const double scaled = static_cast<double>(std::fabs(idec)) * 100.0;
    const uint32_t hundredths = low16_of(scaled - static_cast<double>(static_cast<float>(hundred)));
    uint32_t combined;
    if (hundredths == 0)
        combined = whole;
    else if (hundredths < 10)
        combined = whole * 10u + hundredths;
    else
        combined = hundred + hundredths;
    uint32_t n = combined & 0xFFFFu;
    uint32_t result = 0;
    for (int shift = 0; n != 0; shift += 4) {
        result += (n % 10u) << shift;
        n /= 10u;
    }
    return static_cast<int32_t>(result);
}
