#include "encoding/ValueWord.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

struct Row {
    double value;
    uint16_t word;
    float reads_as;
};

// Every form, both ways: the value, its word, and what the word reads back as.
const Row kRows[] = {
    {0, 0x0000, 0},
    {0.01, 0x0001, 0},
    {0.5, 0x007D, 0.496f},
    {1.16, 0x0125, 1.144f},
    {5.5, 0x057D, 5.496f},
    {5.85, 0x05D5, 5.848f},
    {99.99, 0x63F5, 99.976f},
    {100, 0x6401, 100},
    {100.29, 0x643B, 100.29f},
    {128.14, 0x801B, 128.13f},
    {255.99, 0xFFC7, 255.99f},
    {256, 0x0400, 256},
    {257, 0x0404, 257},
    {1013.25, 0x0FD4, 1013},
    {16383, 0xFFFC, 16383},
    {16384, 0x80C9, 16000},
    {20000, 0x8DCB, 20000},
    {35000, 0xBBC9, 35000},
    {65535, 0xFFCF, 65000},
    {-0.5, 0x007F, -0.4898f},
    {-5.5, 0x057F, -5.4898f},
    {-99.99, 0x63FB, -99.9796f},
    {-100, 0x0192, -100},
    {-1013.25, 0x0FD6, -1013},
    {-16383, 0xFFFE, -16383},
    {-16384, 0x0000, 0},
};

TEST(ValueWord, EncodesEveryWorkedExample) {
    for (const Row& r : kRows)
        EXPECT_EQ(Encode(r.value), r.word) << "value " << r.value;
}

TEST(ValueWord, DecodesEveryWorkedExample) {
    for (const Row& r : kRows)
        EXPECT_NEAR(Decode(r.word), r.reads_as, std::fabs(r.reads_as) * 1e-6f + 1e-6f)
            << "word " << std::hex << r.word;
}

TEST(ValueWord, FractionsAreTruncatedFromTheDoubleProduct) {
    // 128.14 * 100 and 1.16 * 100 fall just below the exact figures, so they lose one unit.
    EXPECT_EQ((Encode(128.14) >> 1) & 0x7F, 13);
    EXPECT_EQ((Encode(1.16) >> 2) & 0x3F, 9);
}

TEST(ValueWord, ZeroWordForNegativeZeroNaNAndLargeNegatives) {
    EXPECT_EQ(Encode(-0.0), 0);
    EXPECT_EQ(Encode(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(Encode(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(Encode(-1e300), 0);
}

TEST(ValueWord, SaturatesAtTheLargestRootWordFrom65536On) {
    for (double v : {65535.999, 65536.0, 70000.0, 1e12, std::numeric_limits<double>::infinity()})
        EXPECT_EQ(Encode(v), 0xFFCF) << v;
}

TEST(ValueWord, FormBoundaries) {
    EXPECT_EQ(Encode(99.999) >> 8, 99);  // 99 with any fraction stays small
    EXPECT_EQ(Encode(-0.99) >> 8, 0);    // between -1 and 0: small negative, whole 0
    EXPECT_EQ(Encode(-0.99) & 3, 3);
    EXPECT_EQ(Encode(16384), Encode(16453));  // one root step is worth about 70 here
    EXPECT_EQ(Decode(2), 0.0f);               // the negative integer form of 0 reads as -0
    EXPECT_TRUE(std::signbit(Decode(2)));
}

}  // namespace
