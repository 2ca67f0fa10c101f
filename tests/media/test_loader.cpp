// The loader on the real window, with the real transcoder and the real audio layer: first and
// second loads, the loaded state, the open dialog, drops, and every way a load can fail.
#include "app/form1.h"
#include "app/message_box.h"
#include "app/selection_slider.h"
#include "app/wave_view.h"
#include "audio/audio_output.h"
#include "audio/mod_bass.h"
#include "tests/support/test_audio.h"

#include <QApplication>
#include <QFileDialog>
#include <QMimeData>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

using testaudio::makeAudio;
using testaudio::makeTone;

namespace {

QString tempWav() {
    return Form1::programFile(QStringLiteral("temp.wav"));
}

std::unique_ptr<QMimeData> fileDrop(const QStringList& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

} // namespace

class TestLoader : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QTemporaryDir m_settings;
    std::unique_ptr<Form1> m_window;
    QList<ShownMessage> m_messages;
    int m_outputsMade = 0;

    QString path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

    QList<QWidget*> loadControls() const {
        return {m_window->cmdPlay,     m_window->cmdStop,   m_window->cmdPause,
                m_window->cmdBeginCut, m_window->cmdEndCut, m_window->cmdPlaySelection};
    }

    void verifyLoaded(int seconds) {
        Form1& w = *m_window;
        QVERIFY(QFile::exists(tempWav()));
        QVERIFY(w.hStream != 0);
        QCOMPARE(w.Slider1->maximum(), seconds);
        QCOMPARE(w.Slider1->value(), 0);
        QCOMPARE(w.Slider1->selStart(), 0);
        QCOMPARE(w.Slider1->selLength(), 0);
        QVERIFY(w.Slider1->isEnabled());
        QCOMPARE(w.lblTotalTime->text(),
                 QStringLiteral("00:00:%1").arg(seconds, 2, 10, QLatin1Char('0')));
        QCOMPARE(w.ProgressBar1->format(), QStringLiteral(" Ready"));
        QCOMPARE(w.ProgressBar1->value(), 0);
        QCOMPARE(w.ProgressBar1->maximum(), 100);
        for (QWidget* control : loadControls())
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
        for (QAction* action : {w.ctlOpenMediaFile, w.ctlRandomCut, w.ctlSaveCuttedAudio})
            QVERIFY(action->isEnabled());
        // One point per 10 ms, and one more from the empty read at the end.
        QCOMPARE(w.nWaveLast, seconds * 100);
        QCOMPARE(w.nMarkFirst, 0);
        QCOMPARE(w.nMarkLast, w.nWaveLast);
        QCOMPARE(w.nWavePos, 0);
        QVERIFY(!w.PicWave->image().isNull());
    }

    void verifyNothingLoaded() {
        Form1& w = *m_window;
        QVERIFY(!QFile::exists(tempWav()));
        QCOMPARE(w.hStream, 0);
        QVERIFY(w.aWaveTop.empty());
        QCOMPARE(w.nMarkLast, 0);
        QVERIFY(w.PicWave->image().isNull());
        QCOMPARE(w.ProgressBar1->format(), QStringLiteral(" Ready"));
        QVERIFY(w.ctlOpenMediaFile->isEnabled());
        QVERIFY(!w.cmdPlay->isEnabled());
        QVERIFY(!w.ctlSaveCuttedAudio->isEnabled());
        QCOMPARE(w.lblTotalTime->text(), QStringLiteral("00:00:00"));
    }

private Q_SLOTS:
    void initTestCase() {
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
        setMessageHandler([this](const ShownMessage& m) { m_messages << m; });
        setAudioOutputFactory([this] {
            ++m_outputsMade;
            return makeDefaultAudioOutput();
        });
        QFile::remove(tempWav());
        QVERIFY(makeTone(path("tone 3s.wav"), 3));
        QVERIFY(makeAudio(path("noise 5s.flac"), 5, {QStringLiteral("whitenoise")}, 48000, 1));
        QVERIFY(makeAudio(path("silence.wav"), 2,
                          {QStringLiteral("sine"), QStringLiteral("0"), QStringLiteral("vol"),
                           QStringLiteral("0")}));
        QVERIFY(testaudio::convertWithFfmpeg(path("silence.wav"), path("silence.mp3")));
    }

    void init() {
        QFile::remove(tempWav());
        m_messages.clear();
        m_outputsMade = 0;
        m_window = std::make_unique<Form1>();
        if (!BASS_Init(-1, 44100, 0, nullptr, nullptr))
            QSKIP("No audio output device (start the test services first)");
        m_outputsMade = 0;
    }

    void cleanup() {
        m_window->close();
        m_window.reset();
        BASS_Free();
    }

    // The first load keeps the start-up's audio initialisation; the second stops, re-initialises
    // and replaces temp.wav.
    void firstAndSecondLoad() {
        Form1& w = *m_window;
        w.LoadMedia(path("tone 3s.wav"));
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
        verifyLoaded(3);
        QCOMPARE(m_outputsMade, 0);
        QCOMPARE(w.txtAudioFile->text(), path("tone 3s.wav"));
        // A tone at half scale: strokes well away from the centre, top and bottom alike.
        QVERIFY(w.aWaveTop[150] < 40);
        QVERIFY(w.aWaveBottom[150] > 88);
        QVERIFY(!QFile::exists(Form1::programFile(QStringLiteral("coder.exe"))));

        w.bRestart = false;
        w.LoadMedia(path("noise 5s.flac"));
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
        verifyLoaded(5);
        QCOMPARE(m_outputsMade, 1);
        QVERIFY(w.bRestart); // the Stop of the second load
        QCOMPARE(QFileInfo(tempWav()).size(), qint64{44 + 5 * 176400});
    }

    void silentFileIsFlat() {
        Form1& w = *m_window;
        w.LoadMedia(path("silence.mp3"));
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
        QVERIFY(w.nWaveLast >= 199 && w.nWaveLast <= 201);
        for (int i = 0; i <= w.nWaveLast; ++i) {
            QCOMPARE(w.aWaveTop[i], 64);
            QCOMPARE(w.aWaveBottom[i], 64);
        }
    }

    // A failed load says what failed under "Error Loading Media" and leaves nothing of a file:
    // also not the waveform of the file loaded before it.
    void failures_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not audio")
            << QByteArray("this is no audio at all, only text\n")
            << "Quillet can't open this file: it is not an audio file Quillet knows.\n\ncodec: ";
        QTest::newRow("empty file")
            << QByteArray() << "Quillet can't open this file: it is not an audio file";
        QTest::newRow("missing file")
            << QByteArray("-") << "Quillet can't open this file: it is no longer there.";
    }
    void failures() {
        QFETCH(QByteArray, content);
        Form1& w = *m_window;
        w.LoadMedia(path("tone 3s.wav"));
        verifyLoaded(3);
        const QString bad = path("bad one.mp3");
        QFile::remove(bad);
        if (content != "-") {
            QFile file(bad);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        w.LoadMedia(bad);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title, QStringLiteral("Error Loading Media"));
        QCOMPARE(m_messages[0].style, 48);
        QFETCH(QString, reason);
        QVERIFY2(m_messages[0].text.startsWith(reason), qPrintable(m_messages[0].text));
        QCOMPARE(w.txtAudioFile->text(), bad);
        verifyNothingLoaded();

        // The next load works as a first one would.
        m_messages.clear();
        w.LoadMedia(path("noise 5s.flac"));
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
        verifyLoaded(5);
    }

    void missingTranscoder() {
        const QString codec = Form1::programFile(QStringLiteral("codec.dll"));
        const QString aside = codec + QStringLiteral(".aside");
        QVERIFY(QFile::rename(codec, aside));
        m_window->LoadMedia(path("tone 3s.wav"));
        QVERIFY(QFile::rename(aside, codec));
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title, QStringLiteral("Error Loading Media"));
        QVERIFY2(m_messages[0].text.contains(QStringLiteral("codec.dll")),
                 qPrintable(m_messages[0].text));
        verifyNothingLoaded();
    }

    // While a load waits on the transcoder, a drop or another load is refused.
    void secondLoadDuringALoadIsRefused() {
        Form1& w = *m_window;
        bool sawLoading = false;
        QTimer poke;
        connect(&poke, &QTimer::timeout, &w, [&] {
            if (!w.isLoading())
                return;
            sawLoading = true;
            QVERIFY(!w.txtAudioFile_OLEDragOver(fileDrop({path("noise 5s.flac")}).get()));
            w.txtAudioFile_OLEDragDrop(fileDrop({path("noise 5s.flac")}).get());
            w.LoadMedia(path("noise 5s.flac"));
        });
        poke.start(1);
        w.LoadMedia(path("tone 3s.wav"));
        poke.stop();
        QVERIFY(sawLoading);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(w.txtAudioFile->text(), path("tone 3s.wav"));
        verifyLoaded(3);
    }

    void drops_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<QString>("message");
        QTest::newRow("first of three")
            << QStringList{path("tone 3s.wav"), path("noise 5s.flac"), path("silence.mp3")}
            << path("tone 3s.wav") << "";
        QTest::newRow("not audio") << QStringList{path("notes.ogg")} << ""
                                   << "Invalid audio file.";
        QTest::newRow("no file") << QStringList{} << ""
                                 << "";
    }
    void drops() {
        QFETCH(QStringList, files);
        QFETCH(QString, loaded);
        QFETCH(QString, message);
        Form1& w = *m_window;
        const QString before = w.txtAudioFile->text();
        w.txtAudioFile_OLEDragDrop(fileDrop(files).get());
        if (message.isEmpty()) {
            QVERIFY(m_messages.isEmpty());
        } else {
            QCOMPARE(m_messages.size(), 1);
            QCOMPARE(m_messages[0].text, message);
            QCOMPARE(m_messages[0].title, QStringLiteral("Invalid Audio Format"));
        }
        QCOMPARE(w.txtAudioFile->text(), loaded.isEmpty() ? before : loaded);
        QCOMPARE(QFile::exists(tempWav()), !loaded.isEmpty());
    }

    // Text dragged over the file box is refused; a file list is taken by the window, not typed.
    void dragOver() {
        Form1& w = *m_window;
        QMimeData text;
        text.setText(QStringLiteral("/music/a.mp3"));
        QVERIFY(!w.txtAudioFile_OLEDragOver(&text));
        QVERIFY(w.txtAudioFile_OLEDragOver(fileDrop({path("any.mp3")}).get()));

        QDragEnterEvent enterText(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, {});
        QApplication::sendEvent(w.txtAudioFile, &enterText);
        QVERIFY(!enterText.isAccepted());
        const auto files = fileDrop({path("tone 3s.wav")});
        QDragEnterEvent enterFiles(QPoint(5, 5), Qt::CopyAction, files.get(), Qt::LeftButton, {});
        QApplication::sendEvent(w.txtAudioFile, &enterFiles);
        QVERIFY(enterFiles.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, files.get(), Qt::LeftButton, {});
        QApplication::sendEvent(w.txtAudioFile, &drop);
        QCOMPARE(w.txtAudioFile->text(), path("tone 3s.wav"));
        verifyLoaded(3);
    }

    void openDialog() {
        Form1& w = *m_window;
        const QString before = w.txtAudioFile->text();
        QString title;
        QStringList filters;
        const auto answer = [&](bool choose) {
            QTimer::singleShot(0, &w, [&, choose] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                title = dialog->windowTitle();
                filters = dialog->nameFilters();
                if (choose) {
                    dialog->selectFile(path("noise 5s.flac"));
                    static_cast<QDialog*>(dialog)->accept();
                } else {
                    dialog->reject();
                }
            });
        };
        answer(false);
        w.CommandBars_Execute(kCmdOpenMediaFile);
        QCOMPARE(title, QStringLiteral("Select Media File"));
        QCOMPARE(filters.size(), 5);
        QCOMPARE(filters.first(), QStringLiteral("MP3 Files (*.mp3)"));
        QCOMPARE(w.txtAudioFile->text(), before);
        QVERIFY(!QFile::exists(tempWav()));

        answer(true);
        w.CommandBars_Execute(kCmdOpenMediaFile);
        QCOMPARE(w.txtAudioFile->text(), path("noise 5s.flac"));
        verifyLoaded(5);
    }
};

QTEST_MAIN(TestLoader)
#include "test_loader.moc"
