// Loading the variable and event lists through the window's buttons, with small category files
// and with the shipped Data files and examples.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QLineEdit>
#include <QTabWidget>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "config/TextFile.h"
#include "simlink/SimConnectVars.h"
#include "simlink/SimEventRequest.h"
#include "simlink/SimVarSet.h"
#include "tests/ui/WindowSupport.h"
#include "ui/DataTable.h"

namespace {

namespace fs = std::filesystem;
using window_test::ShownForm;
using Messages = std::vector<std::pair<std::string, std::string>>;

void write_file(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(text.data(), text.size());
}

Messages messages(const ScriptedDialogs& d) {
    Messages m;
    for (const auto& x : d.messages())
        m.emplace_back(x.text, x.caption);
    return m;
}

// "Id:name" of every row on the page of `pane` captioned `caption`.
std::vector<std::string> rows_on_page(QTabWidget* pane, const QString& caption) {
    std::vector<std::string> rows;
    for (int i = 0; i < pane->count(); ++i) {
        if (pane->tabText(i) != caption)
            continue;
        auto* grid = pane->widget(i)->findChild<DataGridView*>();
        if (!grid)
            break;
        DataTable* t = grid->table();
        for (int r = 0; r < t->rowCount(); ++r)
            rows.push_back(
                (t->value(r, "Column1").toString() + ":" + t->value(r, "Column2").toString())
                    .toStdString());
        return rows;
    }
    ADD_FAILURE() << "no page captioned " << caption.toStdString();
    return rows;
}

int all_category_rows(Form1& f) {
    int n = 0;
    for (DataTable* t : {f.dataTable1, f.dataTable2, f.dataTable3, f.dataTable4, f.dataTable7,
                         f.dataTable8, f.dataTable9, f.dataTable5, f.dataTable6, f.dataTable10,
                         f.dataTable11, f.dataTable12, f.dataTable13, f.dataTable14})
        n += t->rowCount();
    return n;
}

std::string text(QLineEdit* box) {
    return box->text().toStdString();
}

// A scratch folder holding small category files, made the current directory for the test.
class ListLoadWindow : public ::testing::Test {
protected:
    fs::path home = fs::current_path();
    fs::path dir = home / "fixture";
    std::optional<ShownForm> form;
    ScriptedDialogs* dialogs = nullptr;

    void SetUp() override {
        fs::remove_all(dir);
        const char* var[] = {"Lights.var",      "Aircraft.var", "Autopilot.var", "Avionics.var",
                             "Instruments.var", "Fuel.var",     "Misc.var"};
        const char* var_text[] = {"LIGHT LANDING\n",
                                  "PLANE ALTITUDE\n",
                                  "AUTOPILOT ALTITUDE LOCK VAR\n",
                                  "NAV ACTIVE FREQUENCY\n",
                                  "AIRSPEED INDICATED\n",
                                  "FUEL TOTAL QUANTITY\n",
                                  "MISC THING\n"};
        const char* evt[] = {"Lights.evt",      "Aircraft.evt", "Autopilot.evt", "Avionics.evt",
                             "Instruments.evt", "Fuel.evt",     "Misc.evt"};
        const char* evt_text[] = {"LANDING_LIGHTS_TOGGLE\n",
                                  "FLAPS_UP\n",
                                  "AP_ALT_VAR_SET_ENGLISH\n",
                                  "COM_RADIO_SET\n",
                                  "KOHLSMAN_INC\n",
                                  "FUEL_PUMP\n",
                                  "MISC_EVT\n"};
        for (int k = 0; k < 7; ++k) {
            write_file(dir / "Data/Variable_List" / var[k], var_text[k]);
            write_file(dir / "Data/Events_List" / evt[k], evt_text[k]);
        }
        write_file(dir / "Data/Variable_List/VariableUnits", "bool\nfeet\nknots\ngallons\n");
        write_file(dir / "Data/Events_List/EventParams", "BCD16\nUINT32\n");
        // Lines 3, 5 and 6 are rejected; lines 2 and 5 are settable.
        write_file(dir / "vars.txt",
                   "LIGHT LANDING,bool\r\n"
                   "AIRSPEED INDICATED,knots\r\n"
                   "AUTOPILOT ALTITUDE LOCK VAR,feet,1\r\n"
                   "GEAR HANDLE POSITION,bool\r\n"
                   "FUEL TOTAL QUANTITY,gallons\r\n"
                   "NOWHERE,feet,\r\n"
                   "\r\n");
        // Line 2 is rejected and line 4 ignored.
        write_file(dir / "events.txt",
                   "FLAPS_UP\nCOM_RADIO_SET,BCD16\nGEAR_TOGGLE\nAP_ALT_VAR_SET_ENGLISH,UINT32\n"
                   "A,B,C\n");
        fs::current_path(dir);
        form.emplace();
        dialogs = form->dialogs;
    }
    void TearDown() override {
        form.reset();
        fs::current_path(home);
    }
    Form1& w() { return *form->form; }

    void load_variables(const std::string& file) {
        dialogs->answerFile(file);
        w().button4_Click();
    }
    void load_events(const std::string& file) {
        dialogs->answerFile(file);
        w().button5_Click();
    }
};

TEST_F(ListLoadWindow, VariableListFillsBothListsGridsAndCounts) {
    window_test::ConsoleLines console;
    w().startup = 0;
    load_variables((dir / "vars.txt").string());

    const auto shown = dialogs->fileDialogsShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].InitialDirectory, dir.string());
    EXPECT_EQ(shown[0].Filter, "txt files (*.txt)|*.txt|All files (*.*)|*.*");
    EXPECT_EQ(shown[0].FilterIndex, 2);
    EXPECT_TRUE(shown[0].RestoreDirectory);

    EXPECT_EQ(messages(*dialogs),
              (Messages{{"Wrong SimVar: Line ?3", "Error in SimVars file"},
                        {"Wrong SimVar: Line ?5", "Error in SimVars file"},
                        {"Too few items in a line: 6 ", "Error in SimVar file"}}));

    auto recs = w().SimRecs.snapshot();
    ASSERT_EQ(recs->size(), 4u);
    const std::pair<const char*, int> want[] = {{"LIGHT LANDING", 0},
                                                {"AIRSPEED INDICATED", 4},
                                                {"AUTOPILOT ALTITUDE LOCK VAR", 2},
                                                {"FUEL TOTAL QUANTITY", 5}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ((*recs)[i]->id, i);
        EXPECT_EQ((*recs)[i]->SimVar, want[i].first);
        EXPECT_EQ((*recs)[i]->var_type, want[i].second);
        EXPECT_FALSE((*recs)[i]->active);
    }
    auto sets = w().SimRecSet.snapshot();
    ASSERT_EQ(sets->size(), 2u);
    EXPECT_EQ((*sets)[0]->id, 0);
    EXPECT_EQ((*sets)[0]->def_ID, 2);
    EXPECT_EQ((*sets)[1]->id, 1);
    EXPECT_EQ((*sets)[1]->def_ID, 5);
    EXPECT_EQ((*sets)[1]->SimVar, "NOWHERE");

    EXPECT_EQ(text(w().textBox1), "0/4");
    EXPECT_EQ(text(w().textBox7), "2");
    EXPECT_EQ(w().startup, 1);

    EXPECT_EQ(rows_on_page(w().tabControl1, "Lights"), std::vector<std::string>{"0:LIGHT LANDING"});
    EXPECT_EQ(rows_on_page(w().tabControl1, "Instruments"),
              std::vector<std::string>{"1:AIRSPEED INDICATED"});
    EXPECT_EQ(rows_on_page(w().tabControl1, "AutoPilot"),
              std::vector<std::string>{"2:AUTOPILOT ALTITUDE LOCK VAR"});
    EXPECT_EQ(rows_on_page(w().tabControl1, "Fuel"),
              std::vector<std::string>{"3:FUEL TOTAL QUANTITY"});
    EXPECT_EQ(rows_on_page(w().tabControl1, "Settable"),
              (std::vector<std::string>{"0:AUTOPILOT ALTITUDE LOCK VAR", "1:NOWHERE"}));

    // The settable definitions are numbered from the line index.
    std::vector<std::string> defs;
    for (const auto& c : simlink::testing::calls_of("SimConnect_AddToDataDefinition"))
        defs.push_back(c.args.at(0));
    EXPECT_EQ(defs, (std::vector<std::string>{"52", "55"}));

    std::vector<std::string> own;
    for (const auto& l : console.lines())
        if (l.starts_with("SIMVAR") || l.starts_with("SimVars size"))
            own.push_back(l);
    EXPECT_EQ(own,
              (std::vector<std::string>{
                  "SIMVAR : LIGHT LANDING", "SIMVAR : AIRSPEED INDICATED",
                  "SIMVAR : AUTOPILOT ALTITUDE LOCK VAR", "SIMVARSET : AUTOPILOT ALTITUDE LOCK VAR",
                  "SIMVAR : FUEL TOTAL QUANTITY", "SIMVARSET : NOWHERE", "SimVars size 4"}));

    // A second load replaces everything and numbers from 0 again.
    write_file(dir / "short.txt", "FUEL TOTAL QUANTITY,gallons,\n");
    dialogs->clearMessages();
    load_variables((dir / "short.txt").string());
    EXPECT_TRUE(messages(*dialogs).empty());
    ASSERT_EQ(w().SimRecs.size(), 1u);
    EXPECT_EQ(w().SimRecs.at(0)->id, 0);
    EXPECT_EQ(w().SimRecSet.at(0)->id, 0);
    EXPECT_EQ(w().SimRecSet.at(0)->def_ID, 0);
    EXPECT_EQ(rows_on_page(w().tabControl1, "Lights"), std::vector<std::string>{});
    EXPECT_EQ(rows_on_page(w().tabControl1, "Fuel"),
              std::vector<std::string>{"0:FUEL TOTAL QUANTITY"});
    EXPECT_EQ(text(w().textBox1), "0/1");
    EXPECT_EQ(text(w().textBox7), "1");
}

TEST_F(ListLoadWindow, EventListNumbersEventsByPositionAndLine) {
    window_test::ConsoleLines console;
    simlink::testing::clear_calls();
    load_events((dir / "events.txt").string());

    const auto shown = dialogs->fileDialogsShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].InitialDirectory, dir.string());
    EXPECT_EQ(shown[0].Filter, "txt files (*.txt)|*.txt|All files (*.*)|*.*");
    EXPECT_EQ(shown[0].FilterIndex, 2);
    EXPECT_TRUE(shown[0].RestoreDirectory);

    EXPECT_EQ(messages(*dialogs),
              (Messages{{"Wrong SimEvents: Line ? 2", "Error in SimEvent file"}}));
    auto events = w().SimEvents.snapshot();
    ASSERT_EQ(events->size(), 3u);
    struct Want {
        const char* name;
        int ev_ID, param_type;
        bool accepts;
        int var_type;
    } want[] = {{"FLAPS_UP", 0, 0, false, 1},
                {"COM_RADIO_SET", 1, 1, true, 3},
                {"AP_ALT_VAR_SET_ENGLISH", 3, 7, true, 2}};
    for (int i = 0; i < 3; ++i) {
        const SimEventRequest& e = *(*events)[i];
        EXPECT_EQ(e.id, i);
        EXPECT_EQ(e.SimEvent, want[i].name);
        EXPECT_EQ(e.ev_ID, want[i].ev_ID);
        EXPECT_EQ(e.param_type, want[i].param_type);
        EXPECT_EQ(e.accepts_params, want[i].accepts);
        EXPECT_EQ(e.var_type, want[i].var_type);
    }
    // Each event is mapped under its line index as it is made.
    std::vector<std::string> mapped;
    for (const auto& c : simlink::testing::calls_of("SimConnect_MapClientEventToSimEvent"))
        mapped.push_back(c.args.at(0) + " " + c.args.at(1));
    EXPECT_EQ(mapped, (std::vector<std::string>{"0 FLAPS_UP", "1 COM_RADIO_SET",
                                                "3 AP_ALT_VAR_SET_ENGLISH"}));

    EXPECT_EQ(text(w().textBox5), "3");
    EXPECT_EQ(text(w().textBox8), "2");
    EXPECT_EQ(rows_on_page(w().EventsTab, "Aircraft"), std::vector<std::string>{"0:FLAPS_UP"});
    EXPECT_EQ(rows_on_page(w().EventsTab, "Avionics"), std::vector<std::string>{"1:COM_RADIO_SET"});
    EXPECT_EQ(rows_on_page(w().EventsTab, "AutoPilot"),
              std::vector<std::string>{"2:AP_ALT_VAR_SET_ENGLISH"});
    EXPECT_EQ(rows_on_page(w().EventsTab, "Settable"),
              (std::vector<std::string>{"1:COM_RADIO_SET", "2:AP_ALT_VAR_SET_ENGLISH"}));

    std::vector<std::string> own;
    for (const auto& l : console.lines())
        if (l.starts_with("SIMEVENT") || l.starts_with("Simevents size"))
            own.push_back(l);
    EXPECT_EQ(own,
              (std::vector<std::string>{"SIMEVENT : FLAPS_UP", "SIMEVENT : COM_RADIO_SET",
                                        "SIMEVENT : AP_ALT_VAR_SET_ENGLISH", "Simevents size 3"}));
}

TEST_F(ListLoadWindow, CancellingChangesNothingButTheEventCount) {
    load_variables((dir / "vars.txt").string());
    load_events((dir / "events.txt").string());
    dialogs->clearMessages();
    const auto recs = w().SimRecs.snapshot();
    const auto sets = w().SimRecSet.snapshot();
    const auto events = w().SimEvents.snapshot();
    w().startup = 0;
    w().textBox1->setText("2/4");
    w().textBox7->setText("2/2");
    w().textBox5->setText("stale");

    dialogs->cancelFile();
    w().button4_Click();
    dialogs->cancelFile();
    w().button5_Click();

    EXPECT_TRUE(messages(*dialogs).empty());
    EXPECT_EQ(w().SimRecs.snapshot(), recs);
    EXPECT_EQ(w().SimRecSet.snapshot(), sets);
    EXPECT_EQ(w().SimEvents.snapshot(), events);
    EXPECT_EQ(w().startup, 0);
    EXPECT_EQ(text(w().textBox1), "2/4");
    EXPECT_EQ(text(w().textBox7), "2/2");
    EXPECT_EQ(text(w().textBox5), "3");
    EXPECT_EQ(rows_on_page(w().tabControl1, "Fuel"),
              std::vector<std::string>{"3:FUEL TOTAL QUANTITY"});
    EXPECT_EQ(rows_on_page(w().EventsTab, "Aircraft"), std::vector<std::string>{"0:FLAPS_UP"});
}

TEST_F(ListLoadWindow, AnUnreadableFileIsNamedOnceAndLeavesEverythingEmpty) {
    struct Case {
        const char* what;
        bool events;
        std::string remove;  // relative to the fixture folder
        std::string list;
    } cases[] = {
        {"category file", false, "Data/Variable_List/Fuel.var", "vars.txt"},
        {"units file", false, "Data/Variable_List/VariableUnits", "vars.txt"},
        {"variable list", false, "", "absent.txt"},
        {"event category file", true, "Data/Events_List/Lights.evt", "events.txt"},
        {"parameter types", true, "Data/Events_List/EventParams", "events.txt"},
        {"event list", true, "", "absent.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // A good load first, so that there is something to lose.
        load_variables((dir / "vars.txt").string());
        load_events((dir / "events.txt").string());
        ASSERT_GT(all_category_rows(w()), 0);
        dialogs->clearMessages();
        window_test::ConsoleLines console;

        std::string saved;
        if (!c.remove.empty()) {
            saved = config::read_all_text((dir / c.remove).string()).value();
            fs::remove(dir / c.remove);
        }
        const std::string named = (dir / (c.remove.empty() ? c.list : c.remove)).string();
        if (c.events)
            load_events((dir / c.list).string());
        else
            load_variables((dir / c.list).string());

        const char* caption = c.events ? "Error in SimEvents file" : "Error in SimVar file";
        const std::string refusal = "Cannot read file: " + named + " (No such file or directory)";
        EXPECT_EQ(messages(*dialogs), (Messages{{refusal, caption}}));
        const auto lines = console.lines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), refusal), 1);
        if (c.events) {
            EXPECT_EQ(w().SimEvents.size(), 0u);
            for (DataTable* t :
                 {w().dataTable5, w().dataTable6, w().dataTable10, w().dataTable11, w().dataTable12,
                  w().dataTable13, w().dataTable14, w().dataTable17})
                EXPECT_EQ(t->rowCount(), 0) << t->name().toStdString();
            EXPECT_EQ(text(w().textBox5), "0");
            EXPECT_EQ(text(w().textBox8), "0");
        } else {
            EXPECT_EQ(w().SimRecs.size(), 0u);
            EXPECT_EQ(w().SimRecSet.size(), 0u);
            for (DataTable* t : {w().dataTable1, w().dataTable2, w().dataTable3, w().dataTable4,
                                 w().dataTable7, w().dataTable8, w().dataTable9, w().dataTable16})
                EXPECT_EQ(t->rowCount(), 0) << t->name().toStdString();
            EXPECT_EQ(text(w().textBox1), "0/0");
            EXPECT_EQ(text(w().textBox7), "0");
        }
        if (!c.remove.empty())
            write_file(dir / c.remove, saved);
    }
}

// Every list button, given a file that is no list (or a Data file that is none), names the file
// and the reason once and goes on with an empty list; nothing hangs on a pipe or fills memory.
TEST_F(ListLoadWindow, AFileThatIsNoListIsRefusedWithItsReasonByEveryLoader) {
    const std::string fifo = (dir / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = (dir / "huge.txt").string();
    write_file(huge, "");
    fs::resize_file(huge, config::kMaxTextFileBytes + 1);  // sparse
    struct Loader {
        const char* caption;
        void (Form1::*click)();
    } loaders[] = {{"Error in SimVar file", &Form1::button4_Click},
                   {"Error in SimEvents file", &Form1::button5_Click},
                   {"Error in SimRadio file", &Form1::button11_Click},
                   {"Error in SimVoice file", &Form1::button7_Click}};
    struct Fault {
        std::string path;
        const char* why;
    } faults[] = {{dir.string(), "Is a directory"},
                  {fifo, "Not a regular file"},
                  {"/dev/zero", "Not a regular file"},
                  {huge, "Larger than 16 MB"}};
    for (const auto& loader : loaders) {
        for (const auto& fault : faults) {
            SCOPED_TRACE(std::string(loader.caption) + ": " + fault.why);
            dialogs->clearMessages();
            window_test::ConsoleLines console;
            dialogs->answerFile(fault.path);
            (w().*loader.click)();
            const std::string refusal = config::cannot_read_message(fault.path, fault.why);
            EXPECT_EQ(messages(*dialogs), (Messages{{refusal, loader.caption}}));
            const auto lines = console.lines();
            EXPECT_EQ(std::count(lines.begin(), lines.end(), refusal), 1);
        }
    }
    EXPECT_EQ(w().SimRecs.size() + w().SimEvents.size() + w().SimRadioStations.size() +
                  w().SimVoice.size(),
              0u);

    // A Data file that is far too large is named like a missing one.
    const fs::path fuel = dir / "Data/Variable_List/Fuel.var";
    fs::resize_file(fuel, config::kMaxTextFileBytes + 1);
    dialogs->clearMessages();
    load_variables((dir / "vars.txt").string());
    EXPECT_EQ(messages(*dialogs),
              (Messages{{config::cannot_read_message(fuel.string(), "Larger than 16 MB"),
                         "Error in SimVar file"}}));
    EXPECT_EQ(text(w().textBox1), "0/0");
}

// Files that can be read but hold nothing useful load as what they are: an empty list, names
// of a megabyte, NUL bytes and broken text give their records or their messages, never a crash.
TEST_F(ListLoadWindow, EmptyAndStrangeListsLoadAsWhatTheyAre) {
    const std::string megabyte_name(1 << 20, 'X');
    static constexpr char kJunk[] = "LIGHT\0LANDING,bool\n\xff\xfe\x80,\xc3\n";
    struct Case {
        const char* what;
        std::string content;
        std::string vars_count;  // textBox1 after loading it as a variable list
        size_t events;           // events it gives as an event list
    } cases[] = {
        {"empty", "", "0/0", 0},
        {"only line breaks", "\r\r\n\n", "0/0", 3},  // a blank event line keeps its row
        {"a megabyte line", megabyte_name + ",bool\n" + megabyte_name + "\n", "0/0", 0},
        {"NUL bytes and broken UTF-8", std::string(kJunk, sizeof kJunk - 1), "0/0", 0},
        // ",,," has an empty name, which every category holds
        {"good line after junk", "\x01\x02\n,,,\nLIGHT LANDING,bool\nFLAPS_UP\n", "0/2", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = (dir / "strange.txt").string();
        write_file(path, c.content);
        dialogs->clearMessages();
        load_variables(path);
        EXPECT_EQ(text(w().textBox1), c.vars_count);
        load_events(path);
        EXPECT_EQ(w().SimEvents.size(), c.events);
        for (const auto& m : dialogs->messages())
            EXPECT_EQ(m.text.find("Cannot read file"), std::string::npos) << m.text;
    }

    // Empty Data files: nothing is known, so every name is refused, one message a line.
    for (const char* f : {"Data/Variable_List/VariableUnits", "Data/Variable_List/Fuel.var"})
        write_file(dir / f, "");
    dialogs->clearMessages();
    load_variables((dir / "vars.txt").string());
    EXPECT_EQ(text(w().textBox1), "0/0");
    EXPECT_FALSE(dialogs->messages().empty());
}

// The shipped examples load against the shipped Data files without a single complaint.
TEST(ShippedLists, ExamplesLoadWithoutAMessage) {
    ShownForm form;
    const fs::path examples = fs::current_path() / "examples";
    form.dialogs->answerFile((examples / "variables.txt").string());
    form->button4_Click();
    form.dialogs->answerFile((examples / "events.txt").string());
    form->button5_Click();

    for (const auto& m : form.dialogs->messages())
        ADD_FAILURE() << "message box: " << m.text << " / " << m.caption;
    EXPECT_EQ(text(form->textBox1), "0/20");
    EXPECT_EQ(text(form->textBox7), "4");
    EXPECT_EQ(text(form->textBox5), "20");
    EXPECT_EQ(text(form->textBox8), "6");
    EXPECT_EQ(all_category_rows(*form.form), 40);
    // Every name lands on its own category's page, not on an earlier one by a partial match.
    struct Page {
        QTabWidget* pane;
        const char* caption;
        size_t rows;
    } pages[] = {{form->tabControl1, "Lights", 5},      {form->tabControl1, "AirCraft", 3},
                 {form->tabControl1, "AutoPilot", 4},   {form->tabControl1, "Avionics", 3},
                 {form->tabControl1, "Instruments", 3}, {form->tabControl1, "Fuel", 1},
                 {form->tabControl1, "Misc", 1},        {form->tabControl1, "Settable", 4},
                 {form->EventsTab, "Lights", 5},        {form->EventsTab, "Aircraft", 3},
                 {form->EventsTab, "AutoPilot", 5},     {form->EventsTab, "Avionics", 4},
                 {form->EventsTab, "Instruments", 1},   {form->EventsTab, "Fuel", 1},
                 {form->EventsTab, "Misc", 1},          {form->EventsTab, "Settable", 6}};
    for (const auto& p : pages)
        EXPECT_EQ(rows_on_page(p.pane, p.caption).size(), p.rows) << p.caption;
    // The radio and transponder events take their frequency or code as packed decimal.
    for (const char* name : {"COM_RADIO_SET", "NAV1_RADIO_SET", "XPNDR_SET"}) {
        auto events = form->SimEvents.snapshot();
        auto it = std::find_if(events->begin(), events->end(),
                               [&](const auto& e) { return e->SimEvent == name; });
        ASSERT_NE(it, events->end()) << name;
        EXPECT_EQ((*it)->param_type, 1) << name;
    }
}

}  // namespace
