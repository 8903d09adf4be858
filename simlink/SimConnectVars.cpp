#include "simlink/SimConnectVars.h"

#include <utility>

std::atomic<int32_t> SimConnectVars::idcounter{0};
std::atomic<int32_t> SimConnectVars::buffer_counter{0};
std::atomic<double> SimConnectVars::dvalue[SimConnectVars::kSlots];
std::atomic<uint16_t> SimConnectVars::cvalue[SimConnectVars::kSlots];
std::atomic<uint64_t> SimConnectVars::generation{1};

SimConnectVars::SimConnectVars(std::string SVar, std::string SUnit, int32_t vtype)
    : SimVar(std::move(SVar)), SimUnit(std::move(SUnit)), var_type(vtype) {
    id = idcounter.fetch_add(1);
}

void SimConnectVars::clear() {
    idcounter = 0;
    buffer_counter = 0;
    begin_subscription();
}

void SimConnectVars::begin_subscription() {
    generation.fetch_add(1);
}

void SimConnectVars::set_data_buffer(int32_t d_index) {
    const auto slot = static_cast<uint16_t>(d_index);
    index = slot;
    cindex = slot;
    q_id = d_index;
    slot_.store((generation.load() << 16) | slot);
    buffer_counter = d_index + 1;
    subscribed = true;
}

void SimConnectVars::reset() {
    index = 0;
    cindex = 0;
    q_id = 0;
    slot_.store(0);
}

bool SimConnectVars::own_slot(uint16_t& slot) const {
    const uint64_t s = slot_.load();
    if (s == 0 || (s >> 16) != generation.load())
        return false;
    slot = static_cast<uint16_t>(s & 0xFFFF);
    return slot < kSlots;
}

double SimConnectVars::get_double() const {
    uint16_t slot;
    if (!subscribed || !own_slot(slot))
        return 0.0;
    return dvalue[slot].load(std::memory_order_relaxed);
}

uint16_t SimConnectVars::get_data() const {
    uint16_t slot;
    if (!active || !own_slot(slot))
        return 0;
    return cvalue[slot].load(std::memory_order_relaxed);
}
