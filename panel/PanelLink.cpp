#include "panel/PanelLink.h"

#include <cstring>
#include <thread>

#include "app/Console.h"
#include "panel/SerialPort.h"

namespace panel {

namespace {

class SteadyClock : public Clock {
public:
    time_point now() override { return std::chrono::steady_clock::now(); }
    void sleep_for(std::chrono::milliseconds d) override { std::this_thread::sleep_for(d); }
};

void send_frame(BytePort& port, uint8_t a, uint8_t b) {
    const uint8_t frame[2] = {a, b};
    port.Write(frame, 2);
}

}  // namespace

Clock& system_clock() {
    static SteadyClock clock;
    return clock;
}

int SerialBytePort::BytesToRead() {
    return port_.BytesToRead();
}
int SerialBytePort::ReadByte() {
    return port_.ReadByte();
}
void SerialBytePort::Read(uint8_t* buffer, int count) {
    // Read returns what is there; the caller waited until count bytes were pending.
    int got = 0;
    while (got < count)
        got += port_.Read(buffer, got, count - got);
}
void SerialBytePort::Write(const uint8_t* buffer, int count) {
    port_.Write(buffer, 0, count);
}
void SerialBytePort::DiscardInBuffer() {
    port_.DiscardInBuffer();
}

std::array<uint8_t, 4> poll_reply(uint8_t i, uint16_t word) {
    return {i, static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8),
            static_cast<uint8_t>(255 - i)};
}

void throttle(std::atomic<int32_t>& resubscribe, std::atomic<int32_t>& oldsubscribe,
              std::atomic<uint8_t>& startup, const std::function<void()>& renew) {
    const int32_t pending = resubscribe.load();
    if (pending != 0 && pending == oldsubscribe.load()) {
        // a quiet poll: nothing was activated since the previous one
        if (startup.load() != 0)
            startup.fetch_add(1);
        if (startup.load() >= 30)
            startup.store(0);
        if (startup.load() == 0)
            renew();
    }
    oldsubscribe.store(resubscribe.load());
}

uint8_t radio_next(uint8_t cur, int n) {
    return static_cast<int>(cur) >= n - 1 ? 0 : static_cast<uint8_t>(cur + 1);
}

uint8_t radio_previous(uint8_t cur, int n) {
    return cur > 0 ? static_cast<uint8_t>(cur - 1) : static_cast<uint8_t>(n - 1);
}

ArgumentType id_handshake(BytePort& port, uint8_t c) {
    ArgumentType result;
    port.DiscardInBuffer();
    send_frame(port, c, 0);
    try {
        result.id = static_cast<uint8_t>(port.ReadByte());
    } catch (const std::exception&) {
        result.id = 0;  // no id in time: the command acts on 0
    }
    console::write("ID ", result.id);
    send_frame(port, result.id, 0);
    return result;
}

ArgumentType2 parameter_handshake(BytePort& port, Clock& clock, uint8_t c) {
    ArgumentType2 request;
    // Every write and discard may fail because the port was closed or the device went away:
    // the handshake then stops where it is and returns the request without bytes.
    try {
        port.DiscardInBuffer();
        send_frame(port, c, 0);
        try {
            request.id = static_cast<uint8_t>(port.ReadByte());
        } catch (const std::exception&) {
            request.id = 0;
        }
        console::write("ID ", request.id);
        auto refuse = [&] {
            send_frame(port, 0, 0);
            port.DiscardInBuffer();
        };
        if (request.id > kMaxParameterId) {
            refuse();
            return request;
        }
        send_frame(port, request.id, 0);
        uint8_t size = 0;
        try {
            size = static_cast<uint8_t>(port.ReadByte());
        } catch (const std::exception&) {
            size = 0;
        }
        console::write("DATASIZE ", size);
        if (size == 0 || size > kMaxParameter) {
            refuse();
            return request;
        }
        send_frame(port, c, 0);
        clock.sleep_for(kParameterPause);
        // Spin rather than sleep so the bytes are taken the moment they are all there; the
        // deadline is tested before the count.
        const auto start = clock.now();
        for (;;) {
            if (clock.now() - start >= kParameterWait) {
                refuse();
                console::write("Serialport ERROR: Not enough bytes received for parameter ");
                return request;
            }
            if (port.BytesToRead() >= size)
                break;
        }
        auto bytes = std::make_unique<uint8_t[]>(size);
        try {
            port.Read(bytes.get(), size);
        } catch (const std::exception&) {
            console::write("Exception when Reading byte array from serialport");
            refuse();
            return request;
        }
        if (size == 4)
            console::write("PARAMETER ", parameter_float(bytes.get(), size));
        send_frame(port, c, 0);
        request.handle = std::move(bytes);
        request.size = size;
        return request;
    } catch (const std::exception&) {
        request.handle.reset();
        request.size = 0;
        return request;
    }
}

float parameter_float(const uint8_t* bytes, uint8_t size) {
    uint8_t le[4] = {0, 0, 0, 0};
    std::memcpy(le, bytes, size < 4 ? size : 4);
    uint32_t bits =
        uint32_t(le[0]) | uint32_t(le[1]) << 8 | uint32_t(le[2]) << 16 | uint32_t(le[3]) << 24;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

}  // namespace panel
