// The panel rules without a window: throttle, poll reply, radio stepping and both handshakes,
// driven through a scripted port on a virtual clock (no test here sleeps).
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/Console.h"
#include "panel/PanelLink.h"
#include "panel/SerialPort.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A burst the scripted panel sends delay_ms after the system wrote a given frame.
struct Burst {
    double delay_ms;
    Bytes bytes;
};

// Port and clock in one: time moves only when the handshake reads the clock, sleeps or waits
// in a read. Each reading of the clock costs 0.1 ms, so a spinning wait ends on its own.
class ScriptedPort : public panel::BytePort, public panel::Clock {
public:
    // replies[k]: what the panel sends after the k-th frame written (0-based).
    std::map<int, std::vector<Burst>> replies;
    Bytes pending;              // arrived, not yet read
    int fail_writes_from = -1;  // frame index from which writes throw (port closed)
    bool fail_bulk_read = false;
    int read_timeout_us = 400000;

    std::vector<Bytes> frames;
    std::vector<long> frame_times_us;
    std::vector<long> sleeps_us;

    long now_us = 0;

    time_point now() override {
        now_us += 100;
        return time_point(std::chrono::microseconds(now_us));
    }
    void sleep_for(std::chrono::milliseconds d) override {
        sleeps_us.push_back(d.count() * 1000);
        now_us += d.count() * 1000;
    }
    int BytesToRead() override {
        arrive();
        return static_cast<int>(pending.size());
    }
    int ReadByte() override {
        arrive();
        if (pending.empty()) {
            if (!future.empty() && future.front().first <= now_us + read_timeout_us) {
                now_us = future.front().first;
                arrive();
            } else {
                now_us += read_timeout_us;
                arrive();
                throw SerialTimeout("The operation has timed out.");
            }
        }
        uint8_t b = pending.front();
        pending.erase(pending.begin());
        return b;
    }
    void Read(uint8_t* buffer, int count) override {
        if (fail_bulk_read)
            throw SerialError("read failed");
        arrive();
        ASSERT_GE(static_cast<int>(pending.size()), count);
        std::copy(pending.begin(), pending.begin() + count, buffer);
        pending.erase(pending.begin(), pending.begin() + count);
    }
    void Write(const uint8_t* buffer, int count) override {
        const int k = static_cast<int>(frames.size());
        if (fail_writes_from >= 0 && k >= fail_writes_from)
            throw SerialError("The port is closed.");
        frames.emplace_back(buffer, buffer + count);
        frame_times_us.push_back(now_us);
        for (const Burst& b : replies[k])
            for (uint8_t byte : b.bytes)
                future.emplace_back(now_us + static_cast<long>(b.delay_ms * 1000), byte);
        std::stable_sort(future.begin(), future.end(),
                         [](auto& a, auto& b) { return a.first < b.first; });
    }
    void DiscardInBuffer() override {
        arrive();
        pending.clear();
    }

private:
    void arrive() {
        while (!future.empty() && future.front().first <= now_us) {
            pending.push_back(future.front().second);
            future.pop_front();
        }
    }
    std::deque<std::pair<long, uint8_t>> future;
};

// Collects console lines for the life of a test.
struct Lines {
    std::mutex m;
    std::vector<std::string> v;
    console::Capture cap{[this](std::string_view s) {
        std::lock_guard<std::mutex> g(m);
        v.emplace_back(s);
    }};
    Lines() { console::set_stdout_enabled(false); }
    ~Lines() { console::set_stdout_enabled(true); }
};

// ---------------------------------------------------------------- throttle

TEST(Throttle, FirstRenewalOnThe29thQuietPollThenOnTheFirst) {
    std::atomic<int32_t> resub{0}, old{0};
    std::atomic<uint8_t> startup{1};
    int renewals = 0;
    auto renew = [&] {
        ++renewals;
        resub = 0;  // a successful subscription
    };
    // Poll that activates a variable, then quiet polls.
    resub = 1;
    panel::throttle(resub, old, startup, renew);  // the activating poll itself is not quiet
    EXPECT_EQ(renewals, 0);
    for (int quiet = 1; quiet <= 28; ++quiet) {
        panel::throttle(resub, old, startup, renew);
        ASSERT_EQ(renewals, 0) << "renewed early at quiet poll " << quiet;
    }
    panel::throttle(resub, old, startup, renew);  // the 29th
    EXPECT_EQ(renewals, 1);
    EXPECT_EQ(startup.load(), 0);
    EXPECT_EQ(old.load(), 0);

    // After start-up: the first quiet poll after a new activation renews.
    resub = 1;
    panel::throttle(resub, old, startup, renew);
    EXPECT_EQ(renewals, 1);
    panel::throttle(resub, old, startup, renew);
    EXPECT_EQ(renewals, 2);
}

TEST(Throttle, NothingPendingNeverRenewsAndStartupWaits) {
    std::atomic<int32_t> resub{0}, old{0};
    std::atomic<uint8_t> startup{1};
    int renewals = 0;
    for (int k = 0; k < 100; ++k)
        panel::throttle(resub, old, startup, [&] { ++renewals; });
    EXPECT_EQ(renewals, 0);
    EXPECT_EQ(startup.load(), 1);  // only quiet polls with pending activations count
}

TEST(Throttle, FailingRenewalRetriesOnEveryQuietPoll) {
    std::atomic<int32_t> resub{2}, old{2};
    std::atomic<uint8_t> startup{0};
    int renewals = 0;
    for (int k = 0; k < 5; ++k)
        panel::throttle(resub, old, startup, [&] { ++renewals; });  // resub stays 2
    EXPECT_EQ(renewals, 5);
}

// ---------------------------------------------------------------- small pieces

TEST(PollReply, BytesAndComplement) {
    struct Row {
        uint8_t i;
        uint16_t word;
        std::array<uint8_t, 4> reply;
    };
    for (const Row& r : std::vector<Row>{{3, 0x1234, {3, 0x34, 0x12, 252}},
                                         {5, 0, {5, 0, 0, 250}},
                                         {0, 0xFFFF, {0, 255, 255, 255}},
                                         {99, 0x0100, {99, 0, 1, 156}}})
        EXPECT_EQ(panel::poll_reply(r.i, r.word), r.reply) << int(r.i);
}

TEST(Radio, SteppingWrapsAround) {
    struct Row {
        uint8_t cur;
        int n;
        uint8_t next, prev;
    };
    for (const Row& r : std::vector<Row>{{2, 3, 0, 1},
                                         {0, 3, 1, 2},
                                         {0, 0, 0, 255},
                                         {255, 0, 0, 254},
                                         {7, 3, 0, 6},
                                         {0, 1, 0, 0}}) {
        EXPECT_EQ(panel::radio_next(r.cur, r.n), r.next) << int(r.cur) << "/" << r.n;
        EXPECT_EQ(panel::radio_previous(r.cur, r.n), r.prev) << int(r.cur) << "/" << r.n;
    }
}

TEST(ParameterFloat, LittleEndianAndShortParameters) {
    const uint8_t one[4] = {0x00, 0x00, 0x80, 0x3F};
    EXPECT_EQ(panel::parameter_float(one, 4), 1.0f);
    const uint8_t two[2] = {0x00, 0x00};
    EXPECT_EQ(panel::parameter_float(two, 2), 0.0f);  // missing bytes read as 0, none past the end
}

// ---------------------------------------------------------------- id handshake

TEST(IdHandshake, Cases) {
    struct Row {
        const char* name;
        Bytes early;  // pending before the handshake starts
        std::map<int, std::vector<Burst>> replies;
        uint8_t id;
        std::vector<Bytes> frames;
    };
    const std::vector<Row> rows = {
        {"id after the acknowledgement", {}, {{0, {{3, {7}}}}}, 7, {{254, 0}, {7, 0}}},
        {"id at 399 ms", {}, {{0, {{399, {9}}}}}, 9, {{254, 0}, {9, 0}}},
        {"no id: 0 silently", {}, {}, 0, {{254, 0}, {0, 0}}},
        {"id 255", {}, {{0, {{1, {255}}}}}, 255, {{254, 0}, {255, 0}}},
        {"id sent before the acknowledgement is discarded", {7}, {}, 0, {{254, 0}, {0, 0}}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Lines lines;
        ScriptedPort port;
        port.pending = r.early;
        port.replies = r.replies;
        ArgumentType a = panel::id_handshake(port, 254);
        EXPECT_EQ(a.id, r.id);
        EXPECT_EQ(port.frames, r.frames);
        EXPECT_EQ(lines.v, std::vector<std::string>{"ID " + std::to_string(r.id)});
    }
}

TEST(IdHandshake, FailedWriteEndsTheCommand) {
    Lines lines;
    for (int from : {0, 1}) {
        ScriptedPort port;
        port.fail_writes_from = from;
        port.replies = {{0, {{1, {4}}}}};
        EXPECT_THROW(panel::id_handshake(port, 253), SerialError) << from;
    }
}

// ---------------------------------------------------------------- parameter handshake

TEST(ParameterHandshake, Cases) {
    const Bytes one = {0x00, 0x00, 0x80, 0x3F};
    Bytes twenty(20);
    for (int k = 0; k < 20; ++k)
        twenty[static_cast<size_t>(k)] = static_cast<uint8_t>(k + 1);
    Bytes twenty_one = twenty;
    twenty_one.push_back(21);
    Bytes size_and_stray = {21};
    size_and_stray.insert(size_and_stray.end(), twenty_one.begin(), twenty_one.end());
    const Bytes refusal = {0, 0};

    struct Row {
        const char* name;
        std::map<int, std::vector<Burst>> replies;  // by frame index
        Bytes early;
        uint8_t id;
        Bytes parameter;  // expected bytes of the request (empty: none)
        std::vector<Bytes> frames;
        std::vector<std::string> lines;
        size_t left_pending = 0;
    };
    const std::vector<Row> rows = {
        {"float 1.0",
         {{0, {{2, {3}}}}, {1, {{2, {4}}}}, {2, {{1, one}}}},
         {},
         3,
         one,
         {{251, 0}, {3, 0}, {251, 0}, {251, 0}},
         {"ID 3", "DATASIZE 4", "PARAMETER 1"}},
        {"two bytes: no PARAMETER line",
         {{0, {{2, {5}}}}, {1, {{2, {2}}}}, {2, {{1, {0xAB, 0xCD}}}}},
         {},
         5,
         {0xAB, 0xCD},
         {{251, 0}, {5, 0}, {251, 0}, {251, 0}},
         {"ID 5", "DATASIZE 2"}},
        {"id 99 passes",
         {{0, {{2, {99}}}}, {1, {{2, {1}}}}, {2, {{1, {42}}}}},
         {},
         99,
         {42},
         {{251, 0}, {99, 0}, {251, 0}, {251, 0}},
         {"ID 99", "DATASIZE 1"}},
        {"id 100 refused", {{0, {{2, {100}}}}}, {}, 100, {}, {{251, 0}, refusal}, {"ID 100"}},
        {"size 0 refused",
         {{0, {{2, {1}}}}, {1, {{2, {0}}}}},
         {},
         1,
         {},
         {{251, 0}, {1, 0}, refusal},
         {"ID 1", "DATASIZE 0"}},
        {"size 20 passes",
         {{0, {{2, {1}}}}, {1, {{2, {20}}}}, {2, {{1, twenty}}}},
         {},
         1,
         twenty,
         {{251, 0}, {1, 0}, {251, 0}, {251, 0}},
         {"ID 1", "DATASIZE 20"}},
        {"size 21 refused and stray bytes dropped",
         {{0, {{2, {1}}}}, {1, {{2, size_and_stray}}}},
         {},
         1,
         {},
         {{251, 0}, {1, 0}, refusal},
         {"ID 1", "DATASIZE 21"}},
        {"no size within 400 ms: size 0",
         {{0, {{2, {1}}}}, {1, {{401, {4}}}}},
         {},
         1,
         {},
         {{251, 0}, {1, 0}, refusal},
         {"ID 1", "DATASIZE 0"}},
        {"parameter in two bursts within 60 ms",
         {{0, {{2, {6}}}}, {1, {{2, {4}}}}, {2, {{5, {0x00, 0x00}}, {45, {0x80, 0x3F}}}}},
         {},
         6,
         one,
         {{251, 0}, {6, 0}, {251, 0}, {251, 0}},
         {"ID 6", "DATASIZE 4", "PARAMETER 1"}},
        {"last byte at 60.0 ms: taken",
         {{0, {{2, {6}}}}, {1, {{2, {4}}}}, {2, {{1, {0x00, 0x00, 0x80}}, {60.0, {0x3F}}}}},
         {},
         6,
         one,
         {{251, 0}, {6, 0}, {251, 0}, {251, 0}},
         {"ID 6", "DATASIZE 4", "PARAMETER 1"}},
        // The clock advances 0.1 ms a reading: at 60.1 ms the waiting loop finds the deadline
        // reached and the bytes there in the same round, and the deadline wins.
        {"last byte as the deadline is reached: refused",
         {{0, {{2, {6}}}}, {1, {{2, {4}}}}, {2, {{1, {0x00, 0x00, 0x80}}, {60.1, {0x3F}}}}},
         {},
         6,
         {},
         {{251, 0}, {6, 0}, {251, 0}, refusal},
         {"ID 6", "DATASIZE 4", "Serialport ERROR: Not enough bytes received for parameter "}},
        {"one byte more than the size: it stays pending",
         {{0, {{2, {2}}}}, {1, {{2, {2}}}}, {2, {{1, {1, 2, 77}}}}},
         {},
         2,
         {1, 2},
         {{250, 0}, {2, 0}, {250, 0}, {250, 0}},
         {"ID 2", "DATASIZE 2"},
         1},
        {"id sent before the acknowledgement: id 0",
         {{1, {{2, {1}}}}, {2, {{1, {9}}}}},
         {3},
         0,
         {9},
         {{251, 0}, {0, 0}, {251, 0}, {251, 0}},
         {"ID 0", "DATASIZE 1"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Lines lines;
        ScriptedPort port;
        port.pending = r.early;
        port.replies = r.replies;
        const uint8_t c = r.frames.front()[0];
        ArgumentType2 req = panel::parameter_handshake(port, port, c);
        EXPECT_EQ(req.id, r.id);
        EXPECT_EQ(port.frames, r.frames);
        EXPECT_EQ(lines.v, r.lines);
        if (r.parameter.empty()) {
            EXPECT_FALSE(req.handle);
            EXPECT_EQ(req.size, 0);
        } else {
            ASSERT_TRUE(req.handle);
            EXPECT_EQ(Bytes(req.handle.get(), req.handle.get() + req.size), r.parameter);
        }
        EXPECT_EQ(port.BytesToRead(), static_cast<int>(r.left_pending));
    }
}

TEST(ParameterHandshake, PausesTenMillisecondsThenSpinsAtMostFifty) {
    Lines lines;
    ScriptedPort port;
    port.replies = {{0, {{1, {1}}}}, {1, {{1, {4}}}}};  // the parameter never comes
    ArgumentType2 req = panel::parameter_handshake(port, port, 250);
    EXPECT_FALSE(req.handle);
    // One pause of 10 ms, no other sleep: the wait for the bytes spins.
    EXPECT_EQ(port.sleeps_us, std::vector<long>{10000});
    ASSERT_EQ(port.frames.size(), 4u);
    const long waited = port.frame_times_us[3] - port.frame_times_us[2];
    EXPECT_GE(waited, 60000);
    EXPECT_LE(waited, 60300);
}

TEST(ParameterHandshake, FailuresYieldNoBytes) {
    struct Row {
        const char* name;
        int fail_writes_from;
        bool fail_bulk_read;
        size_t frames;
        std::vector<std::string> lines;
    };
    const std::vector<Row> rows = {
        {"closed before the acknowledgement", 0, false, 0, {}},
        {"closed before the echo", 1, false, 1, {"ID 3"}},
        {"closed before the size acknowledgement", 2, false, 2, {"ID 3", "DATASIZE 4"}},
        {"closed before the final acknowledgement",
         3,
         false,
         3,
         {"ID 3", "DATASIZE 4", "PARAMETER 1"}},
        {"bytes unreadable",
         -1,
         true,
         4,
         {"ID 3", "DATASIZE 4", "Exception when Reading byte array from serialport"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Lines lines;
        ScriptedPort port;
        port.fail_writes_from = r.fail_writes_from;
        port.fail_bulk_read = r.fail_bulk_read;
        port.replies = {{0, {{1, {3}}}}, {1, {{1, {4}}}}, {2, {{1, {0, 0, 0x80, 0x3F}}}}};
        ArgumentType2 req = panel::parameter_handshake(port, port, 251);
        EXPECT_FALSE(req.handle);
        EXPECT_EQ(req.size, 0);
        EXPECT_EQ(port.frames.size(), r.frames);
        if (r.fail_bulk_read) {
            EXPECT_EQ(port.frames.back(), (Bytes{0, 0}));
        }
        EXPECT_EQ(lines.v, r.lines);
    }
}

}  // namespace
