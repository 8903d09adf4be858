#include "tools/panel/VirtualPort.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace panelproto {

namespace {
std::runtime_error sys_error(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}
using Clock = std::chrono::steady_clock;
int left_ms(Clock::time_point end) {
    auto l = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return l > 0 ? static_cast<int>(l) : 0;
}
}  // namespace

VirtualPort::VirtualPort(const std::string& dir, const std::string& name) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (master_ < 0)
        throw sys_error("posix_openpt");
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        ::close(master_);
        throw sys_error("unlockpt");
    }
    char buf[128];
    if (::ptsname_r(master_, buf, sizeof buf) != 0) {
        ::close(master_);
        throw sys_error("ptsname");
    }
    device_ = buf;
    // Raw mode on the terminal before anybody uses it: no echo, no line editing, no CR/LF
    // translation. The settings stay with the terminal while this side is open.
    int slave = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        ::close(master_);
        throw sys_error("open " + device_);
    }
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B115200);
    ::cfsetospeed(&t, B115200);
    ::tcsetattr(slave, TCSANOW, &t);
    ::close(slave);

    std::error_code ec;
    fs::create_directories(dir, ec);
    fs::permissions(fs::path(dir).parent_path(), fs::perms::owner_all, ec);
    link_ = (fs::path(dir) / name).string();
    if (fs::is_symlink(link_, ec)) {
        if (fs::exists(link_, ec)) {
            ::close(master_);
            throw std::runtime_error(link_ + " is already published by another panel");
        }
        fs::remove(link_, ec);  // left behind by a panel that did not exit cleanly
    }
    if (::symlink(device_.c_str(), link_.c_str()) != 0) {
        ::close(master_);
        throw sys_error("symlink " + link_);
    }
}

VirtualPort::~VirtualPort() {
    ::unlink(link_.c_str());
    hang_up();
}

void VirtualPort::hang_up() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

// While no program has the terminal open, this side polls as hung up.
bool VirtualPort::wait_opened(int timeout_ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        pollfd p{master_, POLLOUT, 0};
        ::poll(&p, 1, 0);
        if (!(p.revents & POLLHUP))
            return true;
        if (left_ms(end) == 0)
            return false;
        ::usleep(2000);
    }
}

void VirtualPort::send(const uint8_t* bytes, size_t n) {
    while (n > 0) {
        ssize_t r = ::write(master_, bytes, n);
        if (r > 0) {
            bytes += r;
            n -= static_cast<size_t>(r);
        } else if (r < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            throw sys_error("write to " + device_);
        }
    }
}

bool VirtualPort::receive(uint8_t* out, size_t n, int timeout_ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::read(master_, out + got, n - got);
        if (r > 0) {
            got += static_cast<size_t>(r);
            continue;
        }
        // EIO: the program has closed its side for now; treat it as silence.
        if (r < 0 && errno != EAGAIN && errno != EINTR && errno != EIO)
            throw sys_error("read from " + device_);
        const int left = left_ms(end);
        if (left == 0)
            return false;
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, left) > 0 && (p.revents & POLLHUP) && !(p.revents & POLLIN))
            ::usleep(1000);  // hung up: poll returns at once, so do not spin
    }
    return true;
}

void VirtualPort::drain() {
    uint8_t buf[256];
    while (::read(master_, buf, sizeof buf) > 0) {
    }
}

}  // namespace panelproto
