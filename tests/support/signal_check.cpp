#include "tests/support/signal_check.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <numbers>

namespace signalcheck {

Run run(const QString& program, const QStringList& args, int timeoutMs,
        const QStringList& environment) {
    QProcess p;
    if (!environment.isEmpty())
        p.setEnvironment(QProcess::systemEnvironment() + environment);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        r.timedOut = p.state() != QProcess::NotRunning;
        p.terminate(); // first, so that the program may remove what it was writing
        if (!p.waitForFinished(2000)) {
            p.kill();
            p.waitForFinished();
        }
    } else if (p.exitStatus() == QProcess::NormalExit) {
        r.exitCode = p.exitCode();
    }
    r.output = p.readAllStandardOutput();
    r.errors = QString::fromUtf8(p.readAllStandardError()).trimmed();
    return r;
}

bool ffmpeg(const QStringList& args) {
    return run("ffmpeg", QStringList{"-nostdin", "-v", "error", "-y"} + args).exitCode == 0;
}

bool synth(const QString& path, int rate, int channels, double seconds, const QStringList& args) {
    return run("sox",
               QStringList{"-R", "-n", "-r", QString::number(rate), "-c", QString::number(channels),
                           "-b", "16", path, "synth", QString::number(seconds)} +
                   args)
               .exitCode == 0;
}

bool tone(const QString& path, int rate, int channels, double seconds, const QStringList& encoder) {
    const QStringList sine(channels, "0.5*sin(2*PI*1000*t)");
    return ffmpeg(
        QStringList{"-f", "lavfi", "-i",
                    QString("aevalsrc=%1:s=%2:d=%3").arg(sine.join('|')).arg(rate).arg(seconds)} +
        encoder + QStringList{path});
}

bool patchFile(const QString& path, qsizetype at, const QByteArray& bytes, qsizetype size) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    QByteArray all = f.readAll().replace(at, bytes.size(), bytes);
    if (size >= 0)
        all.truncate(size);
    return f.resize(0) && f.write(all) == all.size();
}

Audio decode(const QString& path, const QStringList& outputOptions) {
    QFile f(path);
    if (path.endsWith(".wav") && outputOptions.isEmpty())
        return f.open(QIODevice::ReadOnly) ? parseWav(f.readAll()) : Audio{};
    const Run r =
        run("ffmpeg", QStringList{"-nostdin", "-v", "error", "-i", path, "-map", "0:a:0"} +
                          outputOptions + QStringList{"-c:a", "pcm_f32le", "-f", "wav", "-"});
    return r.exitCode == 0 ? parseWav(r.output) : Audio{};
}

Audio parseWav(const QByteArray& wav) {
    Audio a;
    int channels = 0, bits = 0;
    const auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(wav.constData() + at); };
    const auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(wav.constData() + at); };
    for (qsizetype at = 12; at + 8 <= wav.size();) {
        const QByteArray id = wav.mid(at, 4);
        const qsizetype size = u32(at + 4);
        if (id == "fmt " && at + 24 <= wav.size()) {
            channels = u16(at + 10);
            a.rate = int(u32(at + 12));
            bits = u16(at + 22);
        } else if (id == "data" && channels > 0 && (bits == 16 || bits == 32)) {
            // A piped WAV states no length (all ones): take what is there.
            const qsizetype frames =
                std::min<qsizetype>(wav.size() - at - 8, size) / (channels * bits / 8);
            a.channels.assign(channels, std::vector<float>(frames));
            for (qsizetype i = 0; i < frames * channels; ++i) {
                const char* p = wav.constData() + at + 8 + i * bits / 8;
                float v = qFromLittleEndian<qint16>(p) / 32768.0f;
                if (bits == 32)
                    std::memcpy(&v, p, 4);
                a.channels[i % channels][i / channels] = v;
            }
            return a;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

double worstToneWindowDb(std::span<const float> samples, int rate, double freqHz, double windowMs,
                         qsizetype from, qsizetype to) {
    if (to < 0 || to > qsizetype(samples.size()))
        to = qsizetype(samples.size());
    const qsizetype window = std::max<qsizetype>(8, std::llround(windowMs * rate / 1000));
    const double w = 2 * std::numbers::pi * freqHz / rate;
    double worst = -400;
    for (qsizetype start = from; start + window <= to; start += window) {
        // Least squares of y = a sin + b cos over the window, solved in closed form.
        double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0;
        for (qsizetype n = start; n < start + window; ++n) {
            const double sn = std::sin(w * double(n)), cn = std::cos(w * double(n));
            ss += sn * sn, cc += cn * cn, sc += sn * cn, ys += samples[n] * sn,
                yc += samples[n] * cn;
        }
        const double det = ss * cc - sc * sc;
        const double x[2] = {(ys * cc - yc * sc) / det, (yc * ss - ys * sc) / det};
        double residual = 0;
        for (qsizetype n = start; n < start + window; ++n) {
            const double e =
                samples[n] - x[0] * std::sin(w * double(n)) - x[1] * std::cos(w * double(n));
            residual += e * e;
        }
        const double toneRms = std::sqrt((x[0] * x[0] + x[1] * x[1]) / 2);
        const double residualRms = std::max(std::sqrt(residual / double(window)), 1e-20);
        worst = std::max(worst, toneRms < 1e-6 ? 0.0 : 20 * std::log10(residualRms / toneRms));
    }
    return worst;
}

Lag bestLag(std::span<const float> out, std::span<const float> ref, int maxLag, qsizetype from,
            qsizetype to) {
    if (to < 0 || to > qsizetype(ref.size()))
        to = qsizetype(ref.size());
    Lag best{0, -2};
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double cross = 0, outEnergy = 0, refEnergy = 0;
        for (qsizetype i = std::max<qsizetype>(from, -lag);
             i < to && i + lag < qsizetype(out.size()); ++i) {
            cross += double(out[i + lag]) * ref[i];
            outEnergy += double(out[i + lag]) * out[i + lag];
            refEnergy += double(ref[i]) * ref[i];
        }
        const double c =
            outEnergy > 0 && refEnergy > 0 ? cross / std::sqrt(outEnergy * refEnergy) : 0;
        if (c > best.correlation)
            best = {lag, c};
    }
    return best;
}

} // namespace signalcheck
