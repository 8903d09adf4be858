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

std::string message_box_text(const std::string& text) {
    if (text.size() <= kMessageBoxBytes)
        return text;
    size_t cut = kMessageBoxBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;  // back to the start of a character
    return text.substr(0, cut) + "\u2026 (" + std::to_string(text.size() - cut) + " more bytes)";
}
