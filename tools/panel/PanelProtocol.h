#pragma once
// The panel's side of the serial protocol, free of any operating-system or toolkit code so that
// panel firmware can use it as it is: give it a Link that moves bytes.
//
// Rules a panel follows:
// - a poll (0-99) is answered with four bytes: i, low byte, high byte, 255 - i. A renewal of the
//   program's subscription drops polls that arrive meanwhile, so a missing reply is normal;
// - commands 250-254 start a handshake: wait for the acknowledgement (c, 0) before sending the
//   id, since bytes sent earlier are discarded;
// - an echo of id 0 and a refusal are the same bytes (0, 0): tell them apart by the id sent.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace panelproto {

// Byte transport to the program.
class Link {
public:
    virtual ~Link() = default;
    virtual void send(const uint8_t* bytes, size_t n) = 0;
    // Fills out with exactly n bytes, or returns false when they did not all come in timeout_ms.
    virtual bool receive(uint8_t* out, size_t n, int timeout_ms) = 0;
    // Drops whatever has arrived and not been read (late replies of an earlier command).
    virtual void drain() = 0;
};

struct Timing {
    int reply_ms = 500;   // a poll reply
    int frame_ms = 1500;  // a handshake frame; the program may be busy with a renewal
};

constexpr uint8_t kSetVariable = 250;
constexpr uint8_t kEventWithParameter = 251;
constexpr uint8_t kVoice = 252;
constexpr uint8_t kSoundControl = 253;
constexpr uint8_t kRadio = 254;

struct PollReply {
    bool answered = false;  // four bytes came back
    bool valid = false;     // byte 0 is the position polled and byte 3 its complement
    std::array<uint8_t, 4> bytes{};
    uint16_t word = 0;
};

PollReply poll(Link& link, uint8_t position, const Timing& t = {});

// Commands without an answer: fire event k (0-99), play sound k (0-49).
void fire_event(Link& link, uint8_t k);
void play_sound(Link& link, uint8_t k);

enum class Outcome {
    Done,        // every frame as expected
    NoAck,       // no acknowledgement of the command byte
    NoEcho,      // no echo of the id
    BadEcho,     // the echo does not carry the id sent
    Refused,     // 0, 0 where an acknowledgement or echo was due
    NoFinalAck,  // nothing after the parameter
};
std::string describe(Outcome o);

struct Exchange {
    Outcome outcome = Outcome::Done;
    std::vector<uint8_t> received;  // every byte the program sent back, in order
};

// Commands 252, 253, 254 with their id.
Exchange id_command(Link& link, uint8_t command, uint8_t id, const Timing& t = {});

// Commands 250 and 251 with id and parameter bytes (1-20 are accepted by the program; other
// sizes are sent anyway so a tester can see the refusal).
Exchange parameter_command(Link& link, uint8_t command, uint8_t id,
                           const std::vector<uint8_t>& parameter, const Timing& t = {});

// A float as the program reads it: four bytes, least significant first.
std::vector<uint8_t> float_bytes(float value);

// Sub-command ids by name: voice (up, down, 25, 50, 75, 100), sound (stop, up, down, 25, 50,
// 75, 100), radio (stop, next, prev, scan-on, scan-off, up, down, current).
std::optional<uint8_t> voice_subcommand(const std::string& name);
std::optional<uint8_t> sound_subcommand(const std::string& name);
std::optional<uint8_t> radio_subcommand(const std::string& name);

}  // namespace panelproto
