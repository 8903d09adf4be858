// One data message of 100 values through the dispatch callback: copy, round and encode every
// slot. Allocations are counted by replacing the global operator new in this binary.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "simlink/Dispatch.h"
#include "simlink/SimConnectVars.h"

namespace {
std::atomic<long long> g_allocations{0};
}

void* operator new(std::size_t n) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    return operator new(n);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

std::vector<unsigned char> hundred_values() {
    std::vector<unsigned char> m(40 + 8 * 100, 0);
    const uint32_t header[10] = {static_cast<uint32_t>(m.size()), 1, 8, 0, 0, 0, 0, 1, 1, 100};
    std::memcpy(m.data(), header, sizeof header);
    for (int i = 0; i < 100; ++i) {
        // A spread over every form of the value word, with fractions that need rounding.
        const double v = (i % 2 ? -1.0 : 1.0) * (0.125 + i * 517.3);
        std::memcpy(m.data() + 40 + 8 * i, &v, sizeof v);
    }
    return m;
}

void BM_DispatchHundredValues(benchmark::State& state) {
    auto message = hundred_values();
    auto* msg = reinterpret_cast<SIMCONNECT_RECV*>(message.data());
    const auto size = static_cast<DWORD>(message.size());
    SimConnectVars::buffer_counter = 100;
    const long long before = g_allocations.load();
    for (auto _ : state) {
        MyDispatchProcRD(msg, size, nullptr);
        benchmark::ClobberMemory();
    }
    const long long allocations = g_allocations.load() - before;
    state.counters["allocations"] = static_cast<double>(allocations);
    state.counters["allocs_per_message"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_DispatchHundredValues);

}  // namespace

BENCHMARK_MAIN();
