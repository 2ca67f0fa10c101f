// Turns any input file into a WAV file by a run of the shipped transcoder: codec.dll is copied from
// the program folder to coder.exe in the working folder, run on the input, and removed again.
#pragma once

#include "cutter/mod_shell32.h"

#include <QString>

#include <cstdint>

// The program's folder: where codec.dll (and styles/) are read from.
QString programFolder();
// coder.exe in the working folder, where a copy of codec.dll is run from.
QString coderPath();

// Copies codec.dll to coder.exe, replacing one that is there, and keeps it executable. Throws
// std::runtime_error with a readable description when that fails.
void provideCoder();
// Removes coder.exe when it exists; throws when it cannot.
void removeCoder();
// The transcoder's temporaries beside outputPath, by its own naming rule (full paths).
QStringList partFiles(const QString& outputPath);
// Removes the temporaries beside outputPath that are not among before (partFiles() taken before
// the run): what a run that did not succeed left behind, whatever ended it. A run that is
// killed or crashes gets no chance to remove its temporary itself.
void removePartFiles(const QString& outputPath, const QStringList& before = {});
// The program folder path followed by the separator and the name, as a command line quotes it.
QString programFolderFile(const QString& name);

// Runs the transcoder on inputPath and writes outputPath as 16-bit PCM WAV. Returns the
// transcoder's exit code (0 on success) and puts its last line of standard error into errorLine;
// a run that did not succeed leaves no temporary behind.
// Throws std::runtime_error before anything runs when a path cannot be passed on or codec.dll
// is missing, and when coder.exe cannot be removed afterwards.
std::int32_t ConvertToWav(QString inputPath, QString outputPath, QString* errorLine = nullptr,
                          const ShellProgress& onProgress = {});
