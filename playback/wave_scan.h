// The waveform summary of a canonical 16-bit WAV file: one point per 1764-byte block (10 ms of
// 44100 Hz stereo), the stroke's top and bottom pixel rows of a 128-row strip (64 = silence).
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

inline constexpr int kWaveBlockBytes = 1764;
inline constexpr int kWaveHeaderBytes = 44;

struct WaveScan {
    // Sized from the header's data length: indexes 0..headerBound.
    std::vector<std::int32_t> top;
    std::vector<std::int32_t> bottom;
    std::int32_t headerBound = 0;
    // The index of the last point scanned.
    std::int32_t lastPoint = -1;
};

// Top and bottom rows of one block of samples: every 32nd sample from the first, lo = min(0, s),
// hi = max(0, s), each divided by 512 truncating toward zero and added to 64.
void summariseBlock(const std::int16_t* samples, int count, std::int32_t& top,
                    std::int32_t& bottom);

// Reads the file from byte 44 to its end in blocks; a short (or empty) final read yields a point
// too, so the file gives (length - 44) / 1764 + 1 points. `progress` gets the header bound first
// and then every 100th point index. Throws std::runtime_error when the file cannot be read or
// holds more points than its header announces.
WaveScan
scanWaveFile(const QString& path,
             const std::function<void(std::int32_t bound, std::int32_t point)>& progress = {});
