#pragma once
// A simulator event, registered under its client event id when the record is made.

#include <atomic>
#include <cstdint>
#include <string>

class SimEventRequest {
public:
    SimEventRequest(std::string SEv, int32_t iparam_type, int32_t ev_id, int32_t vtype);
    SimEventRequest(std::string SEv, int32_t ev_id, int32_t vtype);

    static void clear();
    void fire() const;
    void fire(float data) const;
    void fire(const uint8_t* ihandle, uint8_t isize) const;
    static int32_t dec2bcd(float idec);

    int32_t id = 0;
    int32_t ev_ID = 0;
    bool active = true;
    std::string SimEvent;
    int32_t param_type = 0;
    bool accepts_params = false;
    int32_t var_type = 0;

    static std::atomic<int32_t> idcounter;
};
