// virtual-panel: stands in for the panel on a pseudo-terminal that the program can open.
//
//   virtual-panel [--name NAME] [--dir DIR] [COMMAND ...]
//
// With commands as arguments it runs them in order and exits; otherwise it reads commands from
// standard input, one a line (a prompt is shown when that is a terminal). "help" lists them.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "encoding/ValueWord.h"
#include "panel/PortList.h"
#include "tools/panel/PanelProtocol.h"
#include "tools/panel/VirtualPort.h"

namespace {

using panelproto::Exchange;
using panelproto::Outcome;

const char* kHelp =
    "commands:\n"
    "  wait-open [MS]       wait until the program has opened the port (default 30000 ms)\n"
    "  poll I               poll variable I (0-99): reply bytes, value word, decoded value\n"
    "  event K              fire event K (0-99) without a parameter\n"
    "  sound K              play sound K (0-49)\n"
    "  set ID VALUE         set settable variable ID to the float VALUE (command 250)\n"
    "  eventf ID VALUE      fire event ID with the float VALUE (command 251)\n"
    "  voice ID|up|down|25|50|75|100\n"
    "  soundctl stop|up|down|25|50|75|100\n"
    "  radio ID|stop|next|prev|scan-on|scan-off|up|down|current\n"
    "  raw B [B ...] [--wait MS]  send bytes (0-255) and print what comes back (default 500 ms)\n"
    "  sleep MS             pause\n"
    "  hangup               close the terminal (the program sees the device go away)\n"
    "  help, quit\n";

char g_link[4096];  // the published link, for the signal handler
// Ctrl-C or a kill, also in the middle of a command: take the link down and go.
void on_signal(int) {
    if (g_link[0])
        ::unlink(g_link);
    ::_exit(130);
}

struct BadInput {
    std::string message;
};

long number(const std::string& s, long lo, long hi, const char* what) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || errno != 0 || v < lo || v > hi)
        throw BadInput{std::string(what) + " must be a whole number from " + std::to_string(lo) +
                       " to " + std::to_string(hi) + ", not \"" + s + "\""};
    return v;
}

float real(const std::string& s) {
    char* end = nullptr;
    float v = std::strtof(s.c_str(), &end);
    if (s.empty() || *end != '\0')
        throw BadInput{"value must be a number, not \"" + s + "\""};
    return v;
}

std::string bytes_text(const std::vector<uint8_t>& b) {
    std::string s;
    for (size_t i = 0; i < b.size(); ++i)
        s += (i ? " " : "") + std::to_string(b[i]);
    return s.empty() ? "(nothing)" : s;
}

void print(const char* what, const Exchange& x) {
    std::printf("%s: %s; received %s\n", what, panelproto::describe(x.outcome).c_str(),
                bytes_text(x.received).c_str());
}

void need(const std::vector<std::string>& w, size_t n, const char* usage) {
    if (w.size() != n)
        throw BadInput{std::string("usage: ") + usage};
}

uint8_t sub_or_id(const std::string& s, std::optional<uint8_t> sub) {
    if (sub)
        return *sub;
    return static_cast<uint8_t>(number(s, 0, 255, "id"));
}

// Runs one command line; returns false on quit.
bool run(panelproto::VirtualPort& port, const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string t; in >> t;)
        w.push_back(t);
    if (w.empty() || w[0][0] == '#')
        return true;
    const std::string& cmd = w[0];
    if (cmd == "quit" || cmd == "exit")
        return false;
    if (cmd == "help") {
        std::fputs(kHelp, stdout);
    } else if (cmd == "wait-open") {
        int ms = w.size() > 1 ? static_cast<int>(number(w[1], 0, 3600000, "MS")) : 30000;
        if (port.wait_opened(ms))
            std::printf("port opened by the program\n");
        else
            throw BadInput{"the program did not open " + port.path() + " in time"};
    } else if (cmd == "poll") {
        need(w, 2, "poll I");
        auto i = static_cast<uint8_t>(number(w[1], 0, 99, "I"));
        auto r = panelproto::poll(port, i);
        if (!r.answered) {
            std::printf("poll %u: no reply (the program may be renewing its subscription)\n", i);
        } else {
            std::printf("poll %u: reply %u %u %u %u%s, word 0x%04X, value %.7g\n", i, r.bytes[0],
                        r.bytes[1], r.bytes[2], r.bytes[3], r.valid ? "" : " (INVALID FRAME)",
                        r.word, static_cast<double>(Decode(r.word)));
        }
    } else if (cmd == "event") {
        need(w, 2, "event K");
        panelproto::fire_event(port, static_cast<uint8_t>(number(w[1], 0, 99, "K")));
        std::printf("sent\n");
    } else if (cmd == "sound") {
        need(w, 2, "sound K");
        panelproto::play_sound(port, static_cast<uint8_t>(number(w[1], 0, 49, "K")));
        std::printf("sent\n");
    } else if (cmd == "set" || cmd == "eventf") {
        need(w, 3, "set|eventf ID VALUE");
        auto id = static_cast<uint8_t>(number(w[1], 0, 255, "ID"));
        const float v = real(w[2]);
        const uint8_t c = cmd == "set" ? panelproto::kSetVariable : panelproto::kEventWithParameter;
        print(cmd.c_str(), panelproto::parameter_command(port, c, id, panelproto::float_bytes(v)));
    } else if (cmd == "voice") {
        need(w, 2, "voice ID|up|down|25|50|75|100");
        print("voice", panelproto::id_command(port, panelproto::kVoice,
                                              sub_or_id(w[1], panelproto::voice_subcommand(w[1]))));
    } else if (cmd == "soundctl") {
        need(w, 2, "soundctl stop|up|down|25|50|75|100");
        auto sub = panelproto::sound_subcommand(w[1]);
        if (!sub)
            throw BadInput{"unknown sound control \"" + w[1] + "\""};
        print("soundctl", panelproto::id_command(port, panelproto::kSoundControl, *sub));
    } else if (cmd == "radio") {
        need(w, 2, "radio ID|stop|next|prev|scan-on|scan-off|up|down|current");
        print("radio", panelproto::id_command(port, panelproto::kRadio,
                                              sub_or_id(w[1], panelproto::radio_subcommand(w[1]))));
    } else if (cmd == "raw") {
        std::vector<uint8_t> out;
        int wait_ms = 500;
        for (size_t k = 1; k < w.size(); ++k) {
            if (w[k] == "--wait" && k + 1 < w.size())
                wait_ms = static_cast<int>(number(w[++k], 0, 60000, "MS"));
            else
                out.push_back(static_cast<uint8_t>(number(w[k], 0, 255, "byte")));
        }
        if (out.empty())
            throw BadInput{"usage: raw B [B ...] [--wait MS]"};
        port.drain();
        port.send(out.data(), out.size());
        std::vector<uint8_t> back;
        uint8_t b;
        while (port.receive(&b, 1, wait_ms))
            back.push_back(b);
        std::printf("received %s\n", bytes_text(back).c_str());
    } else if (cmd == "sleep") {
        need(w, 2, "sleep MS");
        ::usleep(static_cast<useconds_t>(number(w[1], 0, 3600000, "MS")) * 1000);
    } else if (cmd == "hangup") {
        port.hang_up();
        std::printf("hung up\n");
    } else {
        throw BadInput{"unknown command \"" + cmd + "\" (try help)"};
    }
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string name = "virtual-panel";
    std::string dir = virtual_ports_dir();
    std::vector<std::string> commands;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if ((a == "--name" || a == "--dir") && i + 1 < argc)
            (a == "--name" ? name : dir) = argv[++i];
        else if (a == "-h" || a == "--help") {
            std::printf("usage: %s [--name NAME] [--dir DIR] [COMMAND ...]\n%s", argv[0], kHelp);
            return 0;
        } else
            commands.push_back(a);
    }
    std::signal(SIGPIPE, SIG_IGN);
    try {
        panelproto::VirtualPort port(dir, name);
        std::snprintf(g_link, sizeof g_link, "%s", port.path().c_str());
        std::signal(SIGINT, on_signal);
        std::signal(SIGTERM, on_signal);
        std::printf("virtual port %s -> %s\n", port.path().c_str(), port.device().c_str());
        std::fflush(stdout);
        int failures = 0;
        auto one = [&](const std::string& line) {
            try {
                return run(port, line);
            } catch (const BadInput& e) {
                std::fprintf(stderr, "error: %s\n", e.message.c_str());
                ++failures;
            } catch (const std::exception& e) {
                std::fprintf(stderr, "error: %s\n", e.what());
                ++failures;
            }
            return true;
        };
        if (!commands.empty()) {
            for (const auto& c : commands)
                if (!one(c))
                    break;
            return failures ? 1 : 0;
        }
        const bool tty = ::isatty(0);
        std::string line;
        for (;;) {
            if (tty)
                std::fputs("panel> ", stdout), std::fflush(stdout);
            if (!std::getline(std::cin, line) || !one(line))
                break;
        }
        return failures && !tty ? 1 : 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "virtual-panel: %s\n", e.what());
        return 2;
    }
}
