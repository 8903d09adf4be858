// Readable-variable records and the shared value buffer.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "simlink/SimConnectVars.h"

namespace {

class RecordsTest : public ::testing::Test {
protected:
    void SetUp() override { SimConnectVars::clear(); }

    static void put(int slot, double raw, uint16_t word) {
        SimConnectVars::dvalue[slot] = raw;
        SimConnectVars::cvalue[slot] = word;
    }

    // Gives the records slots 0, 1, 2, ... the way a read subscription does.
    static void subscribe(const std::vector<SimConnectVars*>& recs) {
        SimConnectVars::begin_subscription();
        int k = 0;
        for (auto* r : recs) {
            r->reset();
            r->set_data_buffer(k++);
        }
    }
};

TEST_F(RecordsTest, ConstructionNumbersFollowTheCounterAndRestartAfterClear) {
    SimConnectVars a("PLANE ALTITUDE", "feet", 4);
    SimConnectVars b("AIRSPEED INDICATED", "knots", 1);
    EXPECT_EQ(a.id, 0);
    EXPECT_EQ(b.id, 1);
    EXPECT_EQ(b.SimVar, "AIRSPEED INDICATED");
    EXPECT_EQ(b.SimUnit, "knots");
    EXPECT_EQ(b.var_type, 1);
    EXPECT_FALSE(b.active);
    EXPECT_FALSE(b.subscribed);
    EXPECT_EQ(b.def_ID, 0);
    EXPECT_EQ(b.index, 0);

    put(7, 42.5, 0x2A7D);
    SimConnectVars::clear();
    EXPECT_EQ(SimConnectVars::buffer_counter, 0);
    SimConnectVars c("FUEL TOTAL QUANTITY", "gallons", 5);
    EXPECT_EQ(c.id, 0);
    // The arrays are never zeroed: a slot keeps its value across list reloads.
    EXPECT_EQ(SimConnectVars::dvalue[7], 42.5);
    EXPECT_EQ(SimConnectVars::cvalue[7], 0x2A7D);
}

TEST_F(RecordsTest, SetDataBufferAndReset) {
    SimConnectVars r("V", "u", 0);
    r.set_data_buffer(7);
    EXPECT_EQ(r.index, 7);
    EXPECT_EQ(r.cindex, 7);
    EXPECT_EQ(r.q_id, 7);
    EXPECT_TRUE(r.subscribed);
    EXPECT_EQ(SimConnectVars::buffer_counter, 8);
    r.reset();
    EXPECT_EQ(r.index, 0);
    EXPECT_EQ(r.cindex, 0);
    EXPECT_EQ(r.q_id, 0);
    EXPECT_TRUE(r.subscribed);  // reset takes back the numbers only
}

TEST_F(RecordsTest, NeverSlottedRecordReadsZeroWhateverSlotZeroHolds) {
    put(0, 123.0, 0x7B01);
    SimConnectVars r("V", "u", 0);
    r.active = true;  // switched on by a poll, no subscription since
    EXPECT_EQ(r.get_double(), 0.0);
    EXPECT_EQ(r.get_data(), 0);
}

TEST_F(RecordsTest, InactiveRecordReadsZeroWordButKeepsItsRawValue) {
    SimConnectVars a("A", "u", 0), b("B", "u", 0), c("C", "u", 0), d("D", "u", 0), e("E", "u", 0);
    subscribe({&a, &b, &c, &d, &e});
    put(4, 12.5, 0x0C51);
    EXPECT_EQ(e.get_data(), 0);  // not active
    EXPECT_EQ(e.get_double(), 12.5);
    e.active = true;
    EXPECT_EQ(e.get_data(), 0x0C51);
}

TEST_F(RecordsTest, HundredRecordsUseEverySlot) {
    std::vector<std::unique_ptr<SimConnectVars>> recs;
    std::vector<SimConnectVars*> raw;
    for (int i = 0; i < 100; ++i) {
        recs.push_back(std::make_unique<SimConnectVars>("V", "u", 0));
        recs.back()->active = true;
        raw.push_back(recs.back().get());
        put(i, i + 0.25, static_cast<uint16_t>(1000 + i));
    }
    subscribe(raw);
    EXPECT_EQ(SimConnectVars::buffer_counter, 100);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(recs[i]->index, i);
        EXPECT_EQ(recs[i]->get_double(), i + 0.25);
        EXPECT_EQ(recs[i]->get_data(), 1000 + i);
    }
}

TEST_F(RecordsTest, RecordLeftOutOfALaterSubscriptionReadsZero) {
    SimConnectVars a("A", "u", 0), b("B", "u", 0);
    a.active = b.active = true;
    subscribe({&a, &b});
    put(0, 1.5, 0x0121);
    put(1, 2.5, 0x0271);
    ASSERT_EQ(a.get_data(), 0x0121);

    // a is switched off in its grid; the next subscription gives b slot 0.
    a.active = false;
    subscribe({&b});
    a.active = true;  // switched on again, but no subscription has given it a slot yet
    EXPECT_EQ(b.get_double(), 1.5);
    EXPECT_EQ(b.get_data(), 0x0121);
    EXPECT_EQ(a.get_double(), 0.0);
    EXPECT_EQ(a.get_data(), 0);
    // It keeps the numbers it had.
    EXPECT_EQ(a.index, 0);
    EXPECT_TRUE(a.subscribed);
}

TEST_F(RecordsTest, RecordsOfAnEarlierListReadZeroAfterClear) {
    SimConnectVars a("A", "u", 0);
    a.active = true;
    subscribe({&a});
    put(0, 9.0, 0x0901);
    SimConnectVars::clear();
    EXPECT_EQ(a.get_data(), 0);
    EXPECT_EQ(a.get_double(), 0.0);
}

}  // namespace
