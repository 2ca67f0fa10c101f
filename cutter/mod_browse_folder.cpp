#include "cutter/mod_browse_folder.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

QString BrowseForFolder(QWidget* owner, const QString& prompt, const QString& startFolder) {
    const QString folder = QFileDialog::getExistingDirectory(owner, prompt, startFolder);
    return folder.isEmpty() ? QString() : QDir::toNativeSeparators(folder);
}

QString chooserStartFolder(const QString& outputFolder) {
    const QFileInfo folder(outputFolder);
    return !outputFolder.isEmpty() && folder.isAbsolute() && folder.isDir()
               ? folder.absoluteFilePath()
               : QDir::homePath();
}
