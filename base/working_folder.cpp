#include "base/working_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

bool folderWritable(const QString& folder) {
    if (folder.isEmpty())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".quillet-write-test-XXXXXX")));
    return probe.open();
}

QString chooseWorkingFolder(const QString& programFolder, const QString& dataFolder) {
    if (folderWritable(programFolder))
        return QDir::toNativeSeparators(QDir::cleanPath(programFolder));
    if (!dataFolder.isEmpty() && QDir().mkpath(dataFolder) && folderWritable(dataFolder))
        return QDir::toNativeSeparators(QDir::cleanPath(dataFolder));
    return {};
}

QString userDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

QString workingFolder() {
    static const QString folder =
        chooseWorkingFolder(QCoreApplication::applicationDirPath(), userDataFolder());
    return folder;
}

QString tempWavIn(const QString& folder) {
    return folder + QDir::separator() + QStringLiteral("temp.wav");
}

QString tempWavPath() {
    return tempWavIn(workingFolder());
}

QString incomingWavIn(const QString& folder) {
    return folder + QDir::separator() + QStringLiteral("temp-new.wav");
}

QString sourceLinkIn(const QString& folder) {
    return folder + QDir::separator() + QStringLiteral("temp-source");
}

QString incomingWavPath() {
    return incomingWavIn(workingFolder());
}
