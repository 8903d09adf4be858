#pragma once
// Turns an event list file into events, checked against the seven event category files and the
// parameter-type file.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "config/LoadPlan.h"

namespace config {

// Relative to the current directory, in category order 0 to 6.
inline constexpr std::array<const char*, 7> kEventCategoryFiles = {
    "Data/Events_List/Lights.evt",      "Data/Events_List/Aircraft.evt",
    "Data/Events_List/Autopilot.evt",   "Data/Events_List/Avionics.evt",
    "Data/Events_List/Instruments.evt", "Data/Events_List/Fuel.evt",
    "Data/Events_List/Misc.evt"};
inline constexpr const char* kEventParamsFile = "Data/Events_List/EventParams";

// SimEventRequest(SimEvent, *param_type, ev_ID, var_type) when the line names a parameter type,
// SimEventRequest(SimEvent, ev_ID, var_type) otherwise. param_type is 1 + the type's position in
// the parameter-type file, so 1 (packed decimal) for the type at its very start.
struct EventRecord {
    std::string SimEvent;
    std::optional<int32_t> param_type;
    int32_t ev_ID = 0;
    int32_t var_type = 0;
    bool operator==(const EventRecord&) const = default;
};

using EventStep = std::variant<ConsoleLine, MessageBoxShown, EventRecord>;

std::vector<EventStep> plan_event_list(const std::array<std::string, 7>& categories,
                                       const std::string& params,
                                       const std::vector<std::string>& lines);

}  // namespace config
