#include "ui/Dialogs.h"

#include "app/Console.h"

#include <filesystem>
#include <string>
#include <system_error>

std::string current_directory() {
    std::error_code ec;
    auto dir = std::filesystem::current_path(ec);
    return ec ? std::string() : dir.string();
}

void set_up_list_dialog(OpenFileDialog& dialog) {
    dialog.InitialDirectory = current_directory();
    dialog.Filter = "txt files (*.txt)|*.txt|All files (*.*)|*.*";
    dialog.FilterIndex = 2;
    dialog.RestoreDirectory = true;
}

void report_failure(Dialogs& dialogs, const std::string& text, const std::string& caption) {
    console::line(text);
    dialogs.MessageBox(text, caption);
}
