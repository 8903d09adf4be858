// How fast a phrase is synthesized, and how long a player takes from Play to the start of a
// file and to its end (pcm output, so decoding speed rather than the sound card is measured).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

#include "media/MpvPlayer.h"
#include "media/Speech.h"

namespace {

void BM_SynthesizePhrase(benchmark::State& state) {
    static Speech speech;
    for (auto _ : state) {
        auto samples = speech.synthesize("autopilot disconnected, check altitude");
        benchmark::DoNotOptimize(samples.data());
        state.counters["audio_s"] = static_cast<double>(samples.size()) / speech.sample_rate();
    }
}
BENCHMARK(BM_SynthesizePhrase)->Unit(benchmark::kMillisecond);

MpvPlayer& bench_player() {
    static MpvPlayer* p = [] {
        const auto dir = std::filesystem::temp_directory_path() / "tarnwell_bench_pcm";
        std::filesystem::create_directories(dir);
        MpvPlayer::route_output_to_pcm(dir.string());
        return new MpvPlayer("bench");
    }();
    return *p;
}

std::string sound_file() {
    const char* src = std::getenv("TARNWELL_SOURCE_DIR");
    return std::string(src ? src : ".") + "/examples/sounds/gear_down.mp3";
}

void BM_PlayToStart(benchmark::State& state) {
    MpvPlayer& p = bench_player();
    const std::string file = sound_file();
    for (auto _ : state) {
        const uint64_t before = p.started();
        p.play(file);
        p.wait_started(before, std::chrono::seconds(10));
        state.PauseTiming();
        p.wait_done(std::chrono::seconds(10));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PlayToStart)->Unit(benchmark::kMillisecond);

void BM_PlayToEnd(benchmark::State& state) {
    MpvPlayer& p = bench_player();
    const std::string file = sound_file();
    for (auto _ : state) {
        p.play(file);
        p.wait_done(std::chrono::seconds(10));
    }
}
BENCHMARK(BM_PlayToEnd)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
