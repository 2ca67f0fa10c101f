// Judging audio at the level of samples: programs run with a hang guard, files decoded to float
// samples with the ffmpeg command line, and two measures (how clean a known tone is, window by
// window, and the lag at which an output best matches its reference).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <span>
#include <vector>

namespace signalcheck {

struct Run {
    int exitCode = -1; // -1 when the program crashed, could not start or was stopped
    bool timedOut = false;
    QByteArray output;
    QString errors;
};

// Runs program and waits at most timeoutMs; a program still running then is terminated, so a
// hang fails the caller instead of blocking it. environment entries are "NAME=value".
Run run(const QString& program, const QStringList& args, int timeoutMs = 60000,
        const QStringList& environment = {});

// ffmpeg -nostdin -v error -y args...: true when it succeeded.
bool ffmpeg(const QStringList& args);

// sox -R -n -r rate -c channels -b 16 path synth seconds synthArgs...: repeatable noise.
bool synth(const QString& path, int rate, int channels, double seconds,
           const QStringList& synthArgs);

// A 1 kHz tone at -6 dBFS from FFmpeg's expression source, written with the encoder options.
bool tone(const QString& path, int rate, int channels, double seconds, const QStringList& encoder);

// Overwrites the file's bytes at offset at, then cuts it to size bytes if size >= 0.
bool patchFile(const QString& path, qsizetype at, const QByteArray& bytes, qsizetype size = -1);

struct Audio {
    int rate = 0;
    std::vector<std::vector<float>> channels; // one vector of samples per channel
    qsizetype frames() const { return channels.empty() ? 0 : qsizetype(channels[0].size()); }
};

// The samples ffmpeg decodes from path (gapless where the file says how), at the file's own
// rate and channel count, after the given ffmpeg output options (e.g. a resampler). Empty
// when ffmpeg fails.
Audio decode(const QString& path, const QStringList& outputOptions = {});

// A WAV file read as it is (no decoder start-up), any other file decoded.
Audio load(const QString& path);

// load() of each file, the ones to decode in a single ffmpeg run: its start-up is most of what a
// short file costs.
std::vector<Audio> loadAll(const QStringList& paths);

// Mono as a mix of stereo: the mean of left and right.
Audio mono(Audio stereo);

// Parses a WAV file image (any chunk order, 16-bit integer or 32-bit float samples).
Audio parseWav(const QByteArray& wav);

// For each window of windowMs in [from, to) samples: least-squares fit of a*sin + b*cos + c at
// freqHz, and the residual's RMS relative to the fitted tone's RMS in dB. The worst window:
// about -90 dB for a clean 16-bit tone, -20 dB for a window holding a click. 0 dB for a window
// without the tone.
double worstToneWindowDb(std::span<const float> samples, int rate, double freqHz,
                         double windowMs = 5, qsizetype from = 0, qsizetype to = -1);

struct Lag {
    int samples = 0; // out[i + samples] matches ref[i]: positive when the output is late
    double correlation = 0;
};

// The lag in [-maxLag, maxLag] maximising the normalised cross-correlation of out against
// ref[from, to).
Lag bestLag(std::span<const float> out, std::span<const float> ref, int maxLag, qsizetype from = 0,
            qsizetype to = -1);

} // namespace signalcheck
