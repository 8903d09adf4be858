// Renders the main window on the offscreen platform and saves it as a PNG:
//   tarnwell-screenshot OUT.png [SOURCE_DIR [VARIABLES_PAGE EVENTS_PAGE]]
// With SOURCE_DIR the window runs there (so Data/ is found) and loads the lists it finds in
// examples/: *var*.txt, *event*.txt, *phrase*.txt, *station*.txt and the folder sounds/.
// The page numbers (from 0) choose the pages shown in the two panes.
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <iostream>

#include "app/Form1.h"

namespace {

// Answers each dialog with the next prepared path; message boxes go to standard error.
class PreparedDialogs : public Dialogs {
public:
    std::deque<std::string> files, folders;

    DialogResult ShowDialog(OpenFileDialog& d) override { return next(files, d.FileName); }
    DialogResult ShowDialog(FolderBrowserDialog& d) override {
        return next(folders, d.SelectedPath);
    }
    void MessageBox(const std::string& text, const std::string& caption) override {
        std::cerr << caption << ": " << text << '\n';
    }

private:
    static DialogResult next(std::deque<std::string>& q, std::string& out) {
        if (q.empty())
            return DialogResult::Cancel;
        out = q.front();
        q.pop_front();
        return DialogResult::OK;
    }
};

// The first examples/*.txt whose name contains `part`, or an empty string.
std::string example(const std::string& part) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("examples", ec)) {
        const std::string name = e.path().filename().string();
        if (e.is_regular_file() && e.path().extension() == ".txt" &&
            name.find(part) != std::string::npos)
            return fs::absolute(e.path()).string();
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr
            << "usage: tarnwell-screenshot OUT.png [SOURCE_DIR [VARIABLES_PAGE EVENTS_PAGE]]\n";
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const QString out = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[1]));
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (argc > 2 && !QDir::setCurrent(QString::fromLocal8Bit(argv[2]))) {
        std::cerr << "cannot enter " << argv[2] << '\n';
        return 2;
    }

    Form1 window;
    auto prepared = std::make_unique<PreparedDialogs>();
    PreparedDialogs* dialogs = prepared.get();
    window.dialogs = std::move(prepared);
    window.show();
    QApplication::processEvents();

    if (argc > 2) {
        const std::pair<const char*, QPushButton*> lists[] = {{"var", window.button4},
                                                              {"event", window.button5},
                                                              {"phrase", window.button7},
                                                              {"station", window.button11}};
        for (const auto& [part, button] : lists) {
            const std::string file = example(part);
            if (file.empty())
                continue;
            dialogs->files.push_back(file);
            button->click();
        }
        if (std::filesystem::is_directory("examples/sounds")) {
            dialogs->folders.push_back(std::filesystem::absolute("examples/sounds").string());
            window.button9->click();
        }
        window.update_datagrid();
    }
    if (argc > 4) {
        window.tabControl1->setCurrentIndex(std::atoi(argv[3]));
        window.EventsTab->setCurrentIndex(std::atoi(argv[4]));
    }
    QApplication::processEvents();
    if (!window.grab().save(out)) {
        std::cerr << "cannot write " << out.toStdString() << '\n';
        return 1;
    }
    return 0;
}
