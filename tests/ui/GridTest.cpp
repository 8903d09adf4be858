// The grids as the user meets them: loading, editing, clicking and the live refresh.
#include <gtest/gtest.h>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "WindowSupport.h"
#include "simlink/SimConnectVars.h"
#include "simlink/SimEventRequest.h"
#include "simlink/SimVarSet.h"
#include "ui/DataTable.h"

using window_test::click_cell;
using window_test::click_header;
using window_test::ConsoleLines;
using window_test::row_of;
using window_test::SharedWindowTest;
using window_test::type_text;

namespace {

using VarList = std::vector<std::shared_ptr<SimConnectVars>>;
using EventList = std::vector<std::shared_ptr<SimEventRequest>>;

struct Var {
    const char* name;
    int32_t category;
};

void load_vars(Form1& form, std::initializer_list<Var> vars) {
    SimConnectVars::clear();
    VarList list;
    for (const Var& v : vars)
        list.push_back(std::make_shared<SimConnectVars>(v.name, "Bool", v.category));
    form.SimRecs.publish(std::move(list));
    form.load_SimRecs();
}

struct Event {
    const char* name;
    int32_t category;
    bool parameter = false;
};

void load_events(Form1& form, std::initializer_list<Event> events) {
    SimEventRequest::clear();
    EventList list;
    int32_t line = 0;
    for (const Event& e : events) {
        list.push_back(e.parameter ? std::make_shared<SimEventRequest>(e.name, 0, line, e.category)
                                   : std::make_shared<SimEventRequest>(e.name, line, e.category));
        ++line;
    }
    form.SimEvents.publish(std::move(list));
    form.load_SimEvents();
}

int count_of(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

// ---- loading ----

class GridLoading : public SharedWindowTest {};

TEST_F(GridLoading, EachCategoryLandsOnThePageOfItsName) {
    Form1& f = form();
    load_vars(f, {{"LIGHT NAV", 0},
                  {"GENERAL ENG RPM:1", 1},
                  {"AUTOPILOT MASTER", 2},
                  {"COM ACTIVE FREQUENCY:1", 3},
                  {"AIRSPEED INDICATED", 4},
                  {"FUEL TOTAL QUANTITY", 5},
                  {"SIM ON GROUND", 6},
                  {"OUT OF RANGE", 7}});
    const std::pair<DataGridView*, const char*> expected[] = {
        {f.dataGridView1, "Lights"},       {f.dataGridView2, "AirCraft"},
        {f.dataGridView7, "AutoPilot"},    {f.dataGridView14, "Avionics"},
        {f.dataGridView17, "Instruments"}, {f.dataGridView16, "Fuel"},
        {f.dataGridView18, "Misc"}};
    for (size_t i = 0; i < std::size(expected); ++i) {
        const auto& [grid, caption] = expected[i];
        SCOPED_TRACE(caption);
        EXPECT_EQ(f.tabControl1->tabText(f.tabControl1->indexOf(grid->parentWidget())), caption);
        ASSERT_EQ(grid->rowCount(), 1);
        EXPECT_EQ(grid->cell(0, grid->column(0).name).toInt(), static_cast<int>(i));
        EXPECT_EQ(grid->cell(0, grid->column(1).name).toString(),
                  QString::fromStdString((*f.SimRecs.snapshot())[i]->SimVar));
        EXPECT_EQ(grid->cell(0, grid->column(2).name), QVariant(false));
        EXPECT_EQ(grid->cell(0, grid->column(3).name), QVariant(0.0));
    }
    // Loading again replaces the rows.
    load_vars(f, {{"LIGHT BEACON", 0}});
    EXPECT_EQ(f.dataGridView1->rowCount(), 1);
    EXPECT_EQ(f.dataGridView2->rowCount(), 0);
}

TEST_F(GridLoading, EventsAndTheirParameterPage) {
    Form1& f = form();
    f.textBox8->setText("7");
    load_events(f, {});
    EXPECT_EQ(f.textBox8->text(), "7") << "an empty list leaves the count";

    load_events(f, {{"TOGGLE_NAV_LIGHTS", 0}, {"AP_MASTER", 2}});
    EXPECT_EQ(f.dataGridView21->rowCount(), 0);
    EXPECT_EQ(f.textBox8->text(), "0");

    load_events(f, {{"TOGGLE_NAV_LIGHTS", 0}, {"COM_RADIO_SET", 3, true}, {"XPNDR_SET", 3, true}});
    EXPECT_EQ(f.dataGridView8->rowCount(), 1);
    EXPECT_EQ(f.dataGridView11->rowCount(), 2);
    ASSERT_EQ(f.dataGridView21->rowCount(), 2);
    EXPECT_EQ(f.textBox8->text(), "2");
    // The Id is the position in the event list; the Parameter starts at 0.
    EXPECT_EQ(f.dataGridView21->cell(1, "dataGridViewTextBoxColumn37").toInt(), 2);
    EXPECT_EQ(f.dataGridView21->cell(1, "dataGridViewTextBoxColumn38").toString(), "XPNDR_SET");
    EXPECT_EQ(f.dataGridView21->cell(1, "SimeventSetParam").toDouble(), 0.0);
    EXPECT_FALSE(f.dataGridView11->cell(0, "dataGridViewButtonColumn3").isValid());
}

// ---- editing ----

struct EditCase {
    const char* grid;
    const char* column;
    const char* typed;
    QVariant stored;  // what the cell holds afterwards
    bool refused;
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.grid << " " << c.column << " typed \"" << c.typed << "\"";
}

class GridEditing : public SharedWindowTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(GridEditing, AKeystrokeEditsOnlyTheSettableGridsAndTheTableHasTheLastWord) {
    const EditCase& c = GetParam();
    Form1& f = form();
    auto* grid = f.findChild<DataGridView*>(c.grid);
    ASSERT_NE(grid, nullptr);
    // Two rows in the grid's table; the edits go to the first.
    DataTable* t = grid->table();
    const bool settable = t->columnIndex("Fire") >= 0;
    ASSERT_TRUE(settable ? t->AddRow({0, "FIRST", 1.5, 0.0}) : t->AddRow({0, "FIRST", false, 1.5}));
    ASSERT_TRUE(settable ? t->AddRow({1, "SECOND", 0.0, 0.0})
                         : t->AddRow({1, "SECOND", false, 0.0}));

    ASSERT_TRUE(click_cell(grid, 0, c.column));
    type_text(grid, c.typed);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !grid->isEditing(); }, 5000));
    EXPECT_EQ(grid->cell(0, c.column), c.stored);
    if (c.refused) {
        EXPECT_FALSE(grid->lastRefusal().isEmpty());
        EXPECT_EQ(grid->shownRefusal().toStdString(), grid->lastRefusal().toStdString())
            << "the user is shown why";
    } else
        EXPECT_TRUE(grid->lastRefusal().isEmpty()) << grid->lastRefusal().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    , GridEditing,
    ::testing::Values(
        // the typed text replaces the cell, it is not appended
        EditCase{"dataGridView20", "SimVarsetParam", "3", QVariant(3.0), false},
        EditCase{"dataGridView20", "SimVarsetParam", "2.5", QVariant(2.5), false},
        EditCase{"dataGridView21", "SimeventSetParam", "-7.25", QVariant(-7.25), false},
        EditCase{"dataGridView20", "dataGridViewTextBoxColumn36", "RENAMED", QVariant("RENAMED"),
                 false},
        EditCase{"dataGridView21", "dataGridViewTextBoxColumn37", "5", QVariant(5), false},
        // refused by the table: the old value stays
        EditCase{"dataGridView20", "SimVarsetParam", "abc", QVariant(1.5), true},
        EditCase{"dataGridView21", "SimeventSetParam", " ", QVariant(1.5), true},
        EditCase{"dataGridView20", "dataGridViewTextBoxColumn35", "1", QVariant(0), true},
        EditCase{"dataGridView21", "dataGridViewTextBoxColumn37", "x", QVariant(0), true},
        EditCase{"dataGridView20", "dataGridViewTextBoxColumn36", " ", QVariant("FIRST"), true},
        // read-only grids take no keystrokes
        EditCase{"dataGridView1", "Value", "9", QVariant(1.5), false},
        EditCase{"dataGridView1", "column2DataGridViewTextBoxColumn", "X", QVariant("FIRST"),
                 false},
        EditCase{"dataGridView18", "dataGridViewTextBoxColumn30", "7", QVariant(0), false}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// ---- clicks ----

class GridClicks : public SharedWindowTest {};

TEST_F(GridClicks, ActiveBoxTogglesTheRecordTheRowNames) {
    Form1& f = form();
    load_vars(f, {{"LIGHT BEACON", 0}, {"LIGHT NAV", 0}, {"LIGHT STROBE", 0}});
    DataGridView* g = f.dataGridView1;
    const QString active = "column3DataGridViewCheckBoxColumn";
    auto flags = [&] {
        std::vector<bool> v;
        for (const auto& r : *f.SimRecs.snapshot())
            v.push_back(r->active.load());
        return v;
    };

    ASSERT_TRUE(click_cell(g, 1, active));
    EXPECT_EQ(flags(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(g->cell(1, active), QVariant(true));
    ASSERT_TRUE(click_cell(g, 1, active));
    EXPECT_EQ(flags(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(g->cell(1, active), QVariant(false));

    // Clicks outside the action column and on headers change nothing.
    for (const QString& column : {QString("column1DataGridViewTextBoxColumn"),
                                  QString("column2DataGridViewTextBoxColumn"), QString("Value")})
        ASSERT_TRUE(click_cell(g, 0, column));
    ASSERT_TRUE(click_header(g, active));
    ASSERT_TRUE(click_header(g, active));  // back to unticked first
    EXPECT_EQ(flags(), (std::vector<bool>{false, false, false}));

    // Sorted by name, descending: the first row shown is the last record.
    ASSERT_TRUE(click_header(g, "column2DataGridViewTextBoxColumn"));
    ASSERT_TRUE(click_header(g, "column2DataGridViewTextBoxColumn"));
    ASSERT_EQ(g->cell(0, "column2DataGridViewTextBoxColumn").toString(), "LIGHT STROBE");
    ASSERT_TRUE(click_cell(g, 0, active));
    EXPECT_EQ(flags(), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(g->cell(0, active), QVariant(true));
    EXPECT_EQ(g->cell(2, active), QVariant(false));
}

TEST_F(GridClicks, FireButtonsFireTheEventTheRowNamesEvenWhenSorted) {
    Form1& f = form();
    ConsoleLines console;
    load_events(f, {{"TOGGLE_NAV_LIGHTS", 0}, {"STROBES_TOGGLE", 0}, {"LANDING_LIGHTS_TOGGLE", 0}});
    DataGridView* g = f.dataGridView8;
    const QString fire = "dataGridViewTextBoxColumn8";

    ASSERT_TRUE(click_header(g, fire));  // the header of the action column: nothing fires
    ASSERT_TRUE(click_header(g, "dataGridViewTextBoxColumn7"));
    ASSERT_EQ(g->cell(0, "dataGridViewTextBoxColumn7").toString(), "LANDING_LIGHTS_TOGGLE");
    ASSERT_TRUE(click_cell(g, 0, fire));
    ASSERT_TRUE(click_cell(g, 1, "dataGridViewTextBoxColumn7"));  // the name: nothing
    ASSERT_TRUE(click_cell(g, 2, "dataGridViewTextBoxColumn6"));  // the Id: nothing
    const std::vector<std::string> expected{"Firing SimEvent LANDING_LIGHTS_TOGGLE 2"};
    EXPECT_EQ(console.lines(), expected);
}

TEST_F(GridClicks, SettableFireUsesTheParameterCell) {
    Form1& f = form();
    ConsoleLines console;
    SimVarSet::clear();
    f.SimRecSet.publish({std::make_shared<SimVarSet>(3, "AUTOPILOT ALTITUDE LOCK VAR", "feet"),
                         std::make_shared<SimVarSet>(7, "AUTOPILOT HEADING LOCK DIR", "degrees")});
    f.load_SimRecs_Settable();
    load_events(f, {{"TOGGLE_NAV_LIGHTS", 0}, {"HEADING_BUG_SET", 2, true}});
    DataGridView* vars = f.dataGridView20;
    ASSERT_EQ(vars->rowCount(), 2);
    EXPECT_EQ(vars->cell(1, "dataGridViewTextBoxColumn35").toInt(), 1);

    // Typed, and Fire clicked straight away: the click ends the edit and fires with the value.
    ASSERT_TRUE(click_cell(vars, 0, "SimVarsetParam"));
    type_text(vars, "2.5", false);
    ASSERT_TRUE(vars->isEditing());
    ASSERT_TRUE(click_cell(vars, 0, "SimVarSetFire"));
    EXPECT_EQ(vars->cell(0, "SimVarsetParam"), QVariant(2.5));
    ASSERT_TRUE(click_cell(vars, 1, "SimVarsetParam"));  // not the action column
    ASSERT_TRUE(click_cell(f.dataGridView21, 0, "SimEventSetFire"));

    const auto lines = console.lines();
    const auto firing = std::find(lines.begin(), lines.end(), "Firing SimVarSet");
    ASSERT_NE(firing, lines.end());
    ASSERT_NE(firing + 1, lines.end());
    EXPECT_EQ(*(firing + 1), "Firing SimVarSet AUTOPILOT ALTITUDE LOCK VAR 3 --> 2.5");
    EXPECT_EQ(count_of(lines, "Firing SimVarSet"), 1);
    EXPECT_EQ(count_of(lines, "Firing SimEvent HEADING_BUG_SET 1 --> 0"), 1);
}

TEST_F(GridClicks, ARowWhoseIdNamesNoRecordDoesNothing) {
    Form1& f = form();
    ConsoleLines console;
    load_events(f, {{"TOGGLE_NAV_LIGHTS", 0}});
    load_vars(f, {{"LIGHT NAV", 0}});
    ASSERT_TRUE(f.dataTable5->AddRow({42, "STALE", QVariant()}));
    ASSERT_TRUE(f.dataTable1->AddRow({70000, "TOO BIG", false, 0.0}));
    ASSERT_TRUE(click_cell(f.dataGridView8, 1, "dataGridViewTextBoxColumn8"));
    ASSERT_TRUE(click_cell(f.dataGridView1, 1, "column3DataGridViewCheckBoxColumn"));
    EXPECT_TRUE(console.lines().empty());
    EXPECT_EQ(f.dataGridView1->cell(1, "column3DataGridViewCheckBoxColumn"), QVariant(false));
    EXPECT_FALSE((*f.SimRecs.snapshot())[0]->active.load());
}

// ---- live refresh ----

class GridRefresh : public SharedWindowTest {};

TEST_F(GridRefresh, WritesValuesAndFlagsByIdEvenWhileRowsMove) {
    Form1& f = form();
    load_vars(f, {{"LIGHT NAV", 0}, {"GENERAL ENG RPM:1", 1}, {"FUEL TOTAL QUANTITY", 5}});
    ASSERT_TRUE(f.dataTable1->AddRow({42, "STALE", true, 9.0}));
    // Sorted by value, so that writing a value moves its row while the refresh walks them.
    DataGridView* lights = f.dataGridView1;
    const QString id = "column1DataGridViewTextBoxColumn";
    ASSERT_TRUE(click_header(lights, "Value"));
    ASSERT_EQ(row_of(*lights, id, 0), 0);

    SimConnectVars::begin_subscription();
    const auto recs = f.SimRecs.snapshot();
    for (int i = 0; i < 3; ++i)
        (*recs)[static_cast<size_t>(i)]->set_data_buffer(i);
    SimConnectVars::dvalue[0] = 20.0;
    SimConnectVars::dvalue[1] = 2450.5;
    SimConnectVars::dvalue[2] = 36.75;
    (*recs)[1]->active = true;  // as a panel poll sets it

    f.update_datagrid();
    const int nav = row_of(*lights, id, 0);
    const int stale = row_of(*lights, id, 42);
    EXPECT_EQ(nav, 1) << "moved below the row holding 9";
    EXPECT_EQ(lights->cell(nav, "Value"), QVariant(20.0));
    EXPECT_EQ(lights->cell(nav, "column3DataGridViewCheckBoxColumn"), QVariant(false));
    EXPECT_EQ(f.dataGridView2->cell(0, "Column4"), QVariant(2450.5));
    EXPECT_EQ(f.dataGridView2->cell(0, "dataGridViewCheckBoxColumn1"), QVariant(true));
    EXPECT_EQ(f.dataGridView16->cell(0, "dataGridViewTextBoxColumn26"), QVariant(36.75));
    // The row naming no record keeps what it had.
    EXPECT_EQ(lights->cell(stale, "Value"), QVariant(9.0));
    EXPECT_EQ(lights->cell(stale, "column3DataGridViewCheckBoxColumn"), QVariant(true));

    // The timer drives the same refresh once AutoRefresh is pressed.
    SimConnectVars::dvalue[0] = 0.0;
    QTest::mouseClick(f.button2, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return lights->cell(row_of(*lights, id, 0), "Value") == QVariant(0.0); }, 5000));
    QTest::mouseClick(f.button1, Qt::LeftButton);
}

}  // namespace
