#pragma once
// Turns a variable list file into readable and settable variables, checked against the seven
// category files and the units file.

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "config/LoadPlan.h"

namespace config {

// Relative to the current directory, in category order 0 to 6.
inline constexpr std::array<const char*, 7> kVariableCategoryFiles = {
    "Data/Variable_List/Lights.var",      "Data/Variable_List/Aircraft.var",
    "Data/Variable_List/Autopilot.var",   "Data/Variable_List/Avionics.var",
    "Data/Variable_List/Instruments.var", "Data/Variable_List/Fuel.var",
    "Data/Variable_List/Misc.var"};
inline constexpr const char* kVariableUnitsFile = "Data/Variable_List/VariableUnits";

// SimConnectVars(SimVar, SimUnit, var_type)
struct ReadableVariable {
    std::string SimVar;
    std::string SimUnit;
    int32_t var_type = 0;
    bool operator==(const ReadableVariable&) const = default;
};

// SimVarSet(line, SimVar, SimUnit)
struct SettableVariable {
    int32_t line = 0;
    std::string SimVar;
    std::string SimUnit;
    bool operator==(const SettableVariable&) const = default;
};

using VariableStep = std::variant<ConsoleLine, MessageBoxShown, ReadableVariable, SettableVariable>;

// `categories` holds the texts of the category files in category order, `units` the units file.
std::vector<VariableStep> plan_variable_list(const std::array<std::string, 7>& categories,
                                             const std::string& units,
                                             const std::vector<std::string>& lines);

}  // namespace config
