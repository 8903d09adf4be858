#include "config/EventList.h"

#include "config/ListFields.h"
#include "config/Matching.h"

namespace config {

std::vector<EventStep> plan_event_list(const std::array<std::string, 7>& categories,
                                       const std::string& params,
                                       const std::vector<std::string>& lines) {
    std::vector<EventStep> steps;
    for (size_t li = 0; li < lines.size(); ++li) {
        const auto i = static_cast<int32_t>(li);
        const auto fields = split_fields(lines[li]);
        const std::string_view name = fields[0];

        const int32_t category = find_category(categories, base_name(name));

        if (fields.size() == 2) {
            // The type is looked up as written; a blank after the comma is part of it.
            const auto pos = find_ci(params, fields[1]);
            if (category >= 0 && pos) {
                if (i < kListLineLimit) {
                    steps.push_back(ConsoleLine{"SIMEVENT : " + std::string(name)});
                    steps.push_back(
                        EventRecord{trim(name), static_cast<int32_t>(*pos + 1), i, category});
                }
            } else {
                steps.push_back(MessageBoxShown{"Wrong SimEvents: Line ?" + std::to_string(i),
                                                "Error in SimEvents file"});
            }
        } else if (fields.size() == 1) {
            if (category >= 0) {
                if (i < kListLineLimit) {
                    steps.push_back(ConsoleLine{"SIMEVENT : " + std::string(name)});
                    steps.push_back(EventRecord{trim(name), std::nullopt, i, category});
                }
            } else {
                steps.push_back(MessageBoxShown{"Wrong SimEvents: Line ? " + std::to_string(i),
                                                "Error in SimEvent file"});
            }
        }
        // Three or more fields: not an event line, dropped without a message.
    }
    return steps;
}

}  // namespace config
