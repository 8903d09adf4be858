#pragma once
// Which simulator sits behind the client functions. Read, like a client library reads its own
// settings, from tarnwell-sim.cfg in the current directory when a session opens; without the
// file the embedded simulator is used. Format: one "key = value" per line, "#" or ";" starts a
// comment, keys and values are case-insensitive:
//
//   simulator = embedded      # or: none (the open fails: the program runs offline)
//   frame_rate = 30           # embedded frames per second, 1 to 240

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "simlink/SimBackend.h"

namespace simlink {

enum class Simulator { Embedded, None };

struct SimulatorSettings {
    Simulator simulator = Simulator::Embedded;
    double frame_rate = 30;
    std::vector<std::string> problems;  // one line per setting that was not understood
};

inline constexpr const char* kSimulatorSettingsFile = "tarnwell-sim.cfg";

SimulatorSettings parse_simulator_settings(std::string_view text);
// A missing file gives the defaults; a file that exists but cannot be read counts as none.
SimulatorSettings read_simulator_settings(const std::string& path = kSimulatorSettingsFile);

// The backend the settings ask for; null for none.
std::unique_ptr<SimBackend> make_backend(const SimulatorSettings& settings);

}  // namespace simlink
