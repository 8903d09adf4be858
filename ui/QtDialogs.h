#pragma once
// The program's dialogs and message boxes, made with Qt's own.

#include <QStringList>

#include "ui/Dialogs.h"

class QWidget;

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}

    DialogResult ShowDialog(OpenFileDialog& dialog) override;
    DialogResult ShowDialog(FolderBrowserDialog& dialog) override;
    void MessageBox(const std::string& text, const std::string& caption) override;

private:
    QWidget* parent_;
};

// "txt files (*.txt)|*.txt|All files (*.*)|*.*" as Qt name filters, in the same order:
// "txt files (*.txt)", "All files (*)". The patterns after each bar are the ones that count.
QStringList name_filters(const std::string& filter);
