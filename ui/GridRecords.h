#pragma once
// From a grid row to its record. A row carries in its Id cell the position of its record in
// the list; that number, never the row's place in the grid, finds the record again.

#include <QVariant>
#include <cstdint>
#include <limits>
#include <memory>

#include "app/SharedList.h"
#include "ui/DataGridView.h"

// The record an Id cell names in a snapshot, or nullptr when it names none: an empty cell, a
// number beyond 16 bits or past the end of the list (a row left from before a reload, or an
// Id the user edited).
template <typename Record>
std::shared_ptr<Record> record_by_id(const typename SharedList<Record>::Snapshot& records,
                                     const QVariant& id) {
    bool ok = false;
    const int n = id.toInt(&ok);
    if (!ok || n < 0 || n > std::numeric_limits<int16_t>::max())
        return nullptr;
    const auto at = static_cast<size_t>(static_cast<int16_t>(n));
    return at < records->size() ? (*records)[at] : nullptr;
}

// The record behind a click on a grid cell, when the click hit the action column of a row
// (not the header row) and the row's Id names a record; nullptr otherwise.
template <typename Record>
std::shared_ptr<Record> clicked_record(const DataGridView& grid, int column, int row,
                                       const char* actionColumn, const char* idColumn,
                                       const SharedList<Record>& list) {
    if (column != grid.columnIndex(actionColumn) || row < 0)
        return nullptr;
    return record_by_id<Record>(list.snapshot(), grid.cell(row, idColumn));
}
