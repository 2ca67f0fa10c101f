// One run of the shipped transcoder, from start to end: codec.dll is copied from the program
// folder to coder.exe in the working folder, run on a command line, and removed again; whatever
// ended the run without success (a failure, a stop, a crash, a kill), the temporaries it left
// beside the files it writes are removed. Loads and saves both run it this way.
#pragma once

#include "cutter/mod_shell32.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// The program's folder: where codec.dll (and styles/) are read from.
QString programFolder();
// The program folder path followed by the separator and the name, as a command line quotes it.
QString programFolderFile(const QString& name);
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
// the run): what a run that did not succeed left behind. A run that is killed or crashes gets no
// chance to remove its temporary itself.
void removePartFiles(const QString& outputPath, const QStringList& before = {});

// Runs commandLine (which names coderPath()) through ShellAndWait and returns its exit code;
// writtenPaths are the files the run writes, whose temporaries go when it does not succeed.
// Throws std::runtime_error when coder.exe cannot be provided (nothing runs then) or removed.
std::int32_t runCoder(const QString& commandLine, const QStringList& writtenPaths,
                      QString* errorLine = nullptr, const ShellProgress& onProgress = {},
                      QStringList* reports = nullptr);
