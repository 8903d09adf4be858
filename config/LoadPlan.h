#pragma once
// What a list load does, decided from the file texts alone: the steps in line order. The
// window carries them out in this order, so console lines, message boxes and the making of
// records interleave exactly as the lines ask.

#include <string>

namespace config {

// Only lines 0 to 99 make records: the panel addresses 100 variables and 100 events.
inline constexpr int kListLineLimit = 100;

struct ConsoleLine {
    std::string text;
    bool operator==(const ConsoleLine&) const = default;
};

// A modal message box with one OK button; the load goes on when it is closed.
struct MessageBoxShown {
    std::string text;
    std::string caption;
    bool operator==(const MessageBoxShown&) const = default;
};

}  // namespace config
