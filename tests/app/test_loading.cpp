// The real window offscreen, with the real audio output and transcoder: loads, every failure a
// run reports, drops, and a run stopped while it goes on.
#include "audio/audio_output.h"
#include "audio/mod_cutter.h"
#include "cutter/coder_run.h"
#include "cutter/run_failure.h"
#include "tests/support/wav_bytes.h"
#include "tests/support/window_fixture.h"

#include <QAccessible>
#include <QRegularExpression>

#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestLoading : public WindowTest {
    Q_OBJECT
    int m_outputsMade = 0; // audio outputs set up since the window opened

private Q_SLOTS:
    void initTestCase() {
        setAudioOutputFactory([this] {
            ++m_outputsMade;
            return makeDefaultAudioOutput();
        });
        for (const auto& [name, seconds] :
             {std::pair{"tone.wav", 30}, {"short.wav", 5}, {"ten minutes.wav", 600}})
            QVERIFY(testaudio::tone(f.path(name), 44100, 2, seconds));
        QVERIFY(testaudio::tone(f.path("silence 3s.flac"), 48000, 1, 3, {}, "0"));
        // What fails to open, each in its own way (see failures()).
        const std::pair<const char*, QByteArray> files[] = {
            {"words.wma", "only words"},
            {"empty.mp3", ""},
            {"coding.wav",
             wavbytes::riff(wavbytes::chunk("fmt ", wavbytes::fmt(44100, 2, 16, 0x1234)) +
                            wavbytes::chunk("data", QByteArray(3200, '\0')))},
            {"rate 7.wav", wavbytes::wav(7, 2, QByteArray(3200, '\0'))},
            {"header only.wav", wavbytes::wav(44100, 2, {})},
            // 3 h 23 min at 1000 Hz: 2 GiB at 44100 Hz stereo
            {"long.wav", wavbytes::wav(1000, 1, QByteArray(2 * 1000 * 12180, '\0'))}};
        for (const auto& [name, bytes] : files)
            wavbytes::write(f.path(name), bytes);
        for (const char* name : {"failing.eio.wav", "disk.full.x.wav"})
            QVERIFY(QFile::copy(f.path("short.wav"), f.path(name)));
        QVERIFY(testaudio::damagedTone(f.path("damaged.flac")) &&
                testaudio::damagedTone(f.path("damaged.wma")));
        QVERIFY(testaudio::ffmpeg(
            {"-f", "lavfi", "-i", "color=red:s=64x64", "-frames:v", "1", f.path("picture.png")}));
    }

    // The first load keeps the start-up's audio set-up, refuses drops and loads meanwhile, and its
    // status bar runs from 1 over the scan to the last point. Cancelled, the open dialog changes
    // nothing; a file chosen stops the one playing, sets up anew, replaces temp.wav, clears marks.
    void loads() {
        m_outputsMade = 0; // of this window only
        QList<int> progress;
        connect(w->ProgressBar1, &QProgressBar::valueChanged, w, [&](int value) {
            if (w->ProgressBar1->format() != " Loading...Please Wait.")
                return;
            progress << value;
            QVERIFY(!f.drop(w->txtAudioFile, {f.path("silence 3s.flac")}));
            w->LoadMedia(f.path("silence 3s.flac"));
        });
        w->LoadMedia(f.path("short.wav"));
        f.verifyLoaded("short.wav", 5);
        QCOMPARE(m_outputsMade, 0);
        QVERIFY(w->aWaveTop[150] < 40 && w->aWaveBottom[150] > 88); // a tone at half scale
        QCOMPARE(progress.value(0), 1);
        QCOMPARE(progress.mid(progress.size() - 6), QList<int>({0, 100, 200, 300, 400, 500}));
        f.steps("at=1,cmdBeginCut,at=2,cmdEndCut,cmdPlay");
        for (const QString& choice : {QString(), f.path("silence 3s.flac")}) {
            f.answerDialog(choice);
            w->CommandBars_Execute(kCmdOpenMediaFile);
            QCOMPARE(f.dialogTitle, "Select Media File");
            QVERIFY(!choice.isEmpty() || (w->txtAudioFile->text() == f.path("short.wav") &&
                                          w->lblEndCut->text() == "00:00:02" && !m_outputsMade));
        }
        QCOMPARE(f.dialogFilters,
                 QStringList({"MP3 Files (*.mp3)", "WMA Files (*.wma)", "WAV Files (*.wav)",
                              "AMR Files (*.amr)", "Flac Files (*.flac)"}));
        f.verifyLoaded("silence 3s.flac", 3);
        QVERIFY(m_outputsMade == 1 && w->bRestart); // the Stop and the new set-up of a second load
        QCOMPARE(testaudio::decodedSeconds(tempWavPath(), 44100), 3.0);
        QCOMPARE(std::count(w->aWaveTop.begin(), w->aWaveTop.begin() + 301, 64) +
                     std::count(w->aWaveBottom.begin(), w->aWaveBottom.begin() + 301, 64),
                 602);
    }

    // Each failure the real transcoder reports: the sentence shown, then its line in plain words.
    // "open:" opens the test folder's file over a loaded one, which stays loaded, playing, marks
    // and all; "save:" saves a cut of it; "run:" words the transcoder's result for these arguments
    // as a failed save (or open: "run-open:") would be, for failures the window forestalls.
    void failures_data() {
        columns<QString, QString>({"how", "sentence"});
        const auto row = [](const char* name, const QString& how, const QString& sentence) {
            QTest::newRow(name) << how << sentence;
        };
        const auto open = [&row](const char* name, const QString& file, const QString& why) {
            row(name, "open:" + file, "Quillet can't open this file: " + why);
        };
        const QString second = "run:-i @/short.wav -t 00:00:01 -ss 00:00:01 ",
                      noSound = "it holds no sound Quillet can play; it may be damaged.";
        row("bad option", "run:-i @/short.wav -t 1:2 @/out/o.wav",
            "Quillet couldn't save the cut: the transcoder refused its command line.");
        open("input missing", "gone.mp3", "it is no longer there.");
        row("working copy missing", "run:-i @/gone.wav -t 00:00:01 -ss 00:00:01 @/out/o.wav",
            "Quillet couldn't save the cut: the working copy of the opened file is gone.");
        open("input not readable", "/proc/sys/vm/compact_memory", "you may not read it.");
        open("not audio", "words.wma", "it is not an audio file Quillet knows.");
        open("empty", "empty.mp3", "it is not an audio file Quillet knows.");
        open("a picture", "picture.png", "it holds no sound it can read.");
        open("unknown coding", "coding.wav", "its sound is in a form Quillet can't decode.");
        open("impossible rate", "rate 7.wav", "its header is damaged.");
        open("flac, sample size damaged", "damaged.flac", noSound);
        open("wma, block alignment damaged", "damaged.wma", noSound);
        open("wav of no samples", "header only.wav", noSound);
        open("read fails", "failing.eio.wav", "reading it failed.");
        // The file grows while scanned, or a folder takes temp.wav's set-aside name: the window's
        // own reasons, no transcoder line. The loaded file stays, stopped in the second case.
        row("more audio than its header", "open:grows.wav",
            incomingWavPath() + " holds more audio than its header");
        row("temp.wav held", "open:held.wav", "Can't replace " + tempWavPath() + ".");
        row("too long", "run-open:-i @/long.wav -f wav @/out/o.wav",
            "Quillet can't open this file: it is too long (3 hours 22 minutes at most).");
        row("folder missing", second + "@/none/o.wav", "The output folder does not exist.");
        row("folder not writable", "run:-i @/short.wav -f wav /proc/sys/vm/o.wav",
            "Quillet can't write into the output folder.");
        row("disk full", "save:disk.full.x.wav", "The output folder's disk is full.");
        row("disk full, encoded", "run:-i @/short.wav -t 00:00:01 -ss 00:00:01 @/out/o.full.mp3",
            "The output folder's disk is full.");
        row("name too long", second + "@/out/" + QString(252, u'n') + ".wav",
            "The name of the cut is too long for the output folder.");
        row("empty stretch", "run:-i @/short.wav -t 00:00:00 -ss 00:00:01 @/out/o.wav",
            "The marked stretch is empty: set the End Cut after the Begin Cut.");
        row("start past the end", "run:-i @/short.wav -t 00:00:01 -ss 00:01:00 @/out/o.wav",
            "The marked stretch lies past the end of the file.");
        row("output a folder", "run:-i @/short.wav -f wav @/out",
            "Quillet can't write the cut into the output folder.");
    }
    void failures() {
        QFETCH(QString, how);
        QFETCH(QString, sentence);
        const QString route = how.section(u':', 0, 0), what = how.section(u':', 1);
        const QString file = what.startsWith(u'/') ? what : f.path(what);
        // Faults no real file gives, for the names that ask for them.
        if (what.contains(".eio.") || what.contains(".full."))
            qputenv("LD_PRELOAD", EIO_SHIM);
        bool grows = false; // armed once the file to fail over is loaded
        const QObject row;  // ends the watch with the row, before the window closes
        connect(w->ProgressBar1, &QProgressBar::valueChanged, &row, [&] {
            QFile scanned(incomingWavPath());
            if (w->ProgressBar1->maximum() == 500 && std::exchange(grows, false) && // 5 s scanned
                scanned.open(QIODevice::Append))
                scanned.write(QByteArray(10 * 1764, '\0'));
        });
        f.steps("load=" + QString(route == "save" ? what : "short.wav") +
                ",at=1,cmdBeginCut,at=3,cmdEndCut,cmdPlay,saveto=WAV");
        grows = what == "grows.wav" && QFile::copy(f.path("short.wav"), file);
        const bool windowsReason = what == "grows.wav" || what == "held.wav";
        QVERIFY(what != "held.wav" || (QFile::copy(f.path("short.wav"), file) &&
                                       QDir().mkpath(tempWavPath() + ".old/held")));
        const QString before = f.loadedState();
        QString shown;
        if (route.startsWith("run")) {
            QString line;
            const QString command = '"' + programFolderFile("codec.dll") + "\" " + what;
            const int code =
                ShellAndWait(QString(command).replace(u'@', f.dir.path()), SW_HIDE, &line);
            QVERIFY(code > 0);
            shown = runFailureText(route == "run" ? RunKind::Save : RunKind::Open, code, line);
        } else {
            route == "open" ? w->LoadMedia(file) : w->SaveCuttedAudio();
            QCOMPARE(f.messages.size(), 1);
            QCOMPARE(f.messages[0].title + QString::number(f.messages[0].style),
                     route == "open" ? "Error Loading Media48" : "Save Failed16");
            shown = f.messages[0].text;
        }
        qunsetenv("LD_PRELOAD");
        for (const char* name : {"grows.wav", "held.wav"})
            QFile::remove(f.path(name));
        QDir(tempWavPath() + ".old").removeRecursively();
        // The sentence, then the transcoder's line, none of FFmpeg's words in it.
        QVERIFY2(shown.startsWith(sentence) &&
                     (windowsReason || shown.mid(sentence.size()).startsWith("\n\ncodec: ")) &&
                     !shown.contains(QRegularExpression("FFmpeg|patches|Invalid data|Operation|"
                                                        "Input/output|allocate|No such|denied")),
                 qPrintable(shown));
        // Nothing of the run is left, and the loaded file is as it was, playing on.
        QCOMPARE(f.loadedState(), before);
        QVERIFY(route.startsWith("run") ||
                f.playState() ==
                    int(what == "held.wav" ? BASS_ACTIVE_STOPPED : BASS_ACTIVE_PLAYING));
        QCOMPARE(f.written(), QStringList());
        f.verifyIdle();
    }

    // On the file box or the strip, text is not taken; a name of another type is refused; of
    // three files the first loads.
    void drops_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("file box") << "txtAudioFile";
        QTest::newRow("strip") << "PicWave";
    }
    void drops() {
        QFETCH(QString, target);
        QWidget* on = w->findChild<QWidget*>(target);
        QVERIFY(!f.drop(on, {}));
        QVERIFY(f.drop(on, {f.path("notes.ogg")}));
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages[0].title + ": " + f.messages[0].text,
                 "Invalid Audio Format: Invalid audio file.");
        QVERIFY(!QFile::exists(tempWavPath()));
        f.messages.clear();
        QVERIFY(f.drop(on, {f.path("short.wav"), f.path("silence 3s.flac"), f.path("notes.ogg")}));
        f.verifyLoaded("short.wav", 5);
    }

    // A Latin-1 name (not UTF-8) dropped as a file manager drops it, percent-encoded, opens, shows
    // as a file manager shows it, saves its cut under that shown name, and leaves no link.
    void nameNotUtf8() {
        const QByteArray name = QFile::encodeName(f.dir.path()) + "/caf\xe9.wav";
        QVERIFY(QFile::copy(f.path("short.wav"), f.path("cafe.wav")));
        QCOMPARE(::rename(QFile::encodeName(f.path("cafe.wav")).constData(), name.constData()), 0);
        QVERIFY(f.drop(w->txtAudioFile, {},
                       {QUrl::fromEncoded("file://" + name.toPercentEncoding("/"))}));
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.value(0).text));
        QCOMPARE(w->txtAudioFile->text() + " " + w->lblTotalTime->text(),
                 f.path(QStringLiteral("caf\uFFFD.wav")) + " 00:00:05");
        QVERIFY(!QFile::exists(workingFolder() + "/temp-source"));
        f.steps("at=1,cmdBeginCut,at=3,cmdEndCut,saveto=WAV");
        w->CommandBars_Execute(kCmdSaveCuttedAudio);
        QCOMPARE(f.messages.value(0).title, "Done Saved");
        QVERIFY(QFile::exists(f.out() + QStringLiteral("caf\uFFFD_cutted.wav")));
    }

    // Escape, a close or a kill of the transcoder (SIGKILL to this test's own child) during a
    // load or a save ends the run and leaves nothing of it, in the working folder or the output
    // folder. The file loaded before stays as it was, playing on; only a kill is reported.
    void stopDuringRun_data() {
        columns<bool, QString, QString>({"saving", "how", "said"});
        const QString crashed[] = {
            "Error Loading Media|The transcoder crashed while opening this file.|48",
            "Save Failed|The transcoder crashed while saving the cut.|16"};
        for (const QString how : {"escape", "close", "kill"})
            for (const bool saving : {false, true})
                QTest::addRow("%s during a %s", qPrintable(how), saving ? "save" : "load")
                    << saving << how << (how == "kill" ? crashed[saving] : QString());
    }
    void stopDuringRun() {
        QFETCH(bool, saving);
        QFETCH(QString, how);
        QFETCH(QString, said);
        const bool closing = how == "close";
        f.steps(QString(saving ? "load=ten minutes.wav,at=0,cmdBeginCut,at=600"
                               : "load=tone.wav,at=3,cmdBeginCut,at=8") +
                ",cmdEndCut,cmdPlay,saveto=MP3");
        // A load reads a pipe fed a WAV of open length until the transcoder has made its part
        // file; it then waits for more for ever.
        const QString input = saving ? f.path("ten minutes.wav") : f.path("endless.wav");
        QVERIFY(saving || ::mkfifo(QFile::encodeName(input).constData(), 0600) == 0);
        QByteArray sound = wavbytes::wav(44100, 2, {});
        sound.replace(40, 4, QByteArray(4, '\xff'));
        const QDir folder(saving ? f.out() : ::workingFolder());
        const auto parts = [&] {
            return folder.entryList({".*.part-*"}, QDir::Files | QDir::Hidden);
        };
        const QString before = f.loadedState();
        int feed = -1;
        QString status;
        QTimer poll;
        connect(&poll, &QTimer::timeout, w, [&] {
            if (!saving && feed < 0 &&
                (feed = ::open(QFile::encodeName(input).constData(), O_WRONLY | O_NONBLOCK)) >= 0)
                QCOMPARE(::write(feed, sound.constData(), sound.size()), sound.size());
            if (parts().isEmpty()) {
                const QByteArray silence(16384, '\0'); // as much of it as the pipe takes
                if (feed >= 0 && ::write(feed, silence.constData(), silence.size()) < 0)
                    QCOMPARE(errno, EAGAIN);
                return;
            }
            poll.stop();
            status =
                QAccessible::queryAccessibleInterface(w->ProgressBar1)->text(QAccessible::Name);
            if (saving) {
                QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
                QVERIFY(!w->TabControl1->widget(1)->isEnabled() &&
                        !w->ctlOpenMediaFile->isEnabled());
            }
            if (how == "kill")
                QProcess::execute("pkill", {"-KILL", "-P",
                                            QString::number(QCoreApplication::applicationPid()),
                                            "-f", "coder.exe"});
            closing ? void(w->close()) : how == "escape" ? f.type(Qt::Key_Escape) : void();
        });
        poll.start(10);
        // Should the run not stop, the pipe's end ends the load: the test fails, not hangs.
        bool pipeClosed = false;
        QTimer::singleShot(20000, w, [&] {
            if ((pipeClosed = feed >= 0))
                ::close(std::exchange(feed, -1));
        });
        saving ? w->CommandBars_Execute(kCmdSaveCuttedAudio) : w->LoadMedia(input);
        if (feed >= 0)
            ::close(feed);
        QFile::remove(f.path("endless.wav"));
        QVERIFY(!poll.isActive() && !pipeClosed);
        QCOMPARE(status, saving ? "Saving...Please Wait." : "Loading...Please Wait.");
        QCOMPARE(f.said(), said);
        QVERIFY(QProcess::execute("pgrep", {"-f", input}) != 0); // no transcoder run on it
        QCOMPARE(parts(), QStringList());
        QCOMPARE(f.written(), QStringList());
        QTRY_COMPARE(w->isVisible(), !closing);
        QCOMPARE(QFile::exists(tempWavPath()), !closing);
        if (!closing) {
            QCOMPARE(f.loadedState(), before);
            QCOMPARE(f.playState(), int(BASS_ACTIVE_PLAYING));
        }
        f.verifyIdle();
    }
};

QTEST_MAIN(TestLoading)
#include "test_loading.moc"
