// The window's keys on the real window, with a loaded file playing through the real audio output
// and the real transcoder: the transport keys, the tool bar's shortcuts and mnemonics, Escape
// during a load or a save, keys that belong to a text box or a list, clicks that leave the focus
// alone, and where the two dialogs start.
#include "app/form1.h"
#include "app/message_box.h"
#include "app/selection_slider.h"
#include "app/settings_store.h"
#include "audio/mod_bass.h"
#include "tests/support/processes.h"
#include "tests/support/test_audio.h"

#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

const QString kUnset = QStringLiteral("00:00:00");

DWORD channelState(const Form1& w) {
    return BASS_ChannelIsActive(static_cast<DWORD>(w.hStream));
}

// The folder a file dialog shows, as the file system spells it.
QString shownFolder(const QFileDialog* dialog) {
    return QFileInfo(dialog->directory().absolutePath()).canonicalFilePath();
}

} // namespace

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};

class TestWindowKeys : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QTemporaryDir m_settings;
    std::unique_ptr<Form1> m_window;
    QList<ShownMessage> m_messages;
    UrlCatcher m_urls;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    void load(const QString& name) {
        m_window->LoadMedia(path(name));
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
    }

    void type(const QKeySequence& keys) { QTest::keySequence(m_window->windowHandle(), keys); }

    // Steps before a key, comma-separated: "at=S" puts the slider on second S, "play", "pause",
    // "begin" and "end" press their buttons, "page=N" shows page N, "focus=NAME" gives the
    // control of that name the keyboard focus.
    void prepare(const QString& steps) {
        Form1& w = *m_window;
        for (const QString& step : steps.split(u',', Qt::SkipEmptyParts)) {
            const QString value = step.section(u'=', 1);
            if (step.startsWith(QStringLiteral("at=")))
                w.Slider1->setValue(value.toInt());
            else if (step.startsWith(QStringLiteral("focus=")))
                w.findChild<QWidget*>(value)->setFocus();
            else if (step.startsWith(QStringLiteral("page=")))
                w.TabControl1->setCurrentIndex(value.toInt());
            else if (step == QStringLiteral("play"))
                w.cmdPlay->click();
            else if (step == QStringLiteral("pause"))
                w.cmdPause->click();
            else if (step == QStringLiteral("begin"))
                w.cmdBeginCut->click();
            else if (step == QStringLiteral("end"))
                w.cmdEndCut->click();
            else if (step == QStringLiteral("selection"))
                w.cmdPlaySelection->click();
            else
                QFAIL(qPrintable(step));
        }
    }

    // Answers the next file dialog as soon as it shows: records its title and folder, then
    // takes choice, or cancels when choice is empty.
    struct Answer {
        QString title;
        QString folder;
        bool done = false;
    };
    void answerDialog(QTimer& poll, Answer& answer, const QString& choice) {
        connect(&poll, &QTimer::timeout, m_window.get(), [&poll, &answer, choice] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll.stop();
            answer.title = dialog->windowTitle();
            answer.folder = shownFolder(dialog);
            answer.done = true;
            if (choice.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->selectFile(choice);
            static_cast<QDialog*>(dialog)->accept();
        });
        poll.start(10);
    }

private Q_SLOTS:
    void initTestCase() {
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
        setMessageHandler([this](ShownMessage& m) { m_messages << m; });
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &m_urls, "open");
        QVERIFY(testaudio::makeTone(path("tone.wav"), 30));
        QVERIFY(QDir().mkpath(path("sub")));
        QVERIFY(testaudio::makeTone(path("sub/short.wav"), 5));
    }

    void cleanupTestCase() {
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        setMessageHandler({});
    }

    void init() {
        QFile::remove(Form1::programFile(QStringLiteral("temp.wav")));
        m_messages.clear();
        m_urls.urls.clear();
        // Each window starts from the default settings, whatever the case before it chose.
        openSettingsStore()->remove(QString());
        QDir(path("out")).removeRecursively();
        QVERIFY(QDir().mkpath(path("out")));
        m_window = std::make_unique<Form1>();
        if (!BASS_Init(-1, 44100, 0, nullptr, nullptr))
            QSKIP("No audio output device (start the test services first)");
        m_window->txtOutputFolder->setText(path("out") + QDir::separator());
        m_window->chkAutoOpen->setChecked(false);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void cleanup() {
        m_window->close();
        m_window.reset();
        BASS_Free();
    }

    // Each key does what its button or command does; "set" stands for any mark but 00:00:00.
    void keysDriveTheWindow_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QKeySequence>("key");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("begin");
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("selection");
        QTest::addColumn<int>("page");
        const int stopped = int(BASS_ACTIVE_STOPPED);
        const int playing = int(BASS_ACTIVE_PLAYING);
        const int paused = int(BASS_ACTIVE_PAUSED);
        const QString none = kUnset;
        QTest::newRow("space plays")
            << "" << QKeySequence(Qt::Key_Space) << playing << none << none << false << 0;
        QTest::newRow("space, the file box focused")
            << "focus=txtAudioFile" << QKeySequence(Qt::Key_Space) << playing << none << none
            << false << 0;
        QTest::newRow("space, the slider focused") << "focus=Slider1" << QKeySequence(Qt::Key_Space)
                                                   << playing << none << none << false << 0;
        QTest::newRow("space pauses")
            << "play" << QKeySequence(Qt::Key_Space) << paused << none << none << false << 0;
        QTest::newRow("space resumes")
            << "play,pause" << QKeySequence(Qt::Key_Space) << playing << none << none << false << 0;
        QTest::newRow("escape stops")
            << "play" << QKeySequence(Qt::Key_Escape) << stopped << none << none << false << 0;
        QTest::newRow("b marks the begin")
            << "at=5" << QKeySequence(Qt::Key_B) << stopped << "00:00:05" << none << false << 0;
        QTest::newRow("e marks the end")
            << "at=3,begin,at=8" << QKeySequence(Qt::Key_E) << stopped << "00:00:03"
            << "00:00:08" << false << 0;
        QTest::newRow("p plays the selection")
            << "at=3,begin,at=8,end" << QKeySequence(Qt::Key_P) << playing << "00:00:03"
            << "00:00:08" << true << 0;
        QTest::newRow("space resumes a paused selection to its end")
            << "at=3,begin,at=8,end,selection,pause" << QKeySequence(Qt::Key_Space) << playing
            << "00:00:03"
            << "00:00:08" << true << 0;
        QTest::newRow("p without marks")
            << "" << QKeySequence(Qt::Key_P) << stopped << none << none << false << 0;
        QTest::newRow("shift+b is not b") << "at=5" << QKeySequence(Qt::SHIFT | Qt::Key_B)
                                          << stopped << none << none << false << 0;
        QTest::newRow("ctrl+r cuts at random")
            << "" << QKeySequence(Qt::CTRL | Qt::Key_R) << stopped << "set"
            << "set" << false << 0;
        QTest::newRow("alt+r cuts at random")
            << "" << QKeySequence(Qt::ALT | Qt::Key_R) << stopped << "set"
            << "set" << false << 0;
        QTest::newRow("alt+s shows the settings, saves nothing")
            << "at=3,begin,at=8,end" << QKeySequence(Qt::ALT | Qt::Key_S) << stopped << "00:00:03"
            << "00:00:08" << false << 1;
        QTest::newRow("alt+q shows the work page") << "page=1" << QKeySequence(Qt::ALT | Qt::Key_Q)
                                                   << stopped << none << none << false << 0;
        QTest::newRow("b on the settings page") << "page=1,at=5" << QKeySequence(Qt::Key_B)
                                                << stopped << "00:00:05" << none << false << 1;
    }
    void keysDriveTheWindow() {
        QFETCH(QString, steps);
        QFETCH(QKeySequence, key);
        QFETCH(int, state);
        QFETCH(QString, begin);
        QFETCH(QString, end);
        QFETCH(bool, selection);
        QFETCH(int, page);
        Form1& w = *m_window;
        load(QStringLiteral("tone.wav"));
        prepare(steps);
        type(key);
        // A mnemonic presses its button a moment later, as a click would show.
        QTRY_COMPARE(int(channelState(w)), state);
        const auto markIs = [](const QLabel* label, const QString& expected) {
            return expected == QStringLiteral("set") ? label->text() != kUnset
                                                     : label->text() == expected;
        };
        QTRY_VERIFY2(markIs(w.lblBeginCut, begin), qPrintable(w.lblBeginCut->text()));
        QTRY_VERIFY2(markIs(w.lblEndCut, end), qPrintable(w.lblEndCut->text()));
        QCOMPARE(w.bPlaySelection, selection);
        QTRY_COMPARE(w.TabControl1->currentIndex(), page);
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
    }

    // A click on a picture button leaves the keyboard focus where it was, so the next Space
    // plays or pauses instead of pressing that button again.
    void clickLeavesSpaceToTheWindow_data() {
        QTest::addColumn<QString>("button");
        for (const char* name :
             {"cmdPlay", "cmdPause", "cmdStop", "cmdBeginCut", "cmdEndCut", "cmdPlaySelection",
              "cmdFacebook", "cmdTwitter", "cmdDelicious", "cmdDig", "cmdStumbleUpon", "cmdReddit"})
            QTest::newRow(name) << name;
    }
    void clickLeavesSpaceToTheWindow() {
        QFETCH(QString, button);
        Form1& w = *m_window;
        load(QStringLiteral("tone.wav"));
        prepare(QStringLiteral("at=3,begin,at=8,end,at=10"));
        auto* pressed = w.findChild<QPushButton*>(button);
        QVERIFY(pressed);
        QTest::mouseClick(pressed, Qt::LeftButton);
        QVERIFY(QApplication::focusWidget() != pressed);
        const bool wasPlaying = channelState(w) == BASS_ACTIVE_PLAYING;
        const qsizetype opened = m_urls.urls.size();
        const QString begin = w.lblBeginCut->text();
        const QString end = w.lblEndCut->text();
        type(QKeySequence(Qt::Key_Space));
        QCOMPARE(channelState(w), wasPlaying ? BASS_ACTIVE_PAUSED : BASS_ACTIVE_PLAYING);
        QCOMPARE(m_urls.urls.size(), opened);
        QCOMPARE(w.lblBeginCut->text(), begin);
        QCOMPARE(w.lblEndCut->text(), end);
    }

    // A text box or a list with the focus keeps every key typed into it, the window's keys
    // among them.
    void keysStayInTextBoxesAndLists_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("value");
        QTest::newRow("folder box") << "txtOutputFolder"
                                    << "bep "
                                    << "/typed/bep ";
        QTest::newRow("format list") << "cboOutputFormat"
                                     << "wpbe"
                                     << "WMA";
        QTest::newRow("channel list") << "cboChannels"
                                      << "mpeb"
                                      << "Mono";
        QTest::newRow("check box") << "chkAutoOpen"
                                   << " "
                                   << "1";
    }
    void keysStayInTextBoxesAndLists() {
        QFETCH(QString, control);
        QFETCH(QString, typed);
        Form1& w = *m_window;
        load(QStringLiteral("tone.wav"));
        prepare(QStringLiteral("at=3,begin,at=8,end,at=10,page=1"));
        w.txtOutputFolder->setText(QStringLiteral("/typed/"));
        QWidget* target = w.findChild<QWidget*>(control);
        QVERIFY(target);
        target->setFocus();
        QTRY_VERIFY(target->hasFocus());
        if (auto* box = qobject_cast<QLineEdit*>(target))
            box->end(false);
        for (const QChar c : typed)
            QTest::keyClick(w.windowHandle(), c.toLatin1());
        QString value;
        if (auto* box = qobject_cast<QLineEdit*>(target))
            value = box->text();
        else if (auto* list = qobject_cast<QComboBox*>(target))
            value = list->currentText();
        else if (auto* check = qobject_cast<QCheckBox*>(target))
            value = check->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
        QTEST(value, "value");
        QCOMPARE(channelState(w), BASS_ACTIVE_STOPPED);
        QCOMPARE(w.lblBeginCut->text(), QStringLiteral("00:00:03"));
        QCOMPARE(w.lblEndCut->text(), QStringLiteral("00:00:08"));
        QVERIFY(!w.bPlaySelection);
    }

    // Escape during a load or a save stops that run without a message; playback goes on and
    // the window stays open.
    void escapeStopsTheRun_data() {
        QTest::addColumn<bool>("saving");
        QTest::addColumn<QString>("status");
        QTest::newRow("load") << false << "Loading...Please Wait.";
        QTest::newRow("save") << true << "Saving...Please Wait.";
    }
    void escapeStopsTheRun() {
        QFETCH(bool, saving);
        Form1& w = *m_window;
        QString input = path("endless.wav");
        if (saving) {
            QVERIFY(testaudio::makeTone(path("ten minutes.wav"), 600));
            load(QStringLiteral("ten minutes.wav"));
            prepare(QStringLiteral("at=0,begin,at=600,end,play"));
            w.cboOutputFormat->setCurrentText(QStringLiteral("MP3"));
            input = path("out/ten minutes_cutted.mp3");
        } else {
            // A pipe no one writes to: the transcoder waits on it for ever.
            QVERIFY(::mkfifo(QFile::encodeName(input).constData(), 0600) == 0);
        }
        QString statusName;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &w, [&] {
            const bool started =
                saving ? !QDir(path("out")).entryList(QDir::Hidden | QDir::Files).isEmpty()
                       : testprocess::processNaming(input);
            if (!started)
                return;
            poll.stop();
            statusName =
                QAccessible::queryAccessibleInterface(w.ProgressBar1)->text(QAccessible::Name);
            type(QKeySequence(Qt::Key_Escape));
        });
        poll.start(10);
        // Should Escape not stop it, the pipe's end ends the load after a while, and the test
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
        QFile::remove(path("endless.wav"));
        QVERIFY(!poll.isActive());
        QVERIFY(!pipeClosed);
        QTEST(statusName, "status");
        // Stopped on purpose: nothing to report.
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
        QVERIFY(!testprocess::processNaming(input));
        QCOMPARE(QDir(path("out")).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(w.isVisible());
        QVERIFY(!w.isSaving());
        QVERIFY(!w.isLoading());
        QCOMPARE(channelState(w), saving ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED);
        QCOMPARE(w.ProgressBar1->format(), QStringLiteral(" Ready"));
    }

    // Ctrl+S runs the save once a stretch is marked; before a load it does nothing.
    void ctrlSSaves_data() {
        QTest::addColumn<bool>("loaded");
        QTest::newRow("loaded and marked") << true;
        QTest::newRow("nothing loaded") << false;
    }
    void ctrlSSaves() {
        QFETCH(bool, loaded);
        Form1& w = *m_window;
        if (loaded) {
            load(QStringLiteral("tone.wav"));
            prepare(QStringLiteral("at=2,begin,at=5,end"));
            w.cboOutputFormat->setCurrentText(QStringLiteral("WAV"));
        }
        type(QKeySequence(Qt::CTRL | Qt::Key_S));
        QCOMPARE(m_messages.size(), loaded ? 1 : 0);
        if (loaded)
            QCOMPARE(m_messages[0].title, QStringLiteral("Done Saved"));
        QCOMPARE(QFileInfo(path("out/tone_cutted.wav")).size(),
                 loaded ? qint64{44 + 3 * 176400} : 0);
    }

    // Ctrl+O and Alt+O open the dialog in the folder of the file last opened, the home folder
    // before any; the file taken there is loaded.
    void openDialogStartsInTheLastFolder_data() {
        QTest::addColumn<QKeySequence>("key");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("folder");
        QTest::newRow("ctrl+o, nothing opened yet")
            << QKeySequence(Qt::CTRL | Qt::Key_O) << "" << QDir::homePath();
        QTest::newRow("alt+o after a file of another folder")
            << QKeySequence(Qt::ALT | Qt::Key_O) << "sub/short.wav" << path("sub");
    }
    void openDialogStartsInTheLastFolder() {
        QFETCH(QKeySequence, key);
        QFETCH(QString, before);
        Form1& w = *m_window;
        if (!before.isEmpty())
            load(before);
        QTimer poll;
        Answer answer;
        answerDialog(poll, answer, path("tone.wav"));
        type(key);
        QTRY_VERIFY(answer.done);
        QCOMPARE(answer.title, QStringLiteral("Select Media File"));
        QFETCH(QString, folder);
        QCOMPARE(answer.folder, QFileInfo(folder).canonicalFilePath());
        QTRY_COMPARE(w.txtAudioFile->text(), path("tone.wav"));
        QCOMPARE(w.Slider1->maximum(), 30);
    }

    // The folder chooser starts in the output folder when it exists, else in the home folder.
    void chooserStartsInTheOutputFolder_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("folder");
        QTest::newRow("existing folder") << path("out") + QDir::separator() << path("out");
        QTest::newRow("existing folder, no separator") << path("sub") << path("sub");
        QTest::newRow("missing folder") << path("none") + QDir::separator() << QDir::homePath();
        QTest::newRow("a file") << path("tone.wav") << QDir::homePath();
        QTest::newRow("empty") << "" << QDir::homePath();
    }
    void chooserStartsInTheOutputFolder() {
        QFETCH(QString, output);
        Form1& w = *m_window;
        w.txtOutputFolder->setText(output);
        QTimer poll;
        Answer answer;
        answerDialog(poll, answer, {});
        QTest::mouseClick(w.cmdSaveTo, Qt::LeftButton);
        QTRY_VERIFY(answer.done);
        QCOMPARE(answer.title, QStringLiteral("Save images to this folder"));
        QFETCH(QString, folder);
        QCOMPARE(answer.folder, QFileInfo(folder).canonicalFilePath());
        QCOMPARE(w.txtOutputFolder->text(), output);
    }
};

QTEST_MAIN(TestWindowKeys)
#include "test_window_keys.moc"
