// Poll round trip over a pseudo-terminal: the panel sends a position and waits for the four
// reply bytes. Measured against the program's real receive path (the window with the embedded
// simulator, a list of N variables loaded through its button and all N polled active, its
// SerialPort on a virtual port) and, in the same run, against a minimal responder that reads
// one byte and writes four (the floor). Polls alternate between the two so that both meet the
// same machine load; which one goes first alternates too, since the second of two back-to-back
// round trips meets the kernel's terminal work of the first.
//
// Counters: median and 99th percentile of each, their ratios (targets: median at most 1.3x,
// p99 at most 2x the floor), and sustained polls per second (one poll outstanding, back to
// back, in alternating slices of 50 ms, one second each).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "BenchWindow.h"

using Clock = std::chrono::steady_clock;

namespace {

// The floor: a thread that blocks in poll(), reads one byte and writes four.
class MinimalResponder {
public:
    explicit MinimalResponder(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0 || ::pipe(stop_) != 0)
            throw std::runtime_error("cannot open the floor's port");
        thread_ = std::thread([this] {
            for (;;) {
                pollfd p[2] = {{fd_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
                ::poll(p, 2, -1);
                if (p[1].revents)
                    return;
                uint8_t c;
                if (::read(fd_, &c, 1) != 1)
                    continue;
                const uint8_t reply[4] = {c, 0, 0, static_cast<uint8_t>(255 - c)};
                (void)!::write(fd_, reply, 4);
            }
        });
    }
    ~MinimalResponder() {
        (void)!::write(stop_[1], "x", 1);
        thread_.join();
        ::close(fd_);
        ::close(stop_[0]);
        ::close(stop_[1]);
    }

private:
    int fd_ = -1;
    int stop_[2];
    std::thread thread_;
};

// One round trip as the panel does it; -1 when unanswered or garbled.
double round_trip_us(panelproto::VirtualPort& panel, uint8_t i, int reply_ms = 1000) {
    const auto t0 = Clock::now();
    auto r = panelproto::poll(panel, i, {.reply_ms = reply_ms, .frame_ms = reply_ms});
    const auto t1 = Clock::now();
    if (!r.answered || !r.valid || r.bytes[0] != i)
        return -1;
    return std::chrono::duration<double, std::micro>(t1 - t0).count();
}

// Polls answered back to back in `slice`.
int sustained(panelproto::VirtualPort& panel, int n, std::chrono::milliseconds slice) {
    int answered = 0;
    const auto end = Clock::now() + slice;
    for (int k = 0; Clock::now() < end; ++k)
        if (round_trip_us(panel, static_cast<uint8_t>(k % n)) >= 0)
            ++answered;
    return answered;
}

struct Figures {
    std::vector<double> floor, program;
    double floor_rate = 0, program_rate = 0;
    bool renewed = false;  // all N switched on and subscribed
    int unanswered = 0;
};

void BM_PollRoundTrip(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    bench::PanelWindow& w = *bench::shared_window;
    w.load_variables(bench::write_list("vars" + std::to_string(n) + ".txt",
                                       bench::variable_lines(static_cast<size_t>(n))));
    panelproto::VirtualPort floor_panel((bench::scratch_dir() / "floor").string(), "floor");
    MinimalResponder floor(floor_panel.path());
    if (!floor_panel.wait_opened(2000)) {
        state.SkipWithError("the floor did not open its port");
        return;
    }

    constexpr int kPairs = 5000;
    for (auto _ : state) {
        const Figures f = bench::as_panel([&] {
            Figures f;
            f.renewed = bench::activate_all(
                w, n, [&](int k) { round_trip_us(floor_panel, static_cast<uint8_t>(k % n)); });

            bool floor_first = true;
            for (int k = 0; k < kPairs; ++k) {
                const auto i = static_cast<uint8_t>(k % n);
                double a, b;
                if (floor_first) {
                    a = round_trip_us(floor_panel, i);
                    b = round_trip_us(*w.panel, i);
                } else {
                    b = round_trip_us(*w.panel, i);
                    a = round_trip_us(floor_panel, i);
                }
                floor_first = !floor_first;
                if (a < 0 || b < 0) {
                    ++f.unanswered;
                    continue;
                }
                f.floor.push_back(a);
                f.program.push_back(b);
            }
            int fc = 0, pc = 0;
            constexpr auto kSlice = std::chrono::milliseconds(50);
            for (int r = 0; r < 20; ++r) {
                fc += sustained(floor_panel, n, kSlice);
                pc += sustained(*w.panel, n, kSlice);
            }
            f.floor_rate = fc / 1.0;  // 20 slices of 50 ms: one second each
            f.program_rate = pc / 1.0;
            return f;
        });
        if (!f.renewed) {
            state.SkipWithError("the polls did not switch all variables on and renew");
            return;
        }
        if (f.unanswered > 0) {
            state.SkipWithError("a poll went unanswered after the renewal");
            return;
        }
        const double fm = bench::percentile(f.floor, 0.5), f99 = bench::percentile(f.floor, 0.99);
        const double pm = bench::percentile(f.program, 0.5);
        const double p99 = bench::percentile(f.program, 0.99);
        state.counters["floor_median_us"] = fm;
        state.counters["floor_p99_us"] = f99;
        state.counters["median_us"] = pm;
        state.counters["p99_us"] = p99;
        state.counters["median_ratio"] = pm / fm;
        state.counters["p99_ratio"] = p99 / f99;
        state.counters["floor_polls_per_s"] = f.floor_rate;
        state.counters["polls_per_s"] = f.program_rate;
        state.counters["rate_ratio"] = f.program_rate / f.floor_rate;
    }
}
BENCHMARK(BM_PollRoundTrip)
    ->ArgName("active")
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return bench::run_with_window(argc, argv);
}
