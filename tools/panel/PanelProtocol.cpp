#include "tools/panel/PanelProtocol.h"

#include <cstring>
#include <utility>

namespace panelproto {

namespace {

bool expect_frame(Link& link, const Timing& t, Exchange& x, uint8_t first, Outcome missing) {
    uint8_t f[2];
    if (!link.receive(f, 2, t.frame_ms)) {
        x.outcome = missing;
        return false;
    }
    x.received.insert(x.received.end(), f, f + 2);
    if (f[0] == first && f[1] == 0)
        return true;
    x.outcome = (f[0] == 0 && f[1] == 0) ? Outcome::Refused : Outcome::BadEcho;
    return false;
}

std::optional<uint8_t> lookup(const std::string& name,
                              std::initializer_list<std::pair<const char*, uint8_t>> table) {
    for (const auto& [n, id] : table)
        if (name == n)
            return id;
    return std::nullopt;
}

}  // namespace

PollReply poll(Link& link, uint8_t position, const Timing& t) {
    PollReply r;
    link.drain();
    link.send(&position, 1);
    if (!link.receive(r.bytes.data(), 4, t.reply_ms))
        return r;
    r.answered = true;
    r.valid = r.bytes[0] == position && r.bytes[3] == static_cast<uint8_t>(255 - position);
    r.word = static_cast<uint16_t>(r.bytes[1] | r.bytes[2] << 8);
    return r;
}

void fire_event(Link& link, uint8_t k) {
    const uint8_t c = static_cast<uint8_t>(100 + k);
    link.send(&c, 1);
}

void play_sound(Link& link, uint8_t k) {
    const uint8_t c = static_cast<uint8_t>(200 + k);
    link.send(&c, 1);
}

std::string describe(Outcome o) {
    switch (o) {
        case Outcome::Done:
            return "done";
        case Outcome::NoAck:
            return "no acknowledgement of the command";
        case Outcome::NoEcho:
            return "no echo of the id";
        case Outcome::BadEcho:
            return "echo does not match the id";
        case Outcome::Refused:
            return "refused (0, 0)";
        case Outcome::NoFinalAck:
            return "no acknowledgement of the parameter";
    }
    return "?";
}

namespace {

// Command byte, acknowledgement, id, echo: the opening that both handshakes share. False when
// the exchange ended there (x says why).
bool send_command_and_id(Link& link, uint8_t command, uint8_t id, const Timing& t, Exchange& x) {
    link.drain();
    link.send(&command, 1);
    // The id must follow the acknowledgement: the program discards what came before it.
    if (!expect_frame(link, t, x, command, Outcome::NoAck))
        return false;
    link.send(&id, 1);
    if (expect_frame(link, t, x, id, Outcome::NoEcho))
        return true;
    // An echo of 0 and a refusal are the same two bytes; for id 0 it is the echo.
    if (id == 0 && x.outcome == Outcome::Refused) {
        x.outcome = Outcome::Done;
        return true;
    }
    return false;
}

}  // namespace

Exchange id_command(Link& link, uint8_t command, uint8_t id, const Timing& t) {
    Exchange x;
    if (send_command_and_id(link, command, id, t, x))
        x.outcome = Outcome::Done;
    return x;
}

Exchange parameter_command(Link& link, uint8_t command, uint8_t id,
                           const std::vector<uint8_t>& parameter, const Timing& t) {
    Exchange x;
    if (!send_command_and_id(link, command, id, t, x))
        return x;
    const uint8_t size = static_cast<uint8_t>(parameter.size());
    link.send(&size, 1);
    if (!expect_frame(link, t, x, command, Outcome::NoAck))
        return x;
    // All bytes in one write: the program wants them pending within 60 ms of its acknowledgement.
    link.send(parameter.data(), parameter.size());
    if (!expect_frame(link, t, x, command, Outcome::NoFinalAck))
        return x;
    return x;
}

std::vector<uint8_t> float_bytes(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
            static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
}

std::optional<uint8_t> voice_subcommand(const std::string& name) {
    return lookup(
        name, {{"up", 200}, {"down", 201}, {"25", 202}, {"50", 203}, {"75", 204}, {"100", 205}});
}

std::optional<uint8_t> sound_subcommand(const std::string& name) {
    return lookup(name, {{"stop", 200},
                         {"up", 201},
                         {"down", 202},
                         {"25", 203},
                         {"50", 204},
                         {"75", 205},
                         {"100", 206}});
}

std::optional<uint8_t> radio_subcommand(const std::string& name) {
    return lookup(name, {{"stop", 200},
                         {"next", 201},
                         {"prev", 202},
                         {"scan-on", 203},
                         {"scan-off", 204},
                         {"up", 205},
                         {"down", 206},
                         {"current", 207}});
}

}  // namespace panelproto
