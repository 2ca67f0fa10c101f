#include "playback/wave_scan.h"

#include "base/errors.h"

#include <QFile>
#include <QtEndian>

#include <array>
#include <stdexcept>

namespace {

constexpr int kSamplesPerBlock = kWaveBlockBytes / 2;
constexpr int kSampleStep = 32;
// Blocks read at a time: the result is the same as reading block by block.
constexpr int kBlocksPerRead = 256;

} // namespace

void summariseBlock(const std::int16_t* samples, int count, std::int32_t& top,
                    std::int32_t& bottom) {
    std::int32_t lo = 0;
    std::int32_t hi = 0;
    for (int i = 0; i < count; i += kSampleStep) {
        const std::int32_t s = samples[i];
        if (s < lo)
            lo = s;
        if (s > hi)
            hi = s;
    }
    // C++ division truncates toward zero.
    top = lo / 512 + 64;
    bottom = hi / 512 + 64;
}

WaveScan scanWaveFile(const QString& path,
                      const std::function<void(std::int32_t, std::int32_t)>& progress) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Can't open %1: %2").arg(path, file.errorString()));
    std::array<char, kWaveHeaderBytes> header{};
    if (file.read(header.data(), header.size()) != kWaveHeaderBytes)
        fail(QStringLiteral("%1 is not a WAV file: it is shorter than its header.").arg(path));
    const auto dataLength = qFromLittleEndian<std::int32_t>(header.data() + 40);

    WaveScan scan;
    scan.headerBound = dataLength / kWaveBlockBytes;
    if (scan.headerBound < 0)
        fail(QStringLiteral("%1 announces a negative data length.").arg(path));
    scan.top.assign(static_cast<std::size_t>(scan.headerBound) + 1, 0);
    scan.bottom.assign(scan.top.size(), 0);
    if (progress)
        progress(scan.headerBound, 0);

    std::vector<char> buffer(static_cast<std::size_t>(kWaveBlockBytes) * kBlocksPerRead);
    std::array<std::int16_t, kSamplesPerBlock> samples{};
    bool atEnd = false;
    while (!atEnd) {
        const qint64 got = file.read(buffer.data(), static_cast<qint64>(buffer.size()));
        if (got < 0)
            fail(QStringLiteral("Can't read %1: %2").arg(path, file.errorString()));
        // A read that fills every block ends nothing; the point of a short block is the last.
        atEnd = got < static_cast<qint64>(buffer.size());
        const qint64 blocks = got / kWaveBlockBytes + (atEnd ? 1 : 0);
        for (qint64 b = 0; b < blocks; ++b) {
            const qint64 start = b * kWaveBlockBytes;
            const int bytes = static_cast<int>(std::min<qint64>(kWaveBlockBytes, got - start));
            const int count = bytes / 2;
            samples.fill(0);
            for (int i = 0; i < count; i += kSampleStep)
                samples[i] = qFromLittleEndian<std::int16_t>(buffer.data() + start + 2 * i);
            const std::int32_t point = ++scan.lastPoint;
            if (point > scan.headerBound)
                fail(QStringLiteral("%1 holds more audio than its header announces.").arg(path));
            summariseBlock(samples.data(), count, scan.top[point], scan.bottom[point]);
            if (progress && point % 100 == 0)
                progress(scan.headerBound, point);
        }
    }
    return scan;
}
