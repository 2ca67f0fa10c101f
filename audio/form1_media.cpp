// Loading a chosen file: the open dialog, drops on the file box, and the loader that converts the
// file to temp.wav, scans its waveform and opens it as the stream the window plays.
#include "app/form1.h"

#include "app/message_box.h"
#include "app/selection_slider.h"
#include "app/startup.h"
#include "audio/converted_files.h"
#include "audio/media_selection.h"
#include "audio/mod_bass_fx.h"
#include "audio/mod_cutter.h"
#include "base/errors.h"
#include "base/format_time.h"
#include "base/local_path.h"
#include "base/working_folder.h"
#include "cutter/coder_run.h"
#include "cutter/run_failure.h"
#include "playback/wave_scan.h"
#include "playback/wave_view.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

#include <cstdlib>
#include <stdexcept>

namespace {

// Byte positions travel as 32-bit numbers, so temp.wav must hold less than 2 GiB of samples.
constexpr qint64 kMaxPcmBytes = qint64{1} << 31;

[[noreturn]] void endProgram(const StartupFailure& failure) {
    showMessage(nullptr, failure.text, failure.style, failure.title);
    std::exit(EXIT_FAILURE);
}

// The stream over temp.wav, wrapped in the tempo stream that owns it; 0 on failure, after the
// message of the step that failed.
struct OpenedStream {
    HSTREAM handle = 0;
    QString failure;
};

OpenedStream openTempStream() {
    const QString path = tempWavPath();
    DWORD source = BASS_StreamCreateFile(false, path, 0, 0, BASS_STREAM_DECODE | BASS_UNICODE);
    bool isMusic = false;
    if (source == 0) {
        source = BASS_MusicLoad(false, path, 0, 0,
                                BASS_MUSIC_RAMP | BASS_MUSIC_PRESCAN | BASS_MUSIC_DECODE, 0);
        isMusic = source != 0;
    }
    if (source == 0)
        return {0, QStringLiteral("Selected file couldn't be loaded!")};
    const HSTREAM tempo = BASS_FX_TempoCreate(source, BASS_SAMPLE_LOOP | BASS_FX_FREESOURCE);
    if (tempo == 0) {
        if (isMusic)
            BASS_MusicFree(source);
        else
            BASS_StreamFree(source);
        return {0, QStringLiteral("Couldn't create a resampled stream!")};
    }
    return {tempo, {}};
}

} // namespace

void Form1::setLoadControlsEnabled(bool enabled) {
    for (QPushButton* button : {cmdPlay, cmdStop, cmdPause, cmdBeginCut, cmdEndCut})
        button->setEnabled(enabled);
    for (QAction* action : {ctlOpenMediaFile, ctlRandomCut, ctlSaveCuttedAudio})
        action->setEnabled(enabled);
    cmdPlaySelection->setEnabled(enabled);
}

// The new conversion takes temp.wav's place. A loaded file's stream is released first (the
// library as a whole, which is then set up again), since an open file cannot be renamed over
// everywhere. False when the files could not be moved: temp.wav is then as it was.
bool Form1::takeIncomingWav() {
    const bool loaded = QFile::exists(tempWavPath());
    if (loaded) {
        cmdStop_Click();
        BASS_Free();
        hStream = 0;
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    const bool replaced = replaceConverted(incomingWavPath(), tempWavPath());
    if (loaded) {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QDir::setCurrent(QCoreApplication::applicationDirPath());
        if (auto failure = checkLibraryVersions(BASS_GetVersion(), BASS_FX_GetVersion()))
            endProgram(*failure);
        if (!BASS_Init(-1, 44100, 0, reinterpret_cast<void*>(winId()), nullptr))
            endProgram(deviceFailure());
    }
    return replaced;
}

void Form1::LoadMedia(QString FileName) {
    if (m_loading || m_saving)
        return;
    m_loading = true;
    struct LoadingFlag {
        Form1* window;
        ~LoadingFlag() {
            window->m_loading = false;
            window->closeIfRequested();
        }
    } loadingFlag{this};

    // Until the new file has converted and scanned, the loaded one stays as it is: its stream
    // (playing on, if it played), waveform, marks and name.
    const QString previousName = txtAudioFile->text();
    bool replaced = false;
    try {
        setLoadControlsEnabled(false);
        QCoreApplication::processEvents();
        // A name that is not UTF-8 shows as a file manager shows it; the file is still reached.
        txtAudioFile->setText(shownPath(FileName));
        setStatusText(QStringLiteral(" Loading...Please Wait."));
        ProgressBar1->setValue(1);
        QCoreApplication::processEvents();
        const QString incoming = incomingWavPath();
        if (!removeConverted(incoming))
            fail(QStringLiteral("Can't delete %1.").arg(incoming));
        QString errorLine;
        // The bar runs once while converting, as the transcoder reports, and again while scanning.
        const std::int32_t exitCode = ConvertToWav(
            FileName, incoming, &errorLine, [this](double fraction) { showRunProgress(fraction); });
        QCoreApplication::processEvents();
        if (exitCode == kShellWaitEnded) { // stopped on purpose: nothing to report
            keepPreviousFile(previousName, {});
            return;
        }
        if (exitCode != 0)
            fail(runFailureText(RunKind::Open, exitCode, errorLine));
        const QFileInfo converted(incoming);
        if (!converted.exists())
            fail(QStringLiteral("The transcoder wrote no WAV file."));
        if (converted.size() - kWaveHeaderBytes >= kMaxPcmBytes)
            fail(QStringLiteral("The file is too long: Quillet opens up to 3 hours 22 minutes "
                                "of audio (2 GiB of 16-bit stereo samples at 44100 Hz)."));

        WaveScan scan = scanWaveFile(incoming, [this](std::int32_t bound, std::int32_t point) {
            ProgressBar1->setMaximum(std::max(bound, 1));
            ProgressBar1->setValue(std::min(point, bound));
        });
        if (!takeIncomingWav()) {
            // The loaded file stays, its stream opened again from the start; where even it could
            // not be put back, nothing is loaded any more and the window says so.
            if (QFile::exists(tempWavPath()))
                hStream = static_cast<std::int32_t>(openTempStream().handle);
            else
                replaced = true;
            fail(QStringLiteral("Can't replace %1.").arg(tempWavPath()));
        }
        replaced = true;
        aWaveTop = std::move(scan.top);
        aWaveBottom = std::move(scan.bottom);
        nWaveLast = scan.lastPoint;
        nMarkFirst = 0;
        nMarkLast = nWaveLast;
        nWavePos = 0;
        DrawWaveData();
        showWaveOverview();

        QDir::setCurrent(QCoreApplication::applicationDirPath());
        BASS_StreamFree(static_cast<DWORD>(hStream));
        OpenedStream stream = openTempStream();
        if (stream.handle == 0) {
            abandonLoad(stream.failure, {});
            return;
        }
        hStream = static_cast<std::int32_t>(stream.handle);

        const double lengthSeconds = BASS_ChannelBytes2Seconds(
            stream.handle, BASS_ChannelGetLength(stream.handle, BASS_POS_BYTE) & 0xFFFFFFFFu);
        const double positionSeconds = BASS_ChannelBytes2Seconds(
            stream.handle, BASS_ChannelGetPosition(stream.handle, BASS_POS_BYTE) & 0xFFFFFFFFu);
        if (!fitsSlider(lengthSeconds))
            fail(QStringLiteral("The file is too long: the position slider holds at most "
                                "32767 seconds."));
        Slider1->setMaximum(roundSeconds(lengthSeconds));
        Slider1->setValue(roundSeconds(positionSeconds));
        clearMarks();
        lblTotalTime->setText(FormatTime(roundSeconds(lengthSeconds)));

        setStatusText(QStringLiteral(" Ready"));
        ProgressBar1->setValue(0);
        ProgressBar1->setMaximum(100);
        setLoadControlsEnabled(true);
        Slider1->setEnabled(true);
    } catch (const std::exception& error) {
        const QString text = QString::fromStdString(error.what());
        if (replaced)
            abandonLoad(text, QStringLiteral("Error Loading Media"));
        else
            keepPreviousFile(previousName, text);
    }
}

// A load that failed or was stopped before its file took temp.wav's place: the loaded file (or
// none) stays exactly as it was, and the new file's conversion goes.
void Form1::keepPreviousFile(const QString& previousName, const QString& text) {
    removeConverted(incomingWavPath());
    txtAudioFile->setText(previousName);
    setStatusText(QStringLiteral(" Ready"));
    ProgressBar1->setMaximum(100);
    ProgressBar1->setValue(0);
    setLoadControlsEnabled(hStream != 0);
    ctlOpenMediaFile->setEnabled(true);
    if (!m_closeRequested && !text.isEmpty())
        showMessage(this, text, MsgExclamation, QStringLiteral("Error Loading Media"));
}

// A load that failed after its file took temp.wav's place leaves nothing of a file behind: no
// stream, no temp.wav, no waveform; the open command is available again.
void Form1::abandonLoad(const QString& text, const QString& title) {
    BASS_StreamFree(static_cast<DWORD>(hStream));
    hStream = 0;
    removeConverted(tempWavPath());
    aWaveTop.clear();
    aWaveBottom.clear();
    nWaveLast = 0;
    nWavePos = 0;
    nWaveOffset = 0;
    nMarkFirst = 0;
    nMarkLast = 0;
    PicWave->setImage(QImage());
    showWaveOverview();
    Slider1->setValue(0);
    Slider1->setMaximum(0);
    clearMarks();
    lblTime->setText(kUnsetTime);
    lblTotalTime->setText(kUnsetTime);
    setStatusText(QStringLiteral(" Ready"));
    ProgressBar1->setMaximum(100);
    ProgressBar1->setValue(0);
    ctlOpenMediaFile->setEnabled(true);
    if (!m_closeRequested && !text.isEmpty())
        showMessage(this, text, MsgExclamation, title);
}

void Form1::OpenMediaFile() {
    QString fileName;
    { // the dialog is gone before the load starts, so no key of the load goes to it
        QFileDialog dialog(this, kOpenDialogTitle, openDialogFolder(txtAudioFile->text()),
                           openDialogFilter());
        dialog.setObjectName(QStringLiteral("CommonDialog1"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return;
        fileName = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    }
    if (!fileName.isEmpty())
        LoadMedia(fileName);
}

bool Form1::txtAudioFile_OLEDragOver(const QMimeData* data) const {
    if (m_loading || m_saving || !data->hasUrls())
        return false;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return true;
    return false;
}

void Form1::txtAudioFile_OLEDragDrop(const QMimeData* data) {
    if (m_loading || m_saving)
        return;
    QStringList files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            files << QDir::toNativeSeparators(localPathOf(url));
    if (files.isEmpty())
        return;
    if (isAcceptedAudioName(files.constFirst()))
        LoadMedia(files.constFirst());
    else
        showMessage(this, QStringLiteral("Invalid audio file."), MsgExclamation,
                    QStringLiteral("Invalid Audio Format"));
}
