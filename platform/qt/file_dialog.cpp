#include "platform/qt/file_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>
#include <cstring>

bool AskFileName(char* path, std::size_t capacity, std::span<const FileFilter> filters, const FileQuestion& question) {
    if (capacity == 0) return false;
    // Qt reads the patterns from the parentheses at the end of the
    // description, separated by spaces.
    QStringList nameFilters;
    for (const FileFilter& filter : filters) {
        QString description = QString::fromUtf8(filter.Description);
        if (description.endsWith(')') && description.contains('(')) description.truncate(description.lastIndexOf('('));
        const QString pattern = QString::fromUtf8(filter.Pattern).replace(';', ' ');
        nameFilters << description.trimmed() + " (" + pattern + ")";
    }
    QWidget* owner = QApplication::activeWindow();
    QFileDialog dialog(owner);
    if (question.Title) dialog.setWindowTitle(QString::fromUtf8(question.Title));
    // A save dialog asks before it replaces a file (Qt's default); an open
    // dialog refuses a typed name that leads to no file and stays open.
    dialog.setAcceptMode(question.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(question.Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (question.DefaultSuffix) dialog.setDefaultSuffix(QString::fromUtf8(question.DefaultSuffix));
    dialog.setNameFilters(nameFilters);
    if (*path) dialog.selectFile(QString::fromLocal8Bit(path));
    const bool confirmed = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    // Without a window manager nobody hands the focus back to the owner.
    if (owner) owner->activateWindow();
    if (!confirmed) return false;

    const QByteArray chosen = dialog.selectedFiles().first().toLocal8Bit();
    // A name that does not fit would open some other file.
    if (std::size_t(chosen.size()) >= capacity) return false;
    std::memcpy(path, chosen.constData(), std::size_t(chosen.size()) + 1);
    return true;
}
