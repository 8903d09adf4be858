#pragma once
// A grid with explicitly defined columns over one DataTable. Each grid column shows the table
// column named by its data property (none: the cell stays empty). Rows can be sorted by their
// header; code finds rows by the row index the user sees and cells by grid-column name.

#include <QPointer>
#include <QString>
#include <QTableView>
#include <vector>

class DataTable;
class QLabel;
class QSortFilterProxyModel;
class QTimer;

enum class GridColumnKind { Text, CheckBox, Button };
enum class GridColumnWidth { Fixed, Fill, FitHeader };

struct GridColumn {
    QString name;          // e.g. "column3DataGridViewCheckBoxColumn"
    QString header;        // "Id", "Variable", "Active", "Value", "Parameter", "Fire", ...
    QString dataProperty;  // table column shown, e.g. "Column1"
    GridColumnKind kind = GridColumnKind::Text;
    GridColumnWidth width = GridColumnWidth::Fill;
    int pixels = 0;  // for Fixed
    bool sortable = true;
    bool resizable = true;
};

class DataGridView : public QTableView {
    Q_OBJECT
public:
    DataGridView(QString name, std::vector<GridColumn> columns, DataTable* table, bool editable,
                 QWidget* parent = nullptr);

    const QString& name() const { return name_; }
    DataTable* table() const { return table_.data(); }
    int columnIndex(const QString& columnName) const;  // -1 when the grid has no such column
    int rowCount() const;                              // rows as shown
    QVariant cell(int row, const QString& columnName) const;
    bool setCell(int row, const QString& columnName, const QVariant& v);
    QRect cellRect(int row, const QString& columnName) const;  // in viewport coordinates
    const GridColumn& column(int index) const { return columns_[static_cast<size_t>(index)]; }
    int columnCountShown() const { return static_cast<int>(columns_.size()); }
    // The table row behind a row as shown (-1 when there is none).
    int tableRow(int row) const;
    // Why the table refused the last edit made in this grid. The edit is dropped, so the reason
    // is shown in a note under the cell until the next click or for five seconds;
    // shownRefusal() is its text while it shows, else empty.
    const QString& lastRefusal() const { return lastRefusal_; }
    QString shownRefusal() const;
    bool isEditing() const { return state() == QAbstractItemView::EditingState; }
    // Back to the table's own row order.
    void clearSort();

signals:
    // A click on a cell's content (its text, check box or button): grid-column index and the
    // index of the row as shown (-1 for the header row).
    void CellContentClick(int columnIndex, int rowIndex);

private:
    void onHeaderClicked(int column);
    void showRefusal(const QString& why);

    QString name_;
    std::vector<GridColumn> columns_;
    QPointer<DataTable> table_;  // the window may take its tables down before its grids
    QSortFilterProxyModel* proxy_;
    QString lastRefusal_;
    QLabel* refusalNote_;
    QTimer* refusalTimer_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};
