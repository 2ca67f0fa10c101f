// Marks, the random cut, the export through the real transcoder, runs stopped half-way, the
// folder chooser and the links, on the real window with the real audio layer.
#include "tests/support/processes.h"
#include "tests/support/window_fixture.h"

#include <QAccessible>
#include <QRegularExpression>
#include <QTime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString hms(int seconds) {
    return QTime(0, 0).addSecs(seconds).toString("hh:mm:ss");
}
} // namespace

class TestCutterWindow : public QObject {
    Q_OBJECT
    WindowFixture f;

    // "@" stands for the test's folder, "~" for the home folder.
    QString resolve(QString path) const {
        return path == "~" ? QDir::homePath() : path.replace(u'@', f.dir.path());
    }
    QStringList written() const { return QDir(f.out()).entryList(QDir::Files | QDir::Hidden); }
    QString state() const {
        const Form1& w = *f.window;
        return QStringLiteral("%1+%2/%3 %4-%5")
            .arg(w.Slider1->selStart())
            .arg(w.Slider1->selLength())
            .arg(w.Slider1->maximum())
            .arg(w.lblBeginCut->text(), w.lblEndCut->text());
    }
    void verifyIdle() {
        const Form1& w = *f.window;
        QCOMPARE(w.ProgressBar1->text(), " Ready");
        QCOMPARE(w.ProgressBar1->value(), 0);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(w.TabControl1->widget(1)->isEnabled() && w.ctlOpenMediaFile->isEnabled());
        QVERIFY(!QFile::exists(Form1::programFile("coder.exe")));
        const QDir program(QCoreApplication::applicationDirPath());
        QCOMPARE(program.entryList({".temp.wav.part-*"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

private Q_SLOTS:
    void initTestCase() {
        f.tone("tone.wav", 30);
        f.tone("short.wav", 5);
        QVERIFY(QFile::copy(f.path("short.wav"), f.path("noextension")));
    }
    void init() {
        if (!f.open())
            QSKIP("No audio output device (start the test services first)");
        f.window->txtOutputFolder->setText(f.out());
    }
    void cleanup() { f.close(); }

    // Begin Cut and End Cut set the stretch and its labels: a second Begin Cut starts over, an
    // End Cut alone moves only its label, an end before the begin marks the stretch between,
    // and a stretch may start at second 0. Every load, whether it succeeds or fails, clears
    // the marks and puts the slider at 0. The file box cannot be typed into.
    void marks_data() {
        columns<QString, QString>({"steps", "marks"});
        const char* const rows[][3] = {
            {"begin", "at=5,cmdBeginCut", "5+0/30 00:00:05-00:00:00"},
            {"begin, end", "at=5,cmdBeginCut,at=9,cmdEndCut", "5+4/30 00:00:05-00:00:09"},
            {"begin again", "at=5,cmdBeginCut,at=9,cmdEndCut,at=12,cmdBeginCut",
             "12+0/30 00:00:12-00:00:00"},
            {"end alone", "at=12,cmdBeginCut,at=20,cmdEndCut,at=25,cmdEndCut",
             "12+8/30 00:00:12-00:00:25"},
            {"end before begin", "at=20,cmdBeginCut,at=14,cmdEndCut", "14+6/30 00:00:14-00:00:20"},
            {"from second 0", "at=0,cmdBeginCut,at=4,cmdEndCut", "0+4/30 00:00:00-00:00:04"},
            {"another load", "at=2,cmdBeginCut,at=5,cmdEndCut,at=7,load=short.wav",
             "0+0/5 00:00:00-00:00:00"},
            {"a failed load", "at=2,cmdBeginCut,at=5,cmdEndCut,at=7,load=missing.wav",
             "0+0/0 00:00:00-00:00:00"},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << row[1] << row[2];
    }
    void marks() {
        QFETCH(QString, steps);
        f.load("tone.wav");
        QTest::keyClicks(f.window->txtAudioFile, "other");
        QCOMPARE(f.window->txtAudioFile->text(), f.path("tone.wav"));
        f.steps(steps);
        QTEST(state(), "marks");
        QVERIFY(!steps.contains("load") || f.window->Slider1->value() == 0);
    }

    // The random cut marks at least six seconds inside the file from second 1, or the longest
    // such stretch of a shorter file, and leaves the play position alone.
    void randomCut_data() {
        columns<QString>({"file"});
        QTest::newRow("30 seconds") << "tone.wav";
        QTest::newRow("5 seconds") << "short.wav";
    }
    void randomCut() {
        QFETCH(QString, file);
        Form1& w = *f.window;
        f.load(file);
        w.Slider1->setValue(3);
        const int maximum = w.Slider1->maximum();
        for (int i = 0; i < 50; ++i) {
            w.CommandBars_Execute(kCmdRandomCut);
            const int begin = w.Slider1->selStart();
            const int end = begin + w.Slider1->selLength();
            QVERIFY2(begin >= 1 && end <= maximum && end - begin >= std::min(6, maximum - 1),
                     qPrintable(state()));
            QCOMPARE(w.lblBeginCut->text() + w.lblEndCut->text(), hms(begin) + hms(end));
            QCOMPARE(w.Slider1->value(), 3);
        }
    }

    // What stops a save says why, writes nothing and leaves the window idle.
    void refusals_data() {
        columns<QString, QString, QString, QString, QString, QString, int>(
            {"file", "steps", "folder", "spoil", "text", "title", "style"}); // style 0: either
        const char* marks = "at=1,cmdBeginCut,at=3,cmdEndCut";
        const char* markText =
            "Please specify a cut mark first.\r\nJust press the Begin Cut and End Cut buttons.";
        const struct {
            const char *name, *file, *steps, *folder, *spoil, *text, *title;
            int style;
        } rows[] = {
            {"nothing loaded", "", marks, "@/out/", "", "Please select first input audio file",
             "Select Audio", 48},
            {"no marks", "tone.wav", "", "@/out/", "", markText, "Specify Cut Mark", 48},
            {"begin only", "tone.wav", "at=3,cmdBeginCut", "@/out/", "", markText,
             "Specify Cut Mark", 48},
            {"end at second 0", "tone.wav", "at=0,cmdBeginCut,at=0,cmdEndCut", "@/out/", "",
             markText, "Specify Cut Mark", 48},
            {"no dot in the name", "noextension", marks, "@/out/", "", "Invalid output path.",
             "Invalid Output", 48},
            {"folder missing", "tone.wav", marks, "@/none/", "", "does not exist", "Save Failed",
             48},
            {"folder read-only", "tone.wav", marks, "/proc/", "", "", "Save Failed", 0},
            {"transcoder fails", "tone.wav", marks, "@/out/", "bitrate",
             "Quillet couldn't save the cut.\n\ncodec: ", "Save Failed", 16},
            {"transcoder missing", "tone.wav", marks, "@/out/", "codec", "codec.dll", "Save Failed",
             16},
        };
        for (const auto& row : rows)
            QTest::newRow(row.name) << row.file << row.steps << row.folder << row.spoil << row.text
                                    << row.title << row.style;
    }
    void refusals() {
        QFETCH(QString, file);
        QFETCH(QString, folder);
        QFETCH(QString, spoil);
        QFETCH(QString, text);
        QFETCH(int, style);
        Form1& w = *f.window;
        if (!file.isEmpty())
            f.load(file);
        QFETCH(QString, steps);
        f.steps(steps);
        w.txtOutputFolder->setText(resolve(folder));
        if (spoil == "bitrate")
            w.cboBitrate->setItemText(w.cboBitrate->currentIndex(), "fast");
        const QString codec = Form1::programFile("codec.dll");
        if (spoil == "codec")
            QVERIFY(QFile::rename(codec, codec + ".aside"));
        const ShownMessage shown = f.save();
        if (spoil == "codec")
            QVERIFY(QFile::rename(codec + ".aside", codec));
        QVERIFY2(shown.text.contains(text), qPrintable(shown.text));
        QTEST(shown.title, "title");
        QVERIFY(style == 0 || shown.style == style);
        QCOMPARE(written(), QStringList());
        QVERIFY(!QFile::exists("/proc/tone_cutted.mp3"));
        verifyIdle();
    }

    // Ctrl+S writes the marked stretch, exact to the second, then says where it went or,
    // asked to, opens the folder; where no file manager opens it, the message still comes. An
    // earlier file of the same name is replaced only when the user says so.
    void saves_data() {
        columns<QString, int, int, QString, bool, bool, int>(
            {"format", "begin", "end", "folder", "autoOpen", "fileManager", "earlier"});
        QTest::newRow("WAV from second 0") << "WAV" << 0 << 4 << "@/out/" << false << true << 0;
        QTest::newRow("MP3, folder opened") << "MP3" << 2 << 5 << "@/out/" << true << true << 0;
        QTest::newRow("WMA, no separator") << "WMA" << 3 << 9 << "@/out" << false << true << 0;
        QTest::newRow("AMR, no file manager") << "AMR" << 2 << 5 << "@/out/" << true << false << 0;
        QTest::newRow("WAV, earlier kept") << "WAV" << 2 << 3 << "@/out/" << false << true << 1;
        QTest::newRow("WAV, earlier replaced") << "WAV" << 2 << 3 << "@/out/" << false << true << 2;
    }
    void saves() {
        QFETCH(QString, format);
        QFETCH(int, begin);
        QFETCH(int, end);
        QFETCH(QString, folder);
        QFETCH(bool, autoOpen);
        QFETCH(bool, fileManager);
        QFETCH(int, earlier); // 0 none, 1 kept (No), 2 replaced (Yes)
        Form1& w = *f.window;
        folder = resolve(folder);
        const QString name = "tone_cutted." + format.toLower();
        QFile file(f.out() + name);
        QVERIFY(!earlier ||
                (file.open(QIODevice::WriteOnly) && file.write("earlier") && file.flush()));
        f.answerYes = earlier == 2;
        f.load("tone.wav");
        f.mark(begin, end);
        w.cboOutputFormat->setCurrentText(format);
        w.txtOutputFolder->setText(folder);
        w.chkAutoOpen->setChecked(autoOpen);
        if (!fileManager)
            QDesktopServices::unsetUrlHandler("file");
        f.type(Qt::CTRL | Qt::Key_S);
        if (!fileManager)
            QDesktopServices::setUrlHandler("file", &f.urls, "open");
        if (earlier) {
            const ShownMessage question = f.messages.takeFirst();
            QCOMPARE(question.text, name + " already exists. Do you want to replace it?");
            QVERIFY(question.question);
        }
        QCOMPARE(written(), QStringList{name});
        verifyIdle();
        if (earlier == 1) {
            QCOMPARE(f.messages.size(), 0);
            QCOMPARE(QFileInfo(file).size(), 7);
            return;
        }
        const double seconds = testaudio::decodedSeconds(f.out() + name, 8000);
        QVERIFY2(std::abs(seconds - (end - begin)) < 0.1, qPrintable(QString::number(seconds)));
        if (autoOpen && fileManager) {
            QCOMPARE(f.messages.size(), 0);
            QCOMPARE(f.urls.urls, QList<QUrl>{QUrl::fromLocalFile(folder)});
            return;
        }
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages[0].text, "Done Saved at " + folder);
        QCOMPARE(f.messages[0].title, "Done Saved");
        QCOMPARE(f.messages[0].style, 64);
    }

    // Escape or a close during a load or a save ends the transcoder, leaves nothing of the run
    // behind and shows no message; a close then closes the window, Escape leaves it as it was
    // before the run, playback going on. While a save runs the pointer is busy and what would
    // change the save's inputs is refused.
    void stopDuringRun_data() {
        columns<bool, bool>({"saving", "closing"});
        QTest::newRow("escape during a load") << false << false;
        QTest::newRow("escape during a save") << true << false;
        QTest::newRow("close during a load") << false << true;
        QTest::newRow("close during a save") << true << true;
    }
    void stopDuringRun() {
        QFETCH(bool, saving);
        QFETCH(bool, closing);
        Form1& w = *f.window;
        QString input = f.path("endless.wav");
        if (saving) {
            f.tone("ten minutes.wav", 600);
            f.load("ten minutes.wav");
            f.steps("at=0,cmdBeginCut,at=600,cmdEndCut,cmdPlay");
            input = f.out() + "ten minutes_cutted.mp3";
        } else {
            // A pipe no one writes to: the transcoder waits on it for ever.
            QVERIFY(::mkfifo(QFile::encodeName(input).constData(), 0600) == 0);
        }
        const QString before = state();
        QString status;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &w, [&] {
            if (saving ? written().isEmpty() : !testprocess::processNaming(input))
                return;
            poll.stop();
            status = QAccessible::queryAccessibleInterface(w.ProgressBar1)->text(QAccessible::Name);
            if (saving) {
                QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
                QVERIFY(!w.TabControl1->widget(1)->isEnabled() && !w.ctlOpenMediaFile->isEnabled());
                w.LoadMedia(f.path("short.wav"));
                w.cmdBeginCut_Click();
                w.CommandBars_Execute(kCmdRandomCut);
                w.CommandBars_Execute(kCmdSaveCuttedAudio);
            }
            if (closing)
                w.close();
            else
                f.type(Qt::Key_Escape);
        });
        poll.start(10);
        // Should the run not stop, the pipe's end ends the load after a while, and the test
        // fails instead of hanging.
        bool pipeClosed = false;
        QTimer::singleShot(20000, &w, [&] {
            pipeClosed = !saving;
            if (pipeClosed)
                ::close(::open(QFile::encodeName(input).constData(), O_WRONLY | O_NONBLOCK));
        });
        if (saving)
            w.CommandBars_Execute(kCmdSaveCuttedAudio);
        else
            w.LoadMedia(input);
        QFile::remove(f.path("endless.wav"));
        QVERIFY(!poll.isActive() && !pipeClosed);
        QCOMPARE(status, saving ? "Saving...Please Wait." : "Loading...Please Wait.");
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.value(0).text));
        QVERIFY(!testprocess::processNaming(input));
        QCOMPARE(written(), QStringList());
        if (closing)
            QTRY_VERIFY(!w.isVisible());
        QCOMPARE(QFile::exists(tempWavPath()), saving && !closing);
        if (!closing)
            QCOMPARE(f.playState(), saving ? int(BASS_ACTIVE_PLAYING) : int(BASS_ACTIVE_STOPPED));
        QCOMPARE(state(), before);
        QCOMPARE(w.ctlSaveCuttedAudio->isEnabled(), saving);
        verifyIdle();
    }

    // The folder chooser starts in the output folder when there is one, else in the home
    // folder; the folder chosen, ending in one separator, is shown and stored at once.
    void folderChooser_data() {
        columns<QString, QString, QString, QString>({"text", "choice", "start", "result"});
        const char* const rows[][5] = {
            {"existing folder, cancelled", "@/out/", "", "@/out", "@/out/"},
            {"no separator, out chosen", "@", "@/out", "@", "@/out/"},
            {"missing folder, root chosen", "@/none/", "/", "~", "/"},
            {"a file, cancelled", "@/tone.wav", "", "~", "@/tone.wav"},
            {"empty, cancelled", "", "", "~", ""},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << row[1] << row[2] << row[3] << row[4];
    }
    void folderChooser() {
        QFETCH(QString, text);
        QFETCH(QString, choice);
        QFETCH(QString, start);
        QFETCH(QString, result);
        f.window->txtOutputFolder->setText(resolve(text));
        f.answerDialog(resolve(choice));
        f.window->cmdSaveTo->click();
        QCOMPARE(f.dialogTitle, "Save images to this folder");
        QCOMPARE(f.dialogFolder, QFileInfo(resolve(start)).canonicalFilePath());
        QCOMPARE(f.window->txtOutputFolder->text(), resolve(result));
        QCOMPARE(openSettingsStore()->value("Output Folder").toString(), resolve(result));
    }

    // Each share button and the About label open one fixed address that carries nothing of
    // the user's, before a load and after, and change nothing else.
    void links() {
        Form1& w = *f.window;
        QTest::mouseClick(w.lblAbout, Qt::LeftButton);
        QCOMPARE(f.urls.urls.size(), 1);
        const QString about = QString::fromLatin1(f.urls.urls[0].toEncoded());
        const QString domain =
            QRegularExpression("^http://([a-z0-9.-]+)$").match(about).captured(1);
        QVERIFY2(!domain.isEmpty(), qPrintable(about));
        const QString d = QRegularExpression::escape(domain);
        const QList<QPair<QWidget*, QString>> links{
            {w.lblAbout, "http://" + d},
            {w.cmdFacebook, "http://[^/]+/sharer/sharer\\.php\\?u=http%3A%2F%2F" + d},
            {w.cmdTwitter, "https://[^/]+/home\\?status=Quillet%20-%20http://" + d},
            {w.cmdDelicious, "https://([^/]+)/login\\?lo_action=save&next=http%3A%2F%2F\\1"
                             "%2Fpost%3Furl%3Dhttp%3A%2F%2F" +
                                 d + "%26title%3DQuillet%3Flog%3Dout%26url%3Dhttp%253A%252F%252F" +
                                 d + "%26title%3DQuillet"},
            {w.cmdDig, "http://[^/]+/submit\\?phase=2&url=http://" + d + "&title=Quillet"},
            {w.cmdStumbleUpon, "http://[^/]+/submit\\?url=http://" + d + "&title=Quillet"},
            {w.cmdReddit, "http://[^/]+/submit\\?url=http://" + d + "&title=Quillet"},
        };
        for (int round = 0; round < 2; ++round) {
            if (round == 1) {
                f.load("tone.wav");
                f.steps("at=3,cmdBeginCut,at=9,cmdEndCut,cmdPlay");
            }
            const QString before = w.txtAudioFile->text() + state();
            for (const auto& [control, pattern] : links) {
                f.urls.urls.clear();
                QTest::mouseClick(control, Qt::LeftButton);
                QCOMPARE(f.urls.urls.size(), 1);
                const QString url = QString::fromLatin1(f.urls.urls[0].toEncoded());
                QVERIFY2(QRegularExpression("^" + pattern + "$").match(url).hasMatch(),
                         qPrintable(url));
            }
            QCOMPARE(w.txtAudioFile->text() + state(), before);
            QCOMPARE(f.playState(), round ? int(BASS_ACTIVE_PLAYING) : int(BASS_ACTIVE_STOPPED));
        }
        QVERIFY(f.messages.isEmpty());
    }
};

QTEST_MAIN(TestCutterWindow)
#include "test_cutter_window.moc"
