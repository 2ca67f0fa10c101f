// Judging audio by its samples: programs run with a hang guard, files decoded to float samples by
// the ffmpeg command line, how clean a known tone is window by window, and the lag at which an
// output best matches its reference.
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

// A program still running after timeoutMs is terminated, so a hang fails the caller instead of
// blocking it. environment entries are "NAME=value".
Run run(const QString& program, const QStringList& args, int timeoutMs = 60000,
        const QStringList& environment = {});
bool ffmpeg(const QStringList& args); // ffmpeg -nostdin -v error -y args
// sox -R -n -r rate -c channels -b 16 path synth seconds synthArgs: repeatable noise.
bool synth(const QString& path, int rate, int channels, double seconds, const QStringList& args);
// A 1 kHz tone at -6 dBFS written with the given encoder options.
bool tone(const QString& path, int rate, int channels, double seconds, const QStringList& encoder);
// Overwrites the file's bytes at offset at, then cuts it to size bytes if size >= 0.
bool patchFile(const QString& path, qsizetype at, const QByteArray& bytes, qsizetype size = -1);

struct Audio {
    int rate = 0;
    std::vector<std::vector<float>> channels;
    qsizetype frames() const { return channels.empty() ? 0 : qsizetype(channels[0].size()); }
};

// What ffmpeg decodes (gapless where the file says how) after the given output options; a .wav
// file is read as it is unless options are given. Empty when that fails.
Audio decode(const QString& path, const QStringList& outputOptions = {});
Audio parseWav(const QByteArray& wav); // 16-bit integer or 32-bit float samples, any chunk order

// Per window of windowMs in [from, to): least-squares fit of a tone at freqHz, and
// the residual against the tone in dB. The worst window: about -90 dB for a clean 16-bit tone,
// -20 dB where a click falls, 0 dB where the tone is missing.
double worstToneWindowDb(std::span<const float> samples, int rate, double freqHz,
                         double windowMs = 5, qsizetype from = 0, qsizetype to = -1);

struct Lag {
    int samples = 0; // out[i + samples] matches ref[i]: positive when the output is late
    double correlation = 0;
};
// The lag in [-maxLag, maxLag] maximising the normalised cross-correlation of out with
// ref[from, to).
Lag bestLag(std::span<const float> out, std::span<const float> ref, int maxLag, qsizetype from = 0,
            qsizetype to = -1);

} // namespace signalcheck
