#pragma once
// The 16-bit value word the panel receives for a variable, and its reading rule.
// The two lowest bits and the high byte tell a reader which of the forms a word holds.

#include <cstdint>

// The value word of fnumber. Pure, allocates nothing, never fails.
uint16_t Encode(double fnumber);

// The number a value word stands for.
float Decode(uint16_t inumber);
