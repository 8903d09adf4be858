// The window as it comes up: panes, pages, grids, captions, status texts and timers.
#include <gtest/gtest.h>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <set>
#include <tuple>

#include "WindowSupport.h"
#include "ui/DataTable.h"

using window_test::SharedWindowTest;
using window_test::ShownForm;

namespace {

struct PageCase {
    const char* pane;
    int index;
    const char* page;
    const char* caption;
    const char* grid;
    const char* table;
};

const PageCase kPages[] = {
    {"tabControl1", 0, "tabPage1", "Lights", "dataGridView1", "dataTable1"},
    {"tabControl1", 1, "tabPage2", "AirCraft", "dataGridView2", "dataTable2"},
    {"tabControl1", 2, "tabPage3", "AutoPilot", "dataGridView7", "dataTable3"},
    {"tabControl1", 3, "tabPage4", "Avionics", "dataGridView14", "dataTable4"},
    {"tabControl1", 4, "tabPage5", "Fuel", "dataGridView16", "dataTable7"},
    {"tabControl1", 5, "tabPage6", "Instruments", "dataGridView17", "dataTable8"},
    {"tabControl1", 6, "tabPage16", "Misc", "dataGridView18", "dataTable9"},
    {"tabControl1", 7, "tabPage15", "Settable", "dataGridView20", "dataTable16"},
    {"tabControl1", 8, "tabPage19", "SimRadio", "dataGridView23", "dataTable19"},
    {"EventsTab", 0, "tabPage7", "Lights", "dataGridView8", "dataTable5"},
    {"EventsTab", 1, "tabPage8", "Aircraft", "dataGridView9", "dataTable6"},
    {"EventsTab", 2, "tabPage9", "AutoPilot", "dataGridView10", "dataTable10"},
    {"EventsTab", 3, "tabPage10", "Avionics", "dataGridView11", "dataTable11"},
    {"EventsTab", 4, "tabPage11", "Fuel", "dataGridView12", "dataTable12"},
    {"EventsTab", 5, "tabPage12", "Instruments", "dataGridView13", "dataTable13"},
    {"EventsTab", 6, "tabPage14", "Misc", "dataGridView15", "dataTable14"},
    {"EventsTab", 7, "tabPage13", "SimVoice", "dataGridView19", "dataTable15"},
    {"EventsTab", 8, "tabPage17", "Settable", "dataGridView21", "dataTable17"},
    {"EventsTab", 9, "tabPage18", "SimSound", "dataGridView22", "dataTable18"},
};

class WindowLayout : public SharedWindowTest {};

TEST_F(WindowLayout, PanesHoldTheirPagesInOrderEachWithItsOwnGridAndTable) {
    Form1& f = form();
    std::set<const DataTable*> tables;
    for (const PageCase& c : kPages) {
        SCOPED_TRACE(std::string(c.pane) + " page " + c.page);
        auto* pane = f.findChild<QTabWidget*>(c.pane);
        ASSERT_NE(pane, nullptr);
        EXPECT_EQ(pane->currentIndex(), 0);
        QWidget* page = pane->widget(c.index);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->objectName(), c.page);
        EXPECT_EQ(pane->tabText(c.index), c.caption);
        auto* grid = page->findChild<DataGridView*>(c.grid);
        ASSERT_NE(grid, nullptr);
        ASSERT_NE(grid->table(), nullptr);
        EXPECT_EQ(grid->table()->name(), c.table);
        EXPECT_TRUE(tables.insert(grid->table()).second) << "two grids show one table";
    }
    EXPECT_EQ(f.tabControl1->count(), 9);
    EXPECT_EQ(f.EventsTab->count(), 10);
}

TEST_F(WindowLayout, CaptionClientSizeAndLabels) {
    Form1& f = form();
    EXPECT_EQ(f.windowTitle(), "Tarnwell");
    EXPECT_EQ(f.size(), QSize(1061, 624));
    const std::pair<const char*, const char*> labels[] = {
        {"label9", "Tarnwell Version"},   {"label1", "SimConnect Status"}, {"label7", "Settable"},
        {"Settable", "Settable"},         {"label5", "VARIABLES"},         {"label6", "EVENTS"},
        {"label4", "Subscription Status"}};
    for (const auto& [name, text] : labels) {
        auto* l = f.findChild<QLabel*>(name);
        ASSERT_NE(l, nullptr) << name;
        EXPECT_EQ(l->text(), text) << name;
    }
    // Status boxes on the active-title colour, count and version boxes on the tooltip colour;
    // none can be edited.
    const QColor tooltip = f.palette().color(QPalette::ToolTipBase);
    const auto boxes = f.findChildren<QLineEdit*>(QRegularExpression("^textBox\\d+$"));
    EXPECT_EQ(boxes.size(), 11);
    for (QLineEdit* box : boxes) {
        SCOPED_TRACE(box->objectName().toStdString());
        EXPECT_TRUE(box->isReadOnly());
        const bool status = box == f.textBox2 || box == f.textBox3 || box == f.textBox4;
        EXPECT_EQ(box->palette().color(QPalette::Base).name().toStdString(),
                  status ? "#b9d1ea" : tooltip.name().toStdString());
    }
    for (QLabel* heading : {f.label5, f.label6})
        EXPECT_EQ(heading->frameShadow(), QFrame::Sunken);
}

// Column names, headers and shown table columns of grids of each kind; code finds cells by
// these names.
TEST_F(WindowLayout, GridColumnsByKind) {
    Form1& f = form();
    struct ColumnCase {
        DataGridView* grid;
        std::vector<std::tuple<const char*, const char*, const char*, GridColumnKind>> columns;
    };
    const ColumnCase cases[] = {
        {f.dataGridView2,
         {{"dataGridViewTextBoxColumn1", "Id", "Column1", GridColumnKind::Text},
          {"dataGridViewTextBoxColumn2", "Variable", "Column2", GridColumnKind::Text},
          {"dataGridViewCheckBoxColumn1", "Active", "Column3", GridColumnKind::CheckBox},
          {"Column4", "Value", "Column4", GridColumnKind::Text}}},
        {f.dataGridView20,
         {{"dataGridViewTextBoxColumn35", "Id", "Column1", GridColumnKind::Text},
          {"dataGridViewTextBoxColumn36", "Variable", "Column2", GridColumnKind::Text},
          {"SimVarsetParam", "Parameter", "Column3", GridColumnKind::Text},
          {"SimVarSetFire", "Fire", "Value", GridColumnKind::Button}}},
        {f.dataGridView8,
         {{"dataGridViewTextBoxColumn6", "Id", "Column1", GridColumnKind::Text},
          {"dataGridViewTextBoxColumn7", "Variable", "Column2", GridColumnKind::Text},
          {"dataGridViewTextBoxColumn8", "Fire", "Value", GridColumnKind::Button}}},
        {f.dataGridView19,
         {{"dataGridViewTextBoxColumn33", "Id", "Column1", GridColumnKind::Text},
          {"dataGridViewTextBoxColumn34", "Phrase", "Column2", GridColumnKind::Text},
          {"dataGridViewButtonColumn7", "Speak", "Value", GridColumnKind::Button}}},
        {f.dataGridView23,
         {{"dataGridViewTextBoxColumn41", "Id", "Column1", GridColumnKind::Text},
          {"dataGridViewTextBoxColumn42", "Url", "Column2", GridColumnKind::Text},
          {"dataGridViewButtonColumn9", "Play", "Value", GridColumnKind::Button}}},
    };
    for (const ColumnCase& c : cases) {
        SCOPED_TRACE(c.grid->name().toStdString());
        ASSERT_EQ(c.grid->columnCountShown(), static_cast<int>(c.columns.size()));
        for (size_t i = 0; i < c.columns.size(); ++i) {
            const auto& [name, header, property, kind] = c.columns[i];
            const GridColumn& col = c.grid->column(static_cast<int>(i));
            EXPECT_EQ(col.name, name);
            EXPECT_EQ(c.grid->model()->headerData(static_cast<int>(i), Qt::Horizontal), header);
            EXPECT_EQ(col.dataProperty, property);
            EXPECT_EQ(col.kind, kind);
        }
    }
    // Fixed widths of the Id and Parameter columns.
    EXPECT_EQ(f.dataGridView20->columnWidth(0), 50);
    EXPECT_EQ(f.dataGridView20->columnWidth(2), 61);
}

struct StatusCase {
    bool simulator;
    const char* link;
    const char* refreshed;
    QColor colour;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << (c.simulator ? "with simulator" : "without simulator");
}

class WindowLink : public ::testing::TestWithParam<StatusCase> {};

TEST_P(WindowLink, FirstShowWritesStatusAndSetsTimersThenEachRefreshShowsTheLink) {
    const StatusCase& c = GetParam();
    ShownForm f(c.simulator);
    const std::tuple<QLineEdit*, const char*, QColor> boxes[] = {
        {f->textBox2, c.link, c.colour},
        {f->textBox3, "IDLE", QColor(Qt::red)},
        {f->textBox9, "0.81", QColor(Qt::blue)},
    };
    for (const auto& [box, text, colour] : boxes) {
        SCOPED_TRACE(box->objectName().toStdString());
        EXPECT_EQ(box->text(), text);
        EXPECT_EQ(box->palette().color(QPalette::Text), colour);
    }
    EXPECT_EQ(f->connected.load(), c.simulator);
    EXPECT_FALSE(f->timer1->isActive());
    EXPECT_EQ(f->timer1->interval(), 500);
    EXPECT_TRUE(f->timer3->isActive());
    EXPECT_EQ(f->timer3->interval(), 10000);
    EXPECT_FALSE(f->timer2->isActive());

    f->update_datagrid();
    EXPECT_EQ(f->textBox2->text(), c.refreshed);
    EXPECT_EQ(f->textBox2->palette().color(QPalette::Text), c.colour);
}

INSTANTIATE_TEST_SUITE_P(
    , WindowLink,
    ::testing::Values(StatusCase{true, "CONNECTED", "Connected", QColor(Qt::green)},
                      StatusCase{false, "OFFLINE", "OFFLINE", QColor(Qt::red)}),
    [](const auto& info) {
        return std::string(info.param.simulator ? "WithSimulator" : "WithoutSimulator");
    });

TEST_F(WindowLayout, AutoRefreshAndPauseButtonsStartAndStopTheRefresh) {
    Form1& f = form();
    for (int i = 0; i < 2; ++i) {  // pressing twice is the same as pressing once
        QTest::mouseClick(f.button2, Qt::LeftButton);
        EXPECT_TRUE(f.timer1->isActive());
    }
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(f.button1, Qt::LeftButton);
        EXPECT_FALSE(f.timer1->isActive());
    }
}

}  // namespace
