// Placeholder until the serial facility lands.
#include "panel/SerialPort.h"

struct SerialPort::Impl {};
SerialPort::SerialPort() : impl_(new Impl) {}
SerialPort::~SerialPort() { delete impl_; }
