// Helpers of the tests that play, load and save: test audio made with sox and ffmpeg, the seconds
// a file decodes to, and waiting on a condition while the event loop runs.
#pragma once

#include <QProcess>
#include <QTest>

namespace testaudio {

// sox -n -r rate -c channels path synth seconds <synthArgs>: any type sox writes.
inline bool makeAudio(const QString& path, double seconds, const QStringList& synthArgs,
                      int rate = 44100, int channels = 2) {
    return QProcess::execute("sox", QStringList{"-n", "-r", QString::number(rate), "-c",
                                                QString::number(channels), path, "synth",
                                                QString::number(seconds)} +
                                        synthArgs) == 0;
}
inline bool makeTone(const QString& path, double seconds, int hz = 1000) {
    return makeAudio(path, seconds, {"sine", QString::number(hz), "vol", "0.5"});
}
// ffmpeg -i input [args] output, for the types sox does not write (mp3, wma, amr).
inline bool convertWithFfmpeg(const QString& input, const QString& output,
                              const QStringList& args = {}) {
    return QProcess::execute("ffmpeg", QStringList{"-nostdin", "-v", "error", "-y", "-i", input} +
                                           args + QStringList{output}) == 0;
}
// Seconds of sound a player gets out of the file: what ffmpeg decodes of it, with the encoder's
// delay and padding taken off as the file declares them.
inline double decodedSeconds(const QString& path, int rate) {
    QProcess p;
    p.start("ffmpeg", {"-nostdin", "-v", "error", "-i", path, "-f", "s16le", "-ac", "1", "-ar",
                       QString::number(rate), "-"});
    p.waitForFinished(60000);
    return double(p.readAllStandardOutput().size()) / 2.0 / rate;
}
// Runs the event loop until the condition holds or the time is up; true when it held.
template <typename Condition> bool waitFor(Condition condition, int timeoutMs = 10000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

} // namespace testaudio
