#pragma once
// The fields of one list line: split at every comma, no quoting; empty fields count.

#include <string>
#include <string_view>
#include <vector>

namespace config {

// At least one field: a blank line is one empty field, a trailing comma adds an empty one.
std::vector<std::string_view> split_fields(std::string_view line);

// The part of a name field before the first ':' (the whole field when there is none).
std::string_view base_name(std::string_view field);

// The field without white space at both ends (Unicode white space, e.g. tabs and no-break
// spaces as well as blanks).
std::string trim(std::string_view field);

}  // namespace config
