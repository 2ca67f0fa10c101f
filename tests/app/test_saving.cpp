// The real window offscreen, with the real audio output and transcoder: the keys and the marks
// they set, and saves of the marked stretch.
#include "cutter/export_command.h"
#include "tests/support/wav_bytes.h"
#include "tests/support/window_fixture.h"

#include <QMessageBox>
#include <QRegularExpression>

class TestSaving : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        for (const auto& [name, seconds] : {std::pair{"tone.wav", 30}, {"short.wav", 5}})
            QVERIFY(testaudio::tone(f.path(name), 44100, 2, seconds));
        // The save's own settings, 192 kbit/s at 44100 Hz in stereo: cut from its frames.
        QVERIFY(testaudio::tone(f.path("tone.mp3"), 44100, 2, 30, {"-b:a", "192k"}));
        QVERIFY(QFile::copy(f.path("short.wav"), f.path(QString(245, u'n') + ".wav")));
    }

    // Each key does what its button or command does, on either page, unless a text box, a
    // list or the check box has the focus. Begin Cut and End Cut set the stretch and its labels;
    // a load clears the marks, a failed one keeps them. "Random": six seconds or more, from 1.
    void keysAndMarks_data() {
        columns<QString, QKeySequence, int, QString, int>(
            {"steps", "key", "sound", "marks", "page"});
        const int stop = int(BASS_ACTIVE_STOPPED), play = int(BASS_ACTIVE_PLAYING);
        const QString none = "0+0/30 00:00:00-00:00:00", five = "5+0/30 00:00:05-00:00:00";
        const QString marked = "3+5/30 00:00:03-00:00:08",
                      marking = "at=3,cmdBeginCut,at=8,cmdEndCut";
        const auto row = [](const char* name, const QString& steps, QKeySequence key, int sound,
                            const QString& marks, int page = 0) {
            QTest::newRow(name) << steps << key << sound << marks << page;
        };
        row("space plays", "focus=Slider1", Qt::Key_Space, play, none);
        row("space pauses", "cmdPlay", Qt::Key_Space, int(BASS_ACTIVE_PAUSED), none);
        row("escape stops", "cmdPlay", Qt::Key_Escape, stop, none);
        row("b marks the begin", "at=5", Qt::Key_B, stop, five);
        row("b after a stretch", marking + ",at=5", Qt::Key_B, stop, five);
        row("e marks the end", "at=3,cmdBeginCut,at=8", Qt::Key_E, stop, marked);
        row("p plays the selection", marking, Qt::Key_P, play, marked);
        row("space resumes a paused selection", marking + ",cmdPlaySelection,cmdPause",
            Qt::Key_Space, play, marked);
        row("ctrl+r cuts at random", "", Qt::CTRL | Qt::Key_R, stop, "random");
        row("ctrl+o opens a file", "", Qt::CTRL | Qt::Key_O, stop, none);
        row("alt+s shows the settings", "", Qt::ALT | Qt::Key_S, stop, none, 1);
        row("b on the settings page", "page=1,at=5", Qt::Key_B, stop, five, 1);
        row("b in the folder box", "page=1,focus=txtOutputFolder", Qt::Key_B, stop, none, 1);
        row("e in a list", "at=5,cmdBeginCut,page=1,focus=cboChannels", Qt::Key_E, stop, five, 1);
        row("end alone", marking + ",at=25,cmdEndCut", {}, stop, "3+5/30 00:00:03-00:00:25");
        row("end before begin", "at=8,cmdBeginCut,at=3,cmdEndCut", {}, stop, marked);
        row("a failed load", marking + ",load=missing.wav", {}, stop, marked);
    }
    void keysAndMarks() {
        QFETCH(QString, steps);
        QFETCH(QKeySequence, key);
        QFETCH(int, sound);
        QFETCH(QString, marks);
        const bool opening = key == QKeySequence(Qt::CTRL | Qt::Key_O);
        f.answerDialog(f.path("tone.wav"));
        f.steps((opening ? "load=short.wav," : "load=tone.wav,") + steps);
        f.type(key);
        // A mnemonic presses its button a moment later, as a click would show.
        QTRY_COMPARE(f.playState(), sound);
        QCOMPARE(f.dialogTitle, opening ? "Select Media File" : "");
        const SelectionSlider& cut = *w->Slider1;
        for (int draw = 0; marks == "random" && draw < 50; ++draw, f.type(key))
            QVERIFY(cut.selStart() >= 1 && cut.selLength() >= 6 &&
                    cut.selStart() + cut.selLength() <= 30);
        QVERIFY2(marks == "random" || f.state() == marks, qPrintable(f.state()));
        QVERIFY(!steps.contains("load") ||
                w->Slider1->value() == (steps.contains("missing") ? 8 : 0));
        QCOMPARE(w->bPlaySelection, marks.startsWith("3+5") && sound == int(BASS_ACTIVE_PLAYING));
        QTEST(w->TabControl1->currentIndex(), "page");
        QVERIFY2(f.messages.size() == steps.contains("missing"),
                 qPrintable(f.messages.value(0).text));
    }

    // Ctrl+S writes the marked stretch, exact to the second, and says where or opens the folder;
    // an earlier file is replaced only when the user says so; a refusal says why, writes nothing.
    void save_data() {
        columns<QString, QString, QString, int, int, QString, int>(
            {"steps", "folder", "format", "open", "earlier", "said", "seconds"});
        const auto row = [](const char* name, const QString& steps, const char* format,
                            const QString& said, int seconds = 0, int open = 0, int earlier = -1,
                            const char* folder = "@/out/") {
            QTest::newRow(name) << (steps == "unloaded" ? "" : "load=tone.wav," + steps) << folder
                                << format << open << earlier << said << seconds;
        };
        const QString marks = "at=2,cmdBeginCut,at=5,cmdEndCut",
                      done = "Done Saved\\|Done Saved at @/out/";
        row("WAV from second 0", "at=0,cmdBeginCut,at=4,cmdEndCut", "WAV", done + "\\|64", 4);
        row("MP3, folder opened", marks, "MP3", "", 3, 1);
        row("MP3 copied from an MP3", "load=tone.mp3," + marks, "MP3",
            done + "\nCopied without re-encoding.\\|64", 3);
        row("earlier file kept", marks, "WAV", "", 0, 0, 0);
        row("earlier file replaced", marks, "WAV", done + "\\|64", 3, 0, 1);
        row("nothing loaded", "unloaded", "MP3",
            "Select Audio\\|Please select first input audio file\\|48");
        row("no marks", "", "MP3",
            "Specify Cut Mark\\|Please specify a cut mark first.\r\n"
            "Just press the Begin Cut and End Cut buttons.\\|48");
        row("folder missing", marks, "MP3", "Save Failed\\|.*does not exist.*\\|48", 0, 0, -1,
            "@/none/");
        row("folder read-only", marks, "MP3", "Save Failed\\|.*\\|(16|48)", 0, 0, -1, "/proc/");
        row("transcoder fails", marks, "MP3/fast",
            "Save Failed\\|Quillet couldn't save the cut: the transcoder refused its command "
            "line.\n\ncodec: .*\\|16");
        // What the format cannot take is said on lines of their own, also when the folder opens.
        row("settings replaced", marks, "MP3/320/12050",
            done + "\nMP3 can't be saved at 12050 Hz: saved at 12000 Hz.\n"
                   "MP3 at 12000 Hz holds at most 64 kbit/s: saved at 64 kbit/s.\\|64",
            3, 1);
        // A name longer than the folder takes is refused before anything runs.
        const QString name(245, u'n');
        row("name too long", "load=" + name + ".wav," + marks, "MP3",
            "Save Failed\\|The name of the cut is too long for the output folder, which takes "
            "names of up to 255 bytes:\n" +
                name + "_cutted.mp3\nPlease give the opened file a shorter name.\\|48");
    }
    void save() {
        QFETCH(QString, steps);
        QFETCH(QString, folder);
        QFETCH(QString, format);
        QFETCH(int, open);    // 1: asked to open the folder
        QFETCH(int, earlier); // an earlier file: 0 kept (No), 1 replaced (Yes)
        QFETCH(QString, said);
        QFETCH(int, seconds);
        folder.replace(u'@', f.dir.path());
        f.steps(steps);
        f.messages.clear();
        const QString name = exportBaseName(w->txtAudioFile->text(), u'/') + "_cutted." +
                             format.section(u'/', 0, 0).toLower();
        if (earlier >= 0)
            wavbytes::write(f.out() + name, "earlier");
        f.answerYes = earlier == 1;
        // FORMAT/BITRATE/FREQUENCY: a bit rate text of our own, a listed frequency.
        w->cboOutputFormat->setCurrentText(format.section(u'/', 0, 0));
        if (format.contains(u'/'))
            w->cboBitrate->setItemText(w->cboBitrate->currentIndex(), format.section(u'/', 1, 1));
        if (format.count(u'/') == 2)
            w->cboFrequency->setCurrentText(format.section(u'/', 2, 2));
        w->txtOutputFolder->setText(folder);
        w->chkAutoOpen->setChecked(open > 0);
        QObject during; // the bar's steps while the transcoder reports
        QList<int> bar;
        connect(w->ProgressBar1, &QProgressBar::valueChanged, &during, [&](int value) {
            if (w->ProgressBar1->maximum() == kProgressSteps)
                bar << value;
        });
        w->ctlSaveCuttedAudio->isEnabled() ? f.type(Qt::CTRL | Qt::Key_S)
                                           : w->CommandBars_Execute(kCmdSaveCuttedAudio);
        if (earlier >= 0) {
            const ShownMessage question = f.messages.takeFirst();
            QVERIFY(question.question);
            QCOMPARE(question.text, name + " already exists. Do you want to replace it?");
        }
        const QRegularExpression pattern(
            "^(" + said.replace(u'@', QRegularExpression::escape(f.dir.path())) + ")$",
            QRegularExpression::DotMatchesEverythingOption);
        QVERIFY2(pattern.match(f.said()).hasMatch(), qPrintable(f.said()));
        QCOMPARE(f.urls, open == 1 ? QList<QUrl>{QUrl::fromLocalFile(folder)} : QList<QUrl>());
        QCOMPARE(f.written(), seconds || earlier >= 0 ? QStringList{name} : QStringList());
        QVERIFY(earlier || QFileInfo(f.out() + name).size() == 7);
        const double decoded = seconds ? testaudio::decodedSeconds(f.out() + name, 8000) : 0;
        QVERIFY2(std::abs(decoded - seconds) < 0.1, qPrintable(QString::number(decoded)));
        QCOMPARE(bar.value(bar.size() - 1), seconds ? kProgressSteps : 0);
        f.verifyIdle();
    }

    // Enter at the real replace question answers No: the earlier file stays.
    void enterKeepsEarlierFile() {
        f.steps("load=tone.wav,at=2,cmdBeginCut,at=5,cmdEndCut,saveto=WAV");
        wavbytes::write(f.out() + "tone_cutted.wav", "earlier");
        setMessageHandler({});
        QStringList shown; // the real boxes, each answered with Enter
        QTimer enter;
        connect(&enter, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown << box->text();
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        enter.start(50);
        w->CommandBars_Execute(kCmdSaveCuttedAudio);
        QCOMPARE(shown, QStringList{"tone_cutted.wav already exists. Do you want to replace it?"});
        QCOMPARE(QFileInfo(f.out() + "tone_cutted.wav").size(), 7);
    }
};

QTEST_MAIN(TestSaving)
#include "test_saving.moc"
