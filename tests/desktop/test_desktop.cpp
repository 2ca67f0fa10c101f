// The whole program as a person uses it, on the Xvfb display: started where a crashed run left
// its working files, it removes them, and a second copy is refused; a spoken file opened through
// the open dialog, played and marked while it plays, is cut and saved, judged by its decoded
// length, or refused with a box when the folder cannot be written; SIGTERM and SIGINT close the
// window as its close button does.
#include "app/form1.h"
#include "app/settings_store.h"
#include "tests/support/test_audio.h"
#include "tests/support/x_session.h"

#include <cmath>
#include <csignal>

using namespace xsession;

class TestDesktop : public QObject {
    Q_OBJECT
    QTemporaryDir m_work;
    // Where the controls are, read from a window laid out the same way here.
    enum { Open, Save, Play, BeginCut, EndCut, TotalTime };
    QList<QRect> m_at;

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("QUILLET_X_DISPLAY"))
            QSKIP("needs the Xvfb display that scripts/test.sh starts");
        Form1 w;
        w.show();
        QCoreApplication::processEvents();
        for (const QWidget* control :
             {w.CommandBars->widgetForAction(w.ctlOpenMediaFile),
              w.CommandBars->widgetForAction(w.ctlSaveCuttedAudio), (QWidget*)w.cmdPlay,
              (QWidget*)w.cmdBeginCut, (QWidget*)w.cmdEndCut, (QWidget*)w.lblTotalTime})
            m_at << QRect(control->mapTo(&w, QPoint()), control->size());
        // The program and xdotool work on the Xvfb display; this test itself stays offscreen.
        qputenv("DISPLAY", qgetenv("QUILLET_X_DISPLAY"));
        qputenv("QT_QPA_PLATFORM", "xcb");
        const QString speech = m_work.filePath("speech.wav");
        const char* words = "This is Quillet, cutting a spoken sentence into a shorter one, "
                            "exactly where it was marked, while it plays.";
        QVERIFY(QProcess::execute("espeak-ng", {"-w", speech, words}) == 0);
        QVERIFY(testaudio::convertWithFfmpeg(speech, m_work.filePath("spoken words.mp3")));
        QVERIFY(QDir().mkpath(m_work.filePath("out")));
    }

    void cutAndSave_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("saved, SIGTERM") << m_work.filePath("out/") << "Done Saved" << int(SIGTERM);
        QTest::newRow("read-only, SIGINT") << "/proc/"
                                           << "Save Failed" << int(SIGINT);
    }
    void cutAndSave() {
        QFETCH(QString, folder);
        QFETCH(QString, box);
        writeSetting("Output Folder", folder); // MP3 at 44100 Hz, the defaults
        const QTemporaryDir program;           // a folder of its own: its own lock and temp.wav
        for (const QString name : {"quillet", "codec.dll"})
            QVERIFY(QFile::copy(QUILLET_BUILD_DIR "/" + name, program.filePath(name)));
        const QStringList leftovers{"temp.wav", "coder.exe", ".temp.wav.part-Ab12Cd"};
        const QStringList kept{"other.wav", ".other.wav.part-Ab12Cd", ".temp.wav.part-toolong"};
        for (const QString& name : leftovers + kept)
            QVERIFY(QFile(program.filePath(name)).open(QIODevice::WriteOnly));
        QProcess quillet;
        const Reaper reaper{quillet};
        quillet.start(program.filePath("quillet"));
        const QString window = waitForWindow(quillet.processId(), "Quillet");
        QVERIFY2(!window.isEmpty(), quillet.readAllStandardError().constData());
        for (const QString& name : leftovers + kept)
            QVERIFY2(QFile::exists(program.filePath(name)) == kept.contains(name),
                     qPrintable(name));
        QProcess second; // refused with a box while the first runs
        const Reaper secondReaper{second};
        second.start(program.filePath("quillet"));
        QVERIFY(second.waitForStarted() && answerBox(second, "Quillet"));
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 10000);
        QCOMPARE(second.exitCode(), 1);
        const QImage before = grab(window, m_work.path());
        click(window, m_at[Open].center());
        const QString dialog = waitForWindow(quillet.processId(), "Select Media File");
        QVERIFY(!dialog.isEmpty());
        focus(dialog);
        typeText(m_work.filePath("spoken words.mp3"));
        key("Return");
        // Loaded once the total time shows.
        const QRect total = m_at[TotalTime];
        QVERIFY(testaudio::waitFor(
            [&] { return grab(window, m_work.path()).copy(total) != before.copy(total); }, 20000));
        click(window, m_at[Play].center());
        QTest::qWait(1300);
        click(window, m_at[BeginCut].center());
        QTest::qWait(2200);
        click(window, m_at[EndCut].center());
        click(window, m_at[Save].center());
        QVERIFY2(answerBox(quillet, box), qPrintable("no box " + box));
        QFETCH(int, signalNumber);
        ::kill(pid_t(quillet.processId()), signalNumber);
        QVERIFY(quillet.waitForFinished(10000) && quillet.exitStatus() == QProcess::NormalExit);
        QCOMPARE(quillet.exitCode(), 0);
        QCOMPARE(QDir(program.path()).entryList({"temp.wav", "coder.exe"}), QStringList());
        const QString output = folder + "spoken words_cutted.mp3";
        QCOMPARE(QFile::exists(output), box == "Done Saved");
        // The marks are whole seconds, about two apart here: the cut is exact to one frame.
        const double seconds = box == "Done Saved" ? testaudio::decodedSeconds(output, 44100) : 2;
        QVERIFY2(std::round(seconds) >= 1 && std::round(seconds) <= 4 &&
                     std::abs(seconds - std::round(seconds)) <= 1152.0 / 44100 + 1e-6,
                 qPrintable(QString::number(seconds)));
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
