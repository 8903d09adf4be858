// A value changed in the embedded simulator until the first panel poll reply that carries it:
// the simulator sends the changed definition at its next frame, the library posts 0x402, the
// window thread's dispatch stores the value word, and the next poll answers with it. The window
// has a list of 100 variables loaded and all of them polled active (the heaviest data message);
// the panel polls the changed variable back to back, so the figure is the program's delay and
// not the panel's scan. The window thread runs its event loop throughout.
//
// Free-running: the simulator's own frame thread (about 30 frames a second), changes at random
// points of a frame; figures in milliseconds and in frames run meanwhile.
// Stepped: the panel thread steps frames one at a time and polls for up to 50 ms after each, so
// the figure counts exactly which frame brought the value.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <thread>

#include "BenchWindow.h"
#include "encoding/ValueWord.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kName = "KOHLSMAN SETTING HG";
constexpr const char* kUnit = "inHg";
constexpr int kVariables = 100;
constexpr int kChanges = 150;

// Loads 100 variables from Data/ with kName last (the demo flight never touches it); returns
// its position.
uint8_t load_and_find(bench::PanelWindow& w) {
    auto lines = bench::variable_lines(kVariables);
    lines.back() = std::string(kName) + "," + kUnit;
    w.load_variables(bench::write_list("vars_latency.txt", lines));
    return static_cast<uint8_t>(lines.size() - 1);
}

bool carries(const panelproto::PollReply& r, uint8_t i, double value) {
    return r.answered && r.valid && r.bytes[0] == i && std::fabs(Decode(r.word) - value) < 0.011;
}

double value_of(int k) {
    return k % 2 ? 30.12 : 29.52;
}

struct Samples {
    std::vector<double> ms, frames;
    int missed = 0;
    bool renewed = false;
};

void report(benchmark::State& state, const Samples& s) {
    if (!s.renewed) {
        state.SkipWithError("the polls did not switch all variables on and renew");
        return;
    }
    if (s.missed > 0) {
        state.SkipWithError("a changed value never reached a poll reply");
        return;
    }
    if (!s.ms.empty()) {
        state.counters["median_ms"] = bench::percentile(s.ms, 0.5);
        state.counters["p99_ms"] = bench::percentile(s.ms, 0.99);
    }
    state.counters["median_frames"] = bench::percentile(s.frames, 0.5);
    state.counters["p99_frames"] = bench::percentile(s.frames, 0.99);
    state.counters["changes"] = static_cast<double>(s.frames.size());
}

void BM_SimChangeToPollReply(benchmark::State& state) {
    bench::PanelWindow& w = *bench::shared_window;
    simlink::testing::set_stepped(false);
    const uint8_t pos = load_and_find(w);
    for (auto _ : state) {
        report(state, bench::as_panel([&] {
                   Samples s;
                   s.renewed = bench::activate_all(w, kVariables);
                   std::mt19937 rng(7);
                   std::uniform_int_distribution<int> pause_us(0, 40000);
                   for (int k = 0; k < kChanges && s.renewed; ++k) {
                       std::this_thread::sleep_for(std::chrono::microseconds(pause_us(rng)));
                       const double v = value_of(k);
                       const uint64_t f0 = simlink::testing::frames_run();
                       const auto t0 = Clock::now();
                       simlink::testing::set_sim_variable(kName, kUnit, v);
                       bool got = false;
                       while (!got && Clock::now() - t0 < std::chrono::seconds(2))
                           got = carries(panelproto::poll(*w.panel, pos), pos, v);
                       if (!got) {
                           ++s.missed;
                           continue;
                       }
                       s.ms.push_back(
                           std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
                       s.frames.push_back(static_cast<double>(simlink::testing::frames_run() - f0));
                   }
                   return s;
               }));
    }
}
BENCHMARK(BM_SimChangeToPollReply)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SimChangeToPollReplyStepped(benchmark::State& state) {
    bench::PanelWindow& w = *bench::shared_window;
    simlink::testing::set_stepped(false);
    const uint8_t pos = load_and_find(w);
    for (auto _ : state) {
        report(state, bench::as_panel([&] {
                   Samples s;
                   s.renewed = bench::activate_all(w, kVariables);
                   simlink::testing::set_stepped(true);
                   for (int k = 0; k < kChanges && s.renewed; ++k) {
                       const double v = value_of(k);
                       simlink::testing::set_sim_variable(kName, kUnit, v);
                       bool got = false;
                       int frames = 0;
                       while (!got && frames < 10) {
                           simlink::testing::step_frames(1);
                           ++frames;
                           const auto t0 = Clock::now();
                           while (!got && Clock::now() - t0 < std::chrono::milliseconds(50))
                               got = carries(panelproto::poll(*w.panel, pos), pos, v);
                       }
                       if (!got) {
                           ++s.missed;
                           continue;
                       }
                       s.frames.push_back(frames);
                   }
                   simlink::testing::set_stepped(false);
                   return s;
               }));
    }
}
BENCHMARK(BM_SimChangeToPollReplyStepped)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return bench::run_with_window(argc, argv);
}
