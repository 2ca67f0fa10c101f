// WAV files built byte by byte: chunks of our choosing and a ramp whose samples say where they lie.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QtEndian>

namespace wavbytes {

// v as `bytes` little-endian bytes (2 or 4).
inline QByteArray le(quint32 v, int bytes) {
    QByteArray out(4, '\0');
    qToLittleEndian(v, out.data());
    return out.left(bytes);
}
// A chunk with its size and, after an odd-sized body, the pad byte.
inline QByteArray chunk(const char* id, const QByteArray& body) {
    return QByteArray(id, 4) + le(body.size(), 4) + body + QByteArray(body.size() & 1, '\0');
}
inline QByteArray fmt(int rate, int channels, int bits = 16, int tag = 1) {
    const int align = channels * bits / 8;
    return le(tag, 2) + le(channels, 2) + le(rate, 4) + le(quint32(rate) * align, 4) +
           le(align, 2) + le(bits, 2);
}
inline QByteArray riff(const QByteArray& chunks) {
    return "RIFF" + le(4 + chunks.size(), 4) + "WAVE" + chunks;
}
// The canonical 44-byte header and pcm.
inline QByteArray wav(int rate, int channels, const QByteArray& pcm) {
    return riff(chunk("fmt ", fmt(rate, channels)) + chunk("data", pcm));
}
// 16-bit sample i holds i (mod 65536): any stretch of it names its own byte offset.
inline QByteArray ramp(qint64 bytes) {
    QByteArray out;
    for (qint64 i = 0; i < bytes / 2; ++i)
        out += le(quint16(i), 2);
    return out;
}

inline QString write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

} // namespace wavbytes
