// Clicks on the grids' action columns: tick a variable, fire an event, set a variable.
#include "app/Form1.h"
#include "app/Console.h"
#include "simlink/SimConnectVars.h"
#include "simlink/SimEventRequest.h"
#include "simlink/SimVarSet.h"
#include "ui/DataGridView.h"
#include "ui/DataTable.h"
#include "ui/GridRecords.h"

namespace {

// Ticks or unticks the clicked Active box and gives the record the flag the cell now holds.
void toggle_active(DataGridView& grid, int column, int row, const char* activeColumn,
                   const char* idColumn, const SharedList<SimConnectVars>& list) {
    auto record = clicked_record(grid, column, row, activeColumn, idColumn, list);
    if (!record)
        return;
    const QVariant now = grid.cell(row, activeColumn);
    const bool next = !(now.isValid() && now.toBool());
    // Read back through the table row: if the grid is sorted by this column the row moves.
    const int tableRow = grid.tableRow(row);
    grid.setCell(row, activeColumn, next);
    record->active = grid.table()->value(tableRow, grid.column(column).dataProperty).toBool();
    grid.viewport()->update();
}

void fire_event(const DataGridView& grid, int column, int row, const char* actionColumn,
                const char* idColumn, const SharedList<SimEventRequest>& list) {
    if (auto record = clicked_record(grid, column, row, actionColumn, idColumn, list))
        record->fire();
}

// The Parameter cell always holds a number: its column is a non-empty float the table checks.
float parameter(const DataGridView& grid, int row, const char* parameterColumn) {
    return static_cast<float>(grid.cell(row, parameterColumn).toDouble());
}

}  // namespace

void Form1::dataGridView1_CellContentClick(int column, int row) {
    toggle_active(*dataGridView1, column, row, "column3DataGridViewCheckBoxColumn",
                  "column1DataGridViewTextBoxColumn", SimRecs);
}

void Form1::dataGridView2_CellContentClick(int column, int row) {
    toggle_active(*dataGridView2, column, row, "dataGridViewCheckBoxColumn1",
                  "dataGridViewTextBoxColumn1", SimRecs);
}

void Form1::dataGridView7_CellContentClick_1(int column, int row) {
    toggle_active(*dataGridView7, column, row, "dataGridViewCheckBoxColumn2",
                  "dataGridViewTextBoxColumn3", SimRecs);
}

void Form1::dataGridView14_CellContentClick_1(int column, int row) {
    toggle_active(*dataGridView14, column, row, "dataGridViewCheckBoxColumn9",
                  "dataGridViewTextBoxColumn19", SimRecs);
}

void Form1::dataGridView16_CellContentClick(int column, int row) {
    toggle_active(*dataGridView16, column, row, "dataGridViewCheckBoxColumn11",
                  "dataGridViewTextBoxColumn24", SimRecs);
}

void Form1::dataGridView17_CellContentClick(int column, int row) {
    toggle_active(*dataGridView17, column, row, "dataGridViewCheckBoxColumn12",
                  "dataGridViewTextBoxColumn27", SimRecs);
}

void Form1::dataGridView18_CellContentClick(int column, int row) {
    toggle_active(*dataGridView18, column, row, "dataGridViewCheckBoxColumn13",
                  "dataGridViewTextBoxColumn30", SimRecs);
}

void Form1::dataGridView20_CellContentClick_1(int column, int row) {
    auto record = clicked_record(*dataGridView20, column, row, "SimVarSetFire",
                                 "dataGridViewTextBoxColumn35", SimRecSet);
    if (!record)
        return;
    console::write("Firing SimVarSet");
    record->fire(parameter(*dataGridView20, row, "SimVarsetParam"));
}

void Form1::dataGridView8_CellContentClick_1(int column, int row) {
    fire_event(*dataGridView8, column, row, "dataGridViewTextBoxColumn8",
               "dataGridViewTextBoxColumn6", SimEvents);
}

void Form1::dataGridView9_CellContentClick(int column, int row) {
    fire_event(*dataGridView9, column, row, "dataGridViewButtonColumn1",
               "dataGridViewTextBoxColumn9", SimEvents);
}

void Form1::dataGridView10_CellContentClick(int column, int row) {
    fire_event(*dataGridView10, column, row, "dataGridViewButtonColumn2",
               "dataGridViewTextBoxColumn11", SimEvents);
}

void Form1::dataGridView11_CellContentClick(int column, int row) {
    fire_event(*dataGridView11, column, row, "dataGridViewButtonColumn3",
               "dataGridViewTextBoxColumn13", SimEvents);
}

void Form1::dataGridView12_CellContentClick(int column, int row) {
    fire_event(*dataGridView12, column, row, "dataGridViewButtonColumn4",
               "dataGridViewTextBoxColumn15", SimEvents);
}

void Form1::dataGridView13_CellContentClick(int column, int row) {
    fire_event(*dataGridView13, column, row, "dataGridViewButtonColumn5",
               "dataGridViewTextBoxColumn17", SimEvents);
}

void Form1::dataGridView15_CellContentClick(int column, int row) {
    fire_event(*dataGridView15, column, row, "dataGridViewButtonColumn6",
               "dataGridViewTextBoxColumn21", SimEvents);
}

void Form1::dataGridView21_CellContentClick(int column, int row) {
    if (auto record = clicked_record(*dataGridView21, column, row, "SimEventSetFire",
                                     "dataGridViewTextBoxColumn37", SimEvents))
        record->fire(parameter(*dataGridView21, row, "SimeventSetParam"));
}
