#pragma once
// The serial port the panel hangs on: termios and poll() on Linux, so that real ports
// (/dev/ttyACM0, /dev/ttyUSB0) and pseudo-terminals behave alike. Failures throw SerialError.
//
// Threads: one receive thread per port object raises DataReceived. Close() may be called from
// any thread while another thread is blocked in a read or write: that call fails within a few
// milliseconds, and the descriptor is closed only once no call uses it any more.

#include <atomic>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

struct SerialError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A read or write that did not complete within its timeout.
struct SerialTimeout : SerialError {
    using SerialError::SerialError;
};

class SerialPort {
public:
    static constexpr int kInfinite = -1;

    SerialPort();
    ~SerialPort();  // closes the port and ends the receive thread
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Names of the ports present now: the virtual ports first, then the real devices.
    static std::vector<std::string> GetPortNames();

    std::string PortName = "COM7";
    int BaudRate = 115200;
    std::atomic_int ReadTimeout{kInfinite};   // milliseconds
    std::atomic_int WriteTimeout{kInfinite};  // milliseconds

    void Open();
    void Close();  // closing a closed port does nothing
    bool IsOpen() const;
    // True after the device went away (the far end of a pseudo-terminal closed, a USB adapter
    // was pulled); the port still counts as open until Close().
    bool IsHungUp() const;
    int BytesToRead() const;
    int ReadByte();                                    // waits up to ReadTimeout
    int Read(uint8_t* buffer, int offset, int count);  // copies up to count pending bytes
    void Write(const uint8_t* buffer, int offset, int count);
    void DiscardInBuffer();
    void DiscardOutBuffer();

    // Called on the receive thread after bytes have arrived, one call at a time. Set it while
    // the port is closed.
    std::function<void()> DataReceived;

private:
    struct Impl;
    Impl* impl_;
};
