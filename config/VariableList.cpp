#include "config/VariableList.h"

#include "config/ListFields.h"
#include "config/Matching.h"

namespace config {

std::vector<VariableStep> plan_variable_list(const std::array<std::string, 7>& categories,
                                             const std::string& units,
                                             const std::vector<std::string>& lines) {
    std::vector<VariableStep> steps;
    for (size_t li = 0; li < lines.size(); ++li) {
        const auto i = static_cast<int32_t>(li);
        const auto fields = split_fields(lines[li]);
        const std::string_view name = fields[0];

        const int32_t category = find_category(categories, base_name(name));

        if (fields.size() < 2) {
            steps.push_back(MessageBoxShown{
                "Too few items in a line: " + std::to_string(i) + " " + std::string(name),
                "Error in SimVar file"});
            continue;
        }
        // The unit is looked up as written: a blank after the comma must be in the units file.
        const bool unit_known = occurs_in(fields[1], units);
        if (category >= 0 && unit_known) {
            if (i < kListLineLimit) {
                steps.push_back(ConsoleLine{"SIMVAR : " + std::string(name)});
                steps.push_back(ReadableVariable{trim(name), trim(fields[1]), category});
            }
        } else {
            steps.push_back(MessageBoxShown{"Wrong SimVar: Line ?" + std::to_string(i),
                                            "Error in SimVars file"});
        }
        // A third field marks the variable settable, whether or not it is readable.
        if (fields.size() == 3 && i < kListLineLimit) {
            steps.push_back(ConsoleLine{"SIMVARSET : " + std::string(name)});
            steps.push_back(SettableVariable{i, trim(name), trim(fields[1])});
        }
    }
    return steps;
}

}  // namespace config
