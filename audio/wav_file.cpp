#include "audio/wav_file.h"

#include <QFile>
#include <QtEndian>

namespace {
std::uint32_t le32(const char* p) {
    return qFromLittleEndian<std::uint32_t>(p);
}
std::uint16_t le16(const char* p) {
    return qFromLittleEndian<std::uint16_t>(p);
}
} // namespace

std::optional<WavInfo> readWavInfo(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    char riff[12];
    if (file.read(riff, 12) != 12 || qstrncmp(riff, "RIFF", 4) != 0 ||
        qstrncmp(riff + 8, "WAVE", 4) != 0)
        return std::nullopt;
    WavInfo info;
    bool haveFormat = false;
    char header[8];
    while (file.read(header, 8) == 8) {
        const std::int64_t size = le32(header + 4);
        const std::int64_t body = file.pos();
        if (qstrncmp(header, "fmt ", 4) == 0 && size >= 16) {
            char fmt[16];
            if (file.read(fmt, 16) != 16)
                return std::nullopt;
            const int tag = le16(fmt);
            info.channels = le16(fmt + 2);
            info.sampleRate = int(le32(fmt + 4));
            const int bits = le16(fmt + 14);
            // 0xFFFE is the extensible form, which Quillet's own files never use; plain PCM only.
            if (tag != 1 || bits != 16 || info.channels < 1 || info.sampleRate < 1)
                return std::nullopt;
            haveFormat = true;
        } else if (qstrncmp(header, "data", 4) == 0) {
            if (!haveFormat)
                return std::nullopt;
            info.dataOffsetBytes = body;
            info.dataLengthBytes = std::min<std::int64_t>(size, file.size() - body);
            info.dataLengthBytes -= info.dataLengthBytes % info.bytesPerFrame();
            return info;
        }
        // Chunks are padded to an even size.
        if (!file.seek(body + size + (size & 1)))
            return std::nullopt;
    }
    return std::nullopt;
}
