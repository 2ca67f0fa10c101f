// Runs one command line of the transcoder and waits for it while the window's events go on.
// The line is split like the platform's command lines: blanks separate arguments, double quotes
// group them, and no shell ever sees it.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

inline constexpr std::int32_t SW_HIDE = 0;

// A failed start returns the process error's number plus this (a negative number).
inline constexpr std::int32_t kShellStartFailed = static_cast<std::int32_t>(0x80040000u);
// The wait ended (the application is quitting) before the process did; it was stopped. The
// number is QProcess::Timedout's.
inline constexpr std::int32_t kShellWaitEnded = kShellStartFailed + 2;

// The arguments of a command line, the program first. Quotes are removed; a run of blanks
// outside quotes separates, so it never yields an empty argument.
QStringList splitCommandLine(const QString& commandLine);

// A path can travel between double quotes unless it holds a double quote itself.
bool fitsCommandLine(const QString& path);

// Starts the command line, lets window events run until the process ends, and returns its exit
// code. The last line the process wrote on its standard error goes to errorLine when given.
// The process never outlives the wait: when the wait ends early the process is asked to stop,
// killed 2 s later, and kShellWaitEnded returned; it also ends when the window dies
// (cutter/child_process.h).
// Progress the process reported on standard output ("progress 0.370"), from 0 to 1.
using ShellProgress = std::function<void(double fraction)>;

// Every other line the process wrote on standard output goes to reports when given: a replaced
// setting ("substituted bitrate 320000 64000"), an MP3 copied from its source ("copied").
std::int32_t ShellAndWait(const QString& commandLine, std::int32_t windowStyle,
                          QString* errorLine = nullptr, const ShellProgress& onProgress = {},
                          QStringList* reports = nullptr);

// Ends the wait of the ShellAndWait in progress, if any, as if the application were quitting:
// its process is stopped and it returns kShellWaitEnded. Nothing happens when none runs.
void stopShellCommand();
