// What several suites need: a table's columns, test audio made by FFmpeg (sound or damaged) and
// what it decodes, a file's bytes, runs of codec.dll and of ffmpeg.
#pragma once

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <span>
#include <vector>

// columns<QString, int>({"name", "count"})
template <typename... T> void columns(const std::array<const char*, sizeof...(T)>& names) {
    std::size_t i = 0;
    (QTest::addColumn<T>(names[i++]), ...);
}

namespace testaudio {

inline const QString kCodec = QStringLiteral(QUILLET_BUILD_DIR "/codec.dll");

// The base of a suite that runs codec.dll: a folder of its own for what the runs read and write.
class CodecTest : public QObject {
protected:
    QTemporaryDir dir_;
    QString src(const QString& name) const { return dir_.filePath(name); }
    bool ready() const { return dir_.isValid() && QFile::exists(kCodec); }
};

inline QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool ffmpeg(const QStringList& args) {
    return QProcess::execute("ffmpeg", QStringList{"-nostdin", "-v", "error", "-y"} + args) == 0;
}

struct Run {
    int exitCode = -1; // -1 when the program crashed, could not start or was stopped
    QByteArray output;
    QString errors;
};
// A hang is stopped after timeoutMs and fails the test instead of blocking it.
inline Run run(const QString& program, const QStringList& args, int timeoutMs = 60000,
               const QStringList& environment = {}) {
    QProcess p;
    p.setEnvironment(QProcess::systemEnvironment() + environment);
    p.start(program, args);
    const bool finished = p.waitForFinished(timeoutMs);
    if (!finished) { // the program may still remove what it was writing; then it is killed
        p.terminate();
        p.waitForFinished(2000);
    }
    return {finished && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError()).trimmed()};
}

struct Audio {
    int rate = 0;
    std::vector<std::vector<float>> channels;
    qsizetype frames() const { return channels.empty() ? 0 : qsizetype(channels[0].size()); }
};

// The expression (by default 1 kHz at -6 dBFS) in every channel, a "|" in it starting another
// channel, written without metadata (so a WAV gets the canonical 44-byte header) in the type the
// name or the encoder options give.
inline bool tone(const QString& path, int rate, int channels, double seconds,
                 const QStringList& encoder = {},
                 const QString& expression = "0.5*sin(2*PI*1000*t)") {
    const QString all = QStringList(channels, expression).join('|');
    const QString source = QString("aevalsrc='%1':s=%2:d=%3").arg(all).arg(rate).arg(seconds);
    return ffmpeg(QStringList{"-f", "lavfi", "-i", source, "-fflags", "+bitexact"} + encoder +
                  QStringList{path});
}

// What ffmpeg decodes (gapless where the file says how) after the given output options, read
// from the 32-bit float WAV it writes, whose data chunk comes last. Empty when that fails.
inline Audio decode(const QString& path, const QStringList& outputOptions = {}) {
    const Run r =
        run("ffmpeg", QStringList{"-nostdin", "-v", "error", "-i", path, "-map", "0:a:0"} +
                          outputOptions + QStringList{"-c:a", "pcm_f32le", "-f", "wav", "-"});
    const QByteArray& out = r.output;
    const qsizetype data = out.indexOf("data", 36) + 8;
    if (r.exitCode != 0 || data < 44)
        return {};
    const auto at = [&](qsizetype offset) { return out.constData() + offset; };
    const int channels = std::max(1, int(qFromLittleEndian<quint16>(at(22))));
    Audio a{int(qFromLittleEndian<quint32>(at(24))), {}};
    a.channels.assign(channels, std::vector<float>((out.size() - data) / 4 / channels));
    for (qsizetype i = 0; i < a.frames() * channels; ++i)
        a.channels[i % channels][i / channels] = qFromLittleEndian<float>(at(data + 4 * i));
    return a;
}
// The worst 5 ms window in [from, to) of what a fitted 1 kHz tone leaves, in dB against the tone:
// about -90 for a clean 16-bit tone, -20 where a click falls, 0 where the tone is missing.
inline double worstToneWindowDb(std::span<const float> samples, int rate, qsizetype from,
                                qsizetype to) {
    to = std::min(to, qsizetype(samples.size()));
    const qsizetype window = std::max<qsizetype>(8, rate / 200);
    const double w = 2 * std::numbers::pi * 1000 / rate;
    double worst = -400;
    for (qsizetype start = from; start + window <= to; start += window) {
        // y = a sin + b cos solved in closed form; the residual is what the fit leaves of y.
        double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0, yy = 0;
        for (qsizetype n = start; n < start + window; ++n) {
            const double sn = std::sin(w * double(n)), cn = std::cos(w * double(n)), y = samples[n];
            ss += sn * sn, cc += cn * cn, sc += sn * cn, ys += y * sn, yc += y * cn, yy += y * y;
        }
        const double det = ss * cc - sc * sc;
        const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
        const double toneRms = std::sqrt((a * a + b * b) / 2);
        const double residualRms =
            std::sqrt(std::max(yy - a * ys - b * yc, 1e-40) / double(window));
        worst = std::max(worst, toneRms < 1e-6 ? 0.0 : 20 * std::log10(residualRms / toneRms));
    }
    return worst;
}
// Seconds of sound a player gets out of the file at that rate.
inline double decodedSeconds(const QString& path, int rate) {
    return double(decode(path, {"-ac", "1", "-ar", QString::number(rate)}).frames()) / rate;
}

// Damage of the kinds found in the wild, made to a tone written in the file's type: every frame
// of the result fails to decode, though the file opens.
inline bool damagedTone(const QString& path) {
    if (!tone(path, 44100, 2, 2))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    if (path.endsWith(".flac")) {
        // STREAMINFO's sample size (bits 4..8 of bytes 12, 13) says 8 bits over 16-bit frames.
        bytes[20] = char(bytes[20] & ~1);
        bytes[21] = char((bytes[21] & 0x0F) | 0x70);
    } else if (const qsizetype format = bytes.indexOf(QByteArray::fromHex("61010200"));
               format > 0) {
        // WMA version 2's block alignment, in the stream's WAVEFORMATEX, says 1 byte.
        bytes[format + 12] = 1;
        bytes[format + 13] = 0;
    } else {
        return false;
    }
    return file.seek(0) && file.write(bytes) == bytes.size();
}

} // namespace testaudio
