#pragma once
// One live refresh of a variable grid: each row gets its variable's latest value and active
// flag, found through the row's Id.

#include "app/SharedList.h"

class DataGridView;
class SimConnectVars;

struct VariableGridColumns {
    const char* id;
    const char* value;
    const char* active;
};

// Rows whose Id names no record in `records` are left as they are.
void refresh_variable_grid(DataGridView& grid, const VariableGridColumns& names,
                           const SharedList<SimConnectVars>::Snapshot& records);
