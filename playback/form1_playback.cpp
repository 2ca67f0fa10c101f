// Play, Pause, Stop and Play Selection; the two timers that keep the slider, the time labels and
// the play line in step with the stream; seeks by the slider, the strip and the keys; the
// waveform strip and the slider's picture of the whole file.
#include "app/form1.h"

#include "app/message_box.h"
#include "app/selection_slider.h"
#include "audio/mod_bass.h"
#include "base/format_time.h"
#include "base/working_folder.h"
#include "playback/transport_keys.h"
#include "playback/wave_overview.h"
#include "playback/wave_render.h"
#include "playback/wave_view.h"

#include <QFile>

#include <cmath>

namespace {

bool mediaLoaded() {
    return QFile::exists(tempWavPath());
}

// Byte counts travel as their low 32 bits.
double secondsAt(DWORD handle, QWORD bytes) {
    return BASS_ChannelBytes2Seconds(handle, bytes & 0xFFFFFFFFu);
}

double positionSeconds(DWORD handle) {
    return secondsAt(handle, BASS_ChannelGetPosition(handle, BASS_POS_BYTE));
}

double lengthSeconds(DWORD handle) {
    return secondsAt(handle, BASS_ChannelGetLength(handle, BASS_POS_BYTE));
}

// Byte offsets travel as their low 32 bits too.
QWORD bytesAt(DWORD handle, double seconds) {
    return BASS_ChannelSeconds2Bytes(handle, seconds) & 0xFFFFFFFFu;
}

void seekSeconds(DWORD handle, double seconds) {
    BASS_ChannelSetPosition(handle, bytesAt(handle, seconds), BASS_POS_BYTE);
}

constexpr QWORD kNoEnd = ~QWORD(0);

} // namespace

void Form1::cmdPlay_Click() {
    if (txtAudioFile->text() == QStringLiteral(" Please select first input audio file") ||
        !mediaLoaded()) {
        showMessage(this, QStringLiteral("Please select first input audio file"), MsgExclamation,
                    QStringLiteral("Select Audio"));
        return;
    }
    // A press on the slider may have left the interval at 0; the position is shown ten times a
    // second again.
    Timer1->start(100);
    // Past the end mark of a selection that was playing, on to the end of the file.
    BASS_ChannelSetEndPosition(static_cast<DWORD>(hStream), kNoEnd);
    BASS_ChannelPlay(static_cast<DWORD>(hStream), bRestart);
    bPlaySelection = false;
}

void Form1::cmdPause_Click() {
    BASS_ChannelPause(static_cast<DWORD>(hStream));
    bRestart = false;
}

void Form1::cmdStop_Click() {
    const auto handle = static_cast<DWORD>(hStream);
    BASS_ChannelStop(handle);
    BASS_ChannelSetEndPosition(handle, kNoEnd);
    Slider1->setValue(0);
    seekSeconds(handle, Slider1->value());
    bRestart = true;
    lblTime->setText(kUnsetTime);
    nWavePos = 0;
    DrawWaveData();
    bPlaySelection = false;
}

void Form1::cmdPlaySelection_Click() {
    if (!stretchMarked())
        return;
    const auto handle = static_cast<DWORD>(hStream);
    // The layer stops on the end mark's own sample; Timer1 then rewinds as Stop does.
    BASS_ChannelSetEndPosition(handle, selectionEndBytes());
    BASS_ChannelPlay(handle, true);
    seekSeconds(handle, Slider1->selStart());
    bPlaySelection = true;
    Timer1->start(100);
}

QWORD Form1::selectionEndBytes() const {
    const auto handle = static_cast<DWORD>(hStream);
    return std::min(bytesAt(handle, Slider1->selStart() + Slider1->selLength()),
                    BASS_ChannelGetLength(handle, BASS_POS_BYTE));
}

void Form1::Timer1_Timer() {
    const auto handle = static_cast<DWORD>(hStream);
    if (BASS_ChannelIsActive(handle) == BASS_ACTIVE_STOPPED) {
        // A selection that played to its end mark.
        if (bPlaySelection && BASS_ChannelGetPosition(handle, BASS_POS_BYTE) == selectionEndBytes())
            cmdStop_Click();
        return;
    }
    const std::int16_t length = roundSeconds(lengthSeconds(handle));
    Slider1->setMaximum(length);
    Slider1->setValue(roundSeconds(positionSeconds(handle)));
    lblTime->setText(FormatTime(roundSeconds(positionSeconds(handle))));
    lblTotalTime->setText(FormatTime(length));
    if (bMarking)
        Slider1->setSelLength(Slider1->value() - Slider1->selStart());
}

void Form1::Timer2_Timer() {
    const double point = std::floor(positionSeconds(static_cast<DWORD>(hStream)) * 100.0);
    if (!(point >= nMarkFirst && point <= nMarkLast))
        return;
    const auto i = static_cast<std::int32_t>(point);
    if (i != nWavePos) {
        nWavePos = i;
        DrawWaveData();
    }
}

void Form1::Slider1_MouseDown() {
    Timer1->stop();
    Timer1->setInterval(0);
}

void Form1::Slider1_MouseUp() {
    if (hStream == 0 || !mediaLoaded()) {
        Slider1->setValue(0);
        return;
    }
    Timer1->start(100);
    seekTo(Slider1->value());
}

void Form1::Slider1_Seek(int seconds) {
    if (hStream != 0 && mediaLoaded())
        seekTo(seconds);
}

bool Form1::seekByKey(int key) {
    if (hStream == 0 || m_loading || !mediaLoaded())
        return false;
    const auto handle = static_cast<DWORD>(hStream);
    const int second = seekKeySecond(key, roundSeconds(positionSeconds(handle)),
                                     lastWholeSecond(lengthSeconds(handle)));
    if (second < 0)
        return false;
    seekTo(second);
    return true;
}

void Form1::seekTo(double seconds) {
    const auto handle = static_cast<DWORD>(hStream);
    seekSeconds(handle, std::clamp(seconds, 0.0, lengthSeconds(handle)));
    showSeek();
}

void Form1::showSeek() {
    const auto handle = static_cast<DWORD>(hStream);
    Slider1->setMaximum(roundSeconds(lengthSeconds(handle)));
    Slider1->setValue(roundSeconds(positionSeconds(handle)));
    lblTime->setText(FormatTime(Slider1->value()));
    if (bMarking)
        Slider1->setSelLength(Slider1->value() - Slider1->selStart());
    // Play goes on from the place the user chose, not from the start.
    bRestart = false;
}

void Form1::DrawWaveData() {
    // Right of the frame's edge nothing shows: the file's end stands at the last visible column.
    const int visibleWidth =
        std::min(PicWave->width(), ScrollFrame->contentsRect().right() + 1 - PicWave->x());
    WaveFrame frame = renderWave(aWaveTop, aWaveBottom, nWaveLast, nWavePos,
                                 QSize(std::max(visibleWidth, 1), PicWave->height()));
    nWaveOffset = frame.placement.offset;
    PicWave->setImage(std::move(frame.image));
}

void Form1::showWaveOverview() {
    Slider1->setOverview(
        renderWaveOverview(aWaveTop, aWaveBottom, nWaveLast, Slider1->overviewRect().size()));
}

void Form1::PicWave_MouseDown(double x) {
    if (hStream == 0 || !mediaLoaded())
        return;
    const auto handle = static_cast<DWORD>(hStream);
    seekSeconds(handle, (x + nWaveOffset) / 100.0);
    nWavePos = static_cast<std::int32_t>(std::nearbyint(x + nWaveOffset));
    DrawWaveData();
    showSeek();
}
