// The list files as text: decoding, lines, fields and the name lookups.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "config/ListFields.h"
#include "config/Matching.h"
#include "config/TextFile.h"

namespace {

using Lines = std::vector<std::string>;

TEST(TextFile, DecodesUtf8AndDropsOrHonoursTheByteOrderMark) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string text;
    } cases[] = {
        {"plain", "AP_MASTER", "AP_MASTER"},
        {"utf-8 mark dropped",
         "\xEF\xBB\xBF"
         "AP_MASTER",
         "AP_MASTER"},
        {"mark only", "\xEF\xBB\xBF", ""},
        {"mark kept when not at the start", "a\xEF\xBB\xBF", "a\xEF\xBB\xBF"},
        {"utf-16 little endian",
         std::string("\xFF\xFE"
                     "A\0\xE9\0",
                     6),
         "A\xC3\xA9"},
        {"utf-16 big endian", std::string("\xFE\xFF\0A\0\n", 6), "A\n"},
        {"utf-16 surrogate pair", std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), "\xF0\x9F\x98\x80"},
        {"stray byte",
         "a\xFF"
         "b",
         "a\xEF\xBF\xBD"
         "b"},
        {"cut sequence", "a\xC3", "a\xEF\xBF\xBD"},
        {"overlong form", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"valid multibyte kept", "\xC3\xA9\xE2\x82\xAC", "\xC3\xA9\xE2\x82\xAC"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(config::decode_text(c.bytes), c.text) << c.what;
}

TEST(TextFile, SplitsAtEveryKindOfLineBreakWithoutAnExtraLineAtTheEnd) {
    struct Case {
        const char* text;
        Lines lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"\n", {""}},
        {"a\r\nb", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"a\r\n\r\n", {"a", ""}},
        {"\r\r\n", {"", ""}},
        {"\n\r", {"", ""}},
        {"a\n\n", {"a", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(config::split_lines(c.text), c.lines) << c.text;
}

class TextFileOnDisk : public ::testing::Test {
protected:
    std::filesystem::path dir = std::filesystem::current_path() / "textfile_fixtures";
    void SetUp() override { std::filesystem::create_directories(dir); }
    std::string write(const char* name, std::string_view bytes) {
        std::ofstream(dir / name, std::ios::binary).write(bytes.data(), bytes.size());
        return (dir / name).string();
    }
};

TEST_F(TextFileOnDisk, ReadsLinesOfAFileWithMarkAndCrLf) {
    auto path = write("list.txt",
                      "\xEF\xBB\xBF"
                      "LIGHT LANDING,bool\r\n\r\nFLAPS,percent\r\n");
    EXPECT_EQ(config::read_all_lines(path), (Lines{"LIGHT LANDING,bool", "", "FLAPS,percent"}));
    EXPECT_EQ(config::read_all_text(path), "LIGHT LANDING,bool\r\n\r\nFLAPS,percent\r\n");
}

// Whatever the user picks, the read ends at once with a reason: nothing blocks on a pipe, runs
// on without end on a device, or fills memory with a file far larger than any list.
TEST_F(TextFileOnDisk, FilesThatAreNoListAreRefusedWithAReason) {
    const std::string fifo = (dir / "pipe").string();
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto sized = [&](const char* name, long long size) {
        const std::string path = write(name, "");
        std::filesystem::resize_file(path, static_cast<uintmax_t>(size));  // sparse, so cheap
        return path;
    };
    const std::string unreadable = write("unreadable", "LIGHT LANDING,bool\n");
    std::filesystem::permissions(unreadable, std::filesystem::perms::none);
    struct Case {
        std::string path;
        const char* why;
    } cases[] = {
        {(dir / "absent").string(), "No such file or directory"},
        {dir.string(), "Is a directory"},
        {fifo, "Not a regular file"},
        {"/dev/zero", "Not a regular file"},
        {sized("huge", config::kMaxTextFileBytes + 1), "Larger than 16 MB"},
        {unreadable, "Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        if (c.path == unreadable && ::geteuid() == 0)
            continue;  // root reads it anyway
        std::string why;
        EXPECT_EQ(config::read_all_text(c.path, &why), std::nullopt);
        EXPECT_EQ(why, c.why);
        why.clear();
        EXPECT_EQ(config::read_all_lines(c.path, &why), std::nullopt);
        EXPECT_EQ(why, c.why);
    }
    EXPECT_EQ(config::read_all_lines(write("empty", "")), Lines{});
    // The largest file allowed is read whole (here, NUL bytes kept as text).
    const auto largest = config::read_all_text(sized("largest", config::kMaxTextFileBytes));
    ASSERT_TRUE(largest);
    EXPECT_EQ(static_cast<long long>(largest->size()), config::kMaxTextFileBytes);
    EXPECT_EQ(config::cannot_read_message("/x/list.txt", "Is a directory"),
              "Cannot read file: /x/list.txt (Is a directory)");
}

TEST(Matching, FindsOrdinalCaseInsensitiveOverTheWholeText) {
    struct Case {
        std::string_view text, needle;
        std::optional<size_t> pos;
    } cases[] = {
        {"BCD16\nUINT32", "", 0},
        {"", "", 0},
        {"", "a", std::nullopt},
        {"BCD16\nUINT32", "bcd16", 0},
        {"BCD16\nUINT32", "bc", 0},
        {"BCD16\nUINT32", "uint32", 6},
        {"BCD16\nUINT32", "INT32", 7},
        {"BCD16\nUINT32", " UINT32", std::nullopt},
        {"BCD16\nUINT32", "16\nuint", 3},  // across a line break
        {"xx", "xxx", std::nullopt},
        {"LIGHT LANDING", "light landing", 0},
        {"[]^_`{", "{", 5},  // only letters fold: '[' is not '{'
        {"@", "`", std::nullopt},
        {"\xC3\xA9-BCD", "bcd", 2},              // characters, not bytes, before the match
        {"\xC3\x89", "\xC3\xA9", std::nullopt},  // non-ASCII letters compare exactly
    };
    for (const auto& c : cases)
        EXPECT_EQ(config::find_ci(c.text, c.needle), c.pos)
            << '"' << c.needle << "\" in \"" << c.text << '"';
}

TEST(ListFields, SplitsAtEveryCommaAndKeepsEmptyFields) {
    using Fields = std::vector<std::string_view>;
    EXPECT_EQ(config::split_fields(""), Fields{""});
    EXPECT_EQ(config::split_fields("A"), Fields{"A"});
    EXPECT_EQ(config::split_fields("A, feet"), (Fields{"A", " feet"}));
    EXPECT_EQ(config::split_fields("A,feet,"), (Fields{"A", "feet", ""}));
    EXPECT_EQ(config::split_fields(",,"), (Fields{"", "", ""}));
}

TEST(ListFields, BaseNameAndTrim) {
    EXPECT_EQ(config::base_name("NAV ACTIVE FREQUENCY:1"), "NAV ACTIVE FREQUENCY");
    EXPECT_EQ(config::base_name("A:1:2"), "A");
    EXPECT_EQ(config::base_name(":1"), "");
    EXPECT_EQ(config::base_name("A"), "A");
    struct Case {
        std::string_view in, out;
    } cases[] = {
        {"  a b  ", "a b"},
        {"", ""},
        {" \t ", ""},
        {"\xC2\xA0x\xE3\x80\x80", "x"},  // no-break, ideographic
        {"\xC3\xA9 ", "\xC3\xA9"},
        {"x\xC2\xA9", "x\xC2\xA9"},  // (c) sign is no space
    };
    for (const auto& c : cases)
        EXPECT_EQ(config::trim(c.in), c.out) << c.in;
}

}  // namespace
