// Encode and Decode over arbitrary doubles and words: no crash or undefined behaviour, and a
// value inside a form's range reads back within that form's precision.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "FuzzCheck.h"
#include "encoding/ValueWord.h"

namespace {

// Float rounding of the decoded figure (about 1e-5 at 256) stays far below this.
constexpr double kSlack = 1e-4;

// The bounds of Decode(Encode(x)) - x for a value of each form, from the encoding rules:
//   0 < x < 100           fraction in steps of 0.016, truncated: [-0.016, 0]
//   100 <= x < 256        hundredths, truncated:                 [-0.01, 0]
//   256 <= x < 16384      whole numbers, truncated:              [-1, 0]
//   -100 < x < 0          fraction in steps of 0.0158, toward 0: [0, 0.0158]
//   -16384 < x <= -100    whole numbers, toward 0:               [0, 1]
//   16384 <= x < 65536    square root in steps of 0.27 (at most 0.27 below the root, so the
//                         square is at most 2 * 255.81 * 0.27 + 0.27^2 = 138.2 below x), then
//                         rounded to thousands (500 either way):  [-638.2, 500]
// Beyond the range: 65536 and above saturate at 0xFFCF, -16384 and below, NaN and 0 give 0.
void check_value(double x) {
    const uint16_t w = Encode(x);
    const float d = Decode(w);
    FUZZ_REQUIRE(std::isfinite(d));
    if (std::isnan(x) || x <= -16384.0 || x == 0.0) {
        FUZZ_REQUIRE(w == 0);
        return;
    }
    if (x >= 65536.0) {
        FUZZ_REQUIRE(w == 0xFFCF);
        return;
    }
    double lo, hi;
    if (x >= 16384.0) {
        lo = -638.2, hi = 500;
    } else if (x >= 256.0) {
        lo = -1, hi = 0;
    } else if (x >= 100.0) {
        lo = -0.01, hi = 0;
    } else if (x > 0.0) {
        lo = -0.016, hi = 0;
    } else if (x > -100.0) {
        lo = 0, hi = 0.0158;
    } else {
        lo = 0, hi = 1;
    }
    const double err = static_cast<double>(d) - x;
    if (!(err >= lo - kSlack && err <= hi + kSlack)) {
        std::fprintf(stderr, "x=%.17g word=0x%04X reads as %.9g\n", x, w, static_cast<double>(d));
        FUZZ_REQUIRE(err >= lo - kSlack && err <= hi + kSlack);
    }
    // The word keeps the sign: a positive value never reads as negative and the other way round.
    FUZZ_REQUIRE(x > 0 ? d >= 0 : d <= 0);
}

void check_word(uint16_t w) {
    const float d = Decode(w);
    FUZZ_REQUIRE(std::isfinite(d));
    FUZZ_REQUIRE(std::fabs(d) <= 70000.0f);
    if ((w & 1) == 0)
        FUZZ_REQUIRE(d == std::trunc(d));  // the integer forms
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every 8 bytes are a double three ways: its raw bits (NaNs, infinities, subnormals), a
    // value in hundredths across the forms' whole range, and the neighbours of a form boundary.
    for (size_t k = 0; k + 8 <= size; k += 8) {
        double raw;
        std::memcpy(&raw, data + k, 8);
        check_value(raw);

        int64_t bits;
        std::memcpy(&bits, data + k, 8);
        const int64_t hundredths = bits % 9000000;  // -90000.00 to 90000.00
        check_value(static_cast<double>(hundredths) / 100.0);

        const double whole = static_cast<double>(static_cast<int32_t>(bits >> 32) % 70000);
        check_value(std::nextafter(whole, -1e9));
        check_value(std::nextafter(whole, 1e9));
    }
    for (size_t k = 0; k + 2 <= size; k += 2)
        check_word(static_cast<uint16_t>(data[k] | data[k + 1] << 8));
    return 0;
}
