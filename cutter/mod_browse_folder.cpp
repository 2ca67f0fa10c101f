#include "cutter/mod_browse_folder.h"

#include <QDir>
#include <QFileDialog>

QString BrowseForFolder(QWidget* owner, const QString& prompt) {
    const QString folder = QFileDialog::getExistingDirectory(owner, prompt);
    return folder.isEmpty() ? QString() : QDir::toNativeSeparators(folder);
}
