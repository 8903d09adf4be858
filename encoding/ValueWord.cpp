#include "encoding/ValueWord.h"

#include <cmath>

namespace {

// The largest square-root word (root 255, three steps of 0.27): values beyond the form's range
// saturate here rather than wrap into a word of no use.
constexpr uint16_t kLargestRootWord = 0xFFCF;

uint16_t square_root_word(double x) {
    const float s = static_cast<float>(std::sqrt(x));
    const int r = static_cast<int>(s);
    if (r > 255)
        return kLargestRootWord;
    const int q = static_cast<int>((static_cast<double>(s) * 100.0 - r * 100.0) / 27.0);
    return static_cast<uint16_t>(r * 256 + (100 + q) * 2 + 1);
}

}  // namespace

uint16_t Encode(double x) {
    if (std::isnan(x))
        return 0;
    if (x >= 65536.0)
        return kLargestRootWord;  // positive infinity included
    if (x <= -16384.0)
        return 0;                       // negative infinity included
    const int w = static_cast<int>(x);  // truncated toward zero
    if (w >= 16384)
        return square_root_word(x);
    if (w >= 256)
        return static_cast<uint16_t>(w * 4);
    if (w >= 100) {
        const int h = static_cast<int>(x * 100.0 - w * 100);
        return static_cast<uint16_t>(w * 256 + h * 2 + 1);
    }
    if (x > 0) {
        const int f = static_cast<int>((x * 100.0 - w * 100) / 1.6);
        return static_cast<uint16_t>(w * 256 + f * 4 + 1);
    }
    if (x < 0) {
        const int m = -w;
        if (m >= 100)
            return static_cast<uint16_t>(m * 4 + 2);
        const int f = static_cast<int>((std::fabs(x) * 100.0 - m * 100) / 1.58);
        return static_cast<uint16_t>(m * 256 + f * 4 + 3);
    }
    return 0;  // 0 and -0
}

float Decode(uint16_t word) {
    const bool negative = (word & 2) != 0;
    if ((word & 1) == 0) {
        const float n = static_cast<float>(word >> 2);
        return negative ? -n : n;
    }
    const int high = word >> 8;
    if (high <= 99) {
        const int f = (word >> 2) & 0x3F;
        return negative ? -(high + f * 1.58f / 100) : high + f * 1.6f / 100;
    }
    const int b = (word >> 1) & 0x7F;
    if (b <= 99)
        return static_cast<float>((high * 100 + b) / 100.0);
    const float steps = static_cast<float>((b - 100) * 27);
    const float root = static_cast<float>(high + steps / 100.0);
    const float square = static_cast<float>(static_cast<double>(root) * root);
    return std::roundf(square / 1000.0f) * 1000.0f;
}
