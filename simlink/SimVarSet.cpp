#include "simlink/SimVarSet.h"

#include <array>
#include <cstring>
#include <utility>

#include "app/Console.h"
#include "simlink/ParamBlock.h"
#include "simlink/Session.h"

std::atomic<int32_t> SimVarSet::idcounter{0};

SimVarSet::SimVarSet(int32_t in_ID, std::string SVar, std::string SUnit)
    : def_ID(in_ID), SimVar(std::move(SVar)), SimUnit(std::move(SUnit)) {
    id = idcounter.fetch_add(1);
}

void SimVarSet::clear() {
    idcounter = 0;
}

void SimVarSet::fire(float idata) const {
    console::write("Firing SimVarSet ", SimVar, " ", def_ID, " --> ", idata);
    float value = idata;
    if (SimConnect_SetDataOnSimObject(hSimConnect, static_cast<DWORD>(def_ID + 50),
                                      SIMCONNECT_OBJECT_ID_USER, 0, 0, sizeof value,
                                      &value) == E_FAIL)
        console::write("SimVarSet FAILED at id: ", def_ID, " -> ", SimVar);
}

void SimVarSet::fire(const uint8_t* ihandle, uint8_t isize) const {
    console::write("Firing SimVarSet ", SimVar, " ", def_ID, " --> ",
                   simlink::param_block_value(ihandle, isize));
    // The block goes out whole with its own length, even when the definition holds fewer bytes;
    // it is copied so that the library gets a buffer it may treat as its own.
    std::array<uint8_t, 256> data{};
    if (ihandle && isize)
        std::memcpy(data.data(), ihandle, isize);
    if (SimConnect_SetDataOnSimObject(hSimConnect, static_cast<DWORD>(def_ID + 50),
                                      SIMCONNECT_OBJECT_ID_USER, 0, 0, isize,
                                      data.data()) == E_FAIL)
        console::write("SimVarSet FAILED at id: ", def_ID, " -> ", SimVar);
}
