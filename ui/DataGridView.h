#pragma once
// A grid with explicitly defined columns over one DataTable. Each grid column shows the table
// column named by its data property (none: the cell stays empty). Rows can be sorted by their
// header; code finds rows by the row index the user sees and cells by grid-column name.

#include <QTableView>
#include <QString>
#include <vector>

class DataTable;
class QSortFilterProxyModel;

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
    DataTable* table() const { return table_; }
    int columnIndex(const QString& columnName) const;  // -1 when the grid has no such column
    int rowCount() const;                              // rows as shown
    QVariant cell(int row, const QString& columnName) const;
    bool setCell(int row, const QString& columnName, const QVariant& v);
    QRect cellRect(int row, const QString& columnName) const;  // in viewport coordinates

signals:
    // A click on a cell's content (its text, check box or button): grid-column index and the
    // index of the row as shown (-1 for the header row).
    void CellContentClick(int columnIndex, int rowIndex);

private:
    QString name_;
    std::vector<GridColumn> columns_;
    DataTable* table_;
    QSortFilterProxyModel* proxy_;
};
