#include "panel/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "panel/PortList.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string reason(int err) {
    return std::strerror(err);
}

speed_t speed_of(int baud) {
    switch (baud) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            throw SerialError("unsupported baud rate " + std::to_string(baud));
    }
}

// Milliseconds left until deadline, for poll(); -1 waits without end.
int remaining_ms(int timeout, Clock::time_point start) {
    if (timeout < 0)
        return -1;
    auto left = std::chrono::milliseconds(timeout) -
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

struct SerialPort::Impl {
    // mutex guards fd, users, closing, hungup, generation and quit. The descriptor is closed only
    // when users is 0, so no call ever reads a descriptor number that was closed and reused.
    mutable std::mutex mutex;
    std::condition_variable changed;
    int fd = -1;
    int users = 0;
    bool closing = false;
    bool hungup = false;
    bool quit = false;
    uint64_t generation = 0;  // counts opens; the receive thread watches the newest one
    // Counts reads and discards, so the receive thread can tell whether a handler took input.
    std::atomic<uint64_t> consumed{0};
    // Readable while a close is under way: every poll() waits on it too, so blocked calls
    // return at once instead of at the end of their timeout.
    int wake = -1;
    std::thread receiver;

    // Holds the descriptor for one call; throws when the port is closed or going away.
    struct Use {
        Impl& impl;
        int fd;
        explicit Use(const Impl& i) : impl(const_cast<Impl&>(i)) {
            std::lock_guard<std::mutex> g(impl.mutex);
            if (impl.fd < 0 || impl.closing)
                throw SerialError("The port is closed.");
            fd = impl.fd;
            ++impl.users;
        }
        ~Use() {
            std::lock_guard<std::mutex> g(impl.mutex);
            if (--impl.users == 0)
                impl.changed.notify_all();
        }
        void hangup() {
            std::lock_guard<std::mutex> g(impl.mutex);
            impl.hungup = true;
        }
        bool hungup() const {
            std::lock_guard<std::mutex> g(impl.mutex);
            return impl.hungup;
        }
    };

    // Waits for events on fd (or a close) up to timeout ms. Returns revents of fd, 0 on timeout;
    // throws when the port is being closed.
    static short wait(int fd, int wakefd, short events, int timeout) {
        pollfd p[2] = {{fd, events, 0}, {wakefd, POLLIN, 0}};
        for (;;) {
            int r = ::poll(p, 2, timeout);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                throw SerialError("poll failed: " + reason(errno));
            if (p[1].revents)
                throw SerialError("The port is closed.");
            return p[0].revents;
        }
    }

    void receive_loop(SerialPort& port);
};

SerialPort::SerialPort() : impl_(new Impl) {
    impl_->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    impl_->receiver = std::thread([this] { impl_->receive_loop(*this); });
}

SerialPort::~SerialPort() {
    Close();
    {
        std::lock_guard<std::mutex> g(impl_->mutex);
        impl_->quit = true;
    }
    impl_->changed.notify_all();
    uint64_t one = 1;
    (void)!::write(impl_->wake, &one, sizeof one);
    impl_->receiver.join();
    ::close(impl_->wake);
    delete impl_;
}

std::vector<std::string> SerialPort::GetPortNames() {
    return list_port_names();
}

void SerialPort::Open() {
    std::unique_lock<std::mutex> g(impl_->mutex);
    if (impl_->fd >= 0)
        throw SerialError("The port is already open.");
    const speed_t speed = speed_of(BaudRate);
    int fd = ::open(PortName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        std::string why = PortName + ": " + reason(e);
        if (e == EACCES || e == EPERM)
            why +=
                " (add your user to the dialout group: sudo usermod -aG dialout $USER, then "
                "log out and in again)";
        throw SerialError(why);
    }
    // Another program holding the port counts as "in use". flock rather than TIOCEXCL: the
    // exclusive flag outlives our close while the far end of a pseudo-terminal stays open.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int e = errno;
        ::close(fd);
        throw SerialError(
            PortName + ": " +
            (e == EWOULDBLOCK ? std::string("in use by another program") : reason(e)));
    }
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        int e = errno;
        ::close(fd);
        throw SerialError(PortName + ": not a serial port (" + reason(e) + ")");
    }
    ::cfmakeraw(&t);
    t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    // With VMIN 1 a non-blocking read of an empty port fails with EAGAIN, so a read of 0 bytes
    // means the device has gone.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        int e = errno;
        ::close(fd);
        throw SerialError(PortName + ": " + reason(e));
    }
    // The panel must not see DTR or RTS; a pseudo-terminal has no modem lines, so failure is fine.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIC, &lines);
    // Whatever the panel sent while nobody had the port open is stale; dropped here, before the
    // receive thread can see the descriptor, it cannot be taken for a command.
    (void)::tcflush(fd, TCIFLUSH);
    impl_->fd = fd;
    impl_->hungup = false;
    ++impl_->generation;
    g.unlock();
    impl_->changed.notify_all();
}

void SerialPort::Close() {
    std::unique_lock<std::mutex> g(impl_->mutex);
    if (impl_->fd < 0 || impl_->closing) {
        // A concurrent close finishes the job; wait for it so the caller sees a closed port.
        impl_->changed.wait(g, [this] { return !impl_->closing; });
        return;
    }
    impl_->closing = true;
    uint64_t one = 1;
    (void)!::write(impl_->wake, &one, sizeof one);
    impl_->changed.wait(g, [this] { return impl_->users == 0; });
    ::close(impl_->fd);
    impl_->fd = -1;
    uint64_t drained;
    (void)!::read(impl_->wake, &drained, sizeof drained);
    impl_->closing = false;
    g.unlock();
    impl_->changed.notify_all();
}

bool SerialPort::IsOpen() const {
    std::lock_guard<std::mutex> g(impl_->mutex);
    return impl_->fd >= 0 && !impl_->closing;
}

bool SerialPort::IsHungUp() const {
    std::lock_guard<std::mutex> g(impl_->mutex);
    return impl_->fd >= 0 && impl_->hungup;
}

int SerialPort::BytesToRead() const {
    Impl::Use u(*impl_);
    int n = 0;
    if (::ioctl(u.fd, FIONREAD, &n) != 0)
        throw SerialError("FIONREAD failed: " + reason(errno));
    return n;
}

int SerialPort::ReadByte() {
    uint8_t b;
    Read(&b, 0, 1);
    return b;
}

int SerialPort::Read(uint8_t* buffer, int offset, int count) {
    if (count <= 0)
        return 0;
    Impl::Use u(*impl_);
    const int timeout = ReadTimeout;
    const auto start = Clock::now();
    for (;;) {
        if (u.hungup())
            throw SerialError("The device has gone away.");
        ssize_t r = ::read(u.fd, buffer + offset, static_cast<size_t>(count));
        if (r > 0) {
            impl_->consumed.fetch_add(1);
            return static_cast<int>(r);
        }
        if (r == 0 || (r < 0 && errno == EIO)) {
            u.hangup();
            throw SerialError("The device has gone away.");
        }
        if (errno != EAGAIN && errno != EINTR)
            throw SerialError("read failed: " + reason(errno));
        int left = remaining_ms(timeout, start);
        if (left == 0)
            throw SerialTimeout("The operation has timed out.");
        short ev = Impl::wait(u.fd, impl_->wake, POLLIN, left);
        if ((ev & (POLLHUP | POLLERR)) && !(ev & POLLIN)) {
            u.hangup();
            throw SerialError("The device has gone away.");
        }
        if (ev == 0 && remaining_ms(timeout, start) == 0)
            throw SerialTimeout("The operation has timed out.");
    }
}

void SerialPort::Write(const uint8_t* buffer, int offset, int count) {
    Impl::Use u(*impl_);
    const int timeout = WriteTimeout;
    const auto start = Clock::now();
    const uint8_t* p = buffer + offset;
    while (count > 0) {
        if (u.hungup())
            throw SerialError("The device has gone away.");
        ssize_t r = ::write(u.fd, p, static_cast<size_t>(count));
        if (r > 0) {
            p += r;
            count -= static_cast<int>(r);
            continue;
        }
        if (r < 0 && errno == EIO) {
            u.hangup();
            throw SerialError("The device has gone away.");
        }
        if (r < 0 && errno != EAGAIN && errno != EINTR)
            throw SerialError("write failed: " + reason(errno));
        int left = remaining_ms(timeout, start);
        if (left == 0)
            throw SerialTimeout("The write timed out.");
        short ev = Impl::wait(u.fd, impl_->wake, POLLOUT, left);
        if (ev & (POLLHUP | POLLERR)) {
            u.hangup();
            throw SerialError("The device has gone away.");
        }
    }
}

void SerialPort::DiscardInBuffer() {
    Impl::Use u(*impl_);
    impl_->consumed.fetch_add(1);
    if (::tcflush(u.fd, TCIFLUSH) != 0)
        throw SerialError("tcflush failed: " + reason(errno));
}

void SerialPort::DiscardOutBuffer() {
    Impl::Use u(*impl_);
    if (::tcflush(u.fd, TCOFLUSH) != 0)
        throw SerialError("tcflush failed: " + reason(errno));
}

// One thread for the life of the port object: while the port is open and the device present it
// waits for input and raises DataReceived, one call at a time; otherwise it sleeps until the next
// open. A hung-up device raises nothing more, so nothing spins on a dead descriptor.
void SerialPort::Impl::receive_loop(SerialPort& port) {
    for (;;) {
        int myfd;
        {
            std::unique_lock<std::mutex> g(mutex);
            changed.wait(g, [this] { return quit || (fd >= 0 && !closing && !hungup); });
            if (quit)
                return;
            myfd = fd;
            ++users;
        }
        auto release = [this] {
            std::lock_guard<std::mutex> g(mutex);
            if (--users == 0)
                changed.notify_all();
        };
        short ev = 0;
        int pending = 0;
        try {
            ev = wait(myfd, wake, POLLIN, -1);
            if (ev & POLLIN)
                (void)::ioctl(myfd, FIONREAD, &pending);
        } catch (const SerialError&) {
            // closing: wait for the close to finish before looking again
            release();
            std::unique_lock<std::mutex> g(mutex);
            changed.wait(g, [this] { return quit || !closing; });
            continue;
        }
        release();
        if (pending == 0 && (ev & (POLLHUP | POLLERR | POLLNVAL))) {
            // hung up: the device has gone away
            std::lock_guard<std::mutex> g(mutex);
            if (fd == myfd && !closing)
                hungup = true;
            continue;
        }
        if (pending == 0) {
            // Readable, but another thread discarded the bytes first; a short pause keeps a
            // terminal that stays readable with nothing in it from turning this into a spin.
            if (ev & POLLIN)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        const uint64_t consumed_before = consumed.load();
        if (port.DataReceived) {
            try {
                port.DataReceived();
            } catch (...) {
                // the handler logs its own failures; nothing may end this thread
            }
        }
        // Bytes left over by a handler that took some input get the next notification at once.
        // A handler that took nothing would bring us straight back here: then wait for the
        // count to change (or a close) before raising the next one.
        if (consumed.load() != consumed_before)
            continue;
        {
            std::lock_guard<std::mutex> g(mutex);
            if (fd != myfd || closing || hungup)
                continue;
            ++users;
        }
        int after = pending;
        try {
            for (int waited = 0; waited < 1000 && after == pending; waited += 10) {
                (void)wait(-1, wake, 0, 10);
                (void)::ioctl(myfd, FIONREAD, &after);
            }
        } catch (const SerialError&) {
        }
        release();
    }
}
