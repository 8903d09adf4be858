#include "ui/QtDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

QStringList name_filters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        // Drop a pattern list the description carries itself; Qt reads the patterns from it.
        description.remove(QRegularExpression(R"(\s*\([^()]*\)\s*$)"));
        QStringList patterns;
        for (QString p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            p = p.trimmed();
            patterns << (p == "*.*" ? QStringLiteral("*") : p);  // "*.*" means every file
        }
        out << QString("%1 (%2)").arg(description, patterns.join(' '));
    }
    return out;
}

DialogResult QtDialogs::ShowDialog(OpenFileDialog& dialog) {
    QFileDialog box(parent_);
    box.setFileMode(QFileDialog::ExistingFile);
    box.setAcceptMode(QFileDialog::AcceptOpen);
    if (!dialog.InitialDirectory.empty())
        box.setDirectory(QString::fromStdString(dialog.InitialDirectory));
    const QStringList filters = name_filters(dialog.Filter);
    if (!filters.isEmpty()) {
        box.setNameFilters(filters);
        const int at = dialog.FilterIndex - 1;
        box.selectNameFilter(filters[at >= 0 && at < filters.size() ? at : 0]);
    }
    if (!dialog.FileName.empty())
        box.selectFile(QString::fromStdString(dialog.FileName));
    // The process's current directory is never changed by the dialog, so RestoreDirectory
    // holds without further work.
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return DialogResult::Cancel;
    dialog.FileName = box.selectedFiles().first().toStdString();
    return DialogResult::OK;
}

DialogResult QtDialogs::ShowDialog(FolderBrowserDialog& dialog) {
    const QString chosen =
        QFileDialog::getExistingDirectory(parent_, {}, QString::fromStdString(dialog.SelectedPath));
    if (chosen.isEmpty())
        return DialogResult::Cancel;
    dialog.SelectedPath = chosen.toStdString();
    return DialogResult::OK;
}

void QtDialogs::MessageBox(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                    QString::fromStdString(message_box_text(text)), QMessageBox::Ok, parent_);
    box.exec();
}
