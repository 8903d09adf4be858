#pragma once
// Reading a panel parameter block, and turning a value into an event's 32-bit data word.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace simlink {

// The block's first 4 bytes as a float, low byte first as the panel sends it. A block shorter
// than 4 bytes reads its missing bytes as 0; nothing past the block is read.
inline float param_block_value(const uint8_t* block, uint8_t size) {
    uint32_t bits = 0;
    const int n = block ? std::min<int>(size, 4) : 0;
    for (int i = 0; i < n; ++i)
        bits |= static_cast<uint32_t>(block[i]) << (8 * i);
    return std::bit_cast<float>(bits);
}

// v truncated toward zero. A negative whole number goes as its 32-bit two's complement; NaN
// gives 0; values beyond -2^31 .. 2^32-1 (infinities included) stop at the nearer end.
inline uint32_t event_data_word(float v) {
    if (std::isnan(v))
        return 0;
    const double t = std::trunc(static_cast<double>(v));
    if (t >= 4294967295.0)
        return 0xFFFFFFFFu;
    if (t <= -2147483648.0)
        return 0x80000000u;
    if (t >= 0)
        return static_cast<uint32_t>(t);
    return static_cast<uint32_t>(static_cast<int32_t>(t));
}

}  // namespace simlink
