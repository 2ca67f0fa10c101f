// The loader on the real window with the real transcoder and audio layer: loads one after another,
// the status bar meanwhile, drops, the open dialog, and the ways a load fails.
#include "app/form1.h"
#include "app/message_box.h"
#include "app/selection_slider.h"
#include "app/wave_view.h"
#include "app/working_folder.h"
#include "audio/audio_output.h"
#include "audio/mod_bass.h"
#include "audio/mod_cutter.h"
#include "tests/support/test_audio.h"
#include "tests/support/wav_bytes.h"

#include <QApplication>
#include <QFileDialog>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

using wavbytes::write;
class TestLoader : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<Form1> m_window;
    QList<ShownMessage> m_messages;
    int m_outputsMade = 0;

    QString path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    // Drags the files (or, with none, text) onto the file box and drops them there; true when the
    // drag was taken.
    bool drop(const QStringList& files) {
        QMimeData data;
        for (const QString& file : files)
            data.setUrls(data.urls() << QUrl::fromLocalFile(file));
        data.setText(files.isEmpty() ? "/music/a.mp3" : "");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m_window->txtAudioFile, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m_window->txtAudioFile, &drop);
        return enter.isAccepted();
    }
    // What a user sees once a file is loaded: a point per 10 ms and one more from the empty read.
    void verifyLoaded(const QString& file, int seconds) {
        Form1& w = *m_window;
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
        QCOMPARE(QStringList({w.txtAudioFile->text(), w.ProgressBar1->format(),
                              w.lblTotalTime->text(), w.lblBeginCut->text(), w.lblEndCut->text()}),
                 QStringList({file, " Ready", "00:00:0" + QString::number(seconds), "00:00:00",
                              "00:00:00"}));
        QCOMPARE(
            QList<int>({w.Slider1->maximum(), w.Slider1->value(), w.Slider1->selStart(),
                        w.Slider1->selLength(), w.ProgressBar1->value(), w.nWaveLast, w.nMarkLast}),
            QList<int>({seconds, 0, 0, 0, 0, seconds * 100, seconds * 100}));
        for (QWidget* control :
             std::initializer_list<QWidget*>{w.cmdPlay, w.cmdStop, w.cmdPause, w.cmdBeginCut,
                                             w.cmdEndCut, w.cmdPlaySelection, w.Slider1})
            QVERIFY(control->isEnabled());
        for (QAction* action : {w.ctlOpenMediaFile, w.ctlRandomCut, w.ctlSaveCuttedAudio})
            QVERIFY(action->isEnabled());
        QCOMPARE(BASS_ChannelIsActive(w.hStream), BASS_ACTIVE_STOPPED);
        QVERIFY(!QFile::exists(coderPath()));
    }

private Q_SLOTS:
    void initTestCase() {
        setMessageHandler([this](const ShownMessage& m) { m_messages << m; });
        setAudioOutputFactory([this] {
            ++m_outputsMade;
            return makeDefaultAudioOutput();
        });
        QVERIFY(testaudio::makeTone(path("tone 3s.wav"), 3));
        QVERIFY(testaudio::makeAudio(path("silence 5s.flac"), 5, {"vol", "0"}, 48000, 1));
    }
    void init() {
        QFile::remove(tempWavPath());
        m_messages.clear();
        m_window = std::make_unique<Form1>();
        if (!BASS_Init(-1, 44100, 0, nullptr, nullptr))
            QSKIP("No audio output device (start the test services first)");
        m_outputsMade = 0;
    }
    void cleanup() {
        m_window.reset();
        BASS_Free();
    }

    // The first load keeps the start-up's audio set-up and refuses a drop or a load meanwhile;
    // the second stops, sets up again, replaces temp.wav and clears the marks. The status bar
    // runs from 1 and then over the scan, to the last point.
    void loads() {
        Form1& w = *m_window;
        QList<int> progress;
        connect(w.ProgressBar1, &QProgressBar::valueChanged, &w, [&](int value) {
            if (w.ProgressBar1->format() != " Loading...Please Wait.")
                return;
            progress << value;
            QVERIFY(!drop({path("silence 5s.flac")}));
            w.LoadMedia(path("silence 5s.flac"));
        });
        w.LoadMedia(path("tone 3s.wav"));
        verifyLoaded(path("tone 3s.wav"), 3);
        QCOMPARE(m_outputsMade, 0);
        QVERIFY(w.aWaveTop[150] < 40 && w.aWaveBottom[150] > 88); // a tone at half scale
        QCOMPARE(progress.value(0), 1);
        QCOMPARE(progress.mid(progress.size() - 4), QList<int>({0, 100, 200, 300}));
        w.Slider1->setValue(1);
        w.cmdBeginCut_Click();
        w.Slider1->setValue(2);
        w.cmdEndCut_Click();
        w.cmdPlay_Click();
        w.LoadMedia(path("silence 5s.flac"));
        verifyLoaded(path("silence 5s.flac"), 5);
        QVERIFY(m_outputsMade == 1 && w.bRestart); // the Stop and the new set-up of a second load
        QCOMPARE(testaudio::decodedSeconds(tempWavPath(), 44100), 5.0);
        QCOMPARE(std::count(w.aWaveTop.begin(), w.aWaveTop.begin() + 501, 64) +
                     std::count(w.aWaveBottom.begin(), w.aWaveBottom.begin() + 501, 64),
                 1002);
    }

    // Closing the window while a load runs ends the load quietly, then the window; nothing stays.
    void closeDuringLoad() {
        Form1& w = *m_window;
        w.show();
        connect(w.ProgressBar1, &QProgressBar::valueChanged, &w, [&](int value) {
            if (value != 1 && w.isLoading())
                w.close();
        });
        w.LoadMedia(path("silence 5s.flac"));
        QVERIFY(testaudio::waitFor([&] { return !w.isVisible(); }));
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
        QVERIFY(!QFile::exists(tempWavPath()));
    }

    // A failed load says why under "Error Loading Media" and leaves nothing of a file, also not
    // the waveform loaded before it; the next load works as a first one would.
    void failures_data() {
        QTest::addColumn<QByteArray>("content"); // null: no such file
        QTest::addColumn<QString>("reason");
        QTest::newRow("not audio") << QByteArray("only words")
                                   << "Quillet can't open this file: "
                                      "it is not an audio file Quillet knows.\n\ncodec: ";
        QTest::newRow("empty") << QByteArray("") << "Quillet can't open this file: it is not";
        QTest::newRow("gone") << QByteArray() << "Quillet can't open this file: it is no longer";
        QTest::newRow("no codec.dll") << QByteArray("") << "File not found: ";
    }
    void failures() {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        Form1& w = *m_window;
        w.LoadMedia(path("tone 3s.wav"));
        const QString bad = path("bad one.MP3"), codec = programFolderFile("codec.dll");
        QFile::remove(bad);
        if (!content.isNull())
            write(bad, content);
        const bool noCodec = reason.startsWith("File");
        QVERIFY(!noCodec || QFile::rename(codec, codec + ".aside"));
        QVERIFY(drop({bad}));
        QVERIFY(!noCodec || QFile::rename(codec + ".aside", codec));
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title + QString::number(m_messages[0].style),
                 "Error Loading Media48");
        QVERIFY2(m_messages[0].text.startsWith(reason), qPrintable(m_messages[0].text));
        QCOMPARE(w.txtAudioFile->text(), bad);
        QVERIFY(!QFile::exists(tempWavPath()) && w.hStream == 0 && w.PicWave->image().isNull());
        QCOMPARE(w.lblTotalTime->text() + w.ProgressBar1->format(), "00:00:00 Ready");
        QVERIFY(w.ctlOpenMediaFile->isEnabled() && !w.cmdPlay->isEnabled());
        m_messages.clear();
        w.LoadMedia(path("silence 5s.flac"));
        verifyLoaded(path("silence 5s.flac"), 5);
    }

    // A temp.wav that holds more than its header announces (here it grows while it is scanned)
    // fails the load like any error, and the failed load leaves no temp.wav behind.
    void scanFailure() {
        Form1& w = *m_window;
        bool grown = false;
        connect(w.ProgressBar1, &QProgressBar::valueChanged, &w, [&] {
            QFile file(tempWavPath());
            if (w.ProgressBar1->maximum() == 300 && !std::exchange(grown, true) && // 3 s scanned
                file.open(QIODevice::Append))
                file.write(QByteArray(10 * 1764, '\0'));
        });
        w.LoadMedia(path("tone 3s.wav"));
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title, "Error Loading Media");
        QVERIFY(!QFile::exists(tempWavPath()) && w.hStream == 0);
    }

    // Text is not taken; a name of another type is refused; of three files the first loads.
    void drops() {
        QVERIFY(!drop({}));
        QVERIFY(drop({path("notes.ogg")}));
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title + ": " + m_messages[0].text,
                 "Invalid Audio Format: Invalid audio file.");
        QVERIFY(!QFile::exists(tempWavPath()));
        m_messages.clear();
        QVERIFY(drop({path("tone 3s.wav"), path("silence 5s.flac"), path("notes.ogg")}));
        verifyLoaded(path("tone 3s.wav"), 3);
    }

    // Cancelled, the open dialog changes nothing; a chosen file loads.
    void openDialog() {
        Form1& w = *m_window;
        for (const bool choose : {false, true}) {
            QTimer::singleShot(0, &w, [&] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                QCOMPARE(dialog->windowTitle(), "Select Media File");
                QCOMPARE(dialog->nameFilters(),
                         QStringList({"MP3 Files (*.mp3)", "WMA Files (*.wma)", "WAV Files (*.wav)",
                                      "AMR Files (*.amr)", "Flac Files (*.flac)"}));
                dialog->selectFile(path("silence 5s.flac"));
                choose ? static_cast<QDialog*>(dialog)->accept() : dialog->reject();
            });
            w.CommandBars_Execute(kCmdOpenMediaFile);
            QCOMPARE(QFile::exists(tempWavPath()), choose);
        }
        verifyLoaded(path("silence 5s.flac"), 5);
    }
};

QTEST_MAIN(TestLoader)
#include "test_loader.moc"
