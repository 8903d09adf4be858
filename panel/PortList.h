#pragma once
// Which serial ports the machine has: the virtual ports first (symbolic links to
// pseudo-terminals that tools such as the virtual panel publish), then the real devices.

#include <string>
#include <vector>

// The folder where virtual ports are published: $XDG_RUNTIME_DIR/tarnwell/ports, or
// /tmp/tarnwell-<uid>/ports when XDG_RUNTIME_DIR is not set.
std::string virtual_ports_dir();

// Links in dir whose target exists, as full paths, in name order.
std::vector<std::string> list_virtual_ports(const std::string& dir);

// Real serial devices found under a sysfs tty class folder (normally /sys/class/tty), as /dev
// names in name order. 8250 slots that the kernel registers without hardware are skipped.
std::vector<std::string> list_real_ports(const std::string& sysfs_tty = "/sys/class/tty");

// Everything above, virtual ports first.
std::vector<std::string> list_port_names();
