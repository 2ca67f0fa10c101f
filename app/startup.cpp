#include "app/startup.h"

#include "app/message_box.h"
#include "audio/converted_files.h"
#include "base/working_folder.h"
#include "cutter/coder_run.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryFile>

std::optional<StartupFailure> checkLibraryVersions(DWORD bassVersion, DWORD fxVersion) {
    if (HiWord(bassVersion) != 0x0204)
        return StartupFailure{
            QStringLiteral("An incorrect version of BASS.DLL was loaded (2.4 is required)"),
            MsgCritical, QStringLiteral("Quillet")};
    if (HiWord(fxVersion) != 0x0204)
        return StartupFailure{
            QStringLiteral("An incorrect version of BASS_FX.DLL was loaded (2.4 is required)"),
            MsgCritical, QStringLiteral("Quillet")};
    return std::nullopt;
}

std::optional<StartupFailure> claimProgramFolder(const QString& folder,
                                                 std::unique_ptr<QLockFile>& lock) {
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".quillet-write-test-XXXXXX")));
    if (!probe.open())
        return StartupFailure{QStringLiteral("Quillet can't write to its program folder %1.\n"
                                             "It keeps the working copy of the opened audio there; "
                                             "please install it in a folder you can write to.")
                                  .arg(QDir::toNativeSeparators(folder)),
                              MsgCritical, QStringLiteral("Quillet")};
    probe.close();
    lock = std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("quillet.lock")));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        lock.reset();
        return StartupFailure{QStringLiteral("Quillet is already running."), MsgExclamation,
                              QStringLiteral("Quillet")};
    }
    return std::nullopt;
}

StartupFailure noWorkingFolder(const QString& programFolder, const QString& dataFolder) {
    return StartupFailure{
        QStringLiteral("Quillet can't write to its program folder %1 nor to your data folder %2.\n"
                       "It keeps the working copy of the opened audio in one of them; "
                       "please make one of them writable.")
            .arg(QDir::toNativeSeparators(programFolder), QDir::toNativeSeparators(dataFolder)),
        MsgCritical, QStringLiteral("Quillet")};
}

StartupFailure deviceFailure() {
    return StartupFailure{QStringLiteral("Can't initialize device"), MsgExclamation,
                          QStringLiteral("Error")};
}

void removeLeftovers(const QString& folder) {
    const QDir dir(folder);
    QFile::remove(dir.filePath(QStringLiteral("coder.exe")));
    QFile::remove(sourceLinkIn(folder)); // a link to a non-UTF-8 name
    for (const QString& wav : {tempWavIn(folder), incomingWavIn(folder)}) {
        removeConverted(wav);
        removeConverted(convertedAside(wav)); // set aside by a replace cut short
        removePartFiles(wav);
        for (const QString& companion : convertedCompanions(wav))
            removePartFiles(companion);
    }
}
