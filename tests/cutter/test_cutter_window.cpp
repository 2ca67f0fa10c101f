// Marks, the random cut, the folder chooser, the export and the links on the real window, with
// the real transcoder and the real audio layer.
#include "app/form1.h"
#include "app/format_time.h"
#include "app/message_box.h"
#include "app/selection_slider.h"
#include "audio/mod_bass.h"
#include "cutter/mod_shell32.h"
#include "share/share_links.h"
#include "tests/support/processes.h"
#include "tests/support/test_audio.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

QString tempWav() {
    return Form1::programFile(QStringLiteral("temp.wav"));
}

// Seconds of audio in a file, as ffprobe reads them.
double probedSeconds(const QString& path) {
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("format=duration"), QStringLiteral("-of"),
                 QStringLiteral("default=nw=1:nk=1"), path});
    probe.waitForFinished();
    return probe.readAllStandardOutput().trimmed().toDouble();
}

} // namespace

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};

class TestCutterWindow : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QTemporaryDir m_settings;
    std::unique_ptr<Form1> m_window;
    QList<ShownMessage> m_messages;
    bool m_answerYes = false;
    UrlCatcher m_urls;

    QString path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

    void load(const char* name) {
        m_window->LoadMedia(path(name));
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
        m_messages.clear();
    }

    void mark(int begin, int end) {
        Form1& w = *m_window;
        w.Slider1->setValue(begin);
        w.cmdBeginCut_Click();
        w.Slider1->setValue(end);
        w.cmdEndCut_Click();
    }

    void verifyIdle() {
        Form1& w = *m_window;
        QCOMPARE(w.ProgressBar1->format(), QStringLiteral(" Ready"));
        QCOMPARE(w.ProgressBar1->value(), 0);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(!w.isSaving());
        QVERIFY(w.TabControl1->widget(1)->isEnabled());
    }

    // Runs the save command and returns the one message it showed.
    ShownMessage save() {
        m_messages.clear();
        m_window->CommandBars_Execute(kCmdSaveCuttedAudio);
        return m_messages.size() == 1 ? m_messages.first() : ShownMessage{};
    }

private Q_SLOTS:
    void initTestCase() {
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
        setMessageHandler([this](ShownMessage& m) {
            m.yes = m_answerYes;
            m_messages << m;
        });
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &m_urls, "open");
        QVERIFY(testaudio::makeTone(path("long tone.wav"), 30));
        QVERIFY(testaudio::makeTone(path("short.wav"), 5));
        QVERIFY(QFile::copy(path("short.wav"), path("noextension")));
    }

    void cleanupTestCase() {
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    void init() {
        QFile::remove(tempWav());
        m_messages.clear();
        m_answerYes = false;
        m_urls.urls.clear();
        QDir(path("out")).removeRecursively();
        QVERIFY(QDir().mkpath(path("out")));
        m_window = std::make_unique<Form1>();
        if (!BASS_Init(-1, 44100, 0, nullptr, nullptr))
            QSKIP("No audio output device (start the test services first)");
        m_window->txtOutputFolder->setText(path("out") + QDir::separator());
        m_window->chkAutoOpen->setChecked(false);
    }

    void cleanup() {
        m_window->close();
        m_window.reset();
        BASS_Free();
    }

    void marks() {
        Form1& w = *m_window;
        load("long tone.wav");
        w.Slider1->setValue(5);
        w.cmdBeginCut_Click();
        QVERIFY(w.bMarking);
        QCOMPARE(w.Slider1->selStart(), 5);
        QCOMPARE(w.Slider1->selLength(), 0);
        QCOMPARE(w.lblBeginCut->text(), QStringLiteral("00:00:05"));
        QCOMPARE(w.lblEndCut->text(), QStringLiteral("00:00:00"));
        w.Slider1->setValue(9);
        w.cmdEndCut_Click();
        QVERIFY(!w.bMarking);
        QCOMPARE(w.Slider1->selLength(), 4);
        QCOMPARE(w.lblEndCut->text(), QStringLiteral("00:00:09"));

        // A second Begin Cut starts over; End Cut without Begin Cut changes only its label.
        w.Slider1->setValue(12);
        w.cmdBeginCut_Click();
        QCOMPARE(w.lblEndCut->text(), QStringLiteral("00:00:00"));
        QCOMPARE(w.Slider1->selLength(), 0);
        w.Slider1->setValue(20);
        w.cmdEndCut_Click();
        w.Slider1->setValue(25);
        w.cmdEndCut_Click();
        QCOMPARE(w.Slider1->selStart(), 12);
        QCOMPARE(w.Slider1->selLength(), 8);
        QCOMPARE(w.lblEndCut->text(), QStringLiteral("00:00:25"));

        // An end before the begin marks the stretch between the two.
        mark(20, 14);
        QCOMPARE(w.Slider1->selStart(), 14);
        QCOMPARE(w.Slider1->selLength(), 6);
        QCOMPARE(w.lblBeginCut->text(), QStringLiteral("00:00:14"));
        QCOMPARE(w.lblEndCut->text(), QStringLiteral("00:00:20"));
        QVERIFY(!w.bMarking);
    }

    void randomCut_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("long") << "long tone.wav";
        QTest::newRow("5 seconds") << "short.wav";
    }
    void randomCut() {
        QFETCH(QString, file);
        Form1& w = *m_window;
        load(file.toUtf8().constData());
        w.Slider1->setValue(3);
        const int maximum = w.Slider1->maximum();
        for (int i = 0; i < 50; ++i) {
            w.CommandBars_Execute(kCmdRandomCut);
            const int begin = w.Slider1->selStart();
            const int end = begin + w.Slider1->selLength();
            if (maximum >= 7)
                QVERIFY(w.Slider1->selLength() >= 6);
            else
                QCOMPARE(w.Slider1->selLength(), maximum - 1);
            QVERIFY(begin >= 1);
            QVERIFY(end <= maximum);
            QCOMPARE(w.lblBeginCut->text(), FormatTime(begin));
            QCOMPARE(w.lblEndCut->text(), FormatTime(end));
            QCOMPARE(w.Slider1->value(), 3);
            QVERIFY(!w.bMarking);
        }
    }

    void refusals_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("begin");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        const QString out = path("out") + QDir::separator();
        QTest::newRow("nothing loaded")
            << "" << 0 << 0 << out << "Please select first input audio file"
            << "Select Audio";
        const QString markText = QStringLiteral(
            "Please specify a cut mark first.\r\nJust press the Begin Cut and End Cut buttons.");
        QTest::newRow("no marks") << "long tone.wav" << -1 << -1 << out << markText
                                  << "Specify Cut Mark";
        QTest::newRow("end at second 0")
            << "long tone.wav" << 0 << 0 << out << markText << "Specify Cut Mark";
        QTest::newRow("no dot in the name")
            << "noextension" << 1 << 3 << out << "Invalid output path."
            << "Invalid Output";
        QTest::newRow("folder missing") << "long tone.wav" << 1 << 3 << path("none") + "/"
                                        << "does not exist"
                                        << "Save Failed";
    }
    void refusals() {
        QFETCH(QString, file);
        QFETCH(int, begin);
        QFETCH(int, end);
        QFETCH(QString, folder);
        Form1& w = *m_window;
        if (!file.isEmpty())
            load(file.toUtf8().constData());
        if (begin >= 0)
            mark(begin, end);
        w.txtOutputFolder->setText(folder);
        const ShownMessage shown = save();
        QFETCH(QString, text);
        QVERIFY2(shown.text.contains(text), qPrintable(shown.text));
        QTEST(shown.title, "title");
        QCOMPARE(shown.style, 48);
        verifyIdle();
        QVERIFY(QDir(path("out")).isEmpty());
    }

    void unwritableFolder() {
        if (geteuid() == 0)
            QSKIP("root writes into any folder");
        Form1& w = *m_window;
        load("long tone.wav");
        mark(1, 3);
        const QString locked = path("locked");
        QVERIFY(QDir().mkpath(locked));
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
        w.txtOutputFolder->setText(locked + QDir::separator());
        const ShownMessage shown = save();
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(shown.text.contains(QStringLiteral("cannot be written")), qPrintable(shown.text));
        QVERIFY(QDir(locked).isEmpty());
        verifyIdle();
    }

    // A save writes the marked stretch and says where; with auto-open the folder is opened.
    void saves() {
        Form1& w = *m_window;
        load("long tone.wav");
        mark(2, 5);
        w.cboOutputFormat->setCurrentText(QStringLiteral("WAV"));
        ShownMessage shown = save();
        QCOMPARE(shown.text, QStringLiteral("Done Saved at ") + w.txtOutputFolder->text());
        QCOMPARE(shown.title, QStringLiteral("Done Saved"));
        QCOMPARE(shown.style, 64);
        const QString output = path("out/long tone_cutted.wav");
        QCOMPARE(QFileInfo(output).size(), qint64{44 + 3 * 176400});
        QVERIFY(!QFile::exists(Form1::programFile(QStringLiteral("coder.exe"))));
        verifyIdle();

        w.chkAutoOpen->setChecked(true);
        w.cboOutputFormat->setCurrentText(QStringLiteral("MP3"));
        shown = save();
        QVERIFY2(shown.text.isEmpty(), qPrintable(shown.text));
        QCOMPARE(m_urls.urls, QList<QUrl>{QUrl::fromLocalFile(w.txtOutputFolder->text())});
        QVERIFY(qAbs(probedSeconds(path("out/long tone_cutted.mp3")) - 3.0) < 0.06);
        verifyIdle();
    }

    // A run of the transcoder that fails is reported, not called a success.
    void failedRun() {
        Form1& w = *m_window;
        load("long tone.wav");
        mark(2, 5);
        w.cboBitrate->setItemText(w.cboBitrate->currentIndex(), QStringLiteral("fast"));
        const ShownMessage shown = save();
        QCOMPARE(shown.title, QStringLiteral("Save Failed"));
        QVERIFY2(shown.text.startsWith(QStringLiteral("Quillet couldn't save the cut.\n\ncodec: ")),
                 qPrintable(shown.text));
        QVERIFY(QDir(path("out")).isEmpty());
        verifyIdle();
    }

    // A stretch from second 0 is a stretch like any other.
    void cutFromTheStart() {
        Form1& w = *m_window;
        load("long tone.wav");
        mark(0, 4);
        QCOMPARE(w.lblBeginCut->text(), QStringLiteral("00:00:00"));
        w.cboOutputFormat->setCurrentText(QStringLiteral("WAV"));
        QCOMPARE(save().title, QStringLiteral("Done Saved"));
        QCOMPARE(QFileInfo(path("out/long tone_cutted.wav")).size(), qint64{44 + 4 * 176400});
    }

    // A load, whether it succeeds or fails, leaves no mark of the file before it.
    void loadClearsMarks_data() {
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("loaded") << "short.wav"
                                << "Please specify a cut mark first.";
        QTest::newRow("failed") << "missing.wav"
                                << "Please select first input audio file";
    }
    void loadClearsMarks() {
        QFETCH(QString, next);
        Form1& w = *m_window;
        load("long tone.wav");
        mark(2, 5);
        w.LoadMedia(m_dir.filePath(next));
        m_messages.clear();
        QCOMPARE(w.lblBeginCut->text(), QStringLiteral("00:00:00"));
        QCOMPARE(w.lblEndCut->text(), QStringLiteral("00:00:00"));
        QCOMPARE(w.Slider1->selStart(), 0);
        QCOMPARE(w.Slider1->selLength(), 0);
        QCOMPARE(w.Slider1->maximum(), next == "short.wav" ? 5 : 0);
        QCOMPARE(w.Slider1->value(), 0);
        QFETCH(QString, refusal);
        QVERIFY2(save().text.startsWith(refusal), qPrintable(m_messages.value(0).text));
        QVERIFY(QDir(path("out")).isEmpty());
    }

    // Folder and name are joined with one separator, and the message names the folder.
    void folderWithoutSeparator() {
        Form1& w = *m_window;
        load("long tone.wav");
        mark(2, 5);
        w.cboOutputFormat->setCurrentText(QStringLiteral("WAV"));
        w.txtOutputFolder->setText(path("out"));
        QCOMPARE(save().text, QStringLiteral("Done Saved at ") + path("out"));
        QVERIFY(QFile::exists(path("out/long tone_cutted.wav")));
    }

    // An earlier file of the same name is replaced only when the user says so; No is the
    // default and writes nothing.
    void replaceAsks_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("no") << false;
        QTest::newRow("yes") << true;
    }
    void replaceAsks() {
        QFETCH(bool, yes);
        Form1& w = *m_window;
        load("long tone.wav");
        w.cboOutputFormat->setCurrentText(QStringLiteral("WAV"));
        mark(2, 5);
        QCOMPARE(save().title, QStringLiteral("Done Saved"));
        mark(2, 3);
        m_answerYes = yes;
        m_messages.clear();
        w.CommandBars_Execute(kCmdSaveCuttedAudio);
        QVERIFY(!m_messages.isEmpty());
        QVERIFY(m_messages[0].question);
        QCOMPARE(m_messages[0].text,
                 QStringLiteral("long tone_cutted.wav already exists. Do you want to replace it?"));
        QCOMPARE(m_messages.size(), yes ? 2 : 1);
        QCOMPARE(QFileInfo(path("out/long tone_cutted.wav")).size(),
                 qint64{44 + (yes ? 1 : 3) * 176400});
        QCOMPARE(QDir(path("out")).entryList(QDir::Files | QDir::Hidden).size(), 1);
        verifyIdle();
    }

    // Where the folder cannot be opened, the message still says where the file went.
    void autoOpenThatFails() {
        Form1& w = *m_window;
        load("long tone.wav");
        mark(2, 5);
        w.chkAutoOpen->setChecked(true);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        const ShownMessage shown = save();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_urls, "open");
        QCOMPARE(shown.text, QStringLiteral("Done Saved at ") + w.txtOutputFolder->text());
    }

    // The file box shows the loaded file; typing cannot rename the output.
    void fileBoxIsReadOnly() {
        Form1& w = *m_window;
        load("long tone.wav");
        QTest::keyClicks(w.txtAudioFile, QStringLiteral("other"));
        QCOMPARE(w.txtAudioFile->text(), path("long tone.wav"));
    }

    // Before any load, a press in the strip or a slider release does nothing, even with a
    // temp.wav left behind.
    void stripBeforeLoad() {
        Form1& w = *m_window;
        QVERIFY(QFile::copy(path("short.wav"), tempWav()));
        w.PicWave_MouseDown(50);
        w.Slider1_MouseUp();
        QCOMPARE(w.nWavePos, 0);
        QCOMPARE(w.Slider1->maximum(), 0);
        QCOMPARE(w.Slider1->value(), 0);
    }

    // A close during a load or a save, or a stop of the run alone, ends the transcoder, leaves
    // nothing of the run in the program folder or the output folder and shows no message; a
    // close then closes the window, a stop leaves it as it was before the run (for a load:
    // nothing loaded, the open command available).
    void stopDuringRun_data() {
        QTest::addColumn<bool>("saving");
        QTest::addColumn<bool>("closing");
        QTest::newRow("close during a load") << false << true;
        QTest::newRow("close during a save") << true << true;
        QTest::newRow("stop a load") << false << false;
        QTest::newRow("stop a save") << true << false;
    }
    void stopDuringRun() {
        QFETCH(bool, saving);
        QFETCH(bool, closing);
        Form1& w = *m_window;
        w.show();
        QString input = path("endless.wav");
        if (saving) {
            QVERIFY(testaudio::makeTone(path("ten minutes.wav"), 600));
            load("ten minutes.wav");
            mark(0, 600);
            w.cboOutputFormat->setCurrentText(QStringLiteral("MP3"));
            input = path("out/ten minutes_cutted.mp3");
        } else {
            // A pipe no one writes to: the transcoder waits on it for ever.
            QVERIFY(::mkfifo(QFile::encodeName(input).constData(), 0600) == 0);
        }
        const QString coder = Form1::programFile(QStringLiteral("coder.exe"));
        QTimer poll;
        connect(&poll, &QTimer::timeout, &w, [&] {
            const bool started =
                saving ? !QDir(path("out")).entryList(QDir::Hidden | QDir::Files).isEmpty()
                       : QFile::exists(coder) && testprocess::processNaming(input);
            if (started) {
                poll.stop();
                if (closing)
                    w.close();
                else
                    stopShellCommand();
            }
        });
        poll.start(10);
        // Should the close not stop it, the pipe's end ends the load after a while, and the
        // test fails instead of hanging.
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
        QVERIFY(!poll.isActive());
        QVERIFY(!pipeClosed);
        if (closing)
            QTRY_VERIFY(!w.isVisible());
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
        QVERIFY(!testprocess::processNaming(input));
        QVERIFY(!QFile::exists(coder));
        QCOMPARE(QFile::exists(tempWav()), saving && !closing);
        if (!closing) {
            QVERIFY(w.isVisible());
            verifyIdle();
            QVERIFY(w.ctlOpenMediaFile->isEnabled());
            QCOMPARE(w.ctlSaveCuttedAudio->isEnabled(), saving);
        }
        QCOMPARE(QDir(path("out")).entryList(QDir::Files | QDir::Hidden), QStringList());
        const QDir program(QCoreApplication::applicationDirPath());
        QCOMPARE(
            program.entryList({QStringLiteral(".temp.wav.part-*")}, QDir::Files | QDir::Hidden),
            QStringList());
        QFile::remove(path("endless.wav"));
    }

    // The transcoder's progress runs the status bar while it converts and while it saves; the
    // texts stay the status texts.
    void progressRunsTheBar() {
        Form1& w = *m_window;
        QStringList seen;
        connect(w.ProgressBar1, &QProgressBar::valueChanged, &w, [&] {
            if (w.ProgressBar1->maximum() == kProgressSteps)
                seen << w.ProgressBar1->format();
        });
        load("long tone.wav");
        mark(2, 20);
        w.cboOutputFormat->setCurrentText(QStringLiteral("MP3"));
        QCOMPARE(save().title, QStringLiteral("Done Saved"));
        QVERIFY2(seen.contains(QStringLiteral(" Loading...Please Wait.")),
                 qPrintable(seen.join(',')));
        QVERIFY2(seen.contains(QStringLiteral(" Saving...Please Wait.")),
                 qPrintable(seen.join(',')));
        verifyIdle();
    }

    void missingTranscoder() {
        Form1& w = *m_window;
        load("long tone.wav");
        mark(2, 5);
        const QString codec = Form1::programFile(QStringLiteral("codec.dll"));
        QVERIFY(QFile::rename(codec, codec + QStringLiteral(".aside")));
        const ShownMessage shown = save();
        QVERIFY(QFile::rename(codec + QStringLiteral(".aside"), codec));
        QCOMPARE(shown.title, QStringLiteral("Save Failed"));
        QVERIFY2(shown.text.contains(QStringLiteral("codec.dll")), qPrintable(shown.text));
        QCOMPARE(w.txtAudioFile->text(), path("long tone.wav"));
        verifyIdle();
    }

    // While the export runs, what would change its inputs is refused.
    void busyRefusesChanges() {
        Form1& w = *m_window;
        load("long tone.wav");
        mark(2, 20);
        w.cboOutputFormat->setCurrentText(QStringLiteral("MP3"));
        bool sawSaving = false;
        QTimer poke;
        connect(&poke, &QTimer::timeout, &w, [&] {
            if (!w.isSaving())
                return;
            sawSaving = true;
            QCOMPARE(w.ProgressBar1->format(), QStringLiteral(" Saving...Please Wait."));
            QVERIFY(QApplication::overrideCursor() != nullptr);
            QVERIFY(!w.TabControl1->widget(1)->isEnabled());
            QVERIFY(!w.ctlOpenMediaFile->isEnabled());
            w.LoadMedia(path("short.wav"));
            w.cmdBeginCut_Click();
            w.CommandBars_Execute(kCmdRandomCut);
            w.CommandBars_Execute(kCmdSaveCuttedAudio);
        });
        poke.start(1);
        const ShownMessage shown = save();
        poke.stop();
        QVERIFY(sawSaving);
        QCOMPARE(shown.title, QStringLiteral("Done Saved"));
        QCOMPARE(w.txtAudioFile->text(), path("long tone.wav"));
        QCOMPARE(w.Slider1->selStart(), 2);
        QCOMPARE(w.Slider1->selLength(), 18);
        QVERIFY(w.ctlOpenMediaFile->isEnabled());
        QVERIFY(w.cmdBeginCut->isEnabled());
        verifyIdle();
    }

    void folderChooser_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("text");
        QTest::newRow("cancel") << ""
                                << "/kept/";
        QTest::newRow("ordinary folder") << path("out") << path("out") + "/";
        QTest::newRow("root") << "/"
                              << "/";
    }
    void folderChooser() {
        QFETCH(QString, choice);
        Form1& w = *m_window;
        w.txtOutputFolder->setText(QStringLiteral("/kept/"));
        QString prompt;
        QTimer::singleShot(0, &w, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            prompt = dialog->windowTitle();
            if (choice.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->setDirectory(choice);
            dialog->selectFile(choice);
            static_cast<QDialog*>(dialog)->accept();
        });
        w.cmdSaveTo->click();
        QCOMPARE(prompt, QStringLiteral("Save images to this folder"));
        QTEST(w.txtOutputFolder->text(), "text");
        QSettings store(QStringLiteral("quilletaudio.com"), QStringLiteral("quilletaudio.com"));
        QTEST(store.value(QStringLiteral("Quillet/Output Folder")).toString(), "text");
    }

    // Each control opens its one address, before a load and after, and changes nothing else.
    void links() {
        Form1& w = *m_window;
        const QList<QPair<QWidget*, ShareLink>> controls{{w.cmdFacebook, ShareLink::Facebook},
                                                         {w.cmdTwitter, ShareLink::Twitter},
                                                         {w.cmdDelicious, ShareLink::Delicious},
                                                         {w.cmdDig, ShareLink::Digg},
                                                         {w.cmdStumbleUpon, ShareLink::StumbleUpon},
                                                         {w.cmdReddit, ShareLink::Reddit},
                                                         {w.lblAbout, ShareLink::About}};
        for (int round = 0; round < 2; ++round) {
            if (round == 1) {
                load("long tone.wav");
                mark(3, 9);
            }
            const QString file = w.txtAudioFile->text();
            for (const auto& [control, link] : controls) {
                m_urls.urls.clear();
                QTest::mouseClick(control, Qt::LeftButton);
                QCOMPARE(m_urls.urls.size(), 1);
                QCOMPARE(QString::fromLatin1(m_urls.urls.first().toEncoded()), shareAddress(link));
            }
            QCOMPARE(w.txtAudioFile->text(), file);
            QCOMPARE(w.lblBeginCut->text(),
                     round ? QStringLiteral("00:00:03") : QStringLiteral("00:00:00"));
            QCOMPARE(QFile::exists(tempWav()), round == 1);
        }
        QVERIFY(m_messages.isEmpty());
    }
};

QTEST_MAIN(TestCutterWindow)
#include "test_cutter_window.moc"
