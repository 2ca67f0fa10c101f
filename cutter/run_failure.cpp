#include "cutter/run_failure.h"

#include "cutter/mod_shell32.h"

#include <QProcess>

namespace {

struct Reason {
    const char* clue; // part of the transcoder's line
    const char* sentence;
};

constexpr Reason kOpenReasons[] = {
    {"no audio stream", "Quillet can't open this file: it holds no sound it can read."},
    {"no decoder", "Quillet can't open this file: its sound is in a form Quillet can't decode."},
    {"not an audio file", "Quillet can't open this file: it is not an audio file Quillet knows."},
    {"sample rate of", "Quillet can't open this file: its header is damaged."},
    {"Input/output error", "Quillet can't open this file: reading it failed."},
    {"too long", "Quillet can't open this file: it is too long (3 hours 22 minutes at most)."},
    {"No such file", "Quillet can't open this file: it is no longer there."},
    {"Permission denied", "Quillet can't open this file: you may not read it."},
};

constexpr Reason kSaveReasons[] = {
    {"-t is 00:00:00", "The marked stretch is empty: set the End Cut after the Begin Cut."},
    {"lies past the end", "The marked stretch lies past the end of the file."},
    {"not writable", "Quillet can't write into the output folder."},
    {"does not exist", "The output folder does not exist."},
    {"No space", "The output folder's disk is full."},
    {"cannot write", "Quillet can't write the cut into the output folder."},
};

template <std::size_t N>
QString sentenceFor(const Reason (&reasons)[N], const QString& line, const char* fallback) {
    for (const Reason& reason : reasons)
        if (line.contains(QLatin1String(reason.clue)))
            return QString::fromUtf8(reason.sentence);
    return QString::fromUtf8(fallback);
}

} // namespace

QString runFailureText(RunKind kind, std::int32_t exitCode, const QString& errorLine) {
    const bool open = kind == RunKind::Open;
    if (exitCode == kShellStartFailed + QProcess::Crashed)
        return open ? QStringLiteral("The transcoder crashed while opening this file.")
                    : QStringLiteral("The transcoder crashed while saving the cut.");
    if (exitCode == kShellWaitEnded)
        return open ? QStringLiteral("Opening the file was stopped.")
                    : QStringLiteral("Saving the cut was stopped.");
    if (exitCode < 0)
        return QStringLiteral("The transcoder could not be started.");
    const QString sentence =
        open ? sentenceFor(kOpenReasons, errorLine, "Quillet can't open this file.")
             : sentenceFor(kSaveReasons, errorLine, "Quillet couldn't save the cut.");
    const QString detail =
        errorLine.isEmpty()
            ? QStringLiteral("The transcoder ended with exit code %1.").arg(exitCode)
            : errorLine;
    return sentence + QStringLiteral("\n\n") + detail;
}
