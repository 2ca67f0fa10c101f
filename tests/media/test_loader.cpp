// The loader on the real window with the real transcoder and audio layer: loads one after another,
// the status bar meanwhile, the open dialog, drops, and the ways a load fails.
#include "app/wave_view.h"
#include "audio/audio_output.h"
#include "audio/mod_cutter.h"
#include "tests/support/wav_bytes.h"
#include "tests/support/window_fixture.h"

#include <QMimeData>

class TestLoader : public QObject {
    Q_OBJECT
    WindowFixture f;
    int m_outputsMade = 0;

    // Drags the files (or, with none, text) onto the file box and drops them there; true when the
    // drag was taken.
    bool drop(const QStringList& files) {
        QMimeData data;
        for (const QString& file : files)
            data.setUrls(data.urls() << QUrl::fromLocalFile(file));
        data.setText(files.isEmpty() ? "/music/a.mp3" : "");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(f.window->txtAudioFile, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(f.window->txtAudioFile, &drop);
        return enter.isAccepted();
    }
    // What a user sees once a file is loaded: a point per 10 ms and one more from the empty read.
    void verifyLoaded(const QString& name, int seconds) {
        Form1& w = *f.window;
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.value(0).text));
        QCOMPARE(QStringList({w.txtAudioFile->text(), w.ProgressBar1->format(),
                              w.lblTotalTime->text(), w.lblBeginCut->text(), w.lblEndCut->text()}),
                 QStringList({f.path(name), " Ready", "00:00:0" + QString::number(seconds),
                              "00:00:00", "00:00:00"}));
        QCOMPARE(
            QList<int>({w.Slider1->maximum(), w.Slider1->value(), w.Slider1->selStart(),
                        w.Slider1->selLength(), w.ProgressBar1->value(), w.nWaveLast, w.nMarkLast}),
            QList<int>({seconds, 0, 0, 0, 0, seconds * 100, seconds * 100}));
        for (const QObject* control : QObjectList{
                 w.cmdPlay, w.cmdStop, w.cmdPause, w.cmdBeginCut, w.cmdEndCut, w.cmdPlaySelection,
                 w.Slider1, w.ctlOpenMediaFile, w.ctlRandomCut, w.ctlSaveCuttedAudio})
            QVERIFY2(control->property("enabled").toBool(), qPrintable(control->objectName()));
        QCOMPARE(BASS_ChannelIsActive(w.hStream), BASS_ACTIVE_STOPPED);
        QVERIFY(!QFile::exists(coderPath()));
    }

private Q_SLOTS:
    void initTestCase() {
        setAudioOutputFactory([this] {
            ++m_outputsMade;
            return makeDefaultAudioOutput();
        });
        QVERIFY(testaudio::makeTone(f.path("tone 3s.wav"), 3));
        QVERIFY(testaudio::makeAudio(f.path("silence 5s.flac"), 5, {"vol", "0"}, 48000, 1));
    }
    void init() {
        if (!f.open())
            QSKIP("No audio output device (start the test services first)");
        m_outputsMade = 0;
    }
    void cleanup() { f.close(); }

    // The first load keeps the start-up's audio set-up and refuses a drop or a load meanwhile;
    // the status bar runs from 1 and then over the scan, to the last point. Cancelled, the open
    // dialog changes nothing; the file chosen in it stops the one playing, sets up again,
    // replaces temp.wav and clears the marks.
    void loads() {
        Form1& w = *f.window;
        QList<int> progress;
        connect(w.ProgressBar1, &QProgressBar::valueChanged, &w, [&](int value) {
            if (w.ProgressBar1->format() != " Loading...Please Wait.")
                return;
            progress << value;
            QVERIFY(!drop({f.path("silence 5s.flac")}));
            w.LoadMedia(f.path("silence 5s.flac"));
        });
        w.LoadMedia(f.path("tone 3s.wav"));
        verifyLoaded("tone 3s.wav", 3);
        QCOMPARE(m_outputsMade, 0);
        QVERIFY(w.aWaveTop[150] < 40 && w.aWaveBottom[150] > 88); // a tone at half scale
        QCOMPARE(progress.value(0), 1);
        QCOMPARE(progress.mid(progress.size() - 4), QList<int>({0, 100, 200, 300}));
        f.steps("at=1,cmdBeginCut,at=2,cmdEndCut,cmdPlay");
        for (const QString& choice : {QString(), f.path("silence 5s.flac")}) {
            f.answerDialog(choice);
            w.CommandBars_Execute(kCmdOpenMediaFile);
            QCOMPARE(f.dialogTitle, "Select Media File");
            QVERIFY(!choice.isEmpty() || (w.txtAudioFile->text() == f.path("tone 3s.wav") &&
                                          w.lblEndCut->text() == "00:00:02" && !m_outputsMade));
        }
        QCOMPARE(f.dialogFilters,
                 QStringList({"MP3 Files (*.mp3)", "WMA Files (*.wma)", "WAV Files (*.wav)",
                              "AMR Files (*.amr)", "Flac Files (*.flac)"}));
        verifyLoaded("silence 5s.flac", 5);
        QVERIFY(m_outputsMade == 1 && w.bRestart); // the Stop and the new set-up of a second load
        QCOMPARE(testaudio::decodedSeconds(tempWavPath(), 44100), 5.0);
        QCOMPARE(std::count(w.aWaveTop.begin(), w.aWaveTop.begin() + 501, 64) +
                     std::count(w.aWaveBottom.begin(), w.aWaveBottom.begin() + 501, 64),
                 1002);
    }

    // A failed load says why under "Error Loading Media" and leaves nothing of a file, also not
    // the waveform loaded before it; the next load works as a first one would. A temp.wav that
    // holds more than its header announces (the tone's grows while it is scanned) fails alike.
    void failures_data() {
        columns<QByteArray, QString>({"content", "reason"}); // content null: no such file
        QTest::newRow("not audio") << QByteArray("only words")
                                   << "Quillet can't open this file: "
                                      "it is not an audio file Quillet knows.\n\ncodec: ";
        QTest::newRow("empty") << QByteArray("") << "Quillet can't open this file: it is not";
        QTest::newRow("gone") << QByteArray() << "Quillet can't open this file: it is no longer";
        QTest::newRow("no codec.dll") << QByteArray("") << "File not found: ";
        QTest::newRow("temp.wav grows")
            << QByteArray("grows") << tempWavPath() + " holds more audio than its header";
    }
    void failures() {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        Form1& w = *f.window;
        w.LoadMedia(f.path("tone 3s.wav"));
        bool grows = content == "grows";
        const QString bad = f.path(grows ? "tone 3s.wav" : "bad one.MP3");
        const QString codec = programFolderFile("codec.dll");
        QFile::remove(f.path("bad one.MP3"));
        if (!content.isNull() && !grows)
            wavbytes::write(bad, content);
        connect(w.ProgressBar1, &QProgressBar::valueChanged, &w, [&] {
            QFile file(tempWavPath());
            if (w.ProgressBar1->maximum() == 300 && std::exchange(grows, false) && // 3 s scanned
                file.open(QIODevice::Append))
                file.write(QByteArray(10 * 1764, '\0'));
        });
        const bool noCodec = reason.startsWith("File");
        QVERIFY(!noCodec || QFile::rename(codec, codec + ".aside"));
        QVERIFY(drop({bad}));
        QVERIFY(!noCodec || QFile::rename(codec + ".aside", codec));
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages[0].title + QString::number(f.messages[0].style),
                 "Error Loading Media48");
        QVERIFY2(f.messages[0].text.startsWith(reason), qPrintable(f.messages[0].text));
        QCOMPARE(w.txtAudioFile->text(), bad);
        QVERIFY(!QFile::exists(tempWavPath()) && w.hStream == 0 && w.PicWave->image().isNull());
        QCOMPARE(w.lblTotalTime->text() + w.ProgressBar1->format(), "00:00:00 Ready");
        QVERIFY(w.ctlOpenMediaFile->isEnabled() && !w.cmdPlay->isEnabled());
        f.messages.clear();
        w.LoadMedia(f.path("silence 5s.flac"));
        verifyLoaded("silence 5s.flac", 5);
    }

    // Text is not taken; a name of another type is refused; of three files the first loads.
    void drops() {
        QVERIFY(!drop({}));
        QVERIFY(drop({f.path("notes.ogg")}));
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages[0].title + ": " + f.messages[0].text,
                 "Invalid Audio Format: Invalid audio file.");
        QVERIFY(!QFile::exists(tempWavPath()));
        f.messages.clear();
        QVERIFY(drop({f.path("tone 3s.wav"), f.path("silence 5s.flac"), f.path("notes.ogg")}));
        verifyLoaded("tone 3s.wav", 3);
    }
};

QTEST_MAIN(TestLoader)
#include "test_loader.moc"
