// Loading a long file into the window, side by side with the transcoder's conversion of the same
// file alone and with the ffmpeg command line's (ffmpeg -i FILE -f wav out.wav); the cost of a
// waveform redraw while scrolling; the CPU the window uses while playing; the peak memory with the
// file loaded. Run by bench/load.sh.
#include "app/form1.h"
#include "app/message_box.h"
#include "app/selection_slider.h"
#include "audio/mod_bass.h"
#include "audio/mod_cutter.h"
#include "base/working_folder.h"
#include "cutter/coder_run.h"
#include "cutter/export_command.h"
#include "cutter/mod_shell32.h"

#include <QDir>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

void runEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_load FILE [RUNS]\n");
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    // Every save after the first replaces the one before it.
    setMessageHandler([](ShownMessage& m) {
        m.yes = true;
        if (!m.question)
            std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
    });
    QTemporaryDir dir;

    Form1 window;
    window.show();
    if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
        std::fprintf(stderr, "no audio output device\n");
        return 1;
    }
    std::vector<double> convert, load, ffmpeg;
    const QString aloneWav = dir.filePath(QStringLiteral("alone.wav"));
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        ConvertToWav(input, aloneWav);
        convert.push_back(timer.nsecsElapsed() / 1e9);
        QFile::remove(aloneWav);

        timer.restart();
        QProcess::execute(QStringLiteral("ffmpeg"),
                          {QStringLiteral("-nostdin"), QStringLiteral("-v"),
                           QStringLiteral("error"), QStringLiteral("-i"), input,
                           QStringLiteral("-f"), QStringLiteral("wav"), aloneWav});
        ffmpeg.push_back(timer.nsecsElapsed() / 1e9);
        QFile::remove(aloneWav);

        timer.restart();
        window.LoadMedia(input);
        load.push_back(timer.nsecsElapsed() / 1e9);
        if (window.ProgressBar1->format() != QStringLiteral(" Ready") || window.hStream == 0) {
            std::fprintf(stderr, "the load failed\n");
            return 1;
        }
    }
    const double convertMedian = median(convert);
    const double loadMedian = median(load);
    std::printf("load to Ready          %7.2f s   conversion alone %7.2f s   ratio %.2f x\n",
                loadMedian, convertMedian, loadMedian / convertMedian);
    std::printf("load to Ready          %7.2f s   ffmpeg -f wav    %7.2f s   ratio %.2f x\n",
                loadMedian, median(ffmpeg), loadMedian / median(ffmpeg));
    // The slider's picture of the whole file: built once per load and per resize, against a
    // redraw of the strip, which happens on every 10-ms point the play line moves.
    const auto buildOverview = [&] {
        std::vector<double> builds;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer timer;
            timer.start();
            window.showWaveOverview();
            builds.push_back(timer.nsecsElapsed() / 1e6);
        }
        return median(builds);
    };
    std::printf("slider overview built  %7.3f ms median (%d points)\n", buildOverview(),
                window.nWaveLast + 1);
    if (qEnvironmentVariableIsSet("QUILLET_BENCH_LOAD_ONLY"))
        return 0;

    std::vector<double> draws;
    for (int p = 0; p <= window.nWaveLast; p += std::max(1, window.nWaveLast / 2000)) {
        window.nWavePos = p;
        QElapsedTimer timer;
        timer.start();
        window.DrawWaveData();
        draws.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("DrawWaveData           %7.3f ms median per call (%zu calls)\n", median(draws),
                draws.size());
    std::vector<double> repaints;
    for (int i = 0; i < 200; ++i) {
        window.Slider1->setValue(i % std::max(1, window.Slider1->maximum()));
        QElapsedTimer timer;
        timer.start();
        window.Slider1->repaint();
        repaints.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("slider repaint         %7.3f ms median with the overview (%zu repaints)\n",
                median(repaints), repaints.size());

    window.cmdStop_Click();
    window.cmdPlay_Click();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runEvents(10000);
    const double cpu = (cpuSeconds() - cpuBefore) / (wall.nsecsElapsed() / 1e9);
    std::printf("CPU while playing      %7.1f %% of one core\n", cpu * 100.0);
    window.cmdStop_Click();

    // Saving the last 30 seconds as MP3 at 192 kbit/s, from the save command to idle, against
    // the transcoder's run of the same command line alone.
    const QString out = dir.filePath(QStringLiteral("out")) + QDir::separator();
    QDir().mkpath(out);
    window.txtOutputFolder->setText(out);
    window.chkAutoOpen->setChecked(false);
    window.cboOutputFormat->setCurrentText(QStringLiteral("MP3"));
    window.cboBitrate->setCurrentText(QStringLiteral("192"));
    window.cboFrequency->setCurrentText(QStringLiteral("44100"));
    window.cboChannels->setCurrentText(QStringLiteral("Stereo"));
    window.Slider1->setValue(window.Slider1->maximum() - 30);
    window.cmdBeginCut_Click();
    window.Slider1->setValue(window.Slider1->maximum());
    window.cmdEndCut_Click();
    ExportRequest request;
    request.workingFolder = workingFolder();
    request.separator = QDir::separator();
    request.selStartSeconds = window.Slider1->selStart();
    request.selLengthSeconds = window.Slider1->selLength();
    request.bitrateText = QStringLiteral("192");
    request.frequencyText = QStringLiteral("44100");
    request.channelIndex = 1;
    request.outputFolder = out;
    request.baseName = QStringLiteral("alone");
    request.formatText = QStringLiteral("MP3");
    std::vector<double> save, alone;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        window.CommandBars_Execute(kCmdSaveCuttedAudio);
        save.push_back(timer.nsecsElapsed() / 1e9);
        timer.restart();
        provideCoder();
        ShellAndWait(exportCommandLine(request), SW_HIDE);
        removeCoder();
        alone.push_back(timer.nsecsElapsed() / 1e9);
    }
    std::printf("save last 30 s as MP3  %7.3f s   transcoder alone %7.3f s   ratio %.2f x\n",
                median(save), median(alone), median(save) / median(alone));
    std::printf("peak memory            %7.1f MB with the file loaded\n",
                static_cast<double>(peakKilobytes()) / 1024.0);
    window.close();
    return 0;
}
