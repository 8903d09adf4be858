#include "config/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace config {

namespace {

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

// Copies valid UTF-8 through and replaces each broken sequence (the lead byte and whatever
// continuation bytes fitted it) by one U+FFFD.
std::string from_utf8(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    size_t i = 0;
    while (i < in.size()) {
        const auto b = static_cast<uint8_t>(in[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        int need = 0;
        uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the first continuation byte
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            if (b == 0xE0)
                lo = 0xA0;  // no overlong forms
            if (b == 0xED)
                hi = 0x9F;  // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            if (b == 0xF0)
                lo = 0x90;
            if (b == 0xF4)
                hi = 0x8F;  // nothing above U+10FFFF
        } else {
            append_utf8(out, kReplacement);
            ++i;
            continue;
        }
        size_t j = i + 1;
        int got = 0;
        while (got < need && j < in.size()) {
            const auto c = static_cast<uint8_t>(in[j]);
            const bool fits = got == 0 ? (c >= lo && c <= hi) : (c >= 0x80 && c <= 0xBF);
            if (!fits)
                break;
            ++got;
            ++j;
        }
        if (got == need)
            out.append(in.substr(i, j - i));
        else
            append_utf8(out, kReplacement);
        i = j;
    }
    return out;
}

std::string from_utf16(std::string_view in, bool big_endian) {
    std::string out;
    out.reserve(in.size());
    auto unit = [&](size_t k) -> char16_t {
        const auto a = static_cast<uint8_t>(in[k]);
        const auto b = static_cast<uint8_t>(in[k + 1]);
        return static_cast<char16_t>(big_endian ? (a << 8) | b : (b << 8) | a);
    };
    size_t k = 0;
    while (k + 1 < in.size()) {
        const char16_t u = unit(k);
        k += 2;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (k + 1 < in.size()) {
                const char16_t v = unit(k);
                if (v >= 0xDC00 && v <= 0xDFFF) {
                    k += 2;
                    append_utf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (v - 0xDC00));
                    continue;
                }
            }
            append_utf8(out, kReplacement);
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            append_utf8(out, kReplacement);
        } else {
            append_utf8(out, u);
        }
    }
    if (k < in.size())
        append_utf8(out, kReplacement);  // odd trailing byte
    return out;
}

}  // namespace

std::string decode_text(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return from_utf8(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE"))
        return from_utf16(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF"))
        return from_utf16(bytes.substr(2), true);
    return from_utf8(bytes);
}

std::vector<std::string> split_lines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

std::optional<std::string> read_all_text(const std::string& path, std::string* why) {
    auto fail = [&](const std::string& reason) -> std::optional<std::string> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    auto fail_errno = [&] { return fail(std::generic_category().message(errno)); };
    // Non-blocking, so that a pipe chosen by mistake cannot hold the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail_errno();
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fail_errno();
    if (S_ISDIR(st.st_mode))
        return fail(std::generic_category().message(EISDIR));
    if (!S_ISREG(st.st_mode))
        return fail("Not a regular file");
    auto fail_too_large = [&] {
        return fail("Larger than " + std::to_string(kMaxTextFileBytes / (1024 * 1024)) + " MB");
    };
    if (st.st_size > kMaxTextFileBytes)
        return fail_too_large();
    std::string bytes;
    bytes.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail_errno();
        if (got == 0)
            break;
        bytes.append(buf, static_cast<size_t>(got));
        // The file may grow while it is read.
        if (static_cast<long long>(bytes.size()) > kMaxTextFileBytes)
            return fail_too_large();
    }
    return decode_text(bytes);
}

std::optional<std::vector<std::string>> read_all_lines(const std::string& path, std::string* why) {
    auto text = read_all_text(path, why);
    if (!text)
        return std::nullopt;
    return split_lines(*text);
}

std::string cannot_read_message(const std::string& path, const std::string& why) {
    return "Cannot read file: " + path + " (" + why + ")";
}

}  // namespace config
