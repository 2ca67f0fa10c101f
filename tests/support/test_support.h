// What several suites need: a table's columns, test audio made by FFmpeg (sound or damaged) and
// what it decodes.
#pragma once

#include <QFile>
#include <QProcess>
#include <QTest>
#include <QtEndian>

#include <array>
#include <vector>

// columns<QString, int>({"name", "count"})
template <typename... T> void columns(const std::array<const char*, sizeof...(T)>& names) {
    std::size_t i = 0;
    (QTest::addColumn<T>(names[i++]), ...);
}

namespace testaudio {

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
    return QProcess::execute("ffmpeg", QStringList{"-nostdin", "-v", "error", "-y", "-f", "lavfi",
                                                   "-i", source, "-fflags", "+bitexact"} +
                                           encoder + QStringList{path}) == 0;
}

// What ffmpeg decodes (gapless where the file says how) after the given output options, read
// from the 32-bit float WAV it writes, whose data chunk comes last. Empty when that fails.
inline Audio decode(const QString& path, const QStringList& outputOptions = {}) {
    QProcess p;
    p.start("ffmpeg", QStringList{"-nostdin", "-v", "error", "-i", path, "-map", "0:a:0"} +
                          outputOptions + QStringList{"-c:a", "pcm_f32le", "-f", "wav", "-"});
    const bool done = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit;
    const QByteArray out = p.readAllStandardOutput();
    const qsizetype data = out.indexOf("data", 36) + 8;
    if (!done || p.exitCode() != 0 || data < 44)
        return {};
    const auto at = [&](qsizetype offset) { return out.constData() + offset; };
    const int channels = std::max(1, int(qFromLittleEndian<quint16>(at(22))));
    Audio a{int(qFromLittleEndian<quint32>(at(24))), {}};
    a.channels.assign(channels, std::vector<float>((out.size() - data) / 4 / channels));
    for (qsizetype i = 0; i < a.frames() * channels; ++i)
        a.channels[i % channels][i / channels] = qFromLittleEndian<float>(at(data + 4 * i));
    return a;
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
        // STREAMINFO's sample size (bits 4..8 of its bytes 12 and 13) says 8 bits over 16-bit
        // frames.
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
