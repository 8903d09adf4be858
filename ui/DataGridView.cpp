#include "ui/DataGridView.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTimer>
#include <algorithm>

#include "ui/DataTable.h"

namespace {

// The grid's own columns over the table's: each grid column shows the table column its data
// property names, or nothing. Rows are the table's rows, in the table's order.
class GridModel : public QAbstractTableModel {
public:
    GridModel(DataTable* table, const std::vector<GridColumn>& columns, bool editable,
              QObject* parent)
        : QAbstractTableModel(parent), table_(table), columns_(columns), editable_(editable) {
        for (const GridColumn& c : columns_)
            source_.push_back(table->columnIndex(c.dataProperty));
        // A table gone first leaves an empty grid (the pointer is already null by then).
        connect(table, &QObject::destroyed, this, [this] {
            beginResetModel();
            endResetModel();
        });
        connect(table_, &QAbstractItemModel::modelAboutToBeReset, this,
                [this] { beginResetModel(); });
        connect(table_, &QAbstractItemModel::modelReset, this, [this] { endResetModel(); });
        connect(
            table_, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) { beginInsertRows({}, first, last); });
        connect(table_, &QAbstractItemModel::rowsInserted, this, [this] { endInsertRows(); });
        connect(
            table_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { beginRemoveRows({}, first, last); });
        connect(table_, &QAbstractItemModel::rowsRemoved, this, [this] { endRemoveRows(); });
        connect(table_, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& tl, const QModelIndex& br, const QList<int>& roles) {
                    for (size_t c = 0; c < source_.size(); ++c)
                        if (source_[c] >= tl.column() && source_[c] <= br.column())
                            emit dataChanged(index(tl.row(), static_cast<int>(c)),
                                             index(br.row(), static_cast<int>(c)), roles);
                });
    }

    int sourceColumn(int column) const {
        return column >= 0 && column < static_cast<int>(source_.size())
                   ? source_[static_cast<size_t>(column)]
                   : -1;
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || !table_ ? 0 : table_->rowCount();
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(columns_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const int c = sourceColumn(index.column());
        if (c < 0 || !table_ || (role != Qt::DisplayRole && role != Qt::EditRole))
            return {};
        return table_->data(table_->index(index.row(), c), role);
    }
    bool setData(const QModelIndex& index, const QVariant& v, int role) override {
        const int c = sourceColumn(index.column());
        if (c < 0 || !table_)
            return false;
        return table_->setData(table_->index(index.row(), c), v, role);
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (o != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= columnCount())
            return QAbstractTableModel::headerData(section, o, role);
        return columns_[static_cast<size_t>(section)].header;
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid())
            return Qt::NoItemFlags;
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (editable_ && sourceColumn(index.column()) >= 0 &&
            columns_[static_cast<size_t>(index.column())].kind == GridColumnKind::Text)
            f |= Qt::ItemIsEditable;
        return f;
    }

private:
    // The table may go before the grid when the window is taken down.
    QPointer<DataTable> table_;
    // Copies: the model and the delegate are QObject children of the grid and outlive its
    // members while it is destroyed.
    const std::vector<GridColumn> columns_;
    std::vector<int> source_;
    bool editable_;
};

QString cell_text(const QVariant& v) {
    if (v.metaType().id() == QMetaType::Double)
        return QLocale().toString(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    return v.toString();
}

// Paints check-box and button cells as such; text cells are edited in a plain line editor, so
// that what the user types reaches the table as typed and the table decides whether it fits.
class GridDelegate : public QStyledItemDelegate {
public:
    GridDelegate(const std::vector<GridColumn>& columns, QObject* parent)
        : QStyledItemDelegate(parent), columns_(columns) {}

    QString displayText(const QVariant& v, const QLocale&) const override { return cell_text(v); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const GridColumnKind kind = kindOf(index);
        if (kind == GridColumnKind::Text) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        item.text.clear();
        const QWidget* w = option.widget;
        QStyle* style = w ? w->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &item, painter, w);

        QStyleOptionButton button;
        button.state = QStyle::State_Enabled;
        if (kind == GridColumnKind::CheckBox) {
            const int iw = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w);
            const int ih = style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, w);
            button.rect =
                QRect(option.rect.center().x() - iw / 2, option.rect.center().y() - ih / 2, iw, ih);
            button.state |=
                index.data(Qt::EditRole).toBool() ? QStyle::State_On : QStyle::State_Off;
            style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &button, painter, w);
        } else {
            button.rect = option.rect.adjusted(1, 1, -1, -1);
            button.state |= QStyle::State_Raised;
            style->drawControl(QStyle::CE_PushButton, &button, painter, w);
        }
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        if (kindOf(index) != GridColumnKind::Text)
            return nullptr;
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        return editor;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        static_cast<QLineEdit*>(editor)->setText(cell_text(index.data(Qt::EditRole)));
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        model->setData(index, static_cast<QLineEdit*>(editor)->text(), Qt::EditRole);
    }

private:
    GridColumnKind kindOf(const QModelIndex& index) const {
        const int c = index.column();
        return c >= 0 && c < static_cast<int>(columns_.size())
                   ? columns_[static_cast<size_t>(c)].kind
                   : GridColumnKind::Text;
    }

    const std::vector<GridColumn> columns_;
};

}  // namespace

DataGridView::DataGridView(QString name, std::vector<GridColumn> columns, DataTable* table,
                           bool editable, QWidget* parent)
    : QTableView(parent), name_(std::move(name)), columns_(std::move(columns)), table_(table) {
    setObjectName(name_);
    auto* model = new GridModel(table_, columns_, editable, this);
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model);
    proxy_->setSortRole(Qt::EditRole);
    proxy_->setDynamicSortFilter(true);
    setModel(proxy_);
    setItemDelegate(new GridDelegate(columns_, this));

    setEditTriggers(editable ? QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed
                             : QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 9);

    QHeaderView* header = horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setMinimumSectionSize(20);
    for (int i = 0; i < columnCountShown(); ++i) {
        const GridColumn& c = columns_[static_cast<size_t>(i)];
        switch (c.width) {
            case GridColumnWidth::Fixed:
                header->setSectionResizeMode(
                    i, c.resizable ? QHeaderView::Interactive : QHeaderView::Fixed);
                header->resizeSection(i, c.pixels);
                break;
            case GridColumnWidth::FitHeader:
                // Measured once: the check box is narrower than the header text, and sizing to
                // the contents would lay out every cell again on each refresh.
                header->setSectionResizeMode(i, QHeaderView::Fixed);
                header->resizeSection(i, header->sectionSizeHint(i));
                break;
            case GridColumnWidth::Fill:
                header->setSectionResizeMode(i, QHeaderView::Stretch);
                break;
        }
    }
    // The header row is as tall as its text needs.
    header->setMinimumHeight(header->fontMetrics().height() + 8);

    connect(header, &QHeaderView::sectionClicked, this, &DataGridView::onHeaderClicked);
    // A press and release on one cell, also when the press ended an edit elsewhere, so that
    // typing a Parameter and clicking Fire at once stores the value and fires with it.
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        emit CellContentClick(index.column(), index.row());
    });
    // The note that says why an edit was refused: tooltip colours, over the cells.
    refusalNote_ = new QLabel(viewport());
    refusalNote_->setObjectName(name_ + "Refusal");
    refusalNote_->setAutoFillBackground(true);
    refusalNote_->setFrameStyle(QFrame::Box | QFrame::Plain);
    refusalNote_->setMargin(2);
    QPalette tip = refusalNote_->palette();
    tip.setColor(QPalette::Window, tip.color(QPalette::ToolTipBase));
    tip.setColor(QPalette::WindowText, tip.color(QPalette::ToolTipText));
    refusalNote_->setPalette(tip);
    refusalNote_->hide();
    refusalTimer_ = new QTimer(this);
    refusalTimer_->setSingleShot(true);
    refusalTimer_->setInterval(5000);
    connect(refusalTimer_, &QTimer::timeout, refusalNote_, &QWidget::hide);
    connect(this, &QAbstractItemView::pressed, refusalNote_, &QWidget::hide);
    connect(table_, &DataTable::editRefused, this, &DataGridView::showRefusal);
}

void DataGridView::onHeaderClicked(int column) {
    if (column >= 0 && column < columnCountShown() &&
        columns_[static_cast<size_t>(column)].sortable) {
        sortOrder_ = column == sortColumn_ && sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                               : Qt::AscendingOrder;
        sortColumn_ = column;
        proxy_->sort(column, sortOrder_);
        horizontalHeader()->setSortIndicatorShown(true);
        horizontalHeader()->setSortIndicator(column, sortOrder_);
    }
    emit CellContentClick(column, -1);
}

void DataGridView::clearSort() {
    sortColumn_ = -1;
    sortOrder_ = Qt::AscendingOrder;
    proxy_->sort(-1);
    horizontalHeader()->setSortIndicatorShown(false);
}

void DataGridView::showRefusal(const QString& why) {
    lastRefusal_ = why;
    refusalNote_->setText(why);
    refusalNote_->adjustSize();
    // Under the cell, kept inside the viewport.
    const QRect cell = visualRect(currentIndex());
    const QRect area = viewport()->rect();
    QPoint at = cell.isValid() ? cell.bottomLeft() + QPoint(0, 2) : QPoint(0, 0);
    at.setX(std::max(0, std::min(at.x(), area.width() - refusalNote_->width())));
    if (at.y() + refusalNote_->height() > area.height())
        at.setY(std::max(0, cell.top() - refusalNote_->height() - 2));
    refusalNote_->move(at);
    refusalNote_->show();
    refusalNote_->raise();
    refusalTimer_->start();
}

QString DataGridView::shownRefusal() const {
    return refusalNote_->isVisible() ? refusalNote_->text() : QString();
}

int DataGridView::columnIndex(const QString& columnName) const {
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].name == columnName)
            return static_cast<int>(i);
    return -1;
}

int DataGridView::rowCount() const {
    return proxy_->rowCount();
}

int DataGridView::tableRow(int row) const {
    if (row < 0 || row >= rowCount())
        return -1;
    return proxy_->mapToSource(proxy_->index(row, 0)).row();
}

QVariant DataGridView::cell(int row, const QString& columnName) const {
    const int c = columnIndex(columnName);
    if (c < 0 || row < 0 || row >= rowCount())
        return {};
    return proxy_->index(row, c).data(Qt::EditRole);
}

bool DataGridView::setCell(int row, const QString& columnName, const QVariant& v) {
    const int c = columnIndex(columnName);
    const int r = tableRow(row);
    if (c < 0 || r < 0)
        return false;
    const QString& property = columns_[static_cast<size_t>(c)].dataProperty;
    if (table_->columnIndex(property) < 0)
        return false;
    return table_->setValue(r, property, v);
}

QRect DataGridView::cellRect(int row, const QString& columnName) const {
    const int c = columnIndex(columnName);
    if (c < 0 || row < 0 || row >= rowCount())
        return {};
    return visualRect(proxy_->index(row, c));
}
