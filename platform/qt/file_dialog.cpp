#include "platform/qt/file_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>
#include <cstring>

bool AskOpenFileName(char* path, std::size_t capacity, std::span<const FileFilter> filters) {
    if (capacity == 0) return false;
    // Qt writes its patterns space-separated inside the description.
    QStringList nameFilters;
    for (const FileFilter& filter : filters) {
        const QString pattern = QString::fromUtf8(filter.Pattern).replace(';', ' ');
        nameFilters << QString::fromUtf8(filter.Description) + " (" + pattern + ")";
    }
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(nameFilters);
    if (*path) dialog.selectFile(QString::fromLocal8Bit(path));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;

    const QByteArray chosen = dialog.selectedFiles().first().toLocal8Bit();
    // A name that does not fit would open some other file.
    if (std::size_t(chosen.size()) >= capacity) return false;
    std::memcpy(path, chosen.constData(), std::size_t(chosen.size()) + 1);
    return true;
}
