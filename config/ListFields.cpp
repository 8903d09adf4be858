#include "config/ListFields.h"

#include <cstdint>

namespace config {

namespace {

bool is_space(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

// The code point that starts at s[i] and its length in bytes (text is valid UTF-8).
char32_t decode_at(std::string_view s, size_t i, size_t& len) {
    const auto b = static_cast<uint8_t>(s[i]);
    len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (i + len > s.size()) {
        len = 1;
        return b;
    }
    if (len == 1)
        return b;
    char32_t c = b & (0x7F >> len);
    for (size_t k = 1; k < len; ++k)
        c = (c << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
    return c;
}

}  // namespace

std::vector<std::string_view> split_fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t comma; (comma = line.find(',', start)) != std::string_view::npos; start = comma + 1)
        fields.push_back(line.substr(start, comma - start));
    fields.push_back(line.substr(start));
    return fields;
}

std::string_view base_name(std::string_view field) {
    return field.substr(0, field.find(':'));
}

std::string trim(std::string_view field) {
    size_t begin = 0, len = 0;
    while (begin < field.size() && is_space(decode_at(field, begin, len)))
        begin += len;
    size_t end = field.size();
    while (end > begin) {
        size_t start = end - 1;  // step back to the start of the last character
        while (start > begin && (static_cast<uint8_t>(field[start]) & 0xC0) == 0x80)
            --start;
        if (!is_space(decode_at(field, start, len)) || start + len != end)
            break;
        end = start;
    }
    return std::string(field.substr(begin, end - begin));
}

}  // namespace config
