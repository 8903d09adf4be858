#pragma once
// One readable simulation variable, and the value buffer of 100 slots that all of them share.
// The dispatch writes the slots on the window thread while the receive thread reads them, so
// every field and slot is an atomic read and written whole.

#include <atomic>
#include <cstdint>
#include <string>

class SimConnectVars {
public:
    static constexpr int kSlots = 100;

    SimConnectVars(std::string SVar, std::string SUnit, int32_t vtype);

    static void clear();
    static std::atomic<double>* get_buffer_index() { return dvalue; }

    void set_data_buffer(int32_t d_index);
    void reset();
    double get_double() const;
    uint16_t get_data() const;

    // Starts a new read subscription: slots given out before it no longer belong to anybody,
    // so a record reads its slot only once this subscription has given it one.
    static void begin_subscription();

    int32_t id = 0;
    std::atomic<int32_t> q_id{0};
    int32_t def_ID = 0;
    std::atomic<bool> active{false};
    std::atomic<bool> subscribed{false};
    const std::string SimVar;
    const std::string SimUnit;
    int32_t req_ID = 0;
    uint16_t ValueC = 0;
    std::atomic<uint16_t> index{0};
    std::atomic<uint16_t> cindex{0};
    const int32_t var_type;

    static std::atomic<int32_t> idcounter;
    static std::atomic<int32_t> buffer_counter;
    static std::atomic<double> dvalue[kSlots];
    static std::atomic<uint16_t> cvalue[kSlots];

private:
    // The slot and the subscription that gave it, in one word so that a reader never pairs a
    // slot with the wrong subscription: (generation << 16) | slot; 0 means none.
    std::atomic<uint64_t> slot_{0};
    bool own_slot(uint16_t& slot) const;

    static std::atomic<uint64_t> generation;
};
