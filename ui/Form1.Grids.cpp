// Filling the grids from the record lists, and the live refresh of the variable grids.
#include <QLineEdit>

#include "app/Form1.h"
#include "simlink/SimConnectVars.h"
#include "simlink/SimEventRequest.h"
#include "simlink/SimVarSet.h"
#include "ui/DataGridView.h"
#include "ui/DataTable.h"
#include "ui/GridRecords.h"
#include "ui/GridRefresh.h"
#include "ui/StatusText.h"

namespace {

QString text_of(const std::string& s) {
    return QString::fromStdString(s);
}

// The category's table for a var_type of 0 to 6, or nullptr for any other number.
template <size_t N>
DataTable* table_of(DataTable* const (&tables)[N], int32_t var_type) {
    return var_type >= 0 && static_cast<size_t>(var_type) < N ? tables[var_type] : nullptr;
}

}  // namespace

void refresh_variable_grid(DataGridView& grid, const VariableGridColumns& names,
                           const SharedList<SimConnectVars>::Snapshot& records) {
    // Walk the table behind the grid, not the rows as shown: writing a value into a grid sorted
    // by that column moves rows, and every row is to be visited once.
    DataTable* table = grid.table();
    auto property = [&](const char* column) {
        const int c = grid.columnIndex(column);
        return c < 0 ? QString() : grid.column(c).dataProperty;
    };
    const QString id = property(names.id);
    const QString value = property(names.value);
    const QString active = property(names.active);
    for (int row = 0; row < table->rowCount(); ++row) {
        auto record = record_by_id<SimConnectVars>(records, table->value(row, id));
        if (!record)
            continue;  // a row left over from before a reload
        table->setValue(row, value, record->get_double());
        table->setValue(row, active, record->active.load());
    }
}

void Form1::load_SimRecs() {
    // In var_type order: Lights, Aircraft, Autopilot, Avionics, Instruments, Fuel, Misc.
    DataTable* const tables[] = {dataTable1, dataTable2, dataTable3, dataTable4,
                                 dataTable8, dataTable7, dataTable9};
    for (DataTable* t : tables)
        t->Clear();
    const auto records = SimRecs.snapshot();
    for (size_t i = 0; i < records->size(); ++i) {
        const SimConnectVars& r = *(*records)[i];
        if (DataTable* t = table_of(tables, r.var_type))
            t->AddRow({static_cast<int>(i), text_of(r.SimVar), r.active.load(), r.get_double()});
    }
}

void Form1::load_SimRecs_Settable() {
    dataTable16->Clear();
    const auto records = SimRecSet.snapshot();
    if (records->empty())
        return;
    for (const auto& r : *records)
        dataTable16->AddRow({r->id, text_of(r->SimVar), 0.0, 0.0});
}

void Form1::load_SimEvents() {
    DataTable* const tables[] = {dataTable5,  dataTable6,  dataTable10, dataTable11,
                                 dataTable13, dataTable12, dataTable14};
    for (DataTable* t : tables)
        t->Clear();
    const auto records = SimEvents.snapshot();
    for (size_t i = 0; i < records->size(); ++i) {
        const SimEventRequest& r = *(*records)[i];
        if (DataTable* t = table_of(tables, r.var_type))
            t->AddRow({static_cast<int>(i), text_of(r.SimEvent), QVariant()});
    }
    load_SimEvents_Settable();
}

void Form1::load_SimEvents_Settable() {
    dataTable17->Clear();
    const auto records = SimEvents.snapshot();
    if (records->empty())
        return;
    int count = 0;
    for (size_t i = 0; i < records->size(); ++i) {
        const SimEventRequest& r = *(*records)[i];
        if (!r.accepts_params)
            continue;
        if (dataTable17->AddRow({static_cast<int>(i), text_of(r.SimEvent), 0.0, 0.0}))
            ++count;
    }
    textBox8->setText(QString::number(count));
}

void Form1::update_datagrid() {
    if (connected)
        show_status(textBox2, "Connected", Qt::green);
    else
        show_status(textBox2, "OFFLINE", Qt::red);
    const std::pair<DataGridView*, VariableGridColumns> grids[] = {
        {dataGridView1,
         {"column1DataGridViewTextBoxColumn", "Value", "column3DataGridViewCheckBoxColumn"}},
        {dataGridView2, {"dataGridViewTextBoxColumn1", "Column4", "dataGridViewCheckBoxColumn1"}},
        {dataGridView7,
         {"dataGridViewTextBoxColumn3", "dataGridViewTextBoxColumn5",
          "dataGridViewCheckBoxColumn2"}},
        {dataGridView14,
         {"dataGridViewTextBoxColumn19", "dataGridViewTextBoxColumn23",
          "dataGridViewCheckBoxColumn9"}},
        {dataGridView16,
         {"dataGridViewTextBoxColumn24", "dataGridViewTextBoxColumn26",
          "dataGridViewCheckBoxColumn11"}},
        {dataGridView17,
         {"dataGridViewTextBoxColumn27", "dataGridViewTextBoxColumn29",
          "dataGridViewCheckBoxColumn12"}},
        {dataGridView18,
         {"dataGridViewTextBoxColumn30", "dataGridViewTextBoxColumn32",
          "dataGridViewCheckBoxColumn13"}},
    };
    const auto records = SimRecs.snapshot();
    for (const auto& [grid, names] : grids)
        refresh_variable_grid(*grid, names, records);
}

void Form1::timer1_Tick_1() {
    update_datagrid();
}

void Form1::button2_Click() {
    timer1->start();
}

void Form1::button1_Click() {
    timer1->stop();
}
