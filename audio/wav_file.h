// Locates the 16-bit PCM data of a WAV file by walking its RIFF chunks.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

struct WavInfo {
    int sampleRate = 0;
    int channels = 0;
    std::int64_t dataOffsetBytes = 0;
    std::int64_t dataLengthBytes = 0;
    int bytesPerFrame() const { return channels * 2; }
};

// nullopt unless the file is a RIFF WAVE of 16-bit PCM with a data chunk. A data length that runs
// past the end of the file is cut to what is there.
std::optional<WavInfo> readWavInfo(const QString& path);
