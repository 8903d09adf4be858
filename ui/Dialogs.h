#pragma once
// The one seam for the window's dialogs and message boxes: the real Qt dialogs in the program,
// a scripted double in the tests (tests/ui/ScriptedDialogs.h).

#include <string>

enum class DialogResult { OK, Cancel };

struct OpenFileDialog {
    std::string InitialDirectory;
    std::string Filter;  // "txt files (*.txt)|*.txt|All files (*.*)|*.*"
    int FilterIndex = 1; // 1-based, as the filter entries are counted
    bool RestoreDirectory = false;
    std::string FileName;  // the chosen file after OK
};

struct FolderBrowserDialog {
    std::string SelectedPath;  // preselected before showing, the chosen folder after OK
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual DialogResult ShowDialog(OpenFileDialog& dialog) = 0;
    virtual DialogResult ShowDialog(FolderBrowserDialog& dialog) = 0;
    // Modal, one OK button; returns when the user has pressed it.
    virtual void MessageBox(const std::string& text, const std::string& caption) = 0;
};
