// Where the user points, the window plays: a marked stretch heard whole from the null sink's
// monitor, seeks that stick, the play line in sight to a long file's end, the file on the slider.
#include "base/format_time.h"
#include "playback/wave_overview.h"
#include "tests/support/window_fixture.h"

#include <ranges>

namespace {
// The seconds from the first to the last sample above a tenth of full scale, in 16-bit mono at
// 44100 Hz; -1 when nothing sounded.
double soundingSeconds(const QByteArray& pcm) {
    const std::span samples(reinterpret_cast<const qint16*>(pcm.constData()), pcm.size() / 2);
    const auto loud = [](qint16 sample) { return std::abs(sample) > 3277; };
    const auto first = std::ranges::find_if(samples, loud);
    const auto last = std::ranges::find_if(samples | std::views::reverse, loud).base();
    return first == samples.end() ? -1 : double(last - first) / 44100;
}

// The columns of the picture where the play line stands.
QList<int> yellowColumns(const QImage& image) {
    QList<int> found;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixel(x, 1) == qRgb(255, 255, 0))
            found << x;
    return found;
}
} // namespace

class TestPointing : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QVERIFY(testaudio::tone(f.path("tone.wav"), 44100, 2, 30));
        QVERIFY(testaudio::tone(f.path("minute.wav"), 44100, 2, 60));
        // Loud for five seconds, then silent for five.
        QVERIFY(
            testaudio::tone(f.path("half.wav"), 44100, 2, 10, {}, "0.9*sin(2*PI*440*t)*lt(t,5)"));
    }

    // Recorded from the null sink's monitor, a selection of 2 s to 5 s sounds for 3 s: the
    // layer stops on the end mark's sample, and then the window rewinds as Stop does.
    void selectionSoundsWhole() {
        f.steps("load=tone.wav,at=2,cmdBeginCut,at=5,cmdEndCut");
        QProcess recorder;
        recorder.start("parec", {"--device=null.monitor", "--raw", "--format=s16le", "--rate=44100",
                                 "--channels=1", "--latency-msec=20"});
        QVERIFY(recorder.waitForStarted());
        QTest::qWait(300);
        w->cmdPlaySelection_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!w->bPlaySelection, 15000);
        QTest::qWait(300);
        recorder.terminate();
        QVERIFY(recorder.waitForFinished());
        const double heard = soundingSeconds(recorder.readAllStandardOutput());
        QVERIFY2(heard > 2.98 && heard < 3.1, qPrintable(QString::number(heard)));
        QVERIFY(w->bRestart && f.seconds() == 0 && w->Slider1->value() == 0);
    }

    // After the steps the time label and the slider show the second at once; Play starts there.
    void seeks_data() {
        columns<QString, int>({"steps", "second"});
        const std::pair<const char*, int> rows[] = {
            {"cmdStop,strip=400", 4},
            {"cmdStop,slide=20", 20},
            {"cmdPlay,cmdPause,strip=500", 5},
            {"strip=400,cmdStop", 0},
            {"cmdStop,key=Right,key=Right", 2},
            {"key=Right,key=Left,key=Left", 0},
            {"key=End", 29},
            {"key=End,key=Right", 29},
            {"key=End,key=Home", 0},
            {"focus=cmdPlay,key=Right", 1},
            {"focus=txtAudioFile,key=End", 29},
            {"focus=Slider1,key=PgUp", 10},
            {"focus=Slider1,key=Right,key=Right,key=Left", 1},
            {"reader=12", 12},
            {"page=1,focus=txtOutputFolder,key=Right,key=End", 0},
            {"page=1,focus=cboChannels,key=Right", 0}};
        for (const auto& [steps, second] : rows)
            QTest::newRow(steps) << QString::fromLatin1(steps) << second;
    }
    void seeks() {
        QFETCH(QString, steps);
        QFETCH(int, second);
        f.steps("load=tone.wav," + steps);
        QCOMPARE(w->lblTime->text(), FormatTime(second));
        QCOMPARE(w->Slider1->value(), second);
        w->cmdPlay_Click();
        QVERIFY2(f.seconds() >= second && f.seconds() < second + 0.4,
                 qPrintable(QString::number(f.seconds())));
    }

    // In a minute's file the play line stays in sight over the last seconds, at the placement's
    // column for the strip's visible width; a press on the last visible column seeks to the end.
    void lineInSightToTheEnd() {
        f.steps("load=minute.wav");
        const int visible = w->ScrollFrame->contentsRect().right() + 1 - w->PicWave->x();
        const int lastColumn = std::min(w->PicWave->width(), visible) - 1;
        for (const int point : {5600, 5650, 5651, 5800, 5999, 6000}) {
            BASS_ChannelSetPosition(
                w->hStream, BASS_ChannelSeconds2Bytes(w->hStream, point / 100.0), BASS_POS_BYTE);
            QTRY_COMPARE(w->nWavePos, point);
            const int expected = point <= 5650 ? 350 : point - 6000 + lastColumn;
            QCOMPARE(yellowColumns(w->ScrollFrame->grab().toImage()), QList<int>{expected});
        }
        w->PicWave_MouseDown(lastColumn);
        QCOMPARE(f.seconds(), 60.0);
        w->PicWave_MouseDown(lastColumn - 100);
        QCOMPARE(f.seconds(), 59.0);
    }

    // Over a file loud for its first half and silent for its second, the slider shows the
    // waveform's picture under the first half only; it is drawn again to a new width.
    void overview() {
        f.steps("load=half.wav");
        const QRect area = w->Slider1->overviewRect();
        const QImage with = w->Slider1->grab().toImage();
        w->Slider1->setOverview(QImage());
        const QImage without = w->Slider1->grab().toImage();
        const auto differs = [&](double from, double to) {
            const auto column = [&](const QImage& image, int x) {
                return image.copy(x, area.top(), 1, area.height());
            };
            int columns = 0;
            for (int x = area.left() + int(from * area.width());
                 x < area.left() + to * area.width(); ++x)
                columns += column(with, x) != column(without, x);
            return columns;
        };
        QVERIFY2(differs(0.1, 0.48) > area.width() / 2 * 0.7,
                 qPrintable(QString::number(differs(0.1, 0.48))));
        QCOMPARE(differs(0.52, 1.0), 0);
        w->showWaveOverview();
        w->resize(w->width() - 120, w->height());
        QTRY_VERIFY(w->Slider1->overviewRect().width() < area.width());
        const QSize size = w->Slider1->overviewRect().size();
        QCOMPARE(w->Slider1->overview(),
                 renderWaveOverview(w->aWaveTop, w->aWaveBottom, w->nWaveLast, size));
    }
};

QTEST_MAIN(TestPointing)
#include "test_pointing.moc"
