#include "cutter/mod_shell32.h"

#include "cutter/child_process.h"
#include "transcoder/exit_codes.h"

#include <QEventLoop>
#include <QProcess>

#include <algorithm>
#include <utility>

static_assert(kShellWaitEnded == kShellStartFailed + QProcess::Timedout);

namespace {

constexpr int kStopGraceMs = 2000;

// The loop of the wait in progress; a wait started from inside another one's events nests.
QEventLoop* gRunningWait = nullptr;

// Asks politely first, so the transcoder removes its temporary; kills it if that is ignored.
void stop(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(kStopGraceMs)) {
        process.kill();
        process.waitForFinished(-1);
    }
}

} // namespace

QStringList splitCommandLine(const QString& commandLine) {
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool started = false;
    for (const QChar c : commandLine) {
        if (c == u'"') {
            quoted = !quoted;
            started = true;
        } else if (!quoted && (c == u' ' || c == u'\t')) {
            if (started)
                arguments << current;
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started)
        arguments << current;
    return arguments;
}

bool fitsCommandLine(const QString& path) {
    return !path.contains(u'"');
}

std::int32_t ShellAndWait(const QString& commandLine, std::int32_t windowStyle, QString* errorLine,
                          const ShellProgress& onProgress, QStringList* reports) {
    Q_UNUSED(windowStyle); // the transcoder has no window to show or hide
    QStringList arguments = splitCommandLine(commandLine);
    if (arguments.isEmpty())
        return kShellStartFailed + QProcess::FailedToStart;
    const QString program = arguments.takeFirst();

    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!onProgress && !reports)
        process.setStandardOutputFile(QProcess::nullDevice());
    // A window killed outright must not leave its transcoder behind: it would go on writing and
    // later overwrite the temp.wav of the next session.
    tieBeforeStart(process);
    QEventLoop loop;
    // The transcoder reports "progress 0.370" lines, handed on as they arrive, and how it made
    // the file (each setting it replaced, a copy), kept for the caller.
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &loop, [&] {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine().trimmed();
            bool ok = false;
            const double fraction = line.startsWith("progress ") ? line.mid(9).toDouble(&ok) : 0;
            if (ok && onProgress)
                onProgress(std::clamp(fraction, 0.0, 1.0));
            else if (!ok && reports && !line.isEmpty())
                *reports << QString::fromUtf8(line);
        }
    });
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&loop](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            loop.quit();
    });
    process.start(program, arguments, QIODevice::ReadOnly);
    tieAfterStart(process);
    // finished and a failed start are both reported through the event loop, so neither can be
    // missed before it runs.
    if (process.state() != QProcess::NotRunning) {
        QEventLoop* const outer = std::exchange(gRunningWait, &loop);
        loop.exec();
        gRunningWait = outer;
    }
    // The loop also ends when the application's loops are told to exit; the process may still
    // run then, and its exit code does not exist yet.
    const bool stillRunning = process.state() != QProcess::NotRunning;
    if (stillRunning)
        stop(process);
    if (process.error() == QProcess::FailedToStart)
        return kShellStartFailed + QProcess::FailedToStart;

    if (errorLine) {
        const QStringList lines =
            QString::fromLocal8Bit(process.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
        *errorLine = lines.isEmpty() ? QString() : lines.last().trimmed();
    }
    if (stillRunning)
        return kShellWaitEnded;
    if (process.exitStatus() == QProcess::CrashExit)
        return kShellStartFailed + QProcess::Crashed;
    return process.exitCode();
}

void stopShellCommand() {
    if (gRunningWait)
        gRunningWait->quit();
}
