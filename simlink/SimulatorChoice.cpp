#include "simlink/SimulatorChoice.h"

#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "simlink/EmbeddedSim.h"
#include "simlink/NameText.h"

namespace simlink {

namespace {}  // namespace

SimulatorSettings parse_simulator_settings(std::string_view text) {
    SimulatorSettings s;
    size_t pos = 0;
    int line_no = 0;
    while (pos <= text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++line_no;
        if (auto c = line.find_first_of("#;"); c != std::string_view::npos)
            line = line.substr(0, c);
        if (lower_trimmed(line).empty())
            continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            s.problems.push_back("line " + std::to_string(line_no) + ": no '='");
            continue;
        }
        const std::string key = lower_trimmed(line.substr(0, eq));
        const std::string value = lower_trimmed(line.substr(eq + 1));
        if (key == "simulator") {
            if (value == "embedded")
                s.simulator = Simulator::Embedded;
            else if (value == "none")
                s.simulator = Simulator::None;
            else {
                // A simulator we do not have: better offline than a different one.
                s.simulator = Simulator::None;
                s.problems.push_back("unknown simulator '" + value + "'");
            }
        } else if (key == "frame_rate") {
            double rate = 0;
            auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), rate);
            if (ec == std::errc() && p == value.data() + value.size() && rate >= 1 && rate <= 240)
                s.frame_rate = rate;
            else
                s.problems.push_back("frame_rate '" + value + "' is not 1 to 240");
        } else {
            s.problems.push_back("unknown setting '" + key + "'");
        }
    }
    return s;
}

SimulatorSettings read_simulator_settings(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return SimulatorSettings{};
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SimulatorSettings s;
        s.simulator = Simulator::None;
        s.problems.push_back("cannot read " + path);
        return s;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parse_simulator_settings(text.str());
}

std::unique_ptr<SimBackend> make_backend(const SimulatorSettings& settings) {
    switch (settings.simulator) {
        case Simulator::Embedded:
            return std::make_unique<EmbeddedSim>(settings.frame_rate);
        case Simulator::None:
            break;
    }
    return nullptr;
}

}  // namespace simlink
