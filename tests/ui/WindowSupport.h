#pragma once
// Helpers for tests that drive the real window on the offscreen platform: make and show it,
// bring a grid into view, click its cells and type into them as a user would.

#include <gtest/gtest.h>
#include <QApplication>
#include <QHeaderView>
#include <QTabWidget>
#include <QTest>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "ScriptedDialogs.h"
#include "app/Console.h"
#include "app/Form1.h"
#include "simlink/testing/SimTestHooks.h"
#include "ui/DataGridView.h"
#include "ui/DataTable.h"

// Readable failure messages for Qt values.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QColor& c, std::ostream* os) {
    *os << c.name().toStdString();
}
inline void PrintTo(const QVariant& v, std::ostream* os) {
    *os << (v.isValid() ? QString("%1(%2)").arg(v.typeName(), v.toString()).toStdString()
                        : std::string("<empty>"));
}

namespace window_test {

// Runs f on a thread of its own, as the panel, while the window thread keeps handling its
// events (the simulator's data messages and the texts other threads hand over).
template <typename F>
auto as_panel(F f) {
    using namespace std::chrono_literals;
    auto done = std::async(std::launch::async, f);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return done.wait_for(0s) == std::future_status::ready; }, 20000));
    return done.get();
}

// A shown window; `simulator` decides whether the session opens during construction.
struct ShownForm {
    std::unique_ptr<Form1> form;
    ScriptedDialogs* dialogs = nullptr;

    explicit ShownForm(bool simulator = true) {
        simlink::testing::reset();
        simlink::testing::refuse_open(!simulator);
        form = std::make_unique<Form1>();
        dialogs = ScriptedDialogs::install(*form);
        form->show();
        (void)QTest::qWaitForWindowExposed(form.get());
        form->activateWindow();
        (void)QTest::qWaitForWindowActive(form.get());
    }
    ~ShownForm() {
        form.reset();
        simlink::testing::refuse_open(false);
    }
    Form1* operator->() const { return form.get(); }
};

// One window shared by the tests of a suite (building a window takes a while: opening the
// first port waits for the panel). Each test starts with empty grids in the table's order and
// the first pages selected.
class SharedWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shown_ = std::make_unique<ShownForm>(); }
    static void TearDownTestSuite() { shown_.reset(); }
    void SetUp() override {
        Form1& f = form();
        for (DataGridView* grid : f.findChildren<DataGridView*>()) {
            grid->clearSort();
            grid->table()->Clear();
        }
        f.tabControl1->setCurrentIndex(0);
        f.EventsTab->setCurrentIndex(0);
        f.timer1->stop();
    }
    static Form1& form() { return *shown_->form; }

private:
    static inline std::unique_ptr<ShownForm> shown_;
};

// Selects the page that holds grid and waits until the cell is laid out inside the viewport.
inline bool bring_into_view(DataGridView* grid, int row, const QString& column) {
    QWidget* page = grid->parentWidget();
    for (QTabWidget* pane : grid->window()->findChildren<QTabWidget*>())
        if (pane->indexOf(page) >= 0)
            pane->setCurrentWidget(page);
    return QTest::qWaitFor(
        [&] {
            const QRect r = grid->cellRect(row, column);
            return grid->isVisible() && !r.isEmpty() &&
                   grid->viewport()->rect().contains(r.center());
        },
        5000);
}

// A left click in the middle of a cell, as the user makes it.
inline bool click_cell(DataGridView* grid, int row, const QString& column) {
    if (!bring_into_view(grid, row, column))
        return false;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->cellRect(row, column).center());
    return true;
}

// A left click on a column's header (sorts it when the column is sortable).
inline bool click_header(DataGridView* grid, const QString& column) {
    if (grid->rowCount() > 0 && !bring_into_view(grid, 0, column))
        return false;
    QHeaderView* h = grid->horizontalHeader();
    const int c = grid->columnIndex(column);
    QTest::mouseClick(
        h->viewport(), Qt::LeftButton, {},
        QPoint(h->sectionViewportPosition(c) + h->sectionSize(c) / 2, h->height() / 2));
    return true;
}

// The row as shown whose Id cell holds id, or -1.
inline int row_of(const DataGridView& grid, const QString& idColumn, int id) {
    for (int r = 0; r < grid.rowCount(); ++r)
        if (grid.cell(r, idColumn) == QVariant(id))
            return r;
    return -1;
}

// Types text at the focused widget (the grid, then the editor a keystroke opened); with
// `commit` it ends with Return.
inline void type_text(QWidget* start, const QString& text, bool commit = true) {
    auto focused = [start] {
        return QApplication::focusWidget() ? QApplication::focusWidget() : start;
    };
    for (QChar c : text)
        QTest::keyClick(focused(), c.toLatin1());
    if (commit)
        QTest::keyClick(focused(), Qt::Key_Return);
}

// Every console line written while it lives.
class ConsoleLines {
public:
    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> g(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;  // guards lines_: lines come from any thread
    std::vector<std::string> lines_;
    console::Capture capture_{[this](std::string_view s) {
        std::lock_guard<std::mutex> g(mutex_);
        lines_.emplace_back(s);
    }};
};

}  // namespace window_test
