#pragma once
// The panel's command rules without the window: the poll reply, the renewal throttle, the radio
// stepping and the two handshakes, over a narrow byte-port interface so that tests drive them
// with a scripted port and a clock of their own.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

#include "panel/Requests.h"

class SerialPort;

namespace panel {

// What the handshakes need of a port. Every operation throws (SerialError) when it fails.
class BytePort {
public:
    virtual ~BytePort() = default;
    virtual int BytesToRead() = 0;
    virtual int ReadByte() = 0;                         // waits up to the port's read timeout
    virtual void Read(uint8_t* buffer, int count) = 0;  // only called with count bytes pending
    virtual void Write(const uint8_t* buffer, int count) = 0;
    virtual void DiscardInBuffer() = 0;
};

// Time as the handshakes see it.
class Clock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    virtual ~Clock() = default;
    virtual time_point now() = 0;
    virtual void sleep_for(std::chrono::milliseconds d) = 0;
};

// The steady clock and real sleeps.
Clock& system_clock();

// The BytePort of a real serial port.
class SerialBytePort : public BytePort {
public:
    explicit SerialBytePort(SerialPort& port) : port_(port) {}
    int BytesToRead() override;
    int ReadByte() override;
    void Read(uint8_t* buffer, int count) override;
    void Write(const uint8_t* buffer, int count) override;
    void DiscardInBuffer() override;

private:
    SerialPort& port_;
};

constexpr auto kParameterPause = std::chrono::milliseconds(10);
constexpr auto kParameterWait = std::chrono::milliseconds(50);
constexpr uint8_t kMaxParameter = 20;
constexpr uint8_t kMaxParameterId = 99;

// The value reply to a poll of position i: i, low byte, high byte, 255 - i.
std::array<uint8_t, 4> poll_reply(uint8_t i, uint16_t word);

// The renewal throttle, run after every variable poll. renew is the read-subscription rebuild
// followed by a discard of the input; it may set resubscribe back to 0.
void throttle(std::atomic<int32_t>& resubscribe, std::atomic<int32_t>& oldsubscribe,
              std::atomic<uint8_t>& startup, const std::function<void()>& renew);

// Radio stepping with wrap-around over n stations (n may be 0).
uint8_t radio_next(uint8_t cur, int n);
uint8_t radio_previous(uint8_t cur, int n);

// The id handshake for command byte c. A failed id read gives id 0 silently; a failed write or
// discard throws (SerialError), which ends the command without effect.
ArgumentType id_handshake(BytePort& port, uint8_t c);

// The parameter handshake for command byte c. Every failure yields a request without bytes.
ArgumentType2 parameter_handshake(BytePort& port, Clock& clock, uint8_t c);

// The first four bytes of a parameter as the little-endian float the panel sends; missing
// bytes read as 0.
float parameter_float(const uint8_t* bytes, uint8_t size);

}  // namespace panel
