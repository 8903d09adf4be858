#pragma once
// Reading what mpv's pcm output wrote, and measuring it: length, loudness, pitch.

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace audio_check {

// Polls pred until it holds or the timeout passes.
template <typename Pred>
bool wait_until(Pred pred, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

struct Pcm {
    int rate = 0;
    int channels = 0;
    std::vector<double> mono;  // first channel, -1 to 1
    double seconds() const { return rate ? static_cast<double>(mono.size()) / rate : 0; }
};

inline uint32_t le(const std::string& s, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(s[at + i]);
    return v;
}

// A WAV file as written so far: a header whose sizes are not final yet (the player still
// writes) is read up to the end of the file.
inline std::optional<Pcm> read_wav(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (s.size() < 12 || s.compare(0, 4, "RIFF") != 0 || s.compare(8, 4, "WAVE") != 0)
        return std::nullopt;
    Pcm pcm;
    int format = 0, bits = 0;
    size_t at = 12;
    while (at + 8 <= s.size()) {
        const std::string id = s.substr(at, 4);
        size_t size = le(s, at + 4, 4);
        at += 8;
        if (id == "fmt ") {
            format = static_cast<int>(le(s, at, 2));
            pcm.channels = static_cast<int>(le(s, at + 2, 2));
            pcm.rate = static_cast<int>(le(s, at + 4, 4));
            bits = static_cast<int>(le(s, at + 14, 2));
            if (format == 0xFFFE && size >= 26)
                format = static_cast<int>(le(s, at + 24, 2));
        } else if (id == "data") {
            if (size == 0 || at + size > s.size())
                size = s.size() - at;
            const int bytes = bits / 8;
            if (!pcm.channels || !bytes)
                return std::nullopt;
            const size_t frame = static_cast<size_t>(bytes * pcm.channels);
            for (size_t p = at; p + frame <= at + size; p += frame) {
                double v = 0;
                if (format == 3 && bits == 32) {
                    float f;
                    std::memcpy(&f, s.data() + p, 4);
                    v = f;
                } else if (format == 1 && bits == 16) {
                    v = static_cast<int16_t>(le(s, p, 2)) / 32768.0;
                } else if (format == 1 && bits == 32) {
                    v = static_cast<int32_t>(le(s, p, 4)) / 2147483648.0;
                } else {
                    return std::nullopt;
                }
                pcm.mono.push_back(v);
            }
            return pcm;
        }
        at += size + (size & 1);
    }
    return std::nullopt;
}

inline double rms(const std::vector<double>& x, size_t from = 0, size_t to = SIZE_MAX) {
    to = std::min(to, x.size());
    if (from >= to)
        return 0;
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += x[i] * x[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

inline double peak(const std::vector<double>& x) {
    double p = 0;
    for (double v : x)
        p = std::max(p, std::abs(v));
    return p;
}

// Pitch of a tone from its rising zero crossings, over the loud part of samples [from, to):
// quiet fades and padding would add crossings of noise.
inline double tone_hz(const Pcm& pcm, size_t from = 0, size_t to = SIZE_MAX) {
    to = std::min(to, pcm.mono.size());
    if (from >= to)
        return 0;
    const std::vector<double> x(pcm.mono.begin() + static_cast<std::ptrdiff_t>(from),
                                pcm.mono.begin() + static_cast<std::ptrdiff_t>(to));
    const double loud = peak(x) * 0.3;
    size_t begin = 0, end = x.size();
    while (begin < end && std::abs(x[begin]) < loud)
        ++begin;
    while (end > begin && std::abs(x[end - 1]) < loud)
        --end;
    size_t crossings = 0, first = 0, last = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            if (!crossings)
                first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return static_cast<double>(crossings - 1) * pcm.rate / static_cast<double>(last - first);
}

// The pitch of the last `seconds` written.
inline double tail_hz(const Pcm& pcm, double seconds) {
    const auto n = static_cast<size_t>(seconds * pcm.rate);
    return tone_hz(pcm, pcm.mono.size() > n ? pcm.mono.size() - n : 0);
}

}  // namespace audio_check
