// The read subscription and the settable definitions, driven through the real window against
// the embedded simulator.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <map>
#include <memory>
#include <thread>

#include "RecordsSupport.h"
#include "app/Form1.h"
#include "encoding/ValueWord.h"
#include "simlink/Session.h"
#include "simlink/SimConnectVars.h"
#include "simlink/SimVarSet.h"

namespace {

using rectest::args_of;
using simlink::testing::Call;

std::vector<std::string> starting_with(const std::vector<std::string>& lines,
                                       const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& l : lines)
        if (l.rfind(prefix, 0) == 0)
            out.push_back(l);
    return out;
}

// One call, reduced to what the tests compare: its name and its leading arguments.
std::string brief(const Call& c, size_t args) {
    std::string s = c.fn.substr(c.fn.find('_') + 1);
    for (size_t i = 0; i < args && i < c.args.size(); ++i)
        s += " " + c.args[i];
    return s;
}

std::vector<std::string> brief_log() {
    std::vector<std::string> out;
    for (const auto& c : simlink::testing::calls()) {
        if (c.fn == "SimConnect_RequestDataOnSimObject")
            out.push_back(brief(c, 8));
        else if (c.fn == "SimConnect_AddToDataDefinition")
            out.push_back(brief(c, 4));
        else if (c.fn == "SimConnect_ClearDataDefinition")
            out.push_back(brief(c, 1));
    }
    return out;
}

const std::string kStop = "RequestDataOnSimObject 0 0 0 0 1 0 0 0";
const std::string kStart = "RequestDataOnSimObject 0 0 0 3 1 0 0 0";
const std::string kClear0 = "ClearDataDefinition 0";

class SubscriptionTest : public ::testing::Test {
protected:
    // One window for the suite (building it lists and opens the serial ports); every test
    // gets a fresh simulator session in its place.
    static void SetUpTestSuite() { form_ = new Form1(); }
    static void TearDownTestSuite() {
        delete form_;
        form_ = nullptr;
        simlink::testing::reset();
    }

    void SetUp() override {
        ASSERT_NE(form_, nullptr);
        QCoreApplication::processEvents();  // notifications left from the last test
        simlink::testing::reset();
        simlink::testing::set_stepped(true);
        ASSERT_EQ(SimConnect_Open(&hSimConnect, kClientName, windowhandle, WM_USER_SIMCONNECT,
                                  nullptr, 0),
                  S_OK);
        form_->connected = true;
        form_->resubscribe = 0;
        form_->SimRecs.clear();
        form_->SimRecSet.clear();
        SimConnectVars::clear();
        SimVarSet::clear();
        form_->textBox1->setText("");
        form_->textBox3->setText("IDLE");
        form_->textBox7->setText("");
        simlink::testing::clear_calls();
        lines_.clear();
    }
    void TearDown() override {
        simlink::testing::fail_when(nullptr);
        QCoreApplication::processEvents();
    }

    // n readable variables VAR0.. with the given positions active.
    std::vector<std::shared_ptr<SimConnectVars>> load_vars(int n, std::vector<int> active) {
        std::vector<std::shared_ptr<SimConnectVars>> recs;
        for (int i = 0; i < n; ++i)
            recs.push_back(
                std::make_shared<SimConnectVars>("VAR" + std::to_string(i), "feet", i % 7));
        for (int i : active)
            recs[i]->active = true;
        form_->SimRecs.publish(recs);
        form_->textBox1->setText(QString("0/%1").arg(n));
        return recs;
    }

    // Settable variables from the given line indexes.
    void load_settable(std::vector<int> lines) {
        std::vector<std::shared_ptr<SimVarSet>> set;
        for (int line : lines)
            set.push_back(
                std::make_shared<SimVarSet>(line, "SET" + std::to_string(line), "percent"));
        form_->SimRecSet.publish(set);
        form_->textBox7->setText(QString::number(lines.size()));
    }

    std::string text(QLineEdit* box) const { return box->text().toStdString(); }

    static Form1* form_;
    rectest::Lines lines_;
};

Form1* SubscriptionTest::form_ = nullptr;

TEST_F(SubscriptionTest, ActiveRecordsGetSlotsInListOrder) {
    auto recs = load_vars(12, {2, 5, 9});
    form_->resubscribe = 4;
    form_->button3_Click();

    EXPECT_EQ(
        starting_with(lines_.all(), "ADDED DATA DEFINITION: "),
        (std::vector<std::string>{"ADDED DATA DEFINITION: VAR2", "ADDED DATA DEFINITION: VAR5",
                                  "ADDED DATA DEFINITION: VAR9"}));
    EXPECT_EQ(brief_log(),
              (std::vector<std::string>{kStop, kClear0, "AddToDataDefinition 0 VAR2 feet 4",
                                        "AddToDataDefinition 0 VAR5 feet 4",
                                        "AddToDataDefinition 0 VAR9 feet 4", kStart}));
    for (const auto& a : args_of("SimConnect_AddToDataDefinition"))
        EXPECT_EQ(a.at(5), "4294967295");

    const std::pair<int, int> given[] = {{2, 0}, {5, 1}, {9, 2}};
    for (auto [pos, slot] : given) {
        EXPECT_TRUE(recs[pos]->subscribed);
        EXPECT_EQ(recs[pos]->index, slot);
        EXPECT_EQ(recs[pos]->cindex, slot);
    }
    for (int pos : {0, 1, 3, 4, 6, 7, 8, 10, 11})
        EXPECT_FALSE(recs[pos]->subscribed) << pos;
    EXPECT_EQ(SimConnectVars::buffer_counter, 3);

    EXPECT_EQ(text(form_->textBox1), "3/12");
    EXPECT_EQ(text(form_->textBox3), "SUBSCRIBED");
    EXPECT_EQ(form_->textBox3->palette().color(QPalette::Text), QColor(Qt::green));
    EXPECT_EQ(form_->resubscribe, 0);
}

TEST_F(SubscriptionTest, SecondRebuildRewritesTheCountAndLeftOutRecordsReadZero) {
    auto recs = load_vars(12, {2, 5, 9});
    form_->update_SimVarGetsubscription();
    ASSERT_EQ(text(form_->textBox1), "3/12");
    SimConnectVars::cvalue[0] = 0x1234;
    SimConnectVars::cvalue[1] = 0x5678;
    ASSERT_EQ(recs[2]->get_data(), 0x1234);

    recs[2]->active = false;  // switched off in its grid
    recs[11]->active = true;  // switched on by a poll
    form_->update_SimVarGetsubscription();
    EXPECT_EQ(text(form_->textBox1), "3/12");
    EXPECT_EQ(text(form_->textBox3), "SUBSCRIBED");
    EXPECT_EQ(recs[5]->index, 0);
    EXPECT_EQ(recs[11]->index, 2);
    EXPECT_EQ(recs[5]->get_data(), 0x1234);
    recs[2]->active = true;  // on again: no slot of its own until the next rebuild
    EXPECT_EQ(recs[2]->get_data(), 0);
}

TEST_F(SubscriptionTest, NoActiveRecordEmptiesTheDefinitionAndChangesNoText) {
    auto recs = load_vars(12, {});
    form_->resubscribe = 2;
    form_->update_SimVarGetsubscription();
    EXPECT_EQ(brief_log(), (std::vector<std::string>{kStop, kClear0, kStart}));
    EXPECT_TRUE(starting_with(lines_.all(), "ADDED").empty());
    EXPECT_EQ(text(form_->textBox3), "IDLE");
    EXPECT_EQ(text(form_->textBox1), "0/12");
    EXPECT_EQ(form_->resubscribe, 2);

    simlink::testing::clear_calls();
    EXPECT_EQ(form_->resubGet(), 0);
    EXPECT_EQ(brief_log(), (std::vector<std::string>{kStart}));
}

TEST_F(SubscriptionTest, NothingHappensWithoutSessionOrList) {
    load_settable({3, 7});
    // Empty readable list: no call at all for the read subscription.
    form_->update_SimVarGetsubscription();
    EXPECT_TRUE(brief_log().empty());
    EXPECT_EQ(form_->resubGet(), 0);
    EXPECT_TRUE(brief_log().empty());

    load_vars(4, {1});
    form_->connected = false;
    form_->button3_Click();
    form_->update_SimVarGetsubscription();
    EXPECT_TRUE(simlink::testing::calls().empty());
    EXPECT_TRUE(lines_.all().empty());
    EXPECT_EQ(text(form_->textBox3), "IDLE");
}

TEST_F(SubscriptionTest, RefusedRequestKeepsStatusCountAndPendingActivations) {
    auto recs = load_vars(12, {2, 5, 9});
    form_->resubscribe = 3;
    simlink::testing::fail_when([](const Call& c) {
        return c.fn == "SimConnect_RequestDataOnSimObject" && c.args.at(3) == "3";
    });
    form_->update_SimVarGetsubscription();
    EXPECT_EQ(text(form_->textBox3), "IDLE");
    EXPECT_EQ(text(form_->textBox1), "0/12");
    EXPECT_EQ(form_->resubscribe, 3);
    EXPECT_EQ(starting_with(lines_.all(), "ADDED").size(), 3u);
    // The records keep the slots just given out.
    EXPECT_EQ(recs[9]->index, 2);
    EXPECT_TRUE(recs[9]->subscribed);
}

TEST_F(SubscriptionTest, RebuildOnTheReceiveThreadHandsTheTextsToTheWindow) {
    load_vars(12, {2, 5, 9});
    std::thread receive([this] { form_->update_SimVarGetsubscription(); });
    receive.join();
    EXPECT_EQ(form_->resubscribe, 0);
    // Not written from the receive thread: the window thread shows it when it runs its events.
    EXPECT_EQ(text(form_->textBox1), "0/12");
    EXPECT_TRUE(QTest::qWaitFor([this] { return text(form_->textBox1) == "3/12"; }, 5000));
    EXPECT_EQ(text(form_->textBox3), "SUBSCRIBED");
}

TEST_F(SubscriptionTest, ACountFromTheReceiveThreadNeverOverwritesAListLoadedSinceThen) {
    load_vars(12, {2, 5, 9});
    std::thread receive([this] { form_->update_SimVarGetsubscription(); });
    receive.join();
    load_vars(4, {});  // a load that ran before the window thread saw the rebuild's texts
    QTest::qWait(50);
    QCoreApplication::processEvents();
    EXPECT_EQ(text(form_->textBox1), "0/4");
    EXPECT_EQ(text(form_->textBox3), "SUBSCRIBED");
}

TEST_F(SubscriptionTest, RebuildsFromSeveralThreadsNeverInterleave) {
    console::set_stdout_enabled(false);
    auto recs = load_vars(12, {2, 5, 9});
    constexpr int kEach = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([this] {
            for (int i = 0; i < kEach; ++i)
                form_->update_SimVarGetsubscription();
        });
    for (int i = 0; i < kEach; ++i) {
        form_->update_SimVarGetsubscription();
        QCoreApplication::processEvents();
    }
    for (auto& t : threads)
        t.join();
    console::set_stdout_enabled(true);

    const std::vector<std::string> one = {kStop,
                                          kClear0,
                                          "AddToDataDefinition 0 VAR2 feet 4",
                                          "AddToDataDefinition 0 VAR5 feet 4",
                                          "AddToDataDefinition 0 VAR9 feet 4",
                                          kStart};
    const auto log = brief_log();
    ASSERT_EQ(log.size(), one.size() * 3 * kEach);
    for (size_t i = 0; i < log.size(); ++i)
        ASSERT_EQ(log[i], one[i % one.size()]) << i;
    EXPECT_EQ(recs[9]->index, 2);
    EXPECT_EQ(SimConnectVars::buffer_counter, 3);
    EXPECT_TRUE(QTest::qWaitFor([this] { return text(form_->textBox1) == "3/12"; }, 5000));
}

TEST_F(SubscriptionTest, SubscribedValuesReachTheirRecords) {
    std::vector<std::shared_ptr<SimConnectVars>> recs = {
        std::make_shared<SimConnectVars>("AUTOPILOT ALTITUDE LOCK VAR", "feet", 4),
        std::make_shared<SimConnectVars>("AIRSPEED INDICATED", "knots", 4),
        std::make_shared<SimConnectVars>("KOHLSMAN SETTING HG:1", "inHg", 4),
    };
    recs[0]->active = recs[2]->active = true;
    form_->SimRecs.publish(recs);
    form_->update_SimVarGetsubscription();
    simlink::testing::set_sim_variable("AUTOPILOT ALTITUDE LOCK VAR", "feet", 3500.0);
    simlink::testing::set_sim_variable("KOHLSMAN SETTING HG:1", "inHg", 29.92);
    simlink::testing::step_frames(1);
    // The library posts its notification; the window's message hook runs the dispatch.
    ASSERT_TRUE(QTest::qWaitFor([&] { return recs[0]->get_double() == 3500.0; }, 5000));
    EXPECT_EQ(recs[2]->get_double(), 29.92);
    EXPECT_EQ(recs[0]->get_data(), Encode(3500.0));
    EXPECT_EQ(recs[2]->get_data(), Encode(29.92));
    EXPECT_EQ(recs[1]->get_double(), 0.0);
}

TEST_F(SubscriptionTest, SettableDefinitionsHoldOneEntryHoweverOftenReSubscribeIsPressed) {
    load_settable({3, 7, 12});
    {
        auto set = form_->SimRecSet.snapshot();
        EXPECT_EQ((*set)[0]->id, 0);
        EXPECT_EQ((*set)[2]->id, 2);
    }
    for (int press = 0; press < 3; ++press)
        form_->button3_Click();

    const std::vector<std::string> one = {"ClearDataDefinition 53",
                                          "ClearDataDefinition 57",
                                          "ClearDataDefinition 62",
                                          "AddToDataDefinition 53 SET3 percent 3",
                                          "AddToDataDefinition 57 SET7 percent 3",
                                          "AddToDataDefinition 62 SET12 percent 3"};
    std::vector<std::string> expect;
    for (int press = 0; press < 3; ++press)
        expect.insert(expect.end(), one.begin(), one.end());
    EXPECT_EQ(brief_log(), expect);

    // What the simulator holds after all that: one entry per definition.
    std::map<std::string, int> entries;
    for (const auto& c : simlink::testing::calls()) {
        if (c.fn == "SimConnect_ClearDataDefinition")
            entries[c.args.at(0)] = 0;
        if (c.fn == "SimConnect_AddToDataDefinition")
            ++entries[c.args.at(0)];
    }
    EXPECT_EQ(entries, (std::map<std::string, int>{{"53", 1}, {"57", 1}, {"62", 1}}));

    EXPECT_EQ(text(form_->textBox7), "3/3");
    EXPECT_EQ(starting_with(lines_.all(), "SIMRECSET size "),
              std::vector<std::string>(3, "SIMRECSET size 3"));
    const auto all = lines_.all();
    ASSERT_GE(all.size(), 7u);
    const std::vector<std::string> first(all.begin(), all.begin() + 7);
    EXPECT_EQ(first, (std::vector<std::string>{
                         "SIMRECSET size 3", "SimVarSet SUCCEEDED in subscription",
                         "SUCCEEDED at id: 3 -> SET3", "SimVarSet SUCCEEDED in subscription",
                         "SUCCEEDED at id: 7 -> SET7", "SimVarSet SUCCEEDED in subscription",
                         "SUCCEEDED at id: 12 -> SET12"}));
}

TEST_F(SubscriptionTest, OneRefusedSettableEntryLeavesTheCountAlone) {
    load_settable({0, 2, 5, 9});
    simlink::testing::fail_when([](const Call& c) {
        return c.fn == "SimConnect_AddToDataDefinition" && c.args.at(0) == "55";
    });
    form_->update_SimVarSetsubscription();
    EXPECT_EQ(lines_.all(), (std::vector<std::string>{
                                "SIMRECSET size 4", "SimVarSet SUCCEEDED in subscription",
                                "SUCCEEDED at id: 0 -> SET0", "SimVarSet SUCCEEDED in subscription",
                                "SUCCEEDED at id: 2 -> SET2", "SimVarSet FAILED a subscription",
                                "FAILED at id: 5 -> SET5", "SimVarSet SUCCEEDED in subscription",
                                "SUCCEEDED at id: 9 -> SET9"}));
    EXPECT_EQ(text(form_->textBox7), "4");
    EXPECT_EQ(form_->resubSet(), 0);
}

TEST_F(SubscriptionTest, SettableBuildIgnoresTheSessionFlagAndSkipsAnEmptyList) {
    form_->update_SimVarSetsubscription();
    EXPECT_TRUE(lines_.all().empty());
    EXPECT_TRUE(simlink::testing::calls().empty());

    load_settable({4});
    form_->connected = false;  // the list loader builds the definitions connected or not
    form_->update_SimVarSetsubscription();
    EXPECT_EQ(brief_log(), (std::vector<std::string>{"ClearDataDefinition 54",
                                                     "AddToDataDefinition 54 SET4 percent 3"}));
    EXPECT_EQ(text(form_->textBox7), "1/1");
}

}  // namespace
