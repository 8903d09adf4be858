#pragma once
// The fuzz targets' assertion: a broken invariant prints what broke and aborts, which libFuzzer
// and the replay tests both report as a failure with the input that caused it.

#include <cstdio>
#include <cstdlib>

#define FUZZ_REQUIRE(cond)                                                                    \
    do {                                                                                      \
        if (!(cond)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)
