// The words of a transcoder run, for the window: a failed run's message (a plain sentence chosen
// by the exit code alone, then the transcoder's own line as detail), and the sentence for each
// setting a save had to replace.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

enum class RunKind { Open, Save };

// exitCode and errorLine as ShellAndWait returns them (errorLine: the last line on standard
// error, "codec: ..."); exitCode is not 0. The line never decides the sentence.
QString runFailureText(RunKind kind, std::int32_t exitCode, const QString& errorLine);

// The sentence for one "substituted <setting> <asked> <used>" report of a save in format ("MP3")
// whose sample rate ended up rateHz: "MP3 at 8000 Hz holds at most 64 kbit/s: saved at 64
// kbit/s." Empty for a report it does not understand.
QString substitutionText(const QString& format, int rateHz, const QString& report);

// The sample rate a save ended up with: the rate a report replaced it with, else the one asked.
int substitutedRate(const QStringList& reports, int askedHz);
