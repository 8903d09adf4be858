#pragma once
// Simulator names, unit names and settings keys compare trimmed and without regard to case.

#include <cctype>
#include <string>
#include <string_view>

namespace simlink {

// s without surrounding white space, each ASCII letter passed through fold (toupper/tolower).
inline std::string trimmed_folded(std::string_view s, int (*fold)(int)) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    std::string out;
    out.reserve(e - b);
    for (size_t i = b; i < e; ++i)
        out += static_cast<char>(fold(static_cast<unsigned char>(s[i])));
    return out;
}

inline std::string upper_trimmed(std::string_view s) {
    return trimmed_folded(s, ::toupper);
}
inline std::string lower_trimmed(std::string_view s) {
    return trimmed_folded(s, ::tolower);
}

}  // namespace simlink
