// The id and parameter handshakes against a scripted panel whose bytes arrive over simulated
// time and whose writes may start failing. Input: the command byte, the arrival pattern, the
// number of writes before the port fails, then the panel's bytes.
#include <cstdint>
#include <exception>

#include "FuzzCheck.h"
#include "ScriptedPort.h"
#include "app/Console.h"
#include "panel/PanelLink.h"
#include "panel/SerialPort.h"

namespace {

using Frame = std::vector<uint8_t>;

struct Script {
    uint8_t c;
    int burst, ms_per_byte, fail_after;
    const uint8_t* bytes;
    size_t size;
};

void check_id(const Script& s) {
    fuzz::ScriptedClock clock;
    fuzz::ScriptedPort port(s.bytes, s.size, clock, s.burst, s.ms_per_byte, s.fail_after);
    port.notify();
    ArgumentType a;
    try {
        a = panel::id_handshake(port, s.c);
    } catch (const SerialError&) {
        // only a failed write ends it early
        FUZZ_REQUIRE(s.fail_after >= 0 && port.writes.size() == static_cast<size_t>(s.fail_after));
        FUZZ_REQUIRE(port.writes.size() < 2);
        return;
    }
    FUZZ_REQUIRE(port.reads.size() <= 1);
    FUZZ_REQUIRE(a.id == (port.reads.empty() ? 0 : port.reads[0]));
    FUZZ_REQUIRE(port.writes == (std::vector<Frame>{{s.c, 0}, {a.id, 0}}));
    FUZZ_REQUIRE(clock.elapsed() <= std::chrono::milliseconds(401));
}

void check_parameter(const Script& s) {
    fuzz::ScriptedClock clock;
    fuzz::ScriptedPort port(s.bytes, s.size, clock, s.burst, s.ms_per_byte, s.fail_after);
    port.notify();
    ArgumentType2 r;
    try {
        r = panel::parameter_handshake(port, clock, s.c);
    } catch (...) {
        FUZZ_REQUIRE(!"the parameter handshake never throws");
    }
    // Id 400 ms, size 400 ms, the pause and the parameter wait, and the looks at the clock.
    FUZZ_REQUIRE(clock.elapsed() <= std::chrono::milliseconds(400 + 400 + 10 + 50 + 5));
    const bool writes_failed = s.fail_after >= 0 && port.writes.size() == size_t(s.fail_after);
    if (r.handle) {
        FUZZ_REQUIRE(r.size >= 1 && r.size <= panel::kMaxParameter);
        FUZZ_REQUIRE(r.id <= panel::kMaxParameterId);
        FUZZ_REQUIRE(port.reads.size() == 2u + r.size);
        FUZZ_REQUIRE(port.reads[0] == r.id && port.reads[1] == r.size);
        FUZZ_REQUIRE(std::equal(r.handle.get(), r.handle.get() + r.size, port.reads.begin() + 2));
        FUZZ_REQUIRE(port.writes == (std::vector<Frame>{{s.c, 0}, {r.id, 0}, {s.c, 0}, {s.c, 0}}));
        return;
    }
    FUZZ_REQUIRE(r.size == 0);
    FUZZ_REQUIRE(port.writes.size() <= 4);
    if (!writes_failed) {
        // refused: the panel is told with a zero frame
        FUZZ_REQUIRE(!port.writes.empty() && port.writes.back() == (Frame{0, 0}));
        FUZZ_REQUIRE(port.writes.front() == (Frame{s.c, 0}));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    console::set_stdout_enabled(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const Script s{data[0],  data[1] & 7, (data[1] >> 3) * 4, data[2] < 8 ? int(data[2]) : -1,
                   data + 3, size - 3};
    check_id(s);
    check_parameter(s);
    return 0;
}
