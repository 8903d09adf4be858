// The real window with the embedded simulator, driven by the virtual panel over a real
// pseudo-terminal: polls, renewal, settable variables, events with parameters, media commands,
// the port going away in the middle of a command, and list reloads under fast polling.
#include <gtest/gtest.h>
#include <time.h>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>

#include "CpuTime.h"
#include "app/Console.h"
#include "app/Form1.h"
#include "encoding/ValueWord.h"
#include "media/SimRadio.h"
#include "media/SimSound.h"
#include "media/SimSpeak.h"
#include "panel/PortList.h"
#include "simlink/SimConnectVars.h"
#include "simlink/SimEventRequest.h"
#include "simlink/SimVarSet.h"
#include "simlink/testing/SimTestHooks.h"
#include "tests/ui/WindowSupport.h"
#include "tools/panel/PanelProtocol.h"
#include "tools/panel/VirtualPort.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {

using window_test::as_panel;

class PanelWindow : public ::testing::Test {
protected:
    void SetUp() override {
        // Our own ports folder, so the virtual panel is the first port listed.
        runtime = fs::current_path() / "runtime";
        fs::remove_all(runtime);
        fs::create_directories(runtime);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        console::set_stdout_enabled(false);
        simlink::testing::reset();
        SimConnectVars::clear();
        SimVarSet::clear();
        SimEventRequest::clear();
        panel = std::make_unique<panelproto::VirtualPort>(virtual_ports_dir(), "panel");
        form = std::make_unique<Form1>();  // lists the ports, which opens the first
        ASSERT_TRUE(form->serialPort1->IsOpen());
        ASSERT_EQ(form->serialPort1->PortName, panel->path());
        ASSERT_TRUE(form->connected);
    }
    void TearDown() override {
        form.reset();
        panel.reset();
        simlink::testing::reset();  // no session left running into the next test
        console::set_stdout_enabled(true);
    }

    std::vector<std::string> lines() {
        std::lock_guard<std::mutex> g(mutex);
        return captured;
    }
    size_t mark() {
        std::lock_guard<std::mutex> g(mutex);
        return captured.size();
    }
    std::vector<std::string> lines_since(size_t from) {
        auto all = lines();
        return {all.begin() + static_cast<long>(std::min(from, all.size())), all.end()};
    }
    bool saw(const std::string& line, size_t from = 0) {
        auto l = lines_since(from);
        return std::find(l.begin(), l.end(), line) != l.end();
    }
    bool wait_line(const std::string& line, size_t from = 0, int ms = 5000) {
        return QTest::qWaitFor([&] { return saw(line, from); }, ms);
    }

    void publish_vars(std::initializer_list<std::pair<const char*, const char*>> vars) {
        SimConnectVars::clear();
        SharedList<SimConnectVars>::Records recs;
        for (auto [name, unit] : vars)
            recs.push_back(std::make_shared<SimConnectVars>(name, unit, 3));
        form->SimRecs.publish(std::move(recs));
        form->startup = 1;
    }

    fs::path runtime;
    std::mutex mutex;
    std::vector<std::string> captured;
    console::Capture capture{[this](std::string_view s) {
        std::lock_guard<std::mutex> g(mutex);
        captured.emplace_back(s);
    }};
    std::unique_ptr<panelproto::VirtualPort> panel;
    std::unique_ptr<Form1> form;
};

TEST_F(PanelWindow, PollActivatesThenRenewalBringsTheSimulatorsValue) {
    publish_vars({{"PLANE ALTITUDE", "feet"}, {"COM ACTIVE FREQUENCY:1", "MHz"}});
    const double com1 = simlink::testing::sim_variable("COM ACTIVE FREQUENCY:1", "MHz");

    auto first = as_panel([&] { return panelproto::poll(*panel, 1); });
    ASSERT_TRUE(first.answered);
    EXPECT_EQ(first.bytes, (std::array<uint8_t, 4>{1, 0, 0, 254}));  // no slot of its own yet
    EXPECT_TRUE(form->SimRecs.at(1)->active);
    EXPECT_FALSE(form->SimRecs.at(0)->active);
    EXPECT_EQ(form->resubscribe.load(), 1);

    // 28 quiet polls do not renew; the 29th does. A reply may go missing around the renewal.
    for (int k = 1; k <= 28; ++k)
        as_panel([&] { return panelproto::poll(*panel, 1); });
    EXPECT_FALSE(saw("ADDED DATA DEFINITION: COM ACTIVE FREQUENCY:1"));
    as_panel([&] { return panelproto::poll(*panel, 1); });
    ASSERT_TRUE(wait_line("ADDED DATA DEFINITION: COM ACTIVE FREQUENCY:1"));
    EXPECT_EQ(form->resubscribe.load(), 0);
    EXPECT_EQ(form->startup.load(), 0);

    // The simulator sends the value; the reply's word reads back as it.
    float decoded = 0;
    const bool arrived = QTest::qWaitFor(
        [&] {
            auto r = as_panel([&] { return panelproto::poll(*panel, 1); });
            if (!r.answered || !r.valid)
                return false;
            decoded = Decode(r.word);
            return std::fabs(decoded - com1) < 0.011;
        },
        10000);
    EXPECT_TRUE(arrived) << "last value " << decoded << ", simulator " << com1;
    // The renewal ran on the receive thread; its status text reached the window.
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->textBox3->text() == "SUBSCRIBED"; }, 2000));
}

TEST_F(PanelWindow, SetVariableWithAFloat) {
    SimVarSet::clear();
    form->SimRecSet.publish({std::make_shared<SimVarSet>(0, "KOHLSMAN SETTING HG:1", "inHg")});
    form->update_SimVarSetsubscription();
    auto x = as_panel([&] {
        return panelproto::parameter_command(*panel, panelproto::kSetVariable, 0,
                                             panelproto::float_bytes(29.5f));
    });
    EXPECT_EQ(x.outcome, panelproto::Outcome::Done) << panelproto::describe(x.outcome);
    EXPECT_EQ(x.received, (Bytes{250, 0, 0, 0, 250, 0, 250, 0}));
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return std::fabs(simlink::testing::sim_variable("KOHLSMAN SETTING HG:1", "inHg") -
                             29.5) < 1e-4;
        },
        5000));
    EXPECT_TRUE(saw("SimVarSet"));
    EXPECT_TRUE(saw("PARAMETER 29.5"));
}

TEST_F(PanelWindow, EventWithParameterTunesCom1ThroughBcd) {
    SimEventRequest::clear();
    form->SimEvents.publish({std::make_shared<SimEventRequest>("COM_RADIO_SET", 1, 0, 3)});
    auto x = as_panel([&] {
        return panelproto::parameter_command(*panel, panelproto::kEventWithParameter, 0,
                                             panelproto::float_bytes(122.8f));
    });
    EXPECT_EQ(x.outcome, panelproto::Outcome::Done) << panelproto::describe(x.outcome);
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return std::fabs(simlink::testing::sim_variable("COM ACTIVE FREQUENCY:1", "MHz") -
                             122.80) < 1e-6;
        },
        5000))
        << simlink::testing::sim_variable("COM ACTIVE FREQUENCY:1", "MHz");

    // Without a parameter the event fires with 0.
    const size_t from = mark();
    as_panel([&] {
        panelproto::fire_event(*panel, 0);
        return 0;
    });
    EXPECT_TRUE(wait_line("SimEvent 0", from));
    EXPECT_TRUE(wait_line("Firing SimEvent COM_RADIO_SET 0 --> 0", from));
}

// Edge cases seen from the panel: what comes back and which lines the console gets.
TEST_F(PanelWindow, EdgeCases) {
    publish_vars({{"PLANE ALTITUDE", "feet"}, {"COM ACTIVE FREQUENCY:1", "MHz"}});
    SimEventRequest::clear();
    form->SimEvents.publish({std::make_shared<SimEventRequest>("COM_RADIO_SET", 1, 0, 3)});
    struct Row {
        const char* name;
        Bytes send;
        Bytes expect;  // everything the program sends back within 600 ms
        std::vector<std::string> lines;
    };
    Bytes size20 = {251, 0, 20};
    const std::vector<Row> rows = {
        {"byte 255", {255}, {}, {}},
        {"poll beyond the list", {5}, {5, 0, 0, 250}, {}},
        {"three bytes pending are dropped", {0, 1, 2}, {}, {"Exception in ReadByte"}},
        {"sound beyond the list", {200}, {}, {"SimSound id out of range"}},
        {"event beyond the list", {105}, {}, {}},
        {"id sent with the command is discarded",
         {252, 5},
         {252, 0, 0, 0},
         {"SimVoice", "ID 0", "SimVoice id out of range"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        QTest::qWait(450);  // let the previous row's timeouts pass
        const size_t from = mark();
        Bytes back = as_panel([&] {
            panel->drain();
            panel->send(r.send.data(), r.send.size());
            Bytes got;
            uint8_t b;
            while (panel->receive(&b, 1, 600))
                got.push_back(b);
            return got;
        });
        EXPECT_EQ(back, r.expect);
        QTest::qWait(50);
        EXPECT_EQ(lines_since(from), r.lines);
    }

    struct Handshake {
        const char* name;
        uint8_t id;
        Bytes parameter;
        panelproto::Outcome outcome;
        std::vector<std::string> lines;
    };
    Bytes twenty(20, 1), twenty_one(21, 1);
    const std::vector<Handshake> handshakes = {
        {"id 99 passes the handshake, then is beyond the list",
         99,
         {0, 0, 0x80, 0x3F},
         panelproto::Outcome::Done,
         {"SimEventSet", "ID 99", "DATASIZE 4", "PARAMETER 1"}},
        {"id 100 refused",
         100,
         {1},
         panelproto::Outcome::Refused,
         {"SimEventSet", "ID 100", "SimEventset Retrieve value failed for SimEventSet: 100"}},
        {"size 0 refused",
         1,
         {},
         panelproto::Outcome::Refused,
         {"SimEventSet", "ID 1", "DATASIZE 0",
          "SimEventset Retrieve value failed for SimEventSet: 1"}},
        {"size 20 passes",
         1,
         twenty,
         panelproto::Outcome::Done,
         {"SimEventSet", "ID 1", "DATASIZE 20"}},
        {"size 21 refused",
         1,
         twenty_one,
         panelproto::Outcome::Refused,
         {"SimEventSet", "ID 1", "DATASIZE 21",
          "SimEventset Retrieve value failed for SimEventSet: 1"}},
    };
    for (const Handshake& h : handshakes) {
        SCOPED_TRACE(h.name);
        QTest::qWait(100);
        const size_t from = mark();
        auto x = as_panel([&] {
            return panelproto::parameter_command(*panel, panelproto::kEventWithParameter, h.id,
                                                 h.parameter);
        });
        EXPECT_EQ(x.outcome, h.outcome) << panelproto::describe(x.outcome);
        QTest::qWait(100);
        EXPECT_EQ(lines_since(from), h.lines);
    }

    // One byte more than the size: the extra byte is the next command (a poll of 0 here).
    QTest::qWait(100);
    Bytes back = as_panel([&] {
        panel->drain();
        Bytes got;
        uint8_t b;
        for (uint8_t step : {251, 1, 2}) {  // command, id, size: each waits for its frame
            panel->send(&step, 1);
            if (!panel->receive(&b, 1, 1500))
                return got;
            got.push_back(b);
            panel->receive(&b, 1, 1500);
            got.push_back(b);
        }
        const uint8_t param[3] = {7, 7, 0};
        panel->send(param, 3);
        while (panel->receive(&b, 1, 600))
            got.push_back(b);
        return got;
    });
    EXPECT_EQ(back, (Bytes{251, 0, 1, 0, 251, 0, 251, 0, 0, 0, 0, 255}));
}

TEST_F(PanelWindow, SoundRadioAndVoiceReachTheirPlayers) {
    const std::string src = std::getenv("TARNWELL_SOURCE_DIR");
    SimSound::clear();
    form->SimSoundFiles.publish(
        {std::make_shared<SimSound>(src + "/examples/sounds/chime_high.mp3")});
    SimRadio::clear();
    form->SimRadioStations.publish(
        {std::make_shared<SimRadio>("One", "http://127.0.0.1:9/one"),
         std::make_shared<SimRadio>("Two", "http://127.0.0.1:9/two"),
         std::make_shared<SimRadio>("Three", "http://127.0.0.1:9/three")});
    SimSpeak::clear();
    form->SimVoice.publish({std::make_shared<SimSpeak>("gear down")});

    size_t from = mark();
    as_panel([&] {
        panelproto::play_sound(*panel, 0);
        return 0;
    });
    EXPECT_TRUE(
        wait_line("Firing SimSound 0 --> " + src + "/examples/sounds/chime_high.mp3", from));
    EXPECT_TRUE(saw("SimSound", from));

    struct Row {
        uint8_t command;
        uint8_t id;
        std::vector<std::string> expect;  // lines in order, after the handshake's
    };
    form->SimRadio_Current = 2;
    const std::vector<Row> rows = {
        {panelproto::kSoundControl, 204, {"SimSound Control", "ID 204"}},
        {panelproto::kSoundControl, 200, {"SimSound Control", "ID 200", "SimSound Stop"}},
        {panelproto::kRadio,
         201,
         {"SimRadio", "ID 201", "Firing SimRadio 0 --> http://127.0.0.1:9/one"}},
        {panelproto::kRadio,
         202,
         {"SimRadio", "ID 202", "Firing SimRadio 2 --> http://127.0.0.1:9/three"}},
        {panelproto::kRadio, 203, {"SimRadio", "ID 203", "Scanning Stations started"}},
        {panelproto::kRadio, 204, {"SimRadio", "ID 204", "Scanning Stations stopped"}},
        {panelproto::kRadio,
         1,
         {"SimRadio", "ID 1", "Firing SimRadio 1 --> http://127.0.0.1:9/two"}},
        {panelproto::kRadio,
         207,
         {"SimRadio", "ID 207", "Firing SimRadio 1 --> http://127.0.0.1:9/two",
          "Play Current Song"}},
        {panelproto::kRadio, 200, {"SimRadio", "ID 200"}},
        {panelproto::kVoice, 203, {"SimVoice", "ID 203"}},
        {panelproto::kVoice, 0, {"SimVoice", "ID 0", "Firing SimVoice 0 --> gear down"}},
        {panelproto::kVoice, 1, {"SimVoice", "ID 1", "SimVoice id out of range"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.command) + " " + std::to_string(r.id));
        from = mark();
        auto x = as_panel([&] { return panelproto::id_command(*panel, r.command, r.id); });
        EXPECT_EQ(x.outcome, panelproto::Outcome::Done);
        EXPECT_TRUE(wait_line(r.expect.back(), from, 3000));
        EXPECT_EQ(lines_since(from), r.expect);
    }
    EXPECT_EQ(form->SimRadio_Current.load(), 1);
    EXPECT_FALSE(form->SimRadio_Scanning.load());
    EXPECT_FALSE(SimRadio::playing.load());
    EXPECT_EQ(SimSpeak::volume_level.load(), 50);
}

TEST_F(PanelWindow, PhraseWithBothWorkersBusyIsDropped) {
    SimSpeak::clear();
    form->SimVoice.publish({std::make_shared<SimSpeak>("gear down")});
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    auto hold = [&] {
        std::unique_lock<std::mutex> g(m);
        cv.wait(g, [&] { return release; });
    };
    ASSERT_TRUE(form->backgroundWorker1->RunWorkerAsync(hold));
    ASSERT_TRUE(form->backgroundWorker4->RunWorkerAsync(hold));
    const size_t from = mark();
    auto x = as_panel([&] { return panelproto::id_command(*panel, panelproto::kVoice, 0); });
    EXPECT_EQ(x.outcome, panelproto::Outcome::Done);
    QTest::qWait(200);
    EXPECT_EQ(lines_since(from), (std::vector<std::string>{"SimVoice", "ID 0"}));
    {
        std::lock_guard<std::mutex> g(m);
        release = true;
    }
    cv.notify_all();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->backgroundWorker1->IsBusy(); }, 2000));
    // With worker 1 free again the phrase is spoken.
    as_panel([&] { return panelproto::id_command(*panel, panelproto::kVoice, 0); });
    EXPECT_TRUE(wait_line("Firing SimVoice 0 --> gear down", from));
}

TEST_F(PanelWindow, PortClosedDuringAHandshake) {
    SimVarSet::clear();
    form->SimRecSet.publish({std::make_shared<SimVarSet>(0, "KOHLSMAN SETTING HG:1", "inHg")});
    const size_t from = mark();
    // The panel starts a set-variable command and then waits; the user releases the port.
    Bytes ack = as_panel([&] {
        const uint8_t c = 250;
        panel->send(&c, 1);
        Bytes f(2);
        panel->receive(f.data(), 2, 1500);
        return f;
    });
    EXPECT_EQ(ack, (Bytes{250, 0}));
    form->button10_Click();
    EXPECT_FALSE(form->serialPort1->IsOpen());
    EXPECT_TRUE(wait_line("SimVarset Retrieve value failed for SimVarSet: 0", from));
    EXPECT_TRUE(saw("CLOSING PORT", from));
    const double before = cpu_seconds();
    QTest::qWait(300);
    EXPECT_LT(cpu_seconds() - before, 0.1) << "something spins while the port is closed";

    form->button6_Click();  // "Comm Port": lists and opens the first port again
    ASSERT_TRUE(form->serialPort1->IsOpen());
    auto r = as_panel([&] { return panelproto::poll(*panel, 3); });
    EXPECT_TRUE(r.answered);
    EXPECT_EQ(r.bytes, (std::array<uint8_t, 4>{3, 0, 0, 252}));
}

TEST_F(PanelWindow, HangupThenReplug) {
    // The panel goes away in the middle of an id handshake.
    as_panel([&] {
        const uint8_t c = 254;
        panel->send(&c, 1);
        uint8_t f[2];
        panel->receive(f, 2, 1500);
        return 0;
    });
    const size_t from = mark();
    panel.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->serialPort1->IsHungUp(); }, 3000));
    EXPECT_TRUE(form->serialPort1->IsOpen());  // until the user closes it or lists again
    QTest::qWait(500);  // the handshake's read fails; its echo cannot be written
    const double before = cpu_seconds();
    QTest::qWait(300);
    EXPECT_LT(cpu_seconds() - before, 0.1) << "the receive thread spins on a dead port";
    const auto after = lines_since(from);
    EXPECT_TRUE(after.empty() || after == std::vector<std::string>{"ID 0"});

    panel = std::make_unique<panelproto::VirtualPort>(virtual_ports_dir(), "panel");
    form->button6_Click();
    ASSERT_TRUE(form->serialPort1->IsOpen());
    EXPECT_FALSE(form->serialPort1->IsHungUp());
    auto r = as_panel([&] { return panelproto::poll(*panel, 7); });
    EXPECT_TRUE(r.answered);
    EXPECT_EQ(r.bytes, (std::array<uint8_t, 4>{7, 0, 0, 248}));
}

TEST_F(PanelWindow, FastPollingWhileListsAreReloaded) {
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0}, invalid{0};
    auto poller = std::async(std::launch::async, [&] {
        for (uint8_t i = 0; !stop; i = static_cast<uint8_t>((i + 1) % 12)) {
            auto r = panelproto::poll(*panel, i, {.reply_ms = 200, .frame_ms = 1500});
            if (!r.answered)
                continue;
            ++answered;
            // A reply that came too late for its own poll may be read by the next one, so only
            // the frame itself is checked: position and complement belong together.
            if (r.bytes[3] != static_cast<uint8_t>(255 - r.bytes[0]) || r.bytes[0] > 11)
                ++invalid;
        }
    });
    const char* names[] = {"PLANE ALTITUDE", "COM ACTIVE FREQUENCY:1", "KOHLSMAN SETTING HG:1",
                           "PLANE HEADING DEGREES TRUE", "AIRSPEED TRUE"};
    for (int round = 0; round < 150; ++round) {
        SimConnectVars::clear();
        form->SimRecs.publish({});
        SharedList<SimConnectVars>::Records recs;
        for (int k = 0; k < round % 11; ++k)
            recs.push_back(std::make_shared<SimConnectVars>(names[k % 5], "number", 3));
        form->SimRecs.publish(std::move(recs));
        form->startup = 1;
        QTest::qWait(5);
    }
    stop = true;
    poller.wait();
    EXPECT_GT(answered.load(), 50);
    EXPECT_EQ(invalid.load(), 0);
}

}  // namespace

namespace {

// Port selection and release, with two virtual ports of which another program holds the first.
TEST(PanelPorts, TakenFirstPortThenPickAnotherThenReleaseTwice) {
    const fs::path runtime = fs::current_path() / "runtime-ports";
    fs::remove_all(runtime);
    fs::create_directories(runtime);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    console::set_stdout_enabled(false);
    std::mutex m;
    std::vector<std::string> lines;
    console::Capture capture([&](std::string_view s) {
        std::lock_guard<std::mutex> g(m);
        lines.emplace_back(s);
    });
    auto seen = [&] {
        std::lock_guard<std::mutex> g(m);
        return lines;
    };
    panelproto::VirtualPort a(virtual_ports_dir(), "a-panel");
    panelproto::VirtualPort b(virtual_ports_dir(), "b-panel");
    SerialPort other;  // another program
    other.PortName = a.path();
    other.Open();
    simlink::testing::reset();
    {
        Form1 form;
        ASSERT_TRUE(form.ComPortNames);
        ASSERT_GE(form.ComPortNames->size(), 2u);
        EXPECT_EQ((*form.ComPortNames)[0], a.path());
        EXPECT_EQ((*form.ComPortNames)[1], b.path());
        EXPECT_FALSE(form.serialPort1->IsOpen());
        const auto start = seen();
        ASSERT_EQ(start.size(), 3u);
        EXPECT_EQ(start[0], "OPENING PORT");
        EXPECT_EQ(start[1], "Serial Port Access denied for first enumerated port");
        EXPECT_EQ(start[2], a.path() + ": in use by another program");

        form.comboBox1->setCurrentIndex(1);  // the user picks the free port
        EXPECT_TRUE(form.serialPort1->IsOpen());
        EXPECT_EQ(form.serialPort1->PortName, b.path());
        auto r = panelproto::poll(b, 4);
        EXPECT_TRUE(r.answered);

        {
            std::lock_guard<std::mutex> g(m);
            lines.clear();
        }
        form.button10_Click();
        form.button10_Click();
        EXPECT_EQ(seen(), (std::vector<std::string>{
                              "CLOSING PORT", "Exception: Tried to close a closed serial port",
                              "CLOSING PORT"}));
        EXPECT_FALSE(form.serialPort1->IsOpen());

        // "Comm Port" selects the first entry anew, even if it was selected before.
        other.Close();
        {
            std::lock_guard<std::mutex> g(m);
            lines.clear();
        }
        form.button6_Click();
        EXPECT_EQ(seen(), std::vector<std::string>{"OPENING PORT"});
        EXPECT_TRUE(form.serialPort1->IsOpen());
        EXPECT_EQ(form.serialPort1->PortName, a.path());
        form.button6_Click();
        EXPECT_TRUE(form.serialPort1->IsOpen());
        EXPECT_EQ(form.comboBox1->currentIndex(), 0);
    }
    simlink::testing::reset();
    console::set_stdout_enabled(true);
}

}  // namespace
