#pragma once
// Small pieces shared by the simulator-link tests: console capture, a session with the
// embedded simulator, hand-built messages and call-log helpers.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "app/Console.h"
#include "simlink/Session.h"
#include "simlink/SimConnect.h"
#include "simlink/testing/SimTestHooks.h"

namespace rectest {

// Every console line written while it lives.
class Lines {
public:
    Lines()
        : capture_([this](std::string_view s) {
              std::lock_guard<std::mutex> g(m_);
              lines_.emplace_back(s);
          }) {}
    std::vector<std::string> all() const {
        std::lock_guard<std::mutex> g(m_);
        return lines_;
    }
    void clear() {
        std::lock_guard<std::mutex> g(m_);
        lines_.clear();
    }

private:
    mutable std::mutex m_;
    std::vector<std::string> lines_;
    console::Capture capture_;
};

// Stands in for the window: counts the notifications the library posts.
class CountingTarget final : public NotifyTarget {
public:
    void post_message(DWORD message) override {
        if (message == 0x402)
            ++posts;
    }
    std::atomic<int> posts{0};
};

// A fresh simulator with an open session in hSimConnect.
inline void open_session(NotifyTarget* target) {
    simlink::testing::reset();
    hSimConnect = nullptr;
    ASSERT_EQ(SimConnect_Open(&hSimConnect, "Client Event", target, 0x402, nullptr, 0), S_OK);
    ASSERT_NE(hSimConnect, nullptr);
}

inline void put32(std::vector<unsigned char>& m, size_t at, uint32_t v) {
    std::memcpy(m.data() + at, &v, sizeof v);
}

// A data message (kind 8) for `request` carrying `values`; `count` is the define count written
// into the header (the number of values unless given).
inline std::vector<unsigned char> data_message(uint32_t request, const std::vector<double>& values,
                                               int64_t count = -1) {
    std::vector<unsigned char> m(40 + 8 * values.size(), 0);
    put32(m, 0, static_cast<uint32_t>(m.size()));
    put32(m, 4, 1);
    put32(m, 8, SIMCONNECT_RECV_ID_SIMOBJECT_DATA);
    put32(m, 12, request);
    put32(m, 36, static_cast<uint32_t>(count < 0 ? values.size() : count));
    for (size_t i = 0; i < values.size(); ++i)
        std::memcpy(m.data() + 40 + 8 * i, &values[i], sizeof(double));
    return m;
}

// A bare message of another kind (OPEN is 2).
inline std::vector<unsigned char> header_message(uint32_t kind, size_t size = 40) {
    std::vector<unsigned char> m(size, 0);
    put32(m, 0, static_cast<uint32_t>(size));
    put32(m, 4, 1);
    put32(m, 8, kind);
    return m;
}

// The bytes of a data block as the call log writes them (space-separated hex).
inline std::vector<uint8_t> hex_bytes(const std::string& text) {
    std::vector<uint8_t> out;
    std::istringstream in(text);
    std::string tok;
    while (in >> tok)
        out.push_back(static_cast<uint8_t>(std::stoul(tok, nullptr, 16)));
    return out;
}

inline std::vector<std::vector<std::string>> args_of(const std::string& fn) {
    std::vector<std::vector<std::string>> out;
    for (const auto& c : simlink::testing::calls_of(fn))
        out.push_back(c.args);
    return out;
}

}  // namespace rectest
