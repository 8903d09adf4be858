#include "config/Matching.h"

#include <algorithm>

namespace config {

namespace {

char fold(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::optional<size_t> find_ci(std::string_view text, std::string_view needle) {
    auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                          [](char a, char b) { return fold(a) == fold(b); });
    if (it == text.end() && !needle.empty())
        return std::nullopt;
    // A needle of valid UTF-8 starts on a character boundary, so counting the bytes that start a
    // character gives the character position.
    const size_t bytes = static_cast<size_t>(it - text.begin());
    return static_cast<size_t>(std::count_if(text.begin(), text.begin() + bytes, [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace config
