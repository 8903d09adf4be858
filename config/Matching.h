#pragma once
// Looking names up in the category, unit and parameter-type files. Those files have no structure
// of their own: a name is accepted wherever it occurs, also inside a longer word or across lines.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace config {

// Position of the first occurrence of `needle` in `text`, comparing without regard to letter
// case and without culture rules, or nullopt. The position counts characters (code points), not
// bytes. An empty needle occurs in every text, an empty one included, at position 0.
// Case folding covers the ASCII letters; other characters must match exactly (the simulator's
// variable, unit and event names are ASCII).
std::optional<size_t> find_ci(std::string_view text, std::string_view needle);

inline bool occurs_in(std::string_view needle, std::string_view text) {
    return find_ci(text, needle).has_value();
}

// The category (0 to 6) of the first category file in which the name occurs: when a name occurs
// in several files the first one wins. -1 when no file knows it.
inline int32_t find_category(const std::array<std::string, 7>& categories, std::string_view name) {
    for (size_t k = 0; k < categories.size(); ++k)
        if (occurs_in(name, categories[k]))
            return static_cast<int32_t>(k);
    return -1;
}

}  // namespace config
