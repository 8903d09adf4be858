#pragma once
// An in-memory table with named, typed columns, shown by one DataGridView. It refuses values
// that break its constraints (an empty non-null cell, a duplicate key, a value of the wrong type)
// and says why.

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>
#include <vector>

enum class ColumnType { Int32, Text, Boolean, Float64 };

struct DataColumn {
    QString name;
    ColumnType type;
    bool allowNull = true;
    bool unique = false;  // the primary key
};

class DataTable : public QAbstractTableModel {
    Q_OBJECT
public:
    DataTable(QString name, std::vector<DataColumn> columns, QObject* parent = nullptr);

    const QString& name() const { return name_; }
    const std::vector<DataColumn>& columns() const { return columns_; }
    int columnIndex(const QString& column) const;  // -1 when the table has no such column

    void Clear();
    // Appends a row with one value per column (an invalid QVariant is empty). Returns false and
    // leaves the table unchanged when a value breaks a constraint; *why says which.
    bool AddRow(const QVariantList& values, QString* why = nullptr);
    QVariant value(int row, const QString& column) const;
    bool setValue(int row, const QString& column, const QVariant& v, QString* why = nullptr);
    // Edits through the model (the grid's editor) that break a constraint emit editRefused;
    // setValue and AddRow only return false.

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& v, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // An edit the table refused, with the reason, for the grid to show the user.
    void editRefused(const QString& why);

private:
    // Converts v to the column's type and tests the constraints; row -1 is a row being added.
    bool check(int row, int column, QVariant& v, QString* why) const;
    bool apply(int row, int column, const QVariant& v, QString* why);

    QString name_;
    std::vector<DataColumn> columns_;
    std::vector<QVariantList> rows_;
};
