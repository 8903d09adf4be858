// The window's layout: every control, table and grid, placed and connected once.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/Form1.h"
#include "ui/DataGridView.h"
#include "ui/DataTable.h"
#include "ui/QtDialogs.h"

namespace {

// The desktop's active-title gradient colour and hot-track text colour, as the layout was drawn.
const QColor kActiveTitle(185, 209, 234);
const QColor kHotTrack(0, 102, 204);

QLabel* make_label(QWidget* parent, const char* name, const char* text, int x, int y) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName(name);
    l->move(x, y);
    l->adjustSize();
    return l;
}

// The headings above the panes: sunken frame, hot-track text.
QLabel* make_heading(QWidget* parent, const char* name, const char* text, int x, int y) {
    QLabel* l = make_label(parent, name, text, x, y);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, kHotTrack);
    l->setPalette(p);
    l->adjustSize();
    return l;
}

QLineEdit* make_box(QWidget* parent, const char* name, int x, int y, int width,
                    const QColor& background) {
    auto* b = new QLineEdit(parent);
    b->setObjectName(name);
    b->setGeometry(x, y, width, 20);
    b->setReadOnly(true);
    QPalette p = b->palette();
    p.setColor(QPalette::Base, background);
    b->setPalette(p);
    return b;
}

QPushButton* make_button(QWidget* parent, const char* name, const char* text, int x, int y,
                         int width) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(name);
    b->setGeometry(x, y, width, 23);
    return b;
}

QComboBox* make_combo(QWidget* parent, const char* name, int x, int y, int width) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setGeometry(x, y, width, 21);
    return c;
}

// ---- tables: Column1 is the non-empty integer key, Column2 the non-empty name ----

DataTable* make_table(QObject* owner, const char* name, std::vector<DataColumn> further) {
    std::vector<DataColumn> columns{{"Column1", ColumnType::Int32, false, true},
                                    {"Column2", ColumnType::Text, false, false}};
    for (DataColumn& c : further)
        columns.push_back(std::move(c));
    return new DataTable(name, std::move(columns), owner);
}

DataTable* variable_table(QObject* owner, const char* name, const char* valueColumn) {
    return make_table(
        owner, name, {{"Column3", ColumnType::Boolean, false}, {valueColumn, ColumnType::Float64}});
}
DataTable* event_table(QObject* owner, const char* name) {
    return make_table(owner, name, {{"Value", ColumnType::Float64}});
}
DataTable* settable_table(QObject* owner, const char* name) {
    return make_table(owner, name,
                      {{"Column3", ColumnType::Float64, false}, {"Fire", ColumnType::Float64}});
}
DataTable* media_table(QObject* owner, const char* name) {
    return make_table(owner, name,
                      {{"Column3", ColumnType::Boolean, false}, {"Column4", ColumnType::Float64}});
}

// ---- grid columns by kind ----

GridColumn id_column(const char* name) {
    return {name, "Id", "Column1", GridColumnKind::Text, GridColumnWidth::Fixed, 50};
}
GridColumn name_column(const char* name, const char* header = "Variable") {
    return {name, header, "Column2", GridColumnKind::Text, GridColumnWidth::Fill};
}
GridColumn active_column(const char* name) {
    return {name, "Active", "Column3", GridColumnKind::CheckBox, GridColumnWidth::FitHeader};
}
GridColumn value_column(const char* name, const char* property = "Value") {
    return {name, "Value", property, GridColumnKind::Text, GridColumnWidth::Fill};
}
GridColumn parameter_column(const char* name) {
    return {name, "Parameter", "Column3", GridColumnKind::Text, GridColumnWidth::Fixed, 61, false};
}
GridColumn action_column(const char* name, const char* header) {
    return {name, header, "Value", GridColumnKind::Button, GridColumnWidth::Fill};
}

// One page of a pane, its grid filling it.
QWidget* add_page(QTabWidget* pane, const char* name, const char* caption, DataGridView* grid) {
    auto* page = new QWidget;
    page->setObjectName(name);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->addWidget(grid);
    pane->addTab(page, QString::fromUtf8(caption));
    return page;
}

}  // namespace

void Form1::InitializeComponent() {
    setWindowTitle("Tarnwell");
    resize(1061, 624);
    // The positions are drawn for a font cell of 6 x 13 pixels; the desktop's usual font is
    // larger and wider, and captions would run into the boxes beside them.
    QFont cell = font();
    cell.setPixelSize(11);
    cell.setStretch(QFont::SemiCondensed);
    setFont(cell);
    const QColor tooltip = palette().color(QPalette::ToolTipBase);

    // ---- status block ----
    label9 = make_label(this, "label9", "Tarnwell Version", 33, 31);
    textBox9 = make_box(this, "textBox9", 168, 31, 100, tooltip);
    label1 = make_label(this, "label1", "SimConnect Status", 274, 33);
    textBox2 = make_box(this, "textBox2", 373, 28, 123, kActiveTitle);
    label2 = make_label(this, "label2", "Message", 31, 71);
    textBox4 = make_box(this, "textBox4", 87, 71, 409, kActiveTitle);
    button2 = make_button(this, "button2", "AutoRefresh", 32, 106, 75);
    button1 = make_button(this, "button1", "Pause", 124, 106, 75);
    button3 = make_button(this, "button3", "ReSubscribe", 398, 106, 98);
    label5 = make_heading(this, "label5", "VARIABLES", 228, 124);

    // ---- load buttons and their counts ----
    button4 = make_button(this, "button4", "Load SimVars", 538, 5, 95);
    textBox1 = make_box(this, "textBox1", 639, 7, 39, tooltip);
    button5 = make_button(this, "button5", "Load Simevents", 538, 34, 95);
    textBox5 = make_box(this, "textBox5", 639, 36, 39, tooltip);
    button7 = make_button(this, "button7", "Load SimVoice", 538, 61, 95);
    textBox6 = make_box(this, "textBox6", 639, 61, 39, tooltip);
    button9 = make_button(this, "button9", "Load SimSounds", 538, 89, 95);
    textBox10 = make_box(this, "textBox10", 639, 89, 39, tooltip);
    button11 = make_button(this, "button11", "Load SimRadio", 538, 116, 95);
    textBox11 = make_box(this, "textBox11", 639, 119, 39, tooltip);
    label7 = make_label(this, "label7", "Settable", 693, 15);
    textBox7 = make_box(this, "textBox7", 752, 12, 39, tooltip);
    Settable = make_label(this, "Settable", "Settable", 693, 44);
    textBox8 = make_box(this, "textBox8", 752, 44, 39, tooltip);
    label6 = make_heading(this, "label6", "EVENTS", 752, 124);

    // ---- subscription status, port and voice ----
    label4 = make_label(this, "label4", "Subscription Status", 817, 11);
    textBox3 = make_box(this, "textBox3", 921, 8, 124, kActiveTitle);
    button6 = make_button(this, "button6", "Comm Port", 840, 33, 75);
    comboBox1 = make_combo(this, "comboBox1", 921, 35, 121);
    button8 = make_button(this, "button8", "Voice", 840, 67, 75);
    comboBox2 = make_combo(this, "comboBox2", 921, 69, 121);
    button10 = make_button(this, "button10", "Release Port", 921, 95, 119);

    // ---- the two panes, made before the tables so that their grids are taken down first ----
    tabControl1 = new QTabWidget(this);
    tabControl1->setObjectName("tabControl1");
    tabControl1->setGeometry(12, 142, 504, 486);
    EventsTab = new QTabWidget(this);
    EventsTab->setObjectName("EventsTab");
    EventsTab->setGeometry(522, 146, 523, 482);

    // ---- tables ----
    dataTable1 = variable_table(this, "dataTable1", "Value");
    dataTable2 = variable_table(this, "dataTable2", "Column4");
    dataTable3 = variable_table(this, "dataTable3", "Value");
    dataTable4 = variable_table(this, "dataTable4", "Value");
    dataTable7 = variable_table(this, "dataTable7", "Value");
    dataTable8 = variable_table(this, "dataTable8", "Value");
    dataTable9 = variable_table(this, "dataTable9", "Value");
    dataTable5 = event_table(this, "dataTable5");
    dataTable6 = event_table(this, "dataTable6");
    dataTable10 = event_table(this, "dataTable10");
    dataTable11 = event_table(this, "dataTable11");
    dataTable12 = event_table(this, "dataTable12");
    dataTable13 = event_table(this, "dataTable13");
    dataTable14 = event_table(this, "dataTable14");
    dataTable15 = event_table(this, "dataTable15");
    dataTable16 = settable_table(this, "dataTable16");
    dataTable17 = settable_table(this, "dataTable17");
    dataTable18 = media_table(this, "dataTable18");
    dataTable19 = media_table(this, "dataTable19");

    // ---- variables pane ----
    auto variables = [](const char* id, const char* name, const char* active, const char* value,
                        const char* property = "Value") {
        return std::vector<GridColumn>{id_column(id), name_column(name), active_column(active),
                                       value_column(value, property)};
    };
    dataGridView1 = new DataGridView(
        "dataGridView1",
        variables("column1DataGridViewTextBoxColumn", "column2DataGridViewTextBoxColumn",
                  "column3DataGridViewCheckBoxColumn", "Value"),
        dataTable1, false);
    dataGridView2 =
        new DataGridView("dataGridView2",
                         variables("dataGridViewTextBoxColumn1", "dataGridViewTextBoxColumn2",
                                   "dataGridViewCheckBoxColumn1", "Column4", "Column4"),
                         dataTable2, false);
    dataGridView7 =
        new DataGridView("dataGridView7",
                         variables("dataGridViewTextBoxColumn3", "dataGridViewTextBoxColumn4",
                                   "dataGridViewCheckBoxColumn2", "dataGridViewTextBoxColumn5"),
                         dataTable3, false);
    dataGridView14 =
        new DataGridView("dataGridView14",
                         variables("dataGridViewTextBoxColumn19", "dataGridViewTextBoxColumn20",
                                   "dataGridViewCheckBoxColumn9", "dataGridViewTextBoxColumn23"),
                         dataTable4, false);
    dataGridView16 =
        new DataGridView("dataGridView16",
                         variables("dataGridViewTextBoxColumn24", "dataGridViewTextBoxColumn25",
                                   "dataGridViewCheckBoxColumn11", "dataGridViewTextBoxColumn26"),
                         dataTable7, false);
    dataGridView17 =
        new DataGridView("dataGridView17",
                         variables("dataGridViewTextBoxColumn27", "dataGridViewTextBoxColumn28",
                                   "dataGridViewCheckBoxColumn12", "dataGridViewTextBoxColumn29"),
                         dataTable8, false);
    dataGridView18 =
        new DataGridView("dataGridView18",
                         variables("dataGridViewTextBoxColumn30", "dataGridViewTextBoxColumn31",
                                   "dataGridViewCheckBoxColumn13", "dataGridViewTextBoxColumn32"),
                         dataTable9, false);
    dataGridView20 = new DataGridView(
        "dataGridView20",
        {id_column("dataGridViewTextBoxColumn35"), name_column("dataGridViewTextBoxColumn36"),
         parameter_column("SimVarsetParam"), action_column("SimVarSetFire", "Fire")},
        dataTable16, true);
    dataGridView23 = new DataGridView("dataGridView23",
                                      {id_column("dataGridViewTextBoxColumn41"),
                                       name_column("dataGridViewTextBoxColumn42", "Url"),
                                       action_column("dataGridViewButtonColumn9", "Play")},
                                      dataTable19, false);

    tabPage1 = add_page(tabControl1, "tabPage1", "Lights", dataGridView1);
    tabPage2 = add_page(tabControl1, "tabPage2", "AirCraft", dataGridView2);
    tabPage3 = add_page(tabControl1, "tabPage3", "AutoPilot", dataGridView7);
    tabPage4 = add_page(tabControl1, "tabPage4", "Avionics", dataGridView14);
    tabPage5 = add_page(tabControl1, "tabPage5", "Fuel", dataGridView16);
    tabPage6 = add_page(tabControl1, "tabPage6", "Instruments", dataGridView17);
    tabPage16 = add_page(tabControl1, "tabPage16", "Misc", dataGridView18);
    tabPage15 = add_page(tabControl1, "tabPage15", "Settable", dataGridView20);
    tabPage19 = add_page(tabControl1, "tabPage19", "SimRadio", dataGridView23);
    tabControl1->setCurrentIndex(0);

    // ---- events pane ----
    auto events = [](const char* id, const char* name, const char* action) {
        return std::vector<GridColumn>{id_column(id), name_column(name),
                                       action_column(action, "Fire")};
    };
    dataGridView8 =
        new DataGridView("dataGridView8",
                         events("dataGridViewTextBoxColumn6", "dataGridViewTextBoxColumn7",
                                "dataGridViewTextBoxColumn8"),
                         dataTable5, false);
    dataGridView9 =
        new DataGridView("dataGridView9",
                         events("dataGridViewTextBoxColumn9", "dataGridViewTextBoxColumn10",
                                "dataGridViewButtonColumn1"),
                         dataTable6, false);
    dataGridView10 =
        new DataGridView("dataGridView10",
                         events("dataGridViewTextBoxColumn11", "dataGridViewTextBoxColumn12",
                                "dataGridViewButtonColumn2"),
                         dataTable10, false);
    dataGridView11 =
        new DataGridView("dataGridView11",
                         events("dataGridViewTextBoxColumn13", "dataGridViewTextBoxColumn14",
                                "dataGridViewButtonColumn3"),
                         dataTable11, false);
    dataGridView12 =
        new DataGridView("dataGridView12",
                         events("dataGridViewTextBoxColumn15", "dataGridViewTextBoxColumn16",
                                "dataGridViewButtonColumn4"),
                         dataTable12, false);
    dataGridView13 =
        new DataGridView("dataGridView13",
                         events("dataGridViewTextBoxColumn17", "dataGridViewTextBoxColumn18",
                                "dataGridViewButtonColumn5"),
                         dataTable13, false);
    dataGridView15 =
        new DataGridView("dataGridView15",
                         events("dataGridViewTextBoxColumn21", "dataGridViewTextBoxColumn22",
                                "dataGridViewButtonColumn6"),
                         dataTable14, false);
    dataGridView19 = new DataGridView("dataGridView19",
                                      {id_column("dataGridViewTextBoxColumn33"),
                                       name_column("dataGridViewTextBoxColumn34", "Phrase"),
                                       action_column("dataGridViewButtonColumn7", "Speak")},
                                      dataTable15, false);
    dataGridView21 = new DataGridView(
        "dataGridView21",
        {id_column("dataGridViewTextBoxColumn37"), name_column("dataGridViewTextBoxColumn38"),
         parameter_column("SimeventSetParam"), action_column("SimEventSetFire", "Fire")},
        dataTable17, true);
    dataGridView22 = new DataGridView("dataGridView22",
                                      {id_column("dataGridViewTextBoxColumn39"),
                                       name_column("dataGridViewTextBoxColumn40", "FileName"),
                                       action_column("dataGridViewButtonColumn8", "Play")},
                                      dataTable18, false);

    tabPage7 = add_page(EventsTab, "tabPage7", "Lights", dataGridView8);
    tabPage8 = add_page(EventsTab, "tabPage8", "Aircraft", dataGridView9);
    tabPage9 = add_page(EventsTab, "tabPage9", "AutoPilot", dataGridView10);
    tabPage10 = add_page(EventsTab, "tabPage10", "Avionics", dataGridView11);
    tabPage11 = add_page(EventsTab, "tabPage11", "Fuel", dataGridView12);
    tabPage12 = add_page(EventsTab, "tabPage12", "Instruments", dataGridView13);
    tabPage14 = add_page(EventsTab, "tabPage14", "Misc", dataGridView15);
    tabPage13 = add_page(EventsTab, "tabPage13", "SimVoice", dataGridView19);
    tabPage17 = add_page(EventsTab, "tabPage17", "Settable", dataGridView21);
    tabPage18 = add_page(EventsTab, "tabPage18", "SimSound", dataGridView22);
    EventsTab->setCurrentIndex(0);

    // ---- non-visual parts ----
    timer1 = new QTimer(this);
    timer1->setObjectName("timer1");
    timer1->setInterval(500);
    timer2 = new QTimer(this);
    timer2->setObjectName("timer2");
    timer3 = new QTimer(this);
    timer3->setObjectName("timer3");
    timer3->setInterval(10000);

    serialPort1 = std::make_unique<SerialPort>();
    serialPort1->PortName = "COM7";
    serialPort1->BaudRate = 115200;
    serialPort1->DataReceived = [this] { serialPort1_DataReceived(); };
    panel_port_ = serialPort1.get();

    backgroundWorker1 = std::make_unique<BackgroundWorker>();
    backgroundWorker2 = std::make_unique<BackgroundWorker>();
    backgroundWorker3 = std::make_unique<BackgroundWorker>();
    backgroundWorker4 = std::make_unique<BackgroundWorker>();

    dialogs = std::make_unique<QtDialogs>(this);

    // ---- event connections ----
    connect(timer1, &QTimer::timeout, this, &Form1::timer1_Tick_1);
    connect(timer2, &QTimer::timeout, this, &Form1::timer2_Tick);
    connect(timer3, &QTimer::timeout, this, &Form1::timer3_Tick);
    const std::pair<QPushButton*, void (Form1::*)()> clicks[] = {
        {button1, &Form1::button1_Click},   {button2, &Form1::button2_Click},
        {button3, &Form1::button3_Click},   {button4, &Form1::button4_Click},
        {button5, &Form1::button5_Click},   {button6, &Form1::button6_Click},
        {button7, &Form1::button7_Click},   {button8, &Form1::button8_Click},
        {button9, &Form1::button9_Click},   {button10, &Form1::button10_Click},
        {button11, &Form1::button11_Click},
    };
    for (const auto& [b, handler] : clicks)
        connect(b, &QPushButton::clicked, this, [this, h = handler] { (this->*h)(); });
    connect(comboBox1, &QComboBox::currentIndexChanged, this,
            [this] { comboBox1_SelectedIndexChanged(); });
    connect(comboBox2, &QComboBox::currentIndexChanged, this,
            [this] { comboBox2_SelectedIndexChanged(); });

    const std::pair<DataGridView*, void (Form1::*)(int, int)> grids[] = {
        {dataGridView1, &Form1::dataGridView1_CellContentClick},
        {dataGridView2, &Form1::dataGridView2_CellContentClick},
        {dataGridView7, &Form1::dataGridView7_CellContentClick_1},
        {dataGridView14, &Form1::dataGridView14_CellContentClick_1},
        {dataGridView16, &Form1::dataGridView16_CellContentClick},
        {dataGridView17, &Form1::dataGridView17_CellContentClick},
        {dataGridView18, &Form1::dataGridView18_CellContentClick},
        {dataGridView20, &Form1::dataGridView20_CellContentClick_1},
        {dataGridView23, &Form1::dataGridView23_CellContentClick},
        {dataGridView8, &Form1::dataGridView8_CellContentClick_1},
        {dataGridView9, &Form1::dataGridView9_CellContentClick},
        {dataGridView10, &Form1::dataGridView10_CellContentClick},
        {dataGridView11, &Form1::dataGridView11_CellContentClick},
        {dataGridView12, &Form1::dataGridView12_CellContentClick},
        {dataGridView13, &Form1::dataGridView13_CellContentClick},
        {dataGridView15, &Form1::dataGridView15_CellContentClick},
        {dataGridView19, &Form1::dataGridView19_CellContentClick},
        {dataGridView21, &Form1::dataGridView21_CellContentClick},
        {dataGridView22, &Form1::dataGridView22_CellContentClick},
    };
    for (const auto& [g, handler] : grids)
        connect(g, &DataGridView::CellContentClick, this,
                [this, h = handler](int column, int row) { (this->*h)(column, row); });

    // Created running, as the layout has them; the first show stops timer1.
    timer1->start();
    timer3->start();
}
