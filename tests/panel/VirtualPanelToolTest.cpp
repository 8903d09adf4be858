// The virtual-panel program as a user runs it: a scripted session against the real serial
// facility on the other end, and clear errors for bad input.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "encoding/ValueWord.h"
#include "panel/PanelLink.h"
#include "panel/SerialPort.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct ToolRun {
    int status = -1;
    std::string out, err;
};

class Tool : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::current_path() / "tool-ports";
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Starts the tool with args; returns its pid, with stdout and stderr going to files.
    pid_t start(const std::vector<std::string>& args) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::vector<std::string> all = {VIRTUAL_PANEL, "--dir", dir.string(), "--name", "t"};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (auto& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            std::freopen((dir / "out").c_str(), "w", stdout);
            std::freopen((dir / "err").c_str(), "w", stderr);
            std::freopen("/dev/null", "r", stdin);
            ::execv(VIRTUAL_PANEL, argv.data());
            ::_exit(127);
        }
        return pid;
    }
    ToolRun finish(pid_t pid) {
        ToolRun r;
        int st = 0;
        ::waitpid(pid, &st, 0);
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        std::stringstream o, e;
        o << std::ifstream(dir / "out").rdbuf();
        e << std::ifstream(dir / "err").rdbuf();
        r.out = o.str();
        r.err = e.str();
        return r;
    }
    fs::path dir;
};

TEST_F(Tool, ScriptedSessionAgainstTheSerialPort) {
    const pid_t pid = start({"wait-open 5000", "poll 3", "set 2 1.5", "radio next"});
    const fs::path link = dir / "t";
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (!fs::exists(link) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(fs::exists(link));

    // The program's side, reduced to the handshakes it needs here.
    SerialPort port;
    panel::SerialBytePort bytes(port);
    port.DataReceived = [&] {
        port.ReadTimeout = 400;
        port.WriteTimeout = 400;
        try {
            const uint8_t c = static_cast<uint8_t>(port.ReadByte());
            if (c == 3) {
                const auto reply = panel::poll_reply(c, Encode(122.5));
                port.Write(reply.data(), 0, 4);
            } else if (c == 250) {
                panel::parameter_handshake(bytes, panel::system_clock(), c);
            } else if (c == 254) {
                panel::id_handshake(bytes, c);
            }
        } catch (const SerialError&) {
        }
    };
    port.PortName = link.string();
    port.Open();
    const ToolRun r = finish(pid);
    port.Close();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("poll 3: reply 3 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" 252, word 0x"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("value 122.5\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("set: done; received 250 0 2 0 250 0 250 0\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("radio: done; received 254 0 201 0\n"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "the link outlived the tool";
}

TEST_F(Tool, BadInputIsNamed) {
    struct Row {
        std::string command;
        std::string error;
    };
    const std::vector<Row> rows = {
        {"poll 100", "error: I must be a whole number from 0 to 99, not \"100\""},
        {"poll", "error: usage: poll I"},
        {"set 1 abc", "error: value must be a number, not \"abc\""},
        {"soundctl loud", "error: unknown sound control \"loud\""},
        {"raw 256", "error: byte must be a whole number from 0 to 255, not \"256\""},
        {"frobnicate", "error: unknown command \"frobnicate\" (try help)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        const ToolRun r = finish(start({row.command}));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, row.error + "\n");
    }
    // A name that another live panel already publishes.
    const pid_t first = start({"sleep 3000"});
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (!fs::exists(dir / "t") && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(5ms);
    const ToolRun second = finish(start({"help"}));
    EXPECT_EQ(second.status, 2);
    EXPECT_NE(second.err.find("is already published by another panel"), std::string::npos)
        << second.err;
    ::kill(first, SIGTERM);
    finish(first);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "t")));
}

}  // namespace
