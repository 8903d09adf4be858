// The client layer as the program meets it: sessions, the call log, data definitions and
// requests, settable data, events, the window notification and calls from many threads.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "simlink/Session.h"
#include "simlink/SimConnect.h"
#include "simlink/testing/SimTestHooks.h"

namespace hooks = simlink::testing;
using ::testing::ElementsAre;

namespace {

constexpr DWORD kNotify = 0x402;

class CountingTarget final : public NotifyTarget {
public:
    void post_message(DWORD message) override {
        last = message;
        posts.fetch_add(1);
    }
    std::atomic<int> posts{0};
    std::atomic<DWORD> last{0};
};

using Message = std::vector<unsigned char>;

struct Inbox {
    std::vector<Message> messages;
    std::thread::id thread;
};

void collect(SIMCONNECT_RECV* p, DWORD size, void* ctx) {
    auto* in = static_cast<Inbox*>(ctx);
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    in->messages.emplace_back(b, b + size);
    in->thread = std::this_thread::get_id();
}

uint32_t u32(const Message& m, size_t at) {
    uint32_t v;
    std::memcpy(&v, m.data() + at, 4);
    return v;
}

double f64(const Message& m, size_t at) {
    double v;
    std::memcpy(&v, m.data() + at, 8);
    return v;
}

std::vector<double> values_of(const Message& m) {
    std::vector<double> v;
    for (uint32_t i = 0; i < u32(m, 36); ++i)
        v.push_back(f64(m, 40 + 8 * i));
    return v;
}

class SimConnectLayer : public ::testing::Test {
protected:
    void SetUp() override {
        hooks::reset();
        std::filesystem::remove("tarnwell-sim.cfg");
    }
    void TearDown() override {
        hooks::reset();
        std::filesystem::remove("tarnwell-sim.cfg");
    }

    HANDLE open_stepped() {
        hooks::set_stepped(true);
        HANDLE h = nullptr;
        EXPECT_EQ(SimConnect_Open(&h, "Client Event", &target, kNotify, nullptr, 0), S_OK);
        EXPECT_NE(h, nullptr);
        dispatch(h);  // the OPEN message
        return h;
    }

    std::vector<Message> dispatch(HANDLE h) {
        Inbox in;
        SimConnect_CallDispatch(h, collect, &in);
        return in.messages;
    }

    std::vector<Message> data_messages(HANDLE h) {
        std::vector<Message> out;
        for (auto& m : dispatch(h))
            if (u32(m, 8) == SIMCONNECT_RECV_ID_SIMOBJECT_DATA)
                out.push_back(m);
        return out;
    }

    void fire(HANDLE h, DWORD id, const char* name, DWORD data = 0) {
        SimConnect_MapClientEventToSimEvent(h, id, name);
        EXPECT_EQ(SimConnect_TransmitClientEvent(h, 0, id, data, 1, 16), S_OK);
    }

    void subscribe(HANDLE h, std::initializer_list<std::pair<const char*, const char*>> vars) {
        for (auto [name, unit] : vars)
            SimConnect_AddToDataDefinition(h, 0, name, unit, SIMCONNECT_DATATYPE_FLOAT64, 0,
                                           SIMCONNECT_UNUSED);
        ASSERT_EQ(SimConnect_RequestDataOnSimObject(h, 0, 0, 0, SIMCONNECT_PERIOD_SIM_FRAME,
                                                    SIMCONNECT_DATA_REQUEST_FLAG_CHANGED, 0, 0, 0),
                  S_OK);
    }

    CountingTarget target;
};

TEST_F(SimConnectLayer, EveryCallWithTheEmptyHandleFails) {
    float value = 1;
    Inbox in;
    const std::vector<std::pair<const char*, HRESULT>> results = {
        {"SimConnect_CallDispatch", SimConnect_CallDispatch(nullptr, collect, &in)},
        {"SimConnect_AddToDataDefinition",
         SimConnect_AddToDataDefinition(nullptr, 0, "LIGHT NAV", "bool", 4, 0, SIMCONNECT_UNUSED)},
        {"SimConnect_ClearDataDefinition", SimConnect_ClearDataDefinition(nullptr, 0)},
        {"SimConnect_RequestDataOnSimObject",
         SimConnect_RequestDataOnSimObject(nullptr, 0, 0, 0, 3, 1, 0, 0, 0)},
        {"SimConnect_SetDataOnSimObject",
         SimConnect_SetDataOnSimObject(nullptr, 50, 0, 0, 0, 4, &value)},
        {"SimConnect_MapClientEventToSimEvent",
         SimConnect_MapClientEventToSimEvent(nullptr, 1, "GEAR_TOGGLE")},
        {"SimConnect_TransmitClientEvent", SimConnect_TransmitClientEvent(nullptr, 0, 1, 0, 1, 16)},
    };
    const auto log = hooks::calls();
    ASSERT_EQ(log.size(), results.size());
    for (size_t i = 0; i < results.size(); ++i) {
        SCOPED_TRACE(results[i].first);
        EXPECT_EQ(results[i].second, E_FAIL);
        EXPECT_EQ(log[i].fn, results[i].first);
        EXPECT_TRUE(log[i].empty_handle);
        EXPECT_EQ(log[i].result, E_FAIL);
    }
    EXPECT_TRUE(in.messages.empty());
}

TEST_F(SimConnectLayer, OpenFollowsTheSettingsFileAndTheRefusalHook) {
    struct Case {
        const char* settings;  // nullptr: no file
        bool refused_by_hook;
        HRESULT expected;
    };
    const Case cases[] = {
        {nullptr, false, S_OK},
        {"simulator = embedded\n", false, S_OK},
        {"# chosen by the user\r\n  SIMULATOR=Embedded  ; the built-in aircraft\r\n", false, S_OK},
        {"simulator = none\n", false, E_FAIL},
        {"simulator = xplane\n", false, E_FAIL},
        {"", false, S_OK},
        {nullptr, true, E_FAIL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings ? c.settings : "(no file)");
        hooks::reset();
        std::filesystem::remove("tarnwell-sim.cfg");
        if (c.settings)
            std::ofstream("tarnwell-sim.cfg") << c.settings;
        hooks::refuse_open(c.refused_by_hook);
        HANDLE h = nullptr;
        EXPECT_EQ(SimConnect_Open(&h, "Client Event", &target, kNotify, nullptr, 0), c.expected);
        EXPECT_EQ(h != nullptr, c.expected == S_OK);
        EXPECT_EQ(hooks::session_open(), c.expected == S_OK);
    }
}

TEST_F(SimConnectLayer, OpenQueuesAnOpenMessageAndNotifiesTheWindow) {
    HANDLE h = nullptr;
    hooks::set_stepped(true);
    ASSERT_EQ(SimConnect_Open(&h, "Client Event", &target, kNotify, nullptr, 0), S_OK);
    EXPECT_EQ(target.posts.load(), 1);
    EXPECT_EQ(target.last.load(), kNotify);
    const auto msgs = dispatch(h);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(u32(msgs[0], 8), SIMCONNECT_RECV_ID_OPEN);
    EXPECT_EQ(u32(msgs[0], 0), msgs[0].size());
    EXPECT_TRUE(dispatch(h).empty());
}

TEST_F(SimConnectLayer, CallLogRecordsEveryArgument) {
    HANDLE h = open_stepped();
    hooks::clear_calls();
    SimConnect_AddToDataDefinition(h, 53, "AUTOPILOT ALTITUDE LOCK VAR", "feet",
                                   SIMCONNECT_DATATYPE_FLOAT32, 0.0f, SIMCONNECT_UNUSED);
    SimConnect_ClearDataDefinition(h, 53);
    SimConnect_RequestDataOnSimObject(h, 0, 0, 0, 3, 1, 0, 0, 0);
    float v = 1.5f;  // 0x3fc00000
    SimConnect_SetDataOnSimObject(h, 53, 0, 0, 0, 4, &v);
    SimConnect_MapClientEventToSimEvent(h, 7, "COM_RADIO_SET");
    SimConnect_TransmitClientEvent(h, 0, 7, 74368, 1, 16);

    const auto log = hooks::calls();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_THAT(log[0].args,
                ElementsAre("53", "AUTOPILOT ALTITUDE LOCK VAR", "feet", "3", "0", "4294967295"));
    EXPECT_THAT(log[1].args, ElementsAre("53"));
    EXPECT_THAT(log[2].args, ElementsAre("0", "0", "0", "3", "1", "0", "0", "0"));
    EXPECT_THAT(log[3].args, ElementsAre("53", "0", "0", "0", "4", "00 00 c0 3f"));
    EXPECT_THAT(log[4].args, ElementsAre("7", "COM_RADIO_SET"));
    EXPECT_THAT(log[5].args, ElementsAre("0", "7", "74368", "1", "16"));
    for (const auto& c : log) {
        EXPECT_FALSE(c.empty_handle);
        EXPECT_EQ(c.result, S_OK);
    }
    EXPECT_EQ(hooks::calls_of("SimConnect_TransmitClientEvent").size(), 1u);
}

TEST_F(SimConnectLayer, FailRuleRefusesChosenCallsAndTheyDoNothing) {
    HANDLE h = open_stepped();
    hooks::fail_when([](const hooks::Call& c) {
        return c.fn == "SimConnect_TransmitClientEvent" && c.args.size() > 1 && c.args[1] == "7";
    });
    SimConnect_MapClientEventToSimEvent(h, 7, "TOGGLE_NAV_LIGHTS");
    SimConnect_MapClientEventToSimEvent(h, 8, "LANDING_LIGHTS_TOGGLE");
    EXPECT_EQ(hooks::sim_event_name(7), "TOGGLE_NAV_LIGHTS");
    EXPECT_EQ(SimConnect_TransmitClientEvent(h, 0, 7, 0, 1, 16), E_FAIL);
    EXPECT_EQ(SimConnect_TransmitClientEvent(h, 0, 8, 0, 1, 16), S_OK);
    EXPECT_EQ(hooks::sim_variable("LIGHT NAV", "bool"), 1);  // unchanged from the start
    EXPECT_EQ(hooks::sim_variable("LIGHT LANDING", "bool"), 1);
    EXPECT_EQ(hooks::calls_of("SimConnect_TransmitClientEvent").at(0).result, E_FAIL);
    hooks::fail_when(nullptr);
    EXPECT_EQ(SimConnect_TransmitClientEvent(h, 0, 7, 0, 1, 16), S_OK);
    EXPECT_EQ(hooks::sim_variable("LIGHT NAV", "bool"), 0);
}

TEST_F(SimConnectLayer, DataMessageCarriesTheDefinitionOnlyWhenAValueChanged) {
    HANDLE h = open_stepped();
    subscribe(h, {{"LIGHT NAV", "bool"},
                  {"COM ACTIVE FREQUENCY:1", "MHz"},
                  {"TRANSPONDER CODE:1", "Bco16"}});
    EXPECT_TRUE(data_messages(h).empty()) << "nothing before a frame";

    hooks::step_frames(1);
    auto msgs = data_messages(h);
    ASSERT_EQ(msgs.size(), 1u);
    const Message& m = msgs[0];
    EXPECT_EQ(m.size(), 40u + 3 * 8);
    EXPECT_EQ(u32(m, 0), m.size());
    EXPECT_EQ(u32(m, 12), 0u);  // request id
    EXPECT_EQ(u32(m, 36), 3u);  // define count
    EXPECT_THAT(values_of(m), ElementsAre(1.0, ::testing::DoubleNear(124.85, 1e-9), 0x1200));

    hooks::step_frames(3);
    EXPECT_TRUE(data_messages(h).empty()) << "no value changed";

    // Two changes within one frame make one message.
    fire(h, 1, "TOGGLE_NAV_LIGHTS");
    fire(h, 2, "XPNDR_SET", 0x7000);
    EXPECT_TRUE(data_messages(h).empty()) << "changes are sent at the next frame";
    hooks::step_frames(1);
    msgs = data_messages(h);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_THAT(values_of(msgs[0]), ElementsAre(0.0, ::testing::DoubleNear(124.85, 1e-9), 0x7000));

    // Period NEVER stops the request.
    SimConnect_RequestDataOnSimObject(h, 0, 0, 0, SIMCONNECT_PERIOD_NEVER, 1, 0, 0, 0);
    fire(h, 1, "TOGGLE_NAV_LIGHTS");
    hooks::step_frames(2);
    EXPECT_TRUE(data_messages(h).empty());
}

TEST_F(SimConnectLayer, MovingValuesAreSentOncePerFrame) {
    HANDLE h = open_stepped();
    subscribe(h, {{"ZULU TIME", "seconds"}});
    hooks::step_frames(5);
    const auto msgs = data_messages(h);
    ASSERT_EQ(msgs.size(), 5u);
    for (size_t i = 1; i < msgs.size(); ++i)
        EXPECT_GT(values_of(msgs[i])[0], values_of(msgs[i - 1])[0]);
}

TEST_F(SimConnectLayer, ClearDataDefinitionEmptiesIt) {
    HANDLE h = open_stepped();
    for (const char* n : {"PLANE ALTITUDE", "GENERAL ENG RPM:1"})
        SimConnect_AddToDataDefinition(h, 0, n, "feet", 4, 0, SIMCONNECT_UNUSED);
    EXPECT_EQ(hooks::sim_definition_size(0), 2u);
    SimConnect_ClearDataDefinition(h, 0);
    EXPECT_EQ(hooks::sim_definition_size(0), 0u);
    subscribe(h, {{"LIGHT BEACON", "bool"}});
    hooks::step_frames(1);
    const auto msgs = data_messages(h);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_THAT(values_of(msgs[0]), ElementsAre(1.0));
}

TEST_F(SimConnectLayer, UnknownNamesReadZeroAndDoNotFail) {
    HANDLE h = open_stepped();
    EXPECT_EQ(
        SimConnect_AddToDataDefinition(h, 0, "NO SUCH VARIABLE", "feet", 4, 0, SIMCONNECT_UNUSED),
        S_OK);
    subscribe(h, {{"LIGHT BEACON", "no such unit"}});
    EXPECT_EQ(SimConnect_MapClientEventToSimEvent(h, 3, "NO_SUCH_EVENT"), S_OK);
    EXPECT_EQ(SimConnect_TransmitClientEvent(h, 0, 3, 5, 1, 16), S_OK);
    EXPECT_EQ(SimConnect_TransmitClientEvent(h, 0, 99, 5, 1, 16), S_OK);  // never mapped
    hooks::step_frames(1);
    const auto msgs = data_messages(h);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_THAT(values_of(msgs[0]), ElementsAre(0.0, 1.0));
}

TEST_F(SimConnectLayer, SetDataWritesWhatFitsTheBlock) {
    struct Case {
        const char* what;
        std::vector<unsigned char> block;
        double expected;  // AUTOPILOT ALTITUDE LOCK VAR afterwards, starting at 5000
    };
    auto f32 = [](float v) {
        std::vector<unsigned char> b(4);
        std::memcpy(b.data(), &v, 4);
        return b;
    };
    auto longer = f32(7500);
    longer.insert(longer.end(), {0x11, 0x22, 0x33, 0x44});
    const Case cases[] = {
        {"four bytes", f32(7500), 7500},
        {"eight bytes: the first four count", longer, 7500},
        {"two bytes: too short for the entry", {0x00, 0x40}, 5000},
        {"empty", {}, 5000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        hooks::reset();
        HANDLE h = open_stepped();
        ASSERT_EQ(SimConnect_AddToDataDefinition(h, 53, "AUTOPILOT ALTITUDE LOCK VAR", "feet",
                                                 SIMCONNECT_DATATYPE_FLOAT32, 0, SIMCONNECT_UNUSED),
                  S_OK);
        // A copy of exactly the block's size, so that reading past it is caught.
        auto* block = new unsigned char[c.block.size()];
        if (!c.block.empty())
            std::memcpy(block, c.block.data(), c.block.size());
        EXPECT_EQ(SimConnect_SetDataOnSimObject(h, 53, 0, 0, 0, static_cast<DWORD>(c.block.size()),
                                                block),
                  S_OK);
        delete[] block;
        EXPECT_DOUBLE_EQ(hooks::sim_variable("AUTOPILOT ALTITUDE LOCK VAR", "feet"), c.expected);
    }
}

TEST_F(SimConnectLayer, SetDataConvertsFromTheEntryUnit) {
    HANDLE h = open_stepped();
    SimConnect_AddToDataDefinition(h, 60, "KOHLSMAN SETTING MB", "millibars", 3, 0,
                                   SIMCONNECT_UNUSED);
    float mb = 1000;
    SimConnect_SetDataOnSimObject(h, 60, 0, 0, 0, 4, &mb);
    EXPECT_NEAR(hooks::sim_variable("KOHLSMAN SETTING HG", "inHg"), 29.53, 0.005);
    // A definition that does not exist takes nothing and does not fail.
    EXPECT_EQ(SimConnect_SetDataOnSimObject(h, 61, 0, 0, 0, 4, &mb), S_OK);
}

TEST_F(SimConnectLayer, EventsActOnTheAircraft) {
    struct Case {
        const char* event;
        DWORD data;
        const char* var;
        const char* unit;
        double expected;
    };
    const Case cases[] = {
        {"COM_RADIO_SET", 0x2280, "COM ACTIVE FREQUENCY:1", "MHz", 122.80},
        {"COM_RADIO_SET", 0x12280, "COM ACTIVE FREQUENCY:1", "MHz", 122.80},
        {"COM_RADIO_SET", 0x12280, "COM ACTIVE FREQUENCY:1", "Frequency BCD16", 0x2280},
        {"COM_STBY_RADIO_SET", 0x1185, "COM STANDBY FREQUENCY:1", "MHz", 111.85},
        {"NAV1_RADIO_SET", 0x11050, "NAV ACTIVE FREQUENCY:1", "MHz", 110.50},
        {"NAV2_STBY_SET", 0x1390, "NAV STANDBY FREQUENCY:2", "MHz", 113.90},
        {"XPNDR_SET", 0x7000, "TRANSPONDER CODE:1", "number", 7000},
        {"XPNDR_SET", 0x4321, "TRANSPONDER CODE:1", "Bco16", 0x4321},
        {"KOHLSMAN_SET", 16212, "KOHLSMAN SETTING MB", "millibars", 1013.25},
        {"AP_ALT_VAR_SET_ENGLISH", 7000, "AUTOPILOT ALTITUDE LOCK VAR", "feet", 7000},
        {"HEADING_BUG_SET", 270, "AUTOPILOT HEADING LOCK DIR", "degrees", 270},
        {"AP_MASTER", 0, "AUTOPILOT MASTER", "bool", 1},
        {"TOGGLE_NAV_LIGHTS", 0, "LIGHT NAV", "bool", 0},
        {"LANDING_LIGHTS_TOGGLE", 0, "LIGHT LANDING", "bool", 1},
        {"GEAR_TOGGLE", 0, "GEAR HANDLE POSITION", "bool", 1},
        {"FLAPS_INCR", 0, "FLAPS HANDLE INDEX", "number", 1},
        {"PARKING_BRAKES", 0, "BRAKE PARKING POSITION", "bool", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        hooks::reset();
        HANDLE h = open_stepped();
        fire(h, 4, c.event, c.data);
        EXPECT_NEAR(hooks::sim_variable(c.var, c.unit), c.expected, 1e-6);
    }
}

// A reloaded event list maps its line numbers again: the new name counts.
TEST_F(SimConnectLayer, MappingAnIdAgainReplacesItsEvent) {
    HANDLE h = open_stepped();
    SimConnect_MapClientEventToSimEvent(h, 7, "TOGGLE_NAV_LIGHTS");
    SimConnect_MapClientEventToSimEvent(h, 7, "LANDING_LIGHTS_TOGGLE");
    SimConnect_TransmitClientEvent(h, 0, 7, 0, 1, 16);
    EXPECT_EQ(hooks::sim_variable("LIGHT NAV", "bool"), 1);
    EXPECT_EQ(hooks::sim_variable("LIGHT LANDING", "bool"), 1);
}

TEST_F(SimConnectLayer, NotificationsAreCoalescedAndMessagesWaitForTheDispatch) {
    HANDLE h = open_stepped();
    const int before = target.posts.load();
    const Message raw = {12, 0, 0, 0, 1, 0, 0, 0, 99, 0, 0, 0};  // kind 99
    hooks::inject_message(raw);
    hooks::inject_message(raw);
    EXPECT_EQ(target.posts.load(), before + 1) << "one notification for both";
    const auto msgs = dispatch(h);
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0], raw);
    hooks::inject_message(raw);
    EXPECT_EQ(target.posts.load(), before + 2) << "a message after the dispatch notifies again";
}

TEST_F(SimConnectLayer, FreeRunningFramesPostAndDeliverOnlyInsideTheDispatch) {
    HANDLE h = nullptr;
    ASSERT_EQ(SimConnect_Open(&h, "Client Event", &target, kNotify, nullptr, 0), S_OK);
    dispatch(h);
    subscribe(h, {{"PLANE ALTITUDE", "feet"}, {"ZULU TIME", "seconds"}});
    const int before = target.posts.load();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (target.posts.load() == before && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GT(target.posts.load(), before) << "the frame thread notifies";

    Inbox in;
    ASSERT_EQ(SimConnect_CallDispatch(h, collect, &in), S_OK);
    ASSERT_FALSE(in.messages.empty());
    EXPECT_EQ(in.thread, std::this_thread::get_id());
    EXPECT_EQ(u32(in.messages.back(), 36), 2u);
}

TEST_F(SimConnectLayer, ResetAndReopenEndTheOldSession) {
    HANDLE first = open_stepped();
    HANDLE second = nullptr;
    ASSERT_EQ(SimConnect_Open(&second, "Client Event", &target, kNotify, nullptr, 0), S_OK);
    EXPECT_NE(first, second);
    EXPECT_EQ(SimConnect_ClearDataDefinition(first, 0), E_FAIL);
    EXPECT_EQ(SimConnect_ClearDataDefinition(second, 0), S_OK);

    hSimConnect = second;
    hooks::reset();
    EXPECT_EQ(hSimConnect, nullptr);
    EXPECT_FALSE(hooks::session_open());
    EXPECT_TRUE(hooks::calls().empty());
    EXPECT_EQ(SimConnect_ClearDataDefinition(second, 0), E_FAIL);
    ASSERT_EQ(SimConnect_Open(&hSimConnect, "Client Event", &target, kNotify, nullptr, 0), S_OK);
}

// The window thread dispatches while the frame thread runs, workers fire events and set data,
// and another thread rebuilds the subscription, as the receive thread does.
TEST_F(SimConnectLayer, CallsFromManyThreadsWhileFramesRun) {
    HANDLE h = nullptr;
    ASSERT_EQ(SimConnect_Open(&h, "Client Event", &target, kNotify, nullptr, 0), S_OK);
    SimConnect_AddToDataDefinition(h, 52, "AUTOPILOT HEADING LOCK DIR", "degrees", 3, 0,
                                   SIMCONNECT_UNUSED);
    const char* events[] = {"TOGGLE_NAV_LIGHTS", "GEAR_TOGGLE", "COM_RADIO_SET", "AP_MASTER"};
    for (DWORD i = 0; i < 4; ++i)
        SimConnect_MapClientEventToSimEvent(h, i, events[i]);

    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::atomic<int> data{0};
    std::thread window([&] {
        Inbox in;
        int seen_posts = 0;
        while (!done.load()) {
            // Like the window: dispatch when notified.
            if (target.posts.load() == seen_posts) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            seen_posts = target.posts.load();
            in.messages.clear();
            SimConnect_CallDispatch(h, collect, &in);
            for (const auto& m : in.messages) {
                if (u32(m, 8) != SIMCONNECT_RECV_ID_SIMOBJECT_DATA)
                    continue;
                data.fetch_add(1);
                if (m.size() != 40 + 8 * size_t{u32(m, 36)})
                    bad.fetch_add(1);
            }
        }
    });
    std::thread receive([&] {
        for (int i = 0; i < 200; ++i) {
            SimConnect_RequestDataOnSimObject(h, 0, 0, 0, 0, 1, 0, 0, 0);
            SimConnect_ClearDataDefinition(h, 0);
            for (const char* n : {"PLANE ALTITUDE", "LIGHT NAV", "COM ACTIVE FREQUENCY:1"})
                SimConnect_AddToDataDefinition(h, 0, n, "feet", 4, 0, SIMCONNECT_UNUSED);
            SimConnect_RequestDataOnSimObject(h, 0, 0, 0, 3, 1, 0, 0, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::vector<std::thread> workers;
    for (int w = 0; w < 3; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < 300; ++i) {
                SimConnect_TransmitClientEvent(h, 0, static_cast<DWORD>((i + w) % 4), 0x2280, 1,
                                               16);
                float hdg = static_cast<float>(i % 360);
                SimConnect_SetDataOnSimObject(h, 52, 0, 0, 0, 4, &hdg);
                if (i % 50 == 0)
                    hooks::calls_of("SimConnect_TransmitClientEvent");
            }
        });
    receive.join();
    for (auto& t : workers)
        t.join();
    // Let at least one data message through after the last rebuild.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const int seen = data.load();
    while (data.load() == seen && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    done = true;
    window.join();
    EXPECT_GT(data.load(), seen);
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(hooks::calls_of("SimConnect_TransmitClientEvent").size(), 900u);
}

}  // namespace
