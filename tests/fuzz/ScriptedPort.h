#pragma once
// A panel on a script for the fuzz targets: the input's bytes arrive over simulated time, and
// the clock only moves when the code under test looks at it or sleeps, so no run waits.
//
// Arrival: `burst` bytes arrive with each notification (as the receive thread is woken), and
// one more every `ms_per_byte` milliseconds of simulated time (0: none between notifications).
// ReadByte waits as the real port does: up to the 400 ms read timeout for the next byte, then
// throws SerialTimeout; once the script has run out no byte will come. Every look at the clock
// costs a millisecond, so a spin on the clock ends.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "panel/PanelLink.h"
#include "panel/SerialPort.h"

namespace fuzz {

class ScriptedClock : public panel::Clock {
public:
    time_point now() override {
        t_ += std::chrono::milliseconds(1);
        return t_;
    }
    void sleep_for(std::chrono::milliseconds d) override { t_ += d; }
    std::chrono::milliseconds elapsed() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(t_ - time_point{});
    }

private:
    time_point t_{};
};

class ScriptedPort : public panel::BytePort {
public:
    ScriptedPort(const uint8_t* data, size_t size, ScriptedClock& clock, int burst, int ms_per_byte,
                 int fail_writes_after = -1)
        : data_(data),
          size_(size),
          clock_(clock),
          burst_(burst),
          ms_per_byte_(ms_per_byte),
          writes_left_(fail_writes_after) {}

    // A notification: the next burst arrives.
    void notify() {
        arrive();
        base_ = std::min(size_, base_ + static_cast<size_t>(burst_));
        arrive();
    }
    bool consumed() const { return pos_ >= size_; }
    size_t position() const { return pos_; }

    int BytesToRead() override {
        arrive();
        return static_cast<int>(arrived_ - pos_);
    }
    int ReadByte() override {
        arrive();
        if (pos_ == arrived_) {
            if (ms_per_byte_ == 0 || arrived_ == size_ || ms_per_byte_ > kReadTimeoutMs) {
                clock_.sleep_for(std::chrono::milliseconds(kReadTimeoutMs));
                throw SerialTimeout("The operation has timed out.");
            }
            clock_.sleep_for(std::chrono::milliseconds(ms_per_byte_));
            arrive();
        }
        reads.push_back(data_[pos_]);
        return data_[pos_++];
    }
    void Read(uint8_t* buffer, int count) override {
        arrive();
        FUZZ_REQUIRE(count >= 0 && static_cast<size_t>(count) <= arrived_ - pos_);
        std::copy(data_ + pos_, data_ + pos_ + count, buffer);
        reads.insert(reads.end(), data_ + pos_, data_ + pos_ + count);
        pos_ += static_cast<size_t>(count);
    }
    void Write(const uint8_t* buffer, int count) override {
        if (writes_left_ == 0)
            throw SerialError("The port is closed.");
        if (writes_left_ > 0)
            --writes_left_;
        writes.emplace_back(buffer, buffer + count);
    }
    void DiscardInBuffer() override {
        arrive();
        pos_ = arrived_;
    }

    std::vector<uint8_t> reads;                // every byte taken, in order
    std::vector<std::vector<uint8_t>> writes;  // every write that went out

private:
    static constexpr int kReadTimeoutMs = 400;

    // The bytes that have arrived by now: the notified ones and those that came meanwhile.
    void arrive() {
        size_t due = base_;
        if (ms_per_byte_ > 0) {
            const auto ms = clock_.elapsed().count() - start_ms_;
            due += static_cast<size_t>(ms / ms_per_byte_);
        }
        arrived_ = std::max(arrived_, std::min(size_, std::max(due, pos_)));
    }

    const uint8_t* data_;
    size_t size_;
    ScriptedClock& clock_;
    int burst_, ms_per_byte_, writes_left_;
    long long start_ms_ = 0;
    size_t base_ = 0, arrived_ = 0, pos_ = 0;
};

}  // namespace fuzz
