// Firing events and setting settable variables, as the embedded simulator's call log sees them.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <memory>
#include <thread>

#include "RecordsSupport.h"
#include "simlink/Dispatch.h"
#include "simlink/SimConnectVars.h"
#include "simlink/SimEventRequest.h"
#include "simlink/SimVarSet.h"

namespace {

using rectest::args_of;
using rectest::hex_bytes;
using simlink::testing::Call;

class FiringTest : public ::testing::Test {
protected:
    void SetUp() override {
        rectest::open_session(&target_);
        simlink::testing::set_stepped(true);
        SimEventRequest::clear();
        SimVarSet::clear();
        simlink::testing::clear_calls();
    }
    void TearDown() override { simlink::testing::reset(); }

    // The data words of every event sent so far.
    static std::vector<uint32_t> sent_words() {
        std::vector<uint32_t> out;
        for (const auto& a : args_of("SimConnect_TransmitClientEvent"))
            out.push_back(static_cast<uint32_t>(std::stoul(a.at(2))));
        return out;
    }

    // An event record at position 4 of its list, registered as client event 17.
    static std::unique_ptr<SimEventRequest> event_at_4(int param_type) {
        for (int i = 0; i < 4; ++i)
            SimEventRequest("FILLER", i, 0);
        return std::make_unique<SimEventRequest>("COM_RADIO_SET", param_type, 17, 3);
    }

    rectest::CountingTarget target_;
    rectest::Lines lines_;
};

struct BcdCase {
    float in;
    int32_t out;
    const char* shown;  // the value as the "idec " line writes it
};

const BcdCase kBcdTable[] = {
    {122.8f, 74368, "122.8"},
    {118.5f, 71760, "118.5"},
    {118.05f, 4485, "118.05"},
    {124.85f, 74884, "124.85"},  // held as 124.8499985: 84 hundredths
    {7000.0f, 28672, "7000"},
    {1234.5f, 358676, "1234.5"},  // 123450 wraps to 57914 before packing
    {0.0f, 0, "0"},
    {108.1f, 0x1089, "108.1"},     // held as 108.0999985: 9 hundredths, appended to 1080
    {99.99f, 0x9998, "99.99"},     // held as 99.9899979
    {655.36f, 0x65535, "655.36"},  // the largest combined number that does not wrap
    {0.5f, 0x50, "0.5"},
    {25.0f, 0x25, "25"},
};

TEST_F(FiringTest, Dec2bcdTableAndItsTwoIdecLines) {
    for (const auto& c : kBcdTable) {
        lines_.clear();
        EXPECT_EQ(SimEventRequest::dec2bcd(c.in), c.out) << c.in;
        const std::string idec = std::string("idec ") + c.shown;
        EXPECT_EQ(lines_.all(), (std::vector<std::string>{idec, idec}));
    }
}

TEST_F(FiringTest, BcdEventsSendThePackedWord) {
    auto ev = event_at_4(1);
    for (const auto& c : kBcdTable)
        ev->fire(c.in);
    const auto words = sent_words();
    ASSERT_EQ(words.size(), std::size(kBcdTable));
    for (size_t i = 0; i < words.size(); ++i)
        EXPECT_EQ(words[i], static_cast<uint32_t>(kBcdTable[i].out)) << kBcdTable[i].in;
}

TEST_F(FiringTest, TransmitCarriesObjectEventGroupAndFlags) {
    auto ev = event_at_4(1);
    ev->fire(122.8f);
    const auto calls = simlink::testing::calls_of("SimConnect_TransmitClientEvent");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].empty_handle);
    EXPECT_EQ(calls[0].args, (std::vector<std::string>{"0", "17", "74368", "1", "16"}));
    EXPECT_EQ(lines_.all(), (std::vector<std::string>{"Firing SimEvent COM_RADIO_SET 4 --> 122.8",
                                                      "idec 122.8", "idec 122.8"}));
}

TEST_F(FiringTest, RegistrationHappensAtConstruction) {
    SimEventRequest plain("AP_MASTER", 12, 2);
    SimEventRequest with_param("HEADING_BUG_SET", 2, 40, 2);
    EXPECT_EQ(plain.id, 0);
    EXPECT_EQ(with_param.id, 1);
    EXPECT_FALSE(plain.accepts_params);
    EXPECT_EQ(plain.param_type, 0);
    EXPECT_TRUE(with_param.accepts_params);
    EXPECT_EQ(with_param.param_type, 2);
    EXPECT_EQ(
        args_of("SimConnect_MapClientEventToSimEvent"),
        (std::vector<std::vector<std::string>>{{"12", "AP_MASTER"}, {"40", "HEADING_BUG_SET"}}));
    SimEventRequest::clear();
    EXPECT_EQ(SimEventRequest("AP_MASTER", 12, 2).id, 0);
}

struct WordCase {
    int param_type;
    float value;
    uint32_t word;
};

TEST_F(FiringTest, DataWordIsTheValueTruncatedTowardZero) {
    const float inf = std::numeric_limits<float>::infinity();
    const WordCase cases[] = {
        {0, 3.9f, 3},
        {2, 3.9f, 3},
        {0, 0.0f, 0},
        {0, -0.0f, 0},
        {0, 0.99f, 0},
        {0, -0.99f, 0},
        {0, -5.7f, 0xFFFFFFFBu},  // -5 as its two's complement
        {0, -1.0f, 0xFFFFFFFFu},
        {0, 3.0e9f, 3000000000u},
        {0, 1.0e10f, 0xFFFFFFFFu},  // saturates
        {0, inf, 0xFFFFFFFFu},
        {0, -1.0e10f, 0x80000000u},
        {0, -inf, 0x80000000u},
        {0, std::nanf(""), 0},
        {1, -122.8f, 74368},  // packed from the magnitude: the packed form has no sign
        {1, std::nanf(""), 0},
        {1, 1.0e10f, 0x3996},  // whole part saturated: a word of no use, but no failure
    };
    for (const auto& c : cases) {
        simlink::testing::clear_calls();
        SimEventRequest ev("E", c.param_type, 5, 0);
        ev.fire(c.value);
        EXPECT_EQ(sent_words(), std::vector<uint32_t>{c.word})
            << "param " << c.param_type << " value " << c.value;
    }
}

TEST_F(FiringTest, PlainFireSendsZeroAndFireOfZeroShowsTheValue) {
    auto ev = event_at_4(0);
    lines_.clear();
    ev->fire();
    ev->fire(0.0f);
    EXPECT_EQ(sent_words(), (std::vector<uint32_t>{0, 0}));
    EXPECT_EQ(lines_.all(), (std::vector<std::string>{"Firing SimEvent COM_RADIO_SET 4",
                                                      "Firing SimEvent COM_RADIO_SET 4 --> 0"}));
}

TEST_F(FiringTest, PanelBlockWritesBeforeAndAfter) {
    const uint8_t block[4] = {0x9A, 0x99, 0xF5, 0x42};  // 122.8f, low byte first
    ASSERT_EQ(std::bit_cast<float>(0x42F5999Au), 122.8f);

    auto bcd = event_at_4(1);
    lines_.clear();
    bcd->fire(block, 4);
    EXPECT_EQ(lines_.all(), (std::vector<std::string>{"Firing SimEvent COM_RADIO_SET 4 --> 122.8",
                                                      "Before -> 122.8", "idec 122.8", "idec 122.8",
                                                      "After -> 74368"}));

    SimEventRequest plain("AP_ALT_VAR_SET_ENGLISH", 0, 9, 2);
    lines_.clear();
    plain.fire(block, 20);  // the size plays no part beyond the first 4 bytes
    EXPECT_EQ(lines_.all(),
              (std::vector<std::string>{"Firing SimEvent AP_ALT_VAR_SET_ENGLISH 5 --> 122.8",
                                        "Before -> 122.8", "After -> 122.8"}));
    EXPECT_EQ(sent_words(), (std::vector<uint32_t>{74368, 122}));
}

TEST_F(FiringTest, ShortBlocksReadMissingBytesAsZeroAndNothingBeyond) {
    SimEventRequest ev("E", 0, 5, 0);
    // Each block sits in a heap allocation of exactly its size, so a read past it is caught.
    struct Case {
        std::vector<uint8_t> bytes;
        uint32_t bits;
    };
    const Case cases[] = {
        {{}, 0},
        {{0x42}, 0x42},
        {{0x00, 0x80}, 0x8000},
        {{0x00, 0x00, 0xC0}, 0x00C00000},
        {{0x00, 0x00, 0x80, 0x3F}, 0x3F800000},  // 1.0
    };
    for (const auto& c : cases) {
        lines_.clear();
        simlink::testing::clear_calls();
        auto block = std::make_unique<uint8_t[]>(c.bytes.size());
        std::copy(c.bytes.begin(), c.bytes.end(), block.get());
        const auto size = static_cast<uint8_t>(c.bytes.size());
        ev.fire(c.bytes.empty() ? nullptr : block.get(), size);
        const std::string v = console::text(std::bit_cast<float>(c.bits));
        EXPECT_EQ(lines_.all()[0], "Firing SimEvent E 0 --> " + v);
        EXPECT_EQ(sent_words(), std::vector<uint32_t>{c.bits == 0x3F800000 ? 1u : 0u});

        SimVarSet set(12, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent");
        lines_.clear();
        simlink::testing::clear_calls();
        set.fire(c.bytes.empty() ? nullptr : block.get(), size);
        EXPECT_EQ(lines_.all()[0],
                  "Firing SimVarSet GENERAL ENG THROTTLE LEVER POSITION:1 12 --> " + v);
        const auto sets = simlink::testing::calls_of("SimConnect_SetDataOnSimObject");
        ASSERT_EQ(sets.size(), 1u);
        EXPECT_EQ(sets[0].args.at(4), std::to_string(c.bytes.size()));
        if (!c.bytes.empty()) {
            EXPECT_EQ(hex_bytes(sets[0].args.at(5)), c.bytes);
        }
    }
}

TEST_F(FiringTest, SettableFireSendsFourBytesToItsDefinition) {
    SimVarSet::clear();
    SimVarSet a(3, "A", "u"), b(12, "AUTOPILOT ALTITUDE LOCK VAR", "feet");
    EXPECT_EQ(a.id, 0);
    EXPECT_EQ(b.id, 1);
    EXPECT_EQ(b.def_ID, 12);
    b.fire(1.0f);
    EXPECT_EQ(lines_.all(),
              (std::vector<std::string>{"Firing SimVarSet AUTOPILOT ALTITUDE LOCK VAR 12 --> 1"}));
    const auto sets = simlink::testing::calls_of("SimConnect_SetDataOnSimObject");
    ASSERT_EQ(sets.size(), 1u);
    ASSERT_EQ(sets[0].args.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(sets[0].args.begin(), sets[0].args.begin() + 5),
              (std::vector<std::string>{"62", "0", "0", "0", "4"}));
    EXPECT_EQ(hex_bytes(sets[0].args[5]), (std::vector<uint8_t>{0x00, 0x00, 0x80, 0x3F}));
}

TEST_F(FiringTest, EightBytePanelBlockGoesOutWithSizeEight) {
    SimVarSet v(7, "KOHLSMAN SETTING HG", "inHg");
    const std::vector<uint8_t> block = {0x00, 0x00, 0xF0, 0x41, 1, 2, 3, 4};  // 30.0f, then more
    v.fire(block.data(), 8);
    const auto sets = simlink::testing::calls_of("SimConnect_SetDataOnSimObject");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].args.at(0), "57");
    EXPECT_EQ(sets[0].args.at(4), "8");
    EXPECT_EQ(hex_bytes(sets[0].args.at(5)), block);
    EXPECT_EQ(lines_.all().at(0), "Firing SimVarSet KOHLSMAN SETTING HG 7 --> 30");
}

TEST_F(FiringTest, RefusedCallsWriteTheFailureLine) {
    simlink::testing::fail_when([](const Call& c) {
        return c.fn == "SimConnect_TransmitClientEvent" || c.fn == "SimConnect_SetDataOnSimObject";
    });
    auto ev = event_at_4(0);
    SimVarSet set(12, "ELEVATOR TRIM POSITION", "radians");
    const uint8_t block[4] = {0, 0, 0x80, 0x3F};
    lines_.clear();
    ev->fire();
    ev->fire(2.0f);
    ev->fire(block, 4);
    set.fire(0.5f);
    set.fire(block, 4);
    const auto l = lines_.all();
    const std::vector<std::string> expect = {
        "Firing SimEvent COM_RADIO_SET 4",
        "SimEvent FAILED at id: 4 -> COM_RADIO_SET",
        "Firing SimEvent COM_RADIO_SET 4 --> 2",
        "SimEvent FAILED at id: 4 -> COM_RADIO_SET",
        "Firing SimEvent COM_RADIO_SET 4 --> 1",
        "Before -> 1",
        "After -> 1",
        "SimEvent FAILED at id: 4 -> COM_RADIO_SET",
        "Firing SimVarSet ELEVATOR TRIM POSITION 12 --> 0.5",
        "SimVarSet FAILED at id: 12 -> ELEVATOR TRIM POSITION",
        "Firing SimVarSet ELEVATOR TRIM POSITION 12 --> 1",
        "SimVarSet FAILED at id: 12 -> ELEVATOR TRIM POSITION",
    };
    EXPECT_EQ(l, expect);
}

TEST_F(FiringTest, WithoutASessionTheCallsCarryTheEmptyHandle) {
    simlink::testing::reset();
    hSimConnect = nullptr;
    SimEventRequest ev("E", 0, 5, 0);
    ev.fire(3.0f);
    const auto calls = simlink::testing::calls();
    ASSERT_FALSE(calls.empty());
    for (const auto& c : calls)
        EXPECT_TRUE(c.empty_handle) << c.fn;
}

// Grid buttons fire on the window thread, the workers fire from their own threads, and the
// dispatch writes the buffer meanwhile.
TEST_F(FiringTest, ConcurrentFiringWhileTheDispatchRuns) {
    console::set_stdout_enabled(false);
    SimEventRequest bcd("COM_STBY_RADIO_SET", 1, 20, 3);
    SimEventRequest plain("TOGGLE_NAV_LIGHTS", 21, 0);
    SimVarSet set(4, "LIGHT PANEL", "percent");
    SimConnectVars::clear();
    SimConnectVars::buffer_counter = 2;
    constexpr int kEach = 300;
    std::atomic<bool> stop{false};
    std::thread dispatcher([&] {
        auto m = rectest::data_message(0, {122.8, 7.5});
        for (int i = 0; i < 20000 && !stop; ++i) {
            simlink::testing::inject_message(m);
            SimConnect_CallDispatch(hSimConnect, MyDispatchProcRD, nullptr);
        }
    });
    const uint8_t block[4] = {0x9A, 0x99, 0xF5, 0x42};
    std::vector<std::thread> firing;
    firing.emplace_back([&] {
        for (int i = 0; i < kEach; ++i)
            bcd.fire(block, 4);
    });
    firing.emplace_back([&] {
        for (int i = 0; i < kEach; ++i)
            bcd.fire(118.05f);
    });
    firing.emplace_back([&] {
        for (int i = 0; i < kEach; ++i)
            plain.fire();
    });
    firing.emplace_back([&] {
        for (int i = 0; i < kEach; ++i)
            set.fire(block, 4);
    });
    for (auto& t : firing)
        t.join();
    stop = true;
    dispatcher.join();
    console::set_stdout_enabled(true);

    int bcd_words = 0, other = 0;
    for (uint32_t w : sent_words()) {
        if (w == 74368 || w == 4485)
            ++bcd_words;
        else if (w == 0)
            ++other;
    }
    EXPECT_EQ(bcd_words, 2 * kEach);
    EXPECT_EQ(other, kEach);
    EXPECT_EQ(simlink::testing::calls_of("SimConnect_SetDataOnSimObject").size(),
              static_cast<size_t>(kEach));
    for (const auto& l : lines_.all())
        ASSERT_FALSE(l.empty());
    EXPECT_EQ(SimConnectVars::dvalue[0], 122.8);
}

}  // namespace
