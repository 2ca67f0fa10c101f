// The working folder: where temp.wav, coder.exe and the instance lock are written. A program
// folder the user can write (a build, a portable copy) is used itself; an installed, read-only
// one sends those files to the user's data folder for the application.
#pragma once

#include <QString>
#include <QStringList>

// True when a file can be created in folder (it is tried, not guessed from permission bits).
bool folderWritable(const QString& folder);

// programFolder when it is writable, else dataFolder, created when missing, when that is
// writable; empty when neither is. Native separators, no trailing one.
QString chooseWorkingFolder(const QString& programFolder, const QString& dataFolder);

// The user's data folder for the application (QStandardPaths::AppLocalDataLocation).
QString userDataFolder();

// The working folder of this run, decided once from the program folder and userDataFolder();
// empty when neither is writable.
QString workingFolder();

// temp.wav in folder, and in the working folder: the one place its name meets a path.
QString tempWavIn(const QString& folder);
QString tempWavPath();
// Where a load converts its file, beside temp.wav, which it replaces only once the new file has
// converted and scanned.
QString incomingWavIn(const QString& folder);
QString incomingWavPath();
// The link through which the transcoder reaches a file whose name is not UTF-8, for one run.
QString sourceLinkIn(const QString& folder);
