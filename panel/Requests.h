#pragma once
// The requests the panel handshakes produce and the workers consume.

#include <cstdint>
#include <memory>

// Result of an id handshake.
struct ArgumentType {
    float val = 0;
    uint8_t id = 0;
};

// Result of a parameter handshake, and the request of an event command. The request owns its
// bytes; handle is empty when the handshake failed or the request carries no parameter.
struct ArgumentType2 {
    std::unique_ptr<uint8_t[]> handle;
    uint8_t size = 0;
    uint8_t id = 0;
};
