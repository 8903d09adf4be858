// The serial facility over a real pseudo-terminal, with the virtual panel on the other side;
// and the port listing over folders made for the test.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "CpuTime.h"
#include "panel/PortList.h"
#include "panel/SerialPort.h"
#include "tools/panel/VirtualPort.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Waits up to 5 s for cond.
template <typename Cond>
bool eventually(Cond cond) {
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class PortDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::current_path() / ("ports-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

using SerialPortPty = PortDir;

TEST_F(SerialPortPty, BytesBothWaysAndNotifications) {
    panelproto::VirtualPort panel(dir.string(), "p1");
    SerialPort port;
    std::atomic<int> notes{0}, inside{0}, overlap{0};
    port.DataReceived = [&] {
        if (inside.fetch_add(1) != 0)
            overlap = 1;
        std::this_thread::sleep_for(2ms);
        while (port.BytesToRead() > 0)
            port.ReadByte();
        ++notes;
        inside.fetch_sub(1);
    };
    port.PortName = panel.path();
    port.Open();
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(panel.wait_opened(1000));

    for (int k = 0; k < 20; ++k) {
        const uint8_t b = static_cast<uint8_t>(k);
        panel.send(&b, 1);
    }
    ASSERT_TRUE(eventually([&] { return notes > 0 && port.BytesToRead() == 0; }));
    EXPECT_EQ(overlap.load(), 0) << "two notifications ran at once";

    const uint8_t out[4] = {3, 0x34, 0x12, 252};
    port.Write(out, 0, 4);
    uint8_t back[4];
    ASSERT_TRUE(panel.receive(back, 4, 1000));
    EXPECT_EQ(std::vector<uint8_t>(back, back + 4), std::vector<uint8_t>(out, out + 4));
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    port.Close();  // closing a closed port does nothing
}

TEST_F(SerialPortPty, ReadTimeoutDiscardAndClosedPortErrors) {
    panelproto::VirtualPort panel(dir.string(), "p1");
    SerialPort port;  // no handler: reads below are the only consumer
    port.PortName = panel.path();
    port.Open();
    port.ReadTimeout = 50;
    EXPECT_THROW(port.ReadByte(), SerialTimeout);

    // DataReceived is empty, so the bytes stay until discarded.
    const uint8_t b[3] = {1, 2, 3};
    panel.send(b, 3);
    ASSERT_TRUE(eventually([&] { return port.BytesToRead() == 3; }));
    port.DiscardInBuffer();
    EXPECT_EQ(port.BytesToRead(), 0);
    panel.send(b, 2);
    ASSERT_TRUE(eventually([&] { return port.BytesToRead() == 2; }));
    uint8_t got[4] = {};
    EXPECT_EQ(port.Read(got, 1, 3), 2);
    EXPECT_EQ(got[1], 1);
    EXPECT_EQ(got[2], 2);

    port.Close();
    uint8_t one = 1;
    EXPECT_THROW(port.ReadByte(), SerialError);
    EXPECT_THROW(port.Write(&one, 0, 1), SerialError);
    EXPECT_THROW(port.DiscardInBuffer(), SerialError);
    EXPECT_THROW(port.DiscardOutBuffer(), SerialError);
    EXPECT_THROW(port.BytesToRead(), SerialError);
}

// Release Port discards the input from the window thread while the receive thread may just have
// woken for it: bytes that vanish between the wake and the count are no hangup.
TEST_F(SerialPortPty, InputDiscardedUnderTheReceiveThreadIsNoHangup) {
    panelproto::VirtualPort panel(dir.string(), "p1");
    SerialPort port;  // no handler: the receive thread only watches
    port.PortName = panel.path();
    port.Open();
    const uint8_t b[3] = {1, 2, 3};
    for (int i = 0; i < 20000 && !port.IsHungUp(); ++i) {
        panel.send(b, 3);
        port.DiscardInBuffer();
    }
    EXPECT_FALSE(port.IsHungUp());
    panel.send(b, 1);
    ASSERT_TRUE(eventually([&] { return port.BytesToRead() == 1; }));
    EXPECT_EQ(port.ReadByte(), 1);
}

TEST_F(SerialPortPty, OpenFailures) {
    panelproto::VirtualPort panel(dir.string(), "p1");
    struct Row {
        const char* name;
        std::string path;
        const char* reason;
    };
    const fs::path plain = dir / "not-a-tty";
    std::ofstream(plain) << "x";
    // Another program holds the port.
    SerialPort other;
    other.PortName = panel.path();
    other.Open();
    for (const Row& r : std::vector<Row>{{"missing", (dir / "gone").string(), "No such file"},
                                         {"in use", panel.path(), "in use"},
                                         {"not a terminal", plain.string(), "not a serial port"}}) {
        SCOPED_TRACE(r.name);
        SerialPort port;
        port.PortName = r.path;
        try {
            port.Open();
            ADD_FAILURE() << "opened";
        } catch (const SerialError& e) {
            EXPECT_NE(std::string(e.what()).find(r.reason), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(r.path), std::string::npos) << e.what();
        }
        EXPECT_FALSE(port.IsOpen());
    }
    other.Close();
    SerialPort port;
    port.PortName = panel.path();
    EXPECT_NO_THROW(port.Open());  // free again
}

// The open's error text for a device the user may not open. Root may open anything, so as
// root the open runs in a child process that has given up its rights.
std::string open_error_as_user(const std::string& path) {
    auto attempt = [&] {
        SerialPort port;
        port.PortName = path;
        try {
            port.Open();
            return std::string("opened");
        } catch (const SerialError& e) {
            return std::string(e.what());
        }
    };
    if (::geteuid() != 0)
        return attempt();
    int out[2];
    if (::pipe(out) != 0)
        return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        std::string r = (::setgid(65534) == 0 && ::setuid(65534) == 0) ? attempt() : "setuid";
        (void)!::write(out[1], r.data(), r.size());
        ::_exit(0);
    }
    ::close(out[1]);
    std::string r;
    char buf[512];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
        r.append(buf, static_cast<size_t>(n));
    ::close(out[0]);
    ::waitpid(child, nullptr, 0);
    return r;
}

TEST_F(SerialPortPty, PermissionDeniedNamesTheDialoutGroup) {
    panelproto::VirtualPort panel(dir.string(), "p1");
    fs::permissions(panel.device(), fs::perms::none);
    const std::string why = open_error_as_user(panel.path());
    EXPECT_NE(why.find(panel.path() + ": Permission denied"), std::string::npos) << why;
    EXPECT_NE(why.find("dialout"), std::string::npos) << why;
}

TEST_F(SerialPortPty, CloseWakesABlockedReadAndWrite) {
    panelproto::VirtualPort panel(dir.string(), "p1");
    SerialPort port;
    port.PortName = panel.path();
    port.Open();
    port.ReadTimeout = SerialPort::kInfinite;
    auto reader = std::async(std::launch::async, [&] {
        try {
            port.ReadByte();
            return std::string("read a byte");
        } catch (const SerialTimeout&) {
            return std::string("timeout");
        } catch (const SerialError&) {
            return std::string("closed");
        }
    });
    std::this_thread::sleep_for(20ms);  // let it block
    port.Close();
    // Without the wake-up the read would block for ever.
    ASSERT_EQ(reader.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(reader.get(), "closed");

    // Reopen: the new descriptor works and the old call is long gone.
    port.Open();
    const uint8_t b = 42;
    panel.send(&b, 1);
    port.ReadTimeout = 1000;
    EXPECT_EQ(port.ReadByte(), 42);
}

TEST_F(SerialPortPty, HangupStopsNotificationsWithoutSpinningAndReplugWorks) {
    auto panel = std::make_unique<panelproto::VirtualPort>(dir.string(), "p1");
    SerialPort port;
    std::atomic<int> notes{0};
    port.DataReceived = [&] {
        ++notes;
        try {
            port.ReadByte();
        } catch (const SerialError&) {
        }
    };
    port.PortName = panel->path();
    port.Open();
    port.ReadTimeout = 400;
    const uint8_t b = 1;
    panel->send(&b, 1);
    ASSERT_TRUE(eventually([&] { return notes == 1; }));

    panel.reset();  // unplugged
    ASSERT_TRUE(eventually([&] { return port.IsHungUp(); }));
    EXPECT_TRUE(port.IsOpen());  // open until the user closes it
    EXPECT_THROW(port.ReadByte(), SerialError);
    uint8_t one = 1;
    EXPECT_THROW(port.Write(&one, 0, 1), SerialError);

    const double before = cpu_seconds();
    std::this_thread::sleep_for(300ms);
    const double used = cpu_seconds() - before;
    EXPECT_LT(used, 0.05) << "the receive thread spins on a dead port";
    EXPECT_EQ(notes.load(), 1);

    // Replugged under the same name: close and open again.
    panelproto::VirtualPort again(dir.string(), "p1");
    port.Close();
    port.PortName = again.path();
    port.Open();
    EXPECT_FALSE(port.IsHungUp());
    again.send(&b, 1);
    ASSERT_TRUE(eventually([&] { return notes == 2; }));
}

// ---------------------------------------------------------------- listing

using PortListing = PortDir;

TEST_F(PortListing, VirtualPortsInNameOrderSkippingDeadLinks) {
    panelproto::VirtualPort b(dir.string(), "b-panel");
    panelproto::VirtualPort a(dir.string(), "a-panel");
    fs::create_symlink("/dev/pts/does-not-exist", dir / "c-dead");
    std::ofstream(dir / "d-plain-file") << "";
    EXPECT_EQ(list_virtual_ports(dir.string()),
              (std::vector<std::string>{(dir / "a-panel").string(), (dir / "b-panel").string()}));
    EXPECT_TRUE(list_virtual_ports((dir / "missing").string()).empty());
}

TEST_F(PortListing, RealDevicesFromSysfs) {
    const fs::path sys = dir / "sys";
    auto tty = [&](const char* name, bool device, const char* type) {
        fs::create_directories(sys / name);
        if (device)
            fs::create_directories(sys / name / "device");
        if (type)
            std::ofstream(sys / name / "type") << type << "\n";
    };
    tty("ttyUSB0", true, nullptr);
    tty("ttyACM0", true, nullptr);
    tty("ttyS0", true, "4");
    tty("ttyS1", true, "0");  // an empty 8250 slot
    tty("tty1", false, nullptr);
    tty("console", false, nullptr);
    EXPECT_EQ(list_real_ports(sys.string()),
              (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB0"}));
}

TEST_F(PortListing, VirtualFolderAndOrder) {
    const char* old = getenv("XDG_RUNTIME_DIR");
    std::string saved = old ? old : "";
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    EXPECT_EQ(virtual_ports_dir(), (dir / "tarnwell/ports").string());
    panelproto::VirtualPort p(virtual_ports_dir(), "zz");
    auto names = list_port_names();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), p.path());  // virtual ports come first
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(virtual_ports_dir(), "/tmp/tarnwell-" + std::to_string(getuid()) + "/ports");
    if (old)
        setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

}  // namespace
