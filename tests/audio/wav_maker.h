// Test audio made on the spot: 16-bit PCM bodies (a counting ramp whose every sample tells where it
// lies, a sine tone) and the RIFF WAVE files around them, canonical or with chunks of our choosing.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>

#include <cmath>
#include <cstdint>
#include <numbers>

namespace wav_maker {

inline QByteArray le16(std::uint16_t v) {
    char b[2];
    qToLittleEndian(v, b);
    return QByteArray(b, 2);
}
inline QByteArray le32(std::uint32_t v) {
    char b[4];
    qToLittleEndian(v, b);
    return QByteArray(b, 4);
}

// One chunk: id, size, body, and the pad byte of an odd size.
inline QByteArray chunk(const char* id, const QByteArray& body) {
    QByteArray out = QByteArray(id, 4) + le32(std::uint32_t(body.size())) + body;
    if (body.size() & 1)
        out.append('\0');
    return out;
}

inline QByteArray fmtBody(int rate, int channels, int bits = 16, int tag = 1) {
    const int blockAlign = channels * bits / 8;
    return le16(std::uint16_t(tag)) + le16(std::uint16_t(channels)) + le32(std::uint32_t(rate)) +
           le32(std::uint32_t(rate * blockAlign)) + le16(std::uint16_t(blockAlign)) +
           le16(std::uint16_t(bits));
}

inline QByteArray riff(const QByteArray& chunks) {
    return "RIFF" + le32(std::uint32_t(4 + chunks.size())) + "WAVE" + chunks;
}

// The canonical 44-byte header followed by pcm.
inline QByteArray wav(int rate, int channels, const QByteArray& pcm) {
    return riff(chunk("fmt ", fmtBody(rate, channels)) + chunk("data", pcm));
}

// Sample i of the body holds i (mod 65536), so any stretch of it names its own byte offset.
inline QByteArray ramp(qint64 bytes) {
    QByteArray out;
    out.reserve(bytes);
    for (qint64 i = 0; i < bytes / 2; ++i)
        out.append(le16(std::uint16_t(i)));
    return out;
}

inline QByteArray tone(int rate, int channels, double seconds, double hz = 440.0) {
    QByteArray out;
    const auto frames = qint64(seconds * rate);
    out.reserve(frames * channels * 2);
    for (qint64 f = 0; f < frames; ++f) {
        const auto v = std::int16_t(8000 * std::sin(2 * std::numbers::pi * hz * double(f) / rate));
        for (int c = 0; c < channels; ++c)
            out.append(le16(std::uint16_t(v)));
    }
    return out;
}

inline bool write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace wav_maker
