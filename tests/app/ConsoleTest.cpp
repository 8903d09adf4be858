#include "app/Console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

class SeparatorGuard {
public:
    SeparatorGuard() : saved_(console::decimal_separator()) {}
    ~SeparatorGuard() { console::set_decimal_separator(saved_); }

private:
    char saved_;
};

TEST(Console, NumbersInTheirDefaultTextForm) {
    SeparatorGuard guard;
    console::set_decimal_separator('.');
    struct Case {
        std::string got, want;
    } cases[] = {
        {console::text(1.0f), "1"},
        {console::text(122.8f), "122.8"},
        {console::text(124.85f), "124.85"},  // held as 124.8499985, shown with 7 digits
        {console::text(0.1), "0.1"},
        {console::text(2.5), "2.5"},
        {console::text(1.0 / 3), "0.333333333333333"},
        {console::text(1.0f / 3), "0.3333333"},
        {console::text(uint8_t{200}), "200"},  // a byte is a number, not a character
        {console::text(int32_t{-7}), "-7"},
        {console::text(uint32_t{4294967295u}), "4294967295"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.want);
}

TEST(Console, FloatsTakeTheUsersDecimalSeparator) {
    SeparatorGuard guard;
    console::set_decimal_separator(',');
    EXPECT_EQ(console::text(2.5f), "2,5");
    EXPECT_EQ(console::text(0.25), "0,25");
    EXPECT_EQ(console::text(1000), "1000");  // integers carry no grouping
}

TEST(Console, WriteJoinsPartsWithNothingBetween) {
    std::vector<std::string> lines;
    console::Capture capture([&](std::string_view s) { lines.emplace_back(s); });
    console::set_stdout_enabled(false);
    console::write("Firing SimEvent ", std::string("GEAR_TOGGLE"), " ", 4, " --> ", 0.0f);
    console::set_stdout_enabled(true);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "Firing SimEvent GEAR_TOGGLE 4 --> 0");
}

// Many threads writing at once: every line on standard output arrives whole.
TEST(Console, LinesFromManyThreadsAreNeverSplit) {
    char path[] = "/tmp/tarnwell-console-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::fflush(stdout);
    const int saved = dup(1);
    dup2(fd, 1);
    constexpr int kThreads = 8, kLines = 2000;
    {
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([t] {
                const std::string pad(50 + t * 37, static_cast<char>('a' + t));
                for (int i = 0; i < kLines; ++i)
                    console::write("thread ", t, " line ", i, " ", pad);
            });
        for (auto& th : threads)
            th.join();
    }
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(fd);

    std::ifstream in(path);
    const std::regex whole(R"(thread (\d) line \d+ ([a-h])\2*)");
    int count = 0;
    for (std::string l; std::getline(in, l); ++count) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l, m, whole)) << "split line: " << l.substr(0, 80);
        EXPECT_EQ(l.size() - l.find_last_of(' ') - 1, 50u + (m[1].str()[0] - '0') * 37u);
    }
    EXPECT_EQ(count, kThreads * kLines);
    unlink(path);
}

}  // namespace
