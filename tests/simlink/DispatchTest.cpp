// The dispatch callback: copying data messages into the value buffer and re-encoding the slots.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "RecordsSupport.h"
#include "encoding/ValueWord.h"
#include "simlink/Dispatch.h"
#include "simlink/SimConnectVars.h"

namespace {

using rectest::data_message;
using rectest::header_message;

void dispatch(std::vector<unsigned char>& m) {
    MyDispatchProcRD(reinterpret_cast<SIMCONNECT_RECV*>(m.data()), static_cast<DWORD>(m.size()),
                     nullptr);
}

struct RoundCase {
    double in, out;
};

TEST(RoundToHundredths, HalvesGoToEvenAndLargeValuesStay) {
    const RoundCase cases[] = {
        {0.125, 0.12},
        {0.375, 0.38},
        {1.005, 1.0},  // 1.005 is held as 1.00499999...
        {-0.125, -0.12},
        {-0.375, -0.38},
        {100.125, 100.12},
        {2.675, 2.68},  // 2.675 x 100 comes out as exactly 267.5
        {0.285, 0.28},  // 0.285 x 100 comes out as 28.499999999999996
        {7.0, 7.0},
        {0.0, 0.0},
        {1e16, 1e16},
        {-3e17, -3e17},
        {9.87654321e15, 9.87654321e15},
    };
    for (const auto& c : cases)
        EXPECT_EQ(round_to_hundredths(c.in), c.out) << c.in;
    EXPECT_TRUE(std::isnan(round_to_hundredths(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_EQ(round_to_hundredths(std::numeric_limits<double>::infinity()),
              std::numeric_limits<double>::infinity());
}

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        SimConnectVars::clear();
        for (int i = 0; i < SimConnectVars::kSlots; ++i) {
            SimConnectVars::dvalue[i] = -1.0;
            SimConnectVars::cvalue[i] = 0xBEEF;
        }
    }
    static void in_use(int n) { SimConnectVars::buffer_counter = n; }
};

struct WordCase {
    double raw;
    uint16_t word;  // the value word of the raw value rounded to two decimals
};

TEST_F(DispatchTest, StoresRawValuesAndTheWordsOfTheRoundedValues) {
    const WordCase cases[] = {
        {100.125, 0x6419},  // 100.12: a half goes to the even neighbour, not up to 100.13
        {100.375, 0x644D},  // 100.38: rounded, not truncated to 100.37
        {0.125, Encode(0.12)}, {0.375, Encode(0.38)}, {5.5, 0x057D},
        {-100.0, 0x0192},      {20000.0, 0x8DCB},
    };
    std::vector<double> values;
    for (const auto& c : cases)
        values.push_back(c.raw);
    in_use(static_cast<int>(values.size()));
    auto m = data_message(0, values);
    dispatch(m);
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(SimConnectVars::dvalue[i], cases[i].raw) << i;  // the raw slot is not rounded
        EXPECT_EQ(SimConnectVars::cvalue[i], cases[i].word) << cases[i].raw;
    }
    // Slots beyond the ones in use are copied but not encoded.
    EXPECT_EQ(SimConnectVars::cvalue[values.size()], 0xBEEF);
}

TEST_F(DispatchTest, DefineCountZeroCopiesNothingButReencodesTheSlotsInUse) {
    SimConnectVars::dvalue[0] = 5.5;
    SimConnectVars::dvalue[1] = 100.375;
    SimConnectVars::dvalue[2] = 7.0;
    in_use(2);
    auto m = data_message(0, {}, 0);
    dispatch(m);
    EXPECT_EQ(SimConnectVars::dvalue[0], 5.5);
    EXPECT_EQ(SimConnectVars::dvalue[1], 100.375);
    EXPECT_EQ(SimConnectVars::cvalue[0], 0x057D);
    EXPECT_EQ(SimConnectVars::cvalue[1], 0x644D);
    EXPECT_EQ(SimConnectVars::cvalue[2], 0xBEEF);  // beyond buffer_counter
}

TEST_F(DispatchTest, MoreThanAHundredValuesFillTheBufferAndTheRestIsDropped) {
    std::vector<double> values;
    for (int i = 0; i < 150; ++i)
        values.push_back(300.0 + i);
    in_use(100);
    auto m = data_message(0, values);
    dispatch(m);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(SimConnectVars::dvalue[i], 300.0 + i);
        EXPECT_EQ(SimConnectVars::cvalue[i], Encode(300.0 + i));
    }
}

TEST_F(DispatchTest, ADefineCountBeyondTheMessageIsNotReadPastItsEnd) {
    auto m = data_message(0, {5.0, 6.0}, /*count=*/60);  // claims 60 values, carries 2
    dispatch(m);
    EXPECT_EQ(SimConnectVars::dvalue[0], 5.0);
    EXPECT_EQ(SimConnectVars::dvalue[1], 6.0);
    EXPECT_EQ(SimConnectVars::dvalue[2], -1.0);
    auto short_message = data_message(0, {}, 3);
    short_message.resize(30);  // not even a whole header
    dispatch(short_message);
    EXPECT_EQ(SimConnectVars::dvalue[0], 5.0);
}

TEST_F(DispatchTest, BufferCounterBeyondTheBufferEncodesNoFurtherThanSlot99) {
    in_use(250);  // never happens from a subscription; must still stay inside the buffer
    auto m = data_message(0, {1.0});
    dispatch(m);
    EXPECT_EQ(SimConnectVars::cvalue[0], Encode(1.0));
    EXPECT_EQ(SimConnectVars::cvalue[99], Encode(-1.0));
}

TEST_F(DispatchTest, OtherMessagesChangeNoSlot) {
    in_use(3);
    SimConnectVars::dvalue[0] = 5.5;  // its word still says 0xBEEF: a re-encode would show
    std::vector<std::vector<unsigned char>> messages = {
        header_message(SIMCONNECT_RECV_ID_OPEN, 300),
        data_message(1, {1.0, 2.0, 3.0}),
        data_message(7, {1.0, 2.0, 3.0}),
        header_message(1),  // an exception report
        header_message(3),  // quit
    };
    for (auto& m : messages) {
        dispatch(m);
        EXPECT_EQ(SimConnectVars::dvalue[0], 5.5);
        EXPECT_EQ(SimConnectVars::dvalue[1], -1.0);
        EXPECT_EQ(SimConnectVars::cvalue[0], 0xBEEF);
    }
}

TEST_F(DispatchTest, RecordsReadTheSlotsOfTheirSubscription) {
    SimConnectVars a("A", "u", 0), b("B", "u", 0), c("C", "u", 0);
    a.active = c.active = true;
    SimConnectVars::begin_subscription();
    a.reset();
    a.set_data_buffer(0);
    c.reset();
    c.set_data_buffer(1);
    auto m = data_message(0, {128.14, 1013.25});
    dispatch(m);
    EXPECT_EQ(a.get_data(), 0x801B);
    EXPECT_EQ(c.get_data(), 0x0FD4);
    EXPECT_EQ(c.get_double(), 1013.25);
    EXPECT_EQ(b.get_data(), 0);
}

// Through the client library: the message is queued, the window is told, and the dispatch call
// hands it to the callback.
class LibraryDispatchTest : public DispatchTest {
protected:
    void SetUp() override {
        DispatchTest::SetUp();
        rectest::open_session(&target_);
        simlink::testing::set_stepped(true);  // the embedded aircraft sends nothing by itself
    }
    void TearDown() override { simlink::testing::reset(); }

    bool wait_for_post(int before) {
        for (int i = 0; i < 2000 && target_.posts.load() <= before; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return target_.posts.load() > before;
    }

    rectest::CountingTarget target_;
};

TEST_F(LibraryDispatchTest, InjectedMessagesReachTheCallback) {
    in_use(2);
    // The session's own OPEN message: the window is told, and the dispatch changes no slot.
    EXPECT_TRUE(wait_for_post(0));
    SimConnect_CallDispatch(hSimConnect, MyDispatchProcRD, nullptr);
    EXPECT_EQ(SimConnectVars::dvalue[0], -1.0);
    EXPECT_EQ(SimConnectVars::cvalue[0], 0xBEEF);

    const int before = target_.posts.load();
    simlink::testing::inject_message(data_message(0, {100.125, 5.5}));
    simlink::testing::inject_message(header_message(SIMCONNECT_RECV_ID_OPEN));
    simlink::testing::inject_message(data_message(3, {77.0, 77.0}));
    EXPECT_TRUE(wait_for_post(before));
    SimConnect_CallDispatch(hSimConnect, MyDispatchProcRD, nullptr);
    EXPECT_EQ(SimConnectVars::dvalue[0], 100.125);
    EXPECT_EQ(SimConnectVars::dvalue[1], 5.5);
    EXPECT_EQ(SimConnectVars::cvalue[0], 0x6419);
    EXPECT_EQ(SimConnectVars::cvalue[1], 0x057D);

    // Everything waiting was delivered in that one call: a second call finds nothing.
    SimConnectVars::dvalue[0] = -1.0;
    SimConnect_CallDispatch(hSimConnect, MyDispatchProcRD, nullptr);
    EXPECT_EQ(SimConnectVars::dvalue[0], -1.0);
}

TEST_F(LibraryDispatchTest, LongMessageThroughTheLibraryFillsAHundredSlots) {
    std::vector<double> values;
    for (int i = 0; i < 120; ++i)
        values.push_back(i * 1.5);
    in_use(100);
    simlink::testing::inject_message(data_message(0, values));
    SimConnect_CallDispatch(hSimConnect, MyDispatchProcRD, nullptr);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(SimConnectVars::dvalue[i], i * 1.5);
    EXPECT_EQ(SimConnectVars::cvalue[99], Encode(148.5));
}

// Panel replies read words on the receive thread, the grids read raw values on the window
// thread, while the dispatch writes them: every read sees one whole value of some message.
TEST_F(DispatchTest, ReadersSeeWholeValuesWhileTheDispatchWrites) {
    SimConnectVars a("A", "u", 0), b("B", "u", 0);
    a.active = b.active = true;
    SimConnectVars::begin_subscription();
    a.set_data_buffer(0);
    b.set_data_buffer(1);
    const std::array<double, 2> raws = {5.5, 257.0};
    const uint16_t words[] = {Encode(5.5), Encode(257.0)};
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        while (!stop) {
            const uint16_t w = a.get_data();
            const double d = b.get_double();
            if (w != 0xBEEF && w != words[0] && w != words[1])
                ++bad;
            if (d != -1.0 && d != raws[0] && d != raws[1])
                ++bad;
        }
    });
    for (int i = 0; i < 5000; ++i) {
        auto m = data_message(0, {raws[i % 2], raws[(i + 1) % 2]});
        dispatch(m);
    }
    stop = true;
    reader.join();
    EXPECT_EQ(bad, 0);
}

}  // namespace
