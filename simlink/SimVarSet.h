#pragma once
// A settable simulation variable: one data definition (50 + def_ID) holding one 32-bit float.

#include <atomic>
#include <cstdint>
#include <string>

class SimVarSet {
public:
    SimVarSet(int32_t in_ID, std::string SVar, std::string SUnit);

    static void clear();
    void fire(float idata) const;
    void fire(const uint8_t* ihandle, uint8_t isize) const;

    int32_t id = 0;
    const int32_t def_ID;
    const std::string SimVar;
    const std::string SimUnit;

    static std::atomic<int32_t> idcounter;
};
