#include "cutter/run_failure.h"

#include "cutter/mod_shell32.h"
#include "transcoder/exit_codes.h"

#include <QProcess>

namespace {

using transcoder::ExitCode;

struct Reason {
    ExitCode code;
    const char* open; // when a file is opened (converted to temp.wav)
    const char* save; // when a cut is saved; null: the open sentence serves
};

// Every kind of failure the transcoder reports, with what the user is told.
constexpr Reason kReasons[] = {
    {ExitCode::BadOption, "Quillet can't open this file: the transcoder refused its command line.",
     "Quillet couldn't save the cut: the transcoder refused its command line."},
    {ExitCode::InputMissing, "Quillet can't open this file: it is no longer there.",
     "Quillet couldn't save the cut: the working copy of the opened file is gone."},
    {ExitCode::InputNotReadable, "Quillet can't open this file: you may not read it.",
     "Quillet couldn't save the cut: the working copy of the opened file can't be read."},
    {ExitCode::NotAudio, "Quillet can't open this file: it is not an audio file Quillet knows.",
     nullptr},
    {ExitCode::NoAudioStream, "Quillet can't open this file: it holds no sound it can read.",
     nullptr},
    {ExitCode::NoDecoder,
     "Quillet can't open this file: its sound is in a form Quillet can't decode.", nullptr},
    {ExitCode::DamagedHeader, "Quillet can't open this file: its header is damaged.", nullptr},
    {ExitCode::NoSound,
     "Quillet can't open this file: it holds no sound Quillet can play; it may be damaged.",
     nullptr},
    {ExitCode::ReadFailed, "Quillet can't open this file: reading it failed.",
     "Quillet couldn't save the cut: reading the working copy of the opened file failed."},
    {ExitCode::TooLong,
     "Quillet can't open this file: it is too long (3 hours 22 minutes at most).", nullptr},
    {ExitCode::OutputFolderMissing, "Quillet can't open this file: its working folder is gone.",
     "The output folder does not exist."},
    {ExitCode::OutputFolderNotWritable,
     "Quillet can't open this file: its working folder can't be written.",
     "Quillet can't write into the output folder."},
    {ExitCode::DiskFull, "Quillet can't open this file: the disk of its working folder is full.",
     "The output folder's disk is full."},
    {ExitCode::NameTooLong, "Quillet can't open this file: its working copy's name is too long.",
     "The name of the cut is too long for the output folder."},
    {ExitCode::EmptyStretch, "Quillet can't open this file: the transcoder was asked for nothing.",
     "The marked stretch is empty: set the End Cut after the Begin Cut."},
    {ExitCode::StartPastEnd, "Quillet can't open this file: the transcoder was asked for nothing.",
     "The marked stretch lies past the end of the file."},
    {ExitCode::WriteFailed, "Quillet can't open this file: writing its working copy failed.",
     "Quillet can't write the cut into the output folder."},
    {ExitCode::NoEncoder, "Quillet can't open this file: the transcoder can't write WAV files.",
     "Quillet can't save in this format with these settings."},
    {ExitCode::OutOfMemory, "Quillet can't open this file: there is not enough memory.",
     "Quillet couldn't save the cut: there is not enough memory."},
    {ExitCode::Unexpected, "Quillet can't open this file: the transcoder failed.",
     "Quillet couldn't save the cut: the transcoder failed."},
};

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
    QString sentence = open ? QStringLiteral("Quillet can't open this file.")
                            : QStringLiteral("Quillet couldn't save the cut.");
    for (const Reason& reason : kReasons)
        if (static_cast<std::int32_t>(reason.code) == exitCode)
            sentence = QString::fromUtf8(open || !reason.save ? reason.open : reason.save);
    const QString detail =
        errorLine.isEmpty()
            ? QStringLiteral("The transcoder ended with exit code %1.").arg(exitCode)
            : errorLine;
    return sentence + QStringLiteral("\n\n") + detail;
}

QString substitutionText(const QString& format, int rateHz, const QString& report) {
    const QStringList words = report.split(u' ', Qt::SkipEmptyParts);
    bool askedOk = false, usedOk = false;
    const int asked = words.value(2).toInt(&askedOk), used = words.value(3).toInt(&usedOk);
    if (words.size() != 4 || words[0] + u' ' != QLatin1String(transcoder::kSubstitutedPrefix) ||
        !askedOk || !usedOk)
        return {};
    const QString setting = words[1];
    if (setting == u"rate")
        return QStringLiteral("%1 can't be saved at %2 Hz: saved at %3 Hz.")
            .arg(format)
            .arg(asked)
            .arg(used);
    if (setting == u"channels")
        return QStringLiteral("%1 can't be saved with %2 channels: saved with %3.")
            .arg(format)
            .arg(asked)
            .arg(used);
    if (setting != u"bitrate")
        return {};
    // 12200 bit/s reads "12.2 kbit/s"
    const QString kbits = QString::number(used / 1000.0, 'g', 6) + QStringLiteral(" kbit/s");
    return QStringLiteral("%1 at %2 Hz holds at %3 %4: saved at %4.")
        .arg(format)
        .arg(rateHz)
        .arg(used < asked ? QStringLiteral("most") : QStringLiteral("least"), kbits);
}

int substitutedRate(const QStringList& reports, int askedHz) {
    for (const QString& report : reports) {
        const QStringList words = report.split(u' ', Qt::SkipEmptyParts);
        if (words.size() == 4 && words[1] == u"rate")
            return words[3].toInt();
    }
    return askedHz;
}
