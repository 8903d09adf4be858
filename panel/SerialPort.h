#pragma once
// The serial port the panel hangs on: termios and poll() on Linux, so that real ports
// (/dev/ttyACM0, /dev/ttyUSB0) and pseudo-terminals behave alike. Failures throw SerialError.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

struct SerialError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class SerialPort {
public:
    static constexpr int kInfinite = -1;

    SerialPort();
    ~SerialPort();  // closes the port
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Names of the ports present now: the virtual ports first, then the real devices.
    static std::vector<std::string> GetPortNames();

    std::string PortName = "COM7";
    int BaudRate = 115200;
    int ReadTimeout = kInfinite;   // milliseconds
    int WriteTimeout = kInfinite;  // milliseconds

    void Open();
    void Close();  // closing a closed port does nothing
    bool IsOpen() const;
    int BytesToRead() const;
    int ReadByte();                                     // waits up to ReadTimeout
    int Read(uint8_t* buffer, int offset, int count);  // copies up to count pending bytes
    void Write(const uint8_t* buffer, int offset, int count);
    void DiscardInBuffer();
    void DiscardOutBuffer();

    // Called on the receive thread after bytes have arrived, one call at a time.
    std::function<void()> DataReceived;

private:
    struct Impl;
    Impl* impl_;
};
