// The grids' in-memory tables keep their constraints, and the open-file filter reaches Qt intact.
#include <gtest/gtest.h>
#include <QSignalSpy>

#include "ui/DataTable.h"
#include "ui/QtDialogs.h"

namespace {

DataTable settable() {
    return DataTable("t", {{"Column1", ColumnType::Int32, false, true},
                           {"Column2", ColumnType::Text, false},
                           {"Column3", ColumnType::Float64, false},
                           {"Active", ColumnType::Boolean, false},
                           {"Fire", ColumnType::Float64}});
}

struct AddCase {
    QVariantList row;
    bool accepted;
};

TEST(DataTable, AddRowKeepsTheConstraints) {
    const AddCase cases[] = {
        {{0, "A", 0.0, false, 0.0}, true},
        {{1, "B", "2.5", "true", QVariant()}, true},  // text converts, the last may be empty
        {{2, "C", 1, 1}, true},                       // missing trailing value is empty
        {{0, "D", 0.0, false}, false},                // duplicate key
        {{QVariant(), "E", 0.0, false}, false},       // empty key
        {{3, QVariant(), 0.0, false}, false},         // no name
        {{3, "F", QVariant(), false}, false},         // empty non-null float
        {{3, "F", "abc", false}, false},              // not a number
        {{3, "F", 0.0, "maybe"}, false},              // not a boolean
        {{"x", "F", 0.0, false}, false},              // key not a number
        {{1.5, "F", 0.0, false}, false},              // key not whole
        {{4294967296LL, "F", 0.0, false}, false},     // key beyond 32 bits
        {{9, "", 0.0, false}, true},                  // an empty name is a value
    };
    DataTable t = settable();
    int rows = 0;
    for (const AddCase& c : cases) {
        SCOPED_TRACE(QVariant(c.row).toStringList().join(",").toStdString());
        QString why;
        EXPECT_EQ(t.AddRow(c.row, &why), c.accepted);
        EXPECT_EQ(why.isEmpty(), c.accepted);
        if (c.accepted)
            ++rows;
        EXPECT_EQ(t.rowCount(), rows);
    }
    EXPECT_EQ(t.value(1, "Column3"), QVariant(2.5));
    EXPECT_EQ(t.value(1, "Active"), QVariant(true));
    EXPECT_FALSE(t.value(1, "Fire").isValid());
    EXPECT_FALSE(t.value(2, "Fire").isValid());
}

TEST(DataTable, EditsThroughTheModelAreRefusedWithAReasonAndLeaveTheCell) {
    DataTable t = settable();
    ASSERT_TRUE(t.AddRow({0, "A", 1.5, false}));
    ASSERT_TRUE(t.AddRow({1, "B", 0.0, false}));
    QSignalSpy refused(&t, &DataTable::editRefused);
    QSignalSpy changed(&t, &QAbstractItemModel::dataChanged);
    const std::tuple<int, QVariant, QVariant, bool> cases[] = {
        {2, QVariant("abc"), QVariant(1.5), false}, {2, QVariant(" "), QVariant(1.5), false},
        {0, QVariant(1), QVariant(0), false},  // the other row's key
        {0, QVariant(0), QVariant(0), true},   // its own key again
        {2, QVariant("-3"), QVariant(-3.0), true},
    };
    int refusals = 0;
    for (const auto& [column, typed, after, ok] : cases) {
        const QModelIndex at = t.index(0, column);
        EXPECT_EQ(t.setData(at, typed), ok) << typed.toString().toStdString();
        EXPECT_EQ(t.data(at, Qt::EditRole), after);
        if (!ok)
            ++refusals;
        EXPECT_EQ(refused.count(), refusals);
    }
    EXPECT_EQ(changed.count(), 1) << "only the real change is announced";
    // setValue refuses the same way but quietly: it is the code's own write.
    QString why;
    EXPECT_FALSE(t.setValue(0, "Column2", QVariant(), &why));
    EXPECT_FALSE(why.isEmpty());
    // A cleared name typed by the user holds no value; an empty text from a loader is a value
    // (a blank phrase is listed like any other).
    EXPECT_FALSE(t.setData(t.index(0, 1), QVariant("")));
    ++refusals;
    EXPECT_TRUE(t.AddRow({7, "", 0.0, false}));
    EXPECT_EQ(t.value(2, "Column2"), QVariant(""));
    EXPECT_FALSE(t.setValue(0, "NoSuchColumn", 1));
    EXPECT_FALSE(t.setValue(5, "Column2", "x"));
    EXPECT_EQ(refused.count(), refusals);
}

TEST(QtDialogs, FiltersBecomeQtNameFilters) {
    const std::pair<const char*, QStringList> cases[] = {
        {"txt files (*.txt)|*.txt|All files (*.*)|*.*", {"txt files (*.txt)", "All files (*)"}},
        {"Lists|*.txt;*.lst", {"Lists (*.txt *.lst)"}},
        {"", {}},
    };
    for (const auto& [filter, expected] : cases)
        EXPECT_EQ(name_filters(filter), expected) << filter;
}

}  // namespace
