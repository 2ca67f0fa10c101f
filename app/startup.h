// The checks that run before the main window shows, each of which ends the program at once when
// it fails.
#pragma once

#include "audio/mod_bass.h"

#include <QString>

#include <optional>

class QLockFile;

struct StartupFailure {
    QString text;
    int style;
    QString title;
};

inline DWORD HiWord(DWORD value) {
    return value / 65536;
}

// The version test of both audio libraries, BASS first.
std::optional<StartupFailure> checkLibraryVersions(DWORD bassVersion, DWORD fxVersion);
// The working folder must be writable (temp.wav lives there) and not in use by another instance.
// On success the returned lock is held for the life of the program.
std::optional<StartupFailure> claimProgramFolder(const QString& folder,
                                                 std::unique_ptr<QLockFile>& lock);
// Neither the program folder nor the user's data folder can hold the working files.
StartupFailure noWorkingFolder(const QString& programFolder, const QString& dataFolder);
StartupFailure deviceFailure();
// Removes what an earlier run that ended abruptly left in the working folder: temp.wav and the
// load's new temporary with their companions, coder.exe and the transcoder's temporaries. Only once
// the lock is held, which proves that no other instance uses them.
void removeLeftovers(const QString& folder);
