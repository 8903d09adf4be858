// The real message box, shown modally under the offscreen platform and read back before it is
// closed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "ui/QtDialogs.h"

namespace {

// Shows a message box through the program's dialogs and returns the text it displayed.
std::string shown(const std::string& text) {
    std::string seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = box->text().toStdString();
        box->accept();
    });
    QtDialogs dialogs(nullptr);
    dialogs.MessageBox(text, "Error in SimVar file");
    return seen;
}

TEST(MessageBox, ShowsAShortTextWholeAndCutsALongOneAtACharacter) {
    EXPECT_EQ(shown("Wrong SimVar: Line ?3"), "Wrong SimVar: Line ?3");
    const std::string exact(kMessageBoxBytes, 'x');
    EXPECT_EQ(shown(exact), exact);

    // A megabyte name from a wrong file: the box shows its start and how much it left out.
    const std::string head = "Too few items in a line: 0 ";
    const std::string line = head + std::string(1 << 20, 'X');
    EXPECT_EQ(shown(line), head + std::string(kMessageBoxBytes - head.size(), 'X') + "\u2026 (" +
                               std::to_string(line.size() - kMessageBoxBytes) + " more bytes)");

    // A two-byte character across the cut is left out whole, not split.
    const std::string accented = std::string(kMessageBoxBytes - 1, 'a') + "\u00e9" + "tail";
    EXPECT_EQ(message_box_text(accented),
              std::string(kMessageBoxBytes - 1, 'a') + "\u2026 (6 more bytes)");
}

}  // namespace
