#pragma once
// Reading the list files: a whole file as UTF-8 text, and its lines.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace config {

// The bytes of a file as UTF-8 text. A UTF-8 byte-order mark is dropped; a UTF-16 one (as some
// editors save "Unicode" text) selects UTF-16 of that byte order. Byte sequences that are not
// valid text become U+FFFD, one per broken sequence, so the text is always valid UTF-8.
std::string decode_text(std::string_view bytes);

// Splits text into lines at CR LF, LF or CR. A break at the very end adds no empty line, so an
// empty text has no lines and "\n" has one empty line.
std::vector<std::string> split_lines(std::string_view text);

// List and Data files are a few kilobytes; anything past this is the wrong file, and reading it
// whole would stall the window or exhaust memory.
constexpr long long kMaxTextFileBytes = 16LL * 1024 * 1024;

// The whole file as text; nullopt when it cannot be read: missing, not permitted, a folder, a
// device or pipe (which could block or never end) or larger than kMaxTextFileBytes. `why`, when
// given, receives the reason in words ("No such file or directory", "Larger than 16 MB", ...).
std::optional<std::string> read_all_text(const std::string& path, std::string* why = nullptr);

// The file's lines; nullopt as for read_all_text.
std::optional<std::vector<std::string>> read_all_lines(const std::string& path,
                                                       std::string* why = nullptr);

// The message that a file cannot be read: "Cannot read file: <path> (<why>)".
std::string cannot_read_message(const std::string& path, const std::string& why);

}  // namespace config
