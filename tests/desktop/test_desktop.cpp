// The whole program as a person uses it, on the Xvfb display: open a spoken file through the
// real open dialog, play it, set the marks while it plays, save the stretch, and check the file
// written, once for each output format; and a save into a folder that cannot be written.
#include "app/form1.h"
#include "app/selection_slider.h"
#include "app/wave_view.h"
#include "playback/wave_render.h"
#include "tests/support/test_audio.h"
#include "tests/support/x_session.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>

#include <cmath>

using namespace xsession;

namespace {

const QString kBuild = QStringLiteral(QUILLET_BUILD_DIR);

struct Probe {
    QString codec;
    int rate = 0;
    int channels = 0;
};

Probe probe(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
             QStringLiteral("stream=codec_name,sample_rate,channels"), QStringLiteral("-of"),
             QStringLiteral("json"), path});
    p.waitForFinished(10000);
    const QJsonObject json = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    const QJsonObject stream = json[QStringLiteral("streams")].toArray().at(0).toObject();
    return {stream[QStringLiteral("codec_name")].toString(),
            stream[QStringLiteral("sample_rate")].toString().toInt(),
            stream[QStringLiteral("channels")].toInt()};
}

// Pixels of the strip that are neither background nor play line: the waveform drawn.
int strokePixels(const QImage& shot, const QRect& strip) {
    int count = 0;
    for (int y = strip.top(); y <= strip.bottom(); y += 2)
        for (int x = strip.left(); x <= strip.right(); x += 2)
            if (shot.pixel(x, y) == kWaveStroke)
                ++count;
    return count;
}

// The column of the play line in the strip, or -1.
int playLineColumn(const QImage& shot, const QRect& strip) {
    const int y = strip.top() + 2;
    for (int x = strip.left(); x <= strip.right(); ++x)
        if (shot.pixel(x, y) == kPlayLine)
            return x - strip.left();
    return -1;
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
    QTemporaryDir m_work;
    // Where the controls are in the window, read from a window laid out the same way here.
    QPoint m_open, m_save, m_play, m_beginCut, m_endCut;
    QRect m_strip, m_time;

    QString work(const char* name) const { return m_work.filePath(QString::fromUtf8(name)); }

    static QPoint centreOf(const QWidget* widget, const QWidget* window) {
        return widget->mapTo(window, widget->rect().center());
    }

    // Starts the program from a folder of its own with the given stored settings.
    QString start(QProcess& quillet, const QString& folder, const QMap<QString, QString>& store) {
        const QString config = work("config");
        QSettings settings(config + QStringLiteral("/quilletaudio.com/quilletaudio.com.conf"),
                           QSettings::IniFormat);
        settings.clear();
        for (auto it = store.begin(); it != store.end(); ++it)
            settings.setValue(QStringLiteral("Quillet/") + it.key(), it.value());
        settings.sync();
        QDir().mkpath(folder);
        QFile::remove(folder + QStringLiteral("/quillet"));
        QFile::remove(folder + QStringLiteral("/codec.dll"));
        if (!QFile::copy(kBuild + QStringLiteral("/quillet"),
                         folder + QStringLiteral("/quillet")) ||
            !QFile::copy(kBuild + QStringLiteral("/codec.dll"),
                         folder + QStringLiteral("/codec.dll")))
            return {};
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        quillet.setProcessEnvironment(env);
        quillet.start(folder + QStringLiteral("/quillet"));
        if (!quillet.waitForStarted())
            return {};
        return waitForWindow(quillet.processId(), QStringLiteral("Quillet"));
    }

    // Opens the file through the open dialog and waits until its waveform is drawn.
    bool open(QProcess& quillet, const QString& window, const QString& file) {
        click(window, m_open);
        const QString dialog =
            waitForWindow(quillet.processId(), QStringLiteral("Select Media File"));
        if (dialog.isEmpty())
            return false;
        focus(dialog);
        typeText(file);
        key(QStringLiteral("Return"));
        for (int i = 0; i < 100; ++i) {
            QTest::qWait(200);
            if (strokePixels(grab(window, m_work.path()), m_strip) > 200)
                return true;
        }
        return false;
    }

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("QUILLET_X_DISPLAY"))
            QSKIP("needs the Xvfb display that scripts/test.sh starts");
        qputenv("DISPLAY", qgetenv("QUILLET_X_DISPLAY"));
        QVERIFY(QFile::exists(kBuild + QStringLiteral("/codec.dll")));

        Form1 layout;
        layout.show();
        QApplication::processEvents();
        m_open = centreOf(layout.CommandBars->widgetForAction(layout.ctlOpenMediaFile), &layout);
        m_save = centreOf(layout.CommandBars->widgetForAction(layout.ctlSaveCuttedAudio), &layout);
        m_play = centreOf(layout.cmdPlay, &layout);
        m_beginCut = centreOf(layout.cmdBeginCut, &layout);
        m_endCut = centreOf(layout.cmdEndCut, &layout);
        m_strip = QRect(layout.PicWave->mapTo(&layout, QPoint(0, 0)), layout.PicWave->size());
        m_time = QRect(layout.lblTime->mapTo(&layout, QPoint(0, 0)), layout.lblTime->size());
        layout.close();

        // Speech, as a user's recordings are.
        QVERIFY(QProcess::execute(QStringLiteral("espeak-ng"),
                                  {QStringLiteral("-w"), work("speech.wav"),
                                   QStringLiteral("This is Quillet, cutting a spoken sentence "
                                                  "into a shorter one, exactly where it was "
                                                  "marked, while it plays.")}) == 0);
        QVERIFY(testaudio::convertWithFfmpeg(work("speech.wav"), work("spoken words.mp3")));
    }

    void saveEachFormat_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("bitrate");
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<QString>("channels");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channelCount");
        QTest::addColumn<int>("frameSamples");
        QTest::newRow("MP3") << "MP3"
                             << "64"
                             << "22050"
                             << "Mono"
                             << "mp3" << 22050 << 1 << 1152;
        QTest::newRow("WMA") << "WMA"
                             << "128"
                             << "44100"
                             << "Stereo"
                             << "wmav2" << 44100 << 2 << 2 * 2048; // and its closing frame
        QTest::newRow("WAV") << "WAV"
                             << "192"
                             << "16000"
                             << "Mono"
                             << "pcm_s16le" << 16000 << 1 << 1;
        QTest::newRow("AMR") << "AMR"
                             << "320"
                             << "48000"
                             << "Stereo"
                             << "amr_nb" << 8000 << 1 << 160;
    }
    void saveEachFormat() {
        QFETCH(QString, format);
        QFETCH(QString, bitrate);
        QFETCH(QString, frequency);
        QFETCH(QString, channels);
        const QString out = work("out") + QDir::separator();
        QDir(out).removeRecursively();
        QVERIFY(QDir().mkpath(out));
        QProcess quillet;
        const Reaper reaper{quillet};
        const QTemporaryDir program;
        const QString window = start(quillet, program.path(),
                                     {{QStringLiteral("Output Format"), format},
                                      {QStringLiteral("Bitrate"), bitrate},
                                      {QStringLiteral("Frequency"), frequency},
                                      {QStringLiteral("Channels"), channels},
                                      {QStringLiteral("Output Folder"), out},
                                      {QStringLiteral("Auto Open Folder"), QStringLiteral("0")}});
        QVERIFY2(!window.isEmpty(), "the program showed no window");
        QVERIFY2(open(quillet, window, work("spoken words.mp3")), "the file did not load");

        const QImage before = grab(window, m_work.path());
        QCOMPARE(playLineColumn(before, m_strip), 0);
        click(window, m_play);
        QTest::qWait(1300);
        click(window, m_beginCut);
        QTest::qWait(2200);
        click(window, m_endCut);
        QTest::qWait(300);
        const QImage playing = grab(window, m_work.path());
        // The play line has walked on with the sound, and the time label has changed.
        QVERIFY2(playLineColumn(playing, m_strip) > 250,
                 qPrintable(QString::number(playLineColumn(playing, m_strip))));
        QVERIFY(before.copy(m_time) != playing.copy(m_time));
        if (format == QStringLiteral("MP3")) {
            const QString artifacts = kBuild + QStringLiteral("/Testing/artifacts");
            QDir().mkpath(artifacts);
            playing.save(artifacts + QStringLiteral("/loaded-waveform.png"));
        }

        click(window, m_save);
        QVERIFY2(answerBox(quillet, QStringLiteral("Done Saved")), "no Done Saved box");
        const QString output = out + QStringLiteral("spoken words_cutted.") + format.toLower();
        const Probe probed = probe(output);
        QTEST(probed.codec, "codec");
        QTEST(probed.rate, "rate");
        QTEST(probed.channels, "channelCount");
        // The marks are whole seconds: about two seconds apart here, exact to one frame.
        QFETCH(int, frameSamples);
        const double frame = static_cast<double>(frameSamples) / probed.rate;
        const double seconds = testaudio::decodedSeconds(output, probed.rate);
        const double marked = std::round(seconds);
        QVERIFY2(marked >= 1 && marked <= 4, qPrintable(QString::number(seconds)));
        QVERIFY2(std::abs(seconds - marked) <= frame + 1e-6, qPrintable(QString::number(seconds)));
        QVERIFY(!QFile::exists(program.filePath(QStringLiteral("coder.exe"))));
    }

    // A folder that cannot be written: the error is shown and nothing is written.
    void saveIntoAnUnwritableFolder() {
        QProcess quillet;
        const Reaper reaper{quillet};
        const QTemporaryDir program;
        const QString window = start(quillet, program.path(),
                                     {{QStringLiteral("Output Format"), QStringLiteral("WAV")},
                                      {QStringLiteral("Output Folder"), QStringLiteral("/proc/")}});
        QVERIFY(!window.isEmpty());
        QVERIFY(open(quillet, window, work("spoken words.mp3")));
        click(window, m_play);
        QTest::qWait(2000);
        click(window, m_beginCut);
        QTest::qWait(1500);
        click(window, m_endCut);
        QTest::qWait(300);
        click(window, m_save);
        QVERIFY2(answerBox(quillet, QStringLiteral("Save Failed")), "no Save Failed box");
        QVERIFY(!QFile::exists(QStringLiteral("/proc/spoken words_cutted.wav")));
        QVERIFY(!QFile::exists(program.filePath(QStringLiteral("coder.exe"))));
        QCOMPARE(quillet.state(), QProcess::Running);
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
