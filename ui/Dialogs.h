#pragma once
// The one seam for the window's dialogs and message boxes: the real Qt dialogs in the program,
// a scripted double in the tests (tests/ui/ScriptedDialogs.h).

#include <cstddef>
#include <string>

enum class DialogResult { OK, Cancel };

struct OpenFileDialog {
    std::string InitialDirectory;
    std::string Filter;   // "txt files (*.txt)|*.txt|All files (*.*)|*.*"
    int FilterIndex = 1;  // 1-based, as the filter entries are counted
    bool RestoreDirectory = false;
    std::string FileName;  // the chosen file after OK
};

struct FolderBrowserDialog {
    std::string SelectedPath;  // preselected before showing, the chosen folder after OK
};

// The process's current directory, or an empty text when it cannot be read.
std::string current_directory();

// The open-file dialog of every list file: it starts in the current directory with all files
// shown, and leaves the current directory as it was, since the Data files are found through it.
void set_up_list_dialog(OpenFileDialog& dialog);

// What a message box shows of a text. A line of a wrong file can be a megabyte long, and laying
// that out freezes the window for seconds, so a long text is cut after kMessageBoxBytes bytes
// (never inside a character) and says how much was left out. The console keeps it whole.
constexpr size_t kMessageBoxBytes = 500;
std::string message_box_text(const std::string& text);

class Dialogs;

// A list that could not be read: one message box for the user, one console line naming it.
void report_failure(Dialogs& dialogs, const std::string& text, const std::string& caption);

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual DialogResult ShowDialog(OpenFileDialog& dialog) = 0;
    virtual DialogResult ShowDialog(FolderBrowserDialog& dialog) = 0;
    // Modal, one OK button; returns when the user has pressed it.
    virtual void MessageBox(const std::string& text, const std::string& caption) = 0;
};
