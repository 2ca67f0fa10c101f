// Helpers of the window tests: test audio made with sox, and waiting on a condition while the
// event loop runs.
#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

#include <functional>

namespace testaudio {

// sox -n [options] path synth seconds <synthArgs>: a generated file of any type sox writes.
inline bool makeAudio(const QString& path, double seconds, const QStringList& synthArgs,
                      int rate = 44100, int channels = 2) {
    QStringList args{QStringLiteral("-n"),    QStringLiteral("-r"),      QString::number(rate),
                     QStringLiteral("-c"),    QString::number(channels), path,
                     QStringLiteral("synth"), QString::number(seconds)};
    args += synthArgs;
    return QProcess::execute(QStringLiteral("sox"), args) == 0;
}

inline bool makeTone(const QString& path, double seconds, int hz = 1000) {
    return makeAudio(path, seconds,
                     {QStringLiteral("sine"), QString::number(hz), QStringLiteral("vol"),
                      QStringLiteral("0.5")});
}

// ffmpeg -i input [args] output, for the formats sox does not write (mp3, wma, amr).
inline bool convertWithFfmpeg(const QString& input, const QString& output,
                              const QStringList& args = {}) {
    QStringList all{QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
                    QStringLiteral("-y"),       QStringLiteral("-i"), input};
    all += args;
    all << output;
    return QProcess::execute(QStringLiteral("ffmpeg"), all) == 0;
}

// Seconds of sound a player gets out of the file: the samples ffmpeg decodes from it, with the
// encoder's delay and padding taken off as the file declares them.
inline double decodedSeconds(const QString& path, int rate) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
             QStringLiteral("-i"), path, QStringLiteral("-f"), QStringLiteral("s16le"),
             QStringLiteral("-ac"), QStringLiteral("1"), QStringLiteral("-ar"),
             QString::number(rate), QStringLiteral("-")});
    p.waitForFinished(60000);
    return static_cast<double>(p.readAllStandardOutput().size()) / 2.0 / rate;
}

// Runs the event loop until the condition holds or the time is up; true when it held.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

} // namespace testaudio
