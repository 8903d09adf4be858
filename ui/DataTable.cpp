#include "ui/DataTable.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace {

// An empty cell holds no value at all. An empty text is a value: a blank phrase or a blank
// event line is listed like any other record.
bool is_empty(const QVariant& v) {
    return !v.isValid() || v.isNull();
}

// What the user typed: a cell cleared to blank holds no value, as in any grid.
QVariant typed_value(const QVariant& v) {
    if (v.metaType().id() == QMetaType::QString && v.toString().trimmed().isEmpty())
        return QVariant();
    return v;
}

// Parses a number the user typed: the user's own format first, then the C format.
bool parse_double(const QString& s, double& out) {
    bool ok = false;
    out = QLocale().toDouble(s.trimmed(), &ok);
    if (!ok)
        out = QLocale::c().toDouble(s.trimmed(), &ok);
    return ok;
}

// Converts v to the column's type; false when it cannot be.
bool convert(ColumnType type, const QVariant& v, QVariant& out) {
    const bool is_text = v.metaType().id() == QMetaType::QString;
    switch (type) {
        case ColumnType::Text:
            out = v.toString();
            return true;
        case ColumnType::Int32: {
            bool ok = false;
            qlonglong n = 0;
            if (is_text) {
                n = QLocale().toLongLong(v.toString().trimmed(), &ok);
                if (!ok)
                    n = QLocale::c().toLongLong(v.toString().trimmed(), &ok);
            } else if (v.metaType().id() == QMetaType::Double ||
                       v.metaType().id() == QMetaType::Float) {
                const double d = v.toDouble();
                ok = std::isfinite(d) && d == std::trunc(d);
                n = ok ? static_cast<qlonglong>(d) : 0;
            } else if (v.metaType().id() == QMetaType::Bool) {
                ok = false;
            } else {
                n = v.toLongLong(&ok);
            }
            if (!ok || n < std::numeric_limits<int32_t>::min() ||
                n > std::numeric_limits<int32_t>::max())
                return false;
            out = static_cast<int>(n);
            return true;
        }
        case ColumnType::Float64: {
            double d = 0;
            bool ok = false;
            if (is_text)
                ok = parse_double(v.toString(), d);
            else if (v.metaType().id() == QMetaType::Bool)
                ok = false;
            else
                d = v.toDouble(&ok);
            if (!ok)
                return false;
            out = d;
            return true;
        }
        case ColumnType::Boolean: {
            if (v.metaType().id() == QMetaType::Bool) {
                out = v.toBool();
                return true;
            }
            if (is_text) {
                const QString s = v.toString().trimmed().toLower();
                if (s == "true" || s == "false") {
                    out = s == "true";
                    return true;
                }
                return false;
            }
            bool ok = false;
            const qlonglong n = v.toLongLong(&ok);
            if (!ok)
                return false;
            out = n != 0;
            return true;
        }
    }
    return false;
}

const char* type_name(ColumnType type) {
    switch (type) {
        case ColumnType::Int32:
            return "a whole number";
        case ColumnType::Text:
            return "text";
        case ColumnType::Boolean:
            return "True or False";
        case ColumnType::Float64:
            return "a number";
    }
    return "";
}

}  // namespace

DataTable::DataTable(QString name, std::vector<DataColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), name_(std::move(name)), columns_(std::move(columns)) {
    setObjectName(name_);
}

int DataTable::columnIndex(const QString& column) const {
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].name == column)
            return static_cast<int>(i);
    return -1;
}

void DataTable::Clear() {
    if (rows_.empty())
        return;
    beginResetModel();
    rows_.clear();
    endResetModel();
}

bool DataTable::check(int row, int column, QVariant& v, QString* why) const {
    const DataColumn& c = columns_[static_cast<size_t>(column)];
    auto refuse = [&](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (is_empty(v)) {
        if (!c.allowNull)
            return refuse(QString("Column '%1' may not be empty.").arg(c.name));
        v = QVariant();
        return true;
    }
    QVariant converted;
    if (!convert(c.type, v, converted))
        return refuse(QString("Column '%1' takes %2; '%3' is not.")
                          .arg(c.name, type_name(c.type), v.toString()));
    if (c.unique) {
        for (size_t r = 0; r < rows_.size(); ++r)
            if (static_cast<int>(r) != row && rows_[r][column] == converted)
                return refuse(QString("Column '%1' must be unique; '%2' is already present.")
                                  .arg(c.name, converted.toString()));
    }
    v = converted;
    return true;
}

bool DataTable::AddRow(const QVariantList& values, QString* why) {
    QVariantList row;
    row.reserve(static_cast<qsizetype>(columns_.size()));
    for (size_t c = 0; c < columns_.size(); ++c) {
        QVariant v =
            c < static_cast<size_t>(values.size()) ? values[static_cast<qsizetype>(c)] : QVariant();
        if (!check(-1, static_cast<int>(c), v, why))
            return false;
        row.append(v);
    }
    const int at = static_cast<int>(rows_.size());
    beginInsertRows({}, at, at);
    rows_.push_back(std::move(row));
    endInsertRows();
    return true;
}

QVariant DataTable::value(int row, const QString& column) const {
    const int c = columnIndex(column);
    if (row < 0 || row >= rowCount() || c < 0)
        return {};
    return rows_[static_cast<size_t>(row)][c];
}

bool DataTable::setValue(int row, const QString& column, const QVariant& v, QString* why) {
    const int c = columnIndex(column);
    if (row < 0 || row >= rowCount()) {
        if (why)
            *why = QString("There is no row %1.").arg(row);
        return false;
    }
    if (c < 0) {
        if (why)
            *why = QString("There is no column '%1'.").arg(column);
        return false;
    }
    return apply(row, c, v, why);
}

bool DataTable::apply(int row, int column, const QVariant& v, QString* why) {
    QVariant checked = v;
    if (!check(row, column, checked, why))
        return false;
    QVariant& cell = rows_[static_cast<size_t>(row)][column];
    if (cell == checked)
        return true;
    cell = std::move(checked);
    const QModelIndex at = index(row, column);
    emit dataChanged(at, at, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

int DataTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DataTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant DataTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    return rows_[static_cast<size_t>(index.row())][index.column()];
}

bool DataTable::setData(const QModelIndex& index, const QVariant& v, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount() ||
        index.column() >= columnCount())
        return false;
    QString why;
    if (apply(index.row(), index.column(), typed_value(v), &why))
        return true;
    emit editRefused(why);
    return false;
}

Qt::ItemFlags DataTable::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
