// The whole program as a person uses it, on the Xvfb display: open a spoken file through the
// open dialog, play it, set the marks while it plays, save the stretch and judge the file
// written by its decoded length; a save into a folder that cannot be written fails with a box.
#include "app/form1.h"
#include "app/settings_store.h"
#include "app/wave_view.h"
#include "tests/support/test_audio.h"
#include "tests/support/x_session.h"

#include <cmath>

using namespace xsession;

class TestDesktop : public QObject {
    Q_OBJECT
    QTemporaryDir m_work;
    // Where the controls are in the window, read from a window laid out the same way here.
    QPoint m_open, m_save, m_play, m_beginCut, m_endCut;
    QRect m_strip, m_time, m_total;

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("QUILLET_X_DISPLAY"))
            QSKIP("needs the Xvfb display that scripts/test.sh starts");
        Form1 layout;
        layout.show();
        QCoreApplication::processEvents();
        const auto at = [&layout](const QWidget* control) {
            return QRect(control->mapTo(&layout, QPoint()), control->size());
        };
        m_open = at(layout.CommandBars->widgetForAction(layout.ctlOpenMediaFile)).center();
        m_save = at(layout.CommandBars->widgetForAction(layout.ctlSaveCuttedAudio)).center();
        m_play = at(layout.cmdPlay).center();
        m_beginCut = at(layout.cmdBeginCut).center();
        m_endCut = at(layout.cmdEndCut).center();
        m_strip = at(layout.PicWave);
        m_time = at(layout.lblTime);
        m_total = at(layout.lblTotalTime);
        // The program and xdotool work on the Xvfb display; this test itself stays offscreen.
        qputenv("DISPLAY", qgetenv("QUILLET_X_DISPLAY"));
        qputenv("QT_QPA_PLATFORM", "xcb");
        // Speech, as a user's recordings are.
        QVERIFY(QProcess::execute("espeak-ng", {"-w", m_work.filePath("speech.wav"),
                                                "This is Quillet, cutting a spoken sentence into "
                                                "a shorter one, exactly where it was marked."}) ==
                0);
        QVERIFY(testaudio::convertWithFfmpeg(m_work.filePath("speech.wav"),
                                             m_work.filePath("spoken words.mp3")));
        QVERIFY(QDir().mkpath(m_work.filePath("out")));
    }

    void saveTheMarkedStretch_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("box");
        QTest::newRow("a folder of the user's") << m_work.filePath("out/") << "Done Saved";
        QTest::newRow("a folder that cannot be written") << "/proc/"
                                                         << "Save Failed";
    }
    void saveTheMarkedStretch() {
        QFETCH(QString, folder);
        const QMap<QString, QString> store{{"Output Format", "MP3"},
                                           {"Bitrate", "64"},
                                           {"Frequency", "22050"},
                                           {"Channels", "Mono"},
                                           {"Output Folder", folder}};
        for (auto it = store.begin(); it != store.end(); ++it)
            writeSetting(it.key(), it.value());
        const QTemporaryDir program; // a folder of its own: its own lock and temp.wav
        for (const QString name : {"quillet", "codec.dll"})
            QVERIFY(QFile::copy(QUILLET_BUILD_DIR "/" + name, program.filePath(name)));
        QProcess quillet;
        const Reaper reaper{quillet};
        quillet.start(program.filePath("quillet"));
        const QString window = waitForWindow(quillet.processId(), "Quillet");
        QVERIFY2(!window.isEmpty(), "the program showed no window");
        const QImage empty = grab(window, m_work.path());
        click(window, m_open);
        const QString dialog = waitForWindow(quillet.processId(), "Select Media File");
        QVERIFY(!dialog.isEmpty());
        focus(dialog);
        typeText(m_work.filePath("spoken words.mp3"));
        key("Return");
        // Loaded: the total time shows, and so does the waveform.
        QImage loaded;
        QVERIFY(testaudio::waitFor(
            [&] {
                loaded = grab(window, m_work.path());
                return loaded.copy(m_total) != empty.copy(m_total);
            },
            20000));
        QTest::qWait(500);
        loaded = grab(window, m_work.path());
        QVERIFY(loaded.copy(m_strip) != empty.copy(m_strip));
        click(window, m_play);
        QTest::qWait(1300);
        click(window, m_beginCut);
        QTest::qWait(2200);
        click(window, m_endCut);
        // The time has moved on with the sound.
        QVERIFY(grab(window, m_work.path()).copy(m_time) != loaded.copy(m_time));
        click(window, m_save);
        QFETCH(QString, box);
        QVERIFY2(answerBox(quillet, box), qPrintable("no box " + box));
        QCOMPARE(quillet.state(), QProcess::Running);
        QVERIFY(!QFile::exists(program.filePath("coder.exe")));
        const QString output = folder + "spoken words_cutted.mp3";
        QCOMPARE(QFile::exists(output), folder != "/proc/");
        if (!QFile::exists(output))
            return;
        // The marks are whole seconds, about two apart here: the cut is exact to one frame.
        const double seconds = testaudio::decodedSeconds(output, 22050);
        QVERIFY2(std::round(seconds) >= 1 && std::round(seconds) <= 4 &&
                     std::abs(seconds - std::round(seconds)) <= 1152.0 / 22050 + 1e-6,
                 qPrintable(QString::number(seconds)));
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
