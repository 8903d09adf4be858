#include "panel/PortList.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

std::string virtual_ports_dir() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg)
        return std::string(xdg) + "/tarnwell/ports";
    return "/tmp/tarnwell-" + std::to_string(::getuid()) + "/ports";
}

std::vector<std::string> list_virtual_ports(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code e2;
        if (!it->is_symlink(e2))
            continue;
        if (!fs::exists(it->path(), e2))
            continue;  // the tool that made it has gone
        names.push_back(it->path().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> list_real_ports(const std::string& sysfs_tty) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(sysfs_tty, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code e2;
        const fs::path dev = it->path() / "device";
        if (!fs::exists(dev, e2))
            continue;  // consoles, ptys and other virtual ttys
        const std::string name = it->path().filename().string();
        // The 8250 driver registers its slots whether or not a UART sits behind them; such a
        // slot reports port type 0 (unknown).
        std::ifstream type(it->path() / "type");
        int t = -1;
        if (type >> t && t == 0)
            continue;
        names.push_back("/dev/" + name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> list_port_names() {
    auto names = list_virtual_ports(virtual_ports_dir());
    auto real = list_real_ports();
    names.insert(names.end(), real.begin(), real.end());
    return names;
}
