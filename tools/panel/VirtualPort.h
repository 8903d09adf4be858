#pragma once
// A virtual serial port for the program to open: a pseudo-terminal whose program side is
// published as a symbolic link in the virtual-ports folder, removed again on destruction.
// The panel's side is a Link for the panel protocol.

#include <string>

#include "tools/panel/PanelProtocol.h"

namespace panelproto {

class VirtualPort : public Link {
public:
    // Makes the pseudo-terminal and publishes it as dir/name. Throws std::runtime_error.
    VirtualPort(const std::string& dir, const std::string& name);
    ~VirtualPort() override;  // removes the link and closes the terminal (a hangup for the program)
    VirtualPort(const VirtualPort&) = delete;
    VirtualPort& operator=(const VirtualPort&) = delete;

    const std::string& path() const { return link_; }      // what the program opens
    const std::string& device() const { return device_; }  // /dev/pts/N
    int fd() const { return master_; }

    // True while a program has the port open; waits up to timeout_ms for that.
    bool wait_opened(int timeout_ms);
    // Closes the terminal now (the program sees a hangup); the link stays until destruction.
    void hang_up();

    void send(const uint8_t* bytes, size_t n) override;
    bool receive(uint8_t* out, size_t n, int timeout_ms) override;
    void drain() override;

private:
    int master_ = -1;
    std::string device_;
    std::string link_;
};

}  // namespace panelproto
