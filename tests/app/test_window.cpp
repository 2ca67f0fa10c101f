// The real window offscreen, with the real audio output and transcoder.
#include "audio/audio_output.h"
#include "audio/mod_cutter.h"
#include "base/format_time.h"
#include "cutter/coder_run.h"
#include "cutter/export_command.h"
#include "cutter/run_failure.h"
#include "playback/wave_render.h"
#include "playback/wave_view.h"
#include "tests/support/wav_bytes.h"
#include "tests/support/window_fixture.h"

#include <QAccessible>
#include <QMimeData>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr QRgb kBackground = qRgb(33, 47, 56), kStroke = qRgb(81, 235, 63);
constexpr QRgb kYellow = qRgb(255, 255, 0);

// A control's state as the settings store holds it.
QString shown(const QWidget* widget) {
    if (auto* box = qobject_cast<const QCheckBox*>(widget))
        return box->isChecked() ? "1" : "0";
    return widget->property(qobject_cast<const QComboBox*>(widget) ? "currentText" : "text")
        .toString();
}

// True while some process's command line names text (a transcoder run on that file).
bool processNaming(const QString& text) {
    return QProcess::execute("pgrep", {"-f", text}) == 0;
}
} // namespace

class TestWindow : public QObject {
    Q_OBJECT
    WindowFixture f;
    int m_outputsMade = 0; // audio outputs set up since the window opened

    QStringList written() const { return QDir(f.out()).entryList(QDir::Files | QDir::Hidden); }
    // The slider's selection and maximum, and the two mark labels.
    QString state() const {
        const SelectionSlider& slider = *f.window->Slider1;
        return QString::asprintf("%d+%d/%d ", slider.selStart(), slider.selLength(),
                                 slider.maximum()) +
               f.window->lblBeginCut->text() + "-" + f.window->lblEndCut->text();
    }
    double seconds() const {
        const auto h = DWORD(f.window->hStream);
        return BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE));
    }
    // Waits until the position has moved past `from` by `by` seconds.
    bool playsOn(double from, double by = 0.3) const {
        return QTest::qWaitFor([&] { return seconds() > from + by; }, 10000);
    }
    // What a failed or stopped load must leave as it was.
    QString loadedState() const {
        const Form1& w = *f.window;
        QString enabled;
        for (const QObject* control :
             QObjectList{w.cmdPlay, w.cmdStop, w.cmdPause, w.cmdBeginCut, w.cmdEndCut,
                         w.cmdPlaySelection, w.Slider1, w.ctlRandomCut, w.ctlSaveCuttedAudio})
            enabled += control->property("enabled").toBool() ? u'1' : u'0';
        return QStringList{w.txtAudioFile->text(),
                           w.lblTotalTime->text(),
                           state(),
                           enabled,
                           QString::number(BASS_ChannelGetLength(w.hStream, BASS_POS_BYTE)),
                           QString::number(w.nWaveLast),
                           QString::number(qHashRange(w.aWaveTop.begin(), w.aWaveTop.end())),
                           QString::number(QFileInfo(tempWavPath()).size()),
                           QString::number(w.PicWave->image().isNull())}
            .join(u' ');
    }
    void verifyIdle() {
        const Form1& w = *f.window;
        QCOMPARE(w.ProgressBar1->text() + QString::number(w.ProgressBar1->value()), " Ready0");
        QVERIFY(!QApplication::overrideCursor() && w.TabControl1->widget(1)->isEnabled());
        QVERIFY(w.ctlOpenMediaFile->isEnabled());
        QCOMPARE(QDir(Form1::programFile(""))
                     .entryList({"coder.exe", ".temp*.part-*", "temp-new.wav*", "temp.wav.old*"},
                                QDir::Files | QDir::Hidden),
                 QStringList());
    }
    // What a user sees once a file is loaded: a point per 10 ms and one more from the empty read.
    void verifyLoaded(const QString& name, int seconds) {
        Form1& w = *f.window;
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.value(0).text));
        QCOMPARE(w.txtAudioFile->text() + " " + w.lblTotalTime->text() + " " + state(),
                 f.path(name) + QString(" 00:00:0%1 0+0/%1 00:00:00-00:00:00").arg(seconds));
        QCOMPARE(QList<int>({w.Slider1->value(), w.nWaveLast, w.nMarkLast}),
                 QList<int>({0, seconds * 100, seconds * 100}));
        for (const QObject* control :
             QObjectList{w.cmdPlay, w.cmdStop, w.cmdPause, w.cmdBeginCut, w.cmdEndCut,
                         w.cmdPlaySelection, w.Slider1, w.ctlRandomCut, w.ctlSaveCuttedAudio})
            QVERIFY2(control->property("enabled").toBool(), qPrintable(control->objectName()));
        QCOMPARE(BASS_ChannelIsActive(w.hStream), BASS_ACTIVE_STOPPED);
        verifyIdle();
    }
    // Drops the files (with none, a text) on the file box; true when the drag was taken.
    bool drop(const QStringList& files) {
        QMimeData data;
        for (const QString& file : files)
            data.setUrls(data.urls() << QUrl::fromLocalFile(file));
        data.setText(files.isEmpty() ? "/music/a.mp3" : "");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(f.window->txtAudioFile, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(f.window->txtAudioFile, &drop);
        return enter.isAccepted();
    }

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
        // The save's own settings, 192 kbit/s at 44100 Hz in stereo: cut from its frames.
        QVERIFY(testaudio::tone(f.path("tone.mp3"), 44100, 2, 30, {"-b:a", "192k"}));
        // What fails to open, each in its own way (see failures()).
        const std::pair<const char*, QByteArray> files[] = {
            {"words.wma", "only words"},
            {"empty.mp3", ""},
            {"coding.wav",
             wavbytes::riff(wavbytes::chunk("fmt ", wavbytes::fmt(44100, 2, 16, 0x1234)) +
                            wavbytes::chunk("data", QByteArray(3200, '\0')))},
            {"rate 7.wav", wavbytes::wav(7, 2, QByteArray(3200, '\0'))},
            {"header only.wav", wavbytes::wav(44100, 2, {})}};
        for (const auto& [name, bytes] : files)
            wavbytes::write(f.path(name), bytes);
        for (const QString& name :
             QStringList{"failing.eio.wav", "disk.full.x.wav", QString(245, u'n') + ".wav"})
            QVERIFY(QFile::copy(f.path("short.wav"), f.path(name)));
        QVERIFY(testaudio::damagedTone(f.path("damaged.flac")) &&
                testaudio::damagedTone(f.path("damaged.wma")));
        QVERIFY(
            QProcess::execute("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=red:s=64x64",
                                         "-frames:v", "1", f.path("picture.png")}) == 0);
    }
    void init() {
        if (!f.open())
            QSKIP("No audio output device (start the test services first)");
        m_outputsMade = 0;
    }
    void cleanup() { f.close(); }

    // Each control shows its caption, is named for a screen reader and says what it does.
    void controls_data() {
        columns<QString, QString, QString, QString>({"name", "caption", "access", "tip"});
        const char* const rows[][4] = {
            {"cmdPlay", "Play", "Play", "Play (Space)"},
            {"cmdPause", "Pause", "Pause", "Pause (Space)"},
            {"cmdStop", "Stop", "Stop", "Stop (Esc)"},
            {"cmdBeginCut", "Begin Cut", "Begin Cut", "Begin Cut (B)"},
            {"cmdEndCut", "End Cut", "End Cut", "End Cut (E)"},
            {"cmdPlaySelection", "Play Selection", "Play Selection", "Play Selection (P)"},
            {"lblAbout", "About the software", "About the software", ""},
            {"lblFilename", "Filename:", "Filename:", ""},
            {"txtAudioFile", " Please open media first or drag & drop the audio file here",
             "Filename", ""},
            {"PicWave", "", "Waveform", "Drag and drop audio file here"},
            {"Slider1", "", "Position",
             "Position (Left, Right: a second back or on; Home: the start; End: the last second)"},
            {"ProgressBar1", " Ready", "Ready", ""},
            {"Frame3", "Time", "Time", ""},
            {"Frame4", "Total Time", "Total Time", ""},
            {"Frame5", "Begin Time", "Begin Time", ""},
            {"Frame6", "End Time", "End Time", ""},
            {"Frame1", "Output MP3 Settings", "Output MP3 Settings", ""},
            {"cboBitrate", "32,48,56,64,80,96,112,128,192,224,256,320", "Bitrate:", ""},
            {"cboFrequency", "48000,44100,32000,24000,22050,16000,12050,8000", "Frequency:", ""},
            {"cboChannels", "Mono,Stereo", "Channel:", ""},
            {"Frame2", "Save Cutted Audio To", "Save Cutted Audio To", ""},
            {"cmdSaveTo", "...", "Choose the output folder", "Choose the output folder"},
            {"cboOutputFormat", "MP3,WMA,WAV,AMR", "Output Format:", ""},
            {"chkAutoOpen", "Auto Open Output Folder", "Auto Open Output Folder", ""},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << row[0] << row[1] << row[2] << row[3];
        for (const QString site :
             {"Facebook", "Twitter", "Delicious", "Digg", "StumbleUpon", "Reddit"}) {
            const QString name = site == "Digg" ? "cmdDig" : "cmd" + site;
            QTest::newRow(qPrintable(name)) << name << ""
                                            << "Share on " + site << "Share on " + site;
        }
    }
    void controls() {
        QFETCH(QString, name);
        QWidget* widget = f.window->findChild<QWidget*>(name);
        QVERIFY(widget);
        // What it shows: a list its entries, a frame its title, anything else its text.
        auto* list = qobject_cast<QComboBox*>(widget);
        QString caption =
            widget->property(qobject_cast<QGroupBox*>(widget) ? "title" : "text").toString();
        for (int i = 0; list && i < list->count(); ++i)
            caption += (i ? "," : "") + list->itemText(i);
        QTEST(caption, "caption");
        // A list is read with the label that names it.
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(widget);
        const auto labels = access->relations(QAccessible::Label);
        if (list && !labels.isEmpty())
            access = labels[0].first;
        QTEST(access->text(QAccessible::Name), "access");
        QTEST(widget->toolTip(), "tip");
    }

    // The window as it opens, on a store holding texts the program never writes: only opening a
    // file is at hand, the settings show and store their defaults.
    void windowAsItOpens() {
        QVERIFY(f.open({{"Bitrate", "160"}, {"Channels", "mono"}, {"Auto Open Folder", "7"}}));
        Form1& w = *f.window;
        QCOMPARE(w.TabControl1->tabText(0) + w.TabControl1->tabText(1), "&Quillet&Settings");
        QVERIFY(w.ctlOpenMediaFile->isEnabled() && !w.ctlRandomCut->isEnabled() &&
                !w.ctlSaveCuttedAudio->isEnabled());
        QVERIFY(w.Slider1->isEnabled() && w.Timer1->isActive() && w.Timer2->isActive());
        QCOMPARE(w.PicWave->palette().color(QPalette::Window), QColor(kBackground));
        QStringList settings;
        for (const char* name : {"cboBitrate", "cboChannels", "cboFrequency", "cboOutputFormat",
                                 "txtOutputFolder", "chkAutoOpen"})
            settings << shown(w.findChild<QWidget*>(name));
        for (const char* key : {"Bitrate", "Channels", "Frequency", "Output Format",
                                "Output Folder", "Auto Open Folder"})
            settings << openSettingsStore()->value(key).toString();
        const QString home = QDir::homePath() + "/";
        QCOMPARE(settings, QStringList({"192", "Stereo", "44100", "MP3", home, "0", "192", "Stereo",
                                        "44100", "MP3", home, "0"}));
        // The controls stand where the design puts them, measured from the tab control's corner.
        QList<QPoint> places;
        for (const char* name : {"txtAudioFile", "cmdPlay", "Frame6", "Frame1", "Frame2"})
            places << w.findChild<QWidget*>(name)->mapTo(w.TabControl1, QPoint());
        QCOMPARE(places, QList<QPoint>({{64, 32}, {11, 249}, {619, 241}, {8, 32}, {8, 112}}));
        // After a resize the tab control and the status line are as wide as the window and the
        // settings frames 200 twips narrower; a resize while minimised waits for the restore.
        const auto widths = [&w] {
            return QList<int>{w.TabControl1->width(), w.ProgressBar1->width(), w.Frame1->width(),
                              w.Frame2->width()};
        };
        w.resize(900, 500);
        QCOMPARE(widths(), QList<int>({900, 900, 887, 887}));
        w.showMinimized();
        w.resize(600, 500);
        QTRY_COMPARE(w.width(), 600);
        QCOMPARE(widths(), QList<int>({900, 900, 887, 887}));
        w.showNormal();
        QCOMPARE(widths(), QList<int>({600, 600, 587, 587}));
        // The columns where a marked stretch stands out from all it covers (handle at 3/4).
        SelectionSlider& slider = *w.Slider1;
        const auto band = [&slider](int maximum, int start, int length) {
            slider.setRange(0, maximum);
            slider.setValue(maximum * 3 / 4);
            slider.setSelLength(0);
            QCoreApplication::processEvents();
            const QImage plain = slider.grab().toImage();
            slider.setSelStart(start);
            slider.setSelLength(length);
            const QImage marked = slider.grab().toImage();
            QList<int> columns;
            for (int x = 0; x < marked.width(); ++x) {
                int least = 1000; // the smallest change in the column
                for (int y = 0; y < marked.height(); ++y) {
                    const QRgb a = plain.pixel(x, y), b = marked.pixel(x, y);
                    const int d = std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                                  std::abs(qBlue(a) - qBlue(b));
                    least = d ? std::min(least, d) : least;
                }
                if (least >= 120 && least < 1000)
                    columns << x;
            }
            return columns;
        };
        // One second of twenty minutes shows as 3 px or more; stretches that meet, as bands too.
        const QList<int> second = band(1200, 600, 1), first = band(20, 5, 5),
                         next = band(20, 10, 5);
        QVERIFY(second.size() >= 3 && second.last() < slider.width() * 3 / 4 - 20);
        QVERIFY(!first.isEmpty() && !next.isEmpty() && next.first() - first.last() <= 1);
    }

    // The working files go to the program folder while it can be written, else to the user's
    // data folder, made on the way, or nowhere. /proc takes no new files, not even from root.
    void workingFolder_data() {
        columns<QString, QString, QString>({"programFolder", "dataFolder", "expected"});
        const char* const rows[][3] = {{"@/program", "@/data-a", "@/program"},
                                       {"/proc", "@/a/b/data", "@/a/b/data"},
                                       {"@/gone", "@/data-c", "@/data-c"},
                                       {"/proc", "/proc/quillet", ""}};
        for (const auto& row : rows)
            QTest::addRow("%s, %s", row[0], row[1]) << row[0] << row[1] << row[2];
    }
    void workingFolder() {
        QFETCH(QString, programFolder);
        QFETCH(QString, dataFolder);
        QFETCH(QString, expected);
        QVERIFY(QDir().mkpath(f.path("program")));
        dataFolder.replace(u'@', f.dir.path());
        QCOMPARE(chooseWorkingFolder(programFolder.replace(u'@', f.dir.path()), dataFolder),
                 expected.replace(u'@', f.dir.path()));
        // The data folder is made only when it is chosen; the probe leaves nothing behind.
        QCOMPARE(QFileInfo::exists(dataFolder), !expected.isEmpty() && expected == dataFolder);
        QVERIFY(expected.isEmpty() ||
                QDir(expected).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    // Each setting is stored the moment its control changes and the next window shows it. The
    // folder chooser starts in the home folder; cancelled, it leaves the folder as it was.
    void settingsAreStoredAndRestored_data() {
        columns<QString, QString, QString, QString>({"control", "route", "key", "expected"});
        const char* const rows[][4] = {
            {"cboBitrate", "keys=Down", "Bitrate", "224"},
            {"cboChannels", "keys=Down", "Channels", "Stereo"},
            {"chkAutoOpen", "keys=Space", "Auto Open Folder", "1"},
            {"txtOutputFolder", "keys=End,X", "Output Folder", "/start/x"},
            {"txtOutputFolder", "chooser=@", "Output Folder", "@/"},
            {"txtOutputFolder", "chooser=", "Output Folder", "/start/"},
        };
        for (const auto& row : rows)
            QTest::addRow("%s, %s", row[0], row[1]) << row[0] << row[1] << row[2] << row[3];
    }
    void settingsAreStoredAndRestored() {
        QFETCH(QString, control);
        QFETCH(QString, route);
        QFETCH(QString, expected);
        QVERIFY(f.open({{"Channels", "Mono"}, {"Output Folder", "/start/"}}));
        Form1& w = *f.window;
        f.steps("page=1,focus=" + control);
        QTRY_VERIFY(w.findChild<QWidget*>(control)->hasFocus());
        if (route.startsWith("keys")) {
            f.type(QKeySequence(route.section(u'=', 1)));
        } else {
            f.answerDialog(route.section(u'=', 1).replace(u'@', f.dir.path()));
            QTest::mouseClick(w.cmdSaveTo, Qt::LeftButton);
            QCOMPARE(f.dialogTitle + f.dialogFolder,
                     "Save images to this folder" + QDir::homePath());
        }
        QFETCH(QString, key);
        QCOMPARE(openSettingsStore()->value(key).toString(), expected.replace(u'@', f.dir.path()));
        const Form1 again;
        QCOMPARE(shown(again.findChild<QWidget*>(control)), expected);
    }

    // The first load keeps the start-up's audio set-up and refuses a drop or a load meanwhile;
    // the status bar runs from 1 and then over the scan, to the last point. Cancelled, the open
    // dialog changes nothing; the file chosen in it stops the one playing, sets up again,
    // replaces temp.wav and clears the marks.
    void loads() {
        Form1& w = *f.window;
        QList<int> progress;
        connect(w.ProgressBar1, &QProgressBar::valueChanged, &w, [&](int value) {
            if (w.ProgressBar1->format() != " Loading...Please Wait.")
                return;
            progress << value;
            QVERIFY(!drop({f.path("silence 3s.flac")}));
            w.LoadMedia(f.path("silence 3s.flac"));
        });
        w.LoadMedia(f.path("short.wav"));
        verifyLoaded("short.wav", 5);
        QCOMPARE(m_outputsMade, 0);
        QVERIFY(w.aWaveTop[150] < 40 && w.aWaveBottom[150] > 88); // a tone at half scale
        QCOMPARE(progress.value(0), 1);
        QCOMPARE(progress.mid(progress.size() - 6), QList<int>({0, 100, 200, 300, 400, 500}));
        f.steps("at=1,cmdBeginCut,at=2,cmdEndCut,cmdPlay");
        for (const QString& choice : {QString(), f.path("silence 3s.flac")}) {
            f.answerDialog(choice);
            w.CommandBars_Execute(kCmdOpenMediaFile);
            QCOMPARE(f.dialogTitle, "Select Media File");
            QVERIFY(!choice.isEmpty() || (w.txtAudioFile->text() == f.path("short.wav") &&
                                          w.lblEndCut->text() == "00:00:02" && !m_outputsMade));
        }
        QCOMPARE(f.dialogFilters,
                 QStringList({"MP3 Files (*.mp3)", "WMA Files (*.wma)", "WAV Files (*.wav)",
                              "AMR Files (*.amr)", "Flac Files (*.flac)"}));
        verifyLoaded("silence 3s.flac", 3);
        QVERIFY(m_outputsMade == 1 && w.bRestart); // the Stop and the new set-up of a second load
        QCOMPARE(testaudio::decodedSeconds(tempWavPath(), 44100), 3.0);
        QCOMPARE(std::count(w.aWaveTop.begin(), w.aWaveTop.begin() + 301, 64) +
                     std::count(w.aWaveBottom.begin(), w.aWaveBottom.begin() + 301, 64),
                 602);
    }

    // Every kind of failure the transcoder reports, through the real transcoder, and the sentence
    // it must show, followed by the transcoder's line as detail in plain words. "open:" opens the
    // file of the test's folder over a loaded one, which stays loaded, playing, marks and all;
    // "save:" saves a cut of it; "run:" gives the transcoder the arguments and words the result as
    // a failed open ("run-open:") or save would be, for failures the window's own checks forestall.
    void failures_data() {
        columns<QString, QString>({"how", "sentence"});
        const auto row = [](const char* name, const QString& how, const char* sentence) {
            QTest::newRow(name) << how << QString(sentence);
        };
        row("bad option", "run:-i @/short.wav -t 1:2 @/out/o.wav",
            "Quillet couldn't save the cut: the transcoder refused its command line.");
        row("input missing", "open:gone.mp3",
            "Quillet can't open this file: it is no longer there.");
        row("working copy missing", "run:-i @/gone.wav -t 00:00:01 -ss 00:00:01 @/out/o.wav",
            "Quillet couldn't save the cut: the working copy of the opened file is gone.");
        row("input not readable", "open:/proc/sys/vm/compact_memory",
            "Quillet can't open this file: you may not read it.");
        row("not audio", "open:words.wma",
            "Quillet can't open this file: it is not an audio file Quillet knows.");
        row("empty", "open:empty.mp3",
            "Quillet can't open this file: it is not an audio file Quillet knows.");
        row("a picture", "open:picture.png",
            "Quillet can't open this file: it holds no sound it can read.");
        row("unknown coding", "open:coding.wav",
            "Quillet can't open this file: its sound is in a form Quillet can't decode.");
        row("impossible rate", "open:rate 7.wav",
            "Quillet can't open this file: its header is damaged.");
        const char* noSound =
            "Quillet can't open this file: it holds no sound Quillet can play; it may be damaged.";
        row("flac, sample size damaged", "open:damaged.flac", noSound);
        row("wma, block alignment damaged", "open:damaged.wma", noSound);
        row("wav of no samples", "open:header only.wav", noSound);
        row("read fails", "open:failing.eio.wav",
            "Quillet can't open this file: reading it failed.");
        // The new file grows while it is scanned, or temp.wav cannot be set aside for it (a
        // folder holds the name): the window's own reasons, no transcoder line. The loaded file
        // stays, stopped in the second case.
        row("more audio than its header", "open:grows.wav",
            qPrintable(incomingWavPath() + " holds more audio than its header"));
        row("temp.wav held", "open:held.wav", qPrintable("Can't replace " + tempWavPath() + "."));
        row("too long", "run-open:-i @/long.wav -f wav @/out/o.wav",
            "Quillet can't open this file: it is too long (3 hours 22 minutes at most).");
        row("folder missing", "run:-i @/short.wav -t 00:00:01 -ss 00:00:01 @/none/o.wav",
            "The output folder does not exist.");
        row("folder not writable", "run:-i @/short.wav -f wav /proc/sys/vm/o.wav",
            "Quillet can't write into the output folder.");
        row("disk full", "save:disk.full.x.wav", "The output folder's disk is full.");
        row("name too long",
            "run:-i @/short.wav -t 00:00:01 -ss 00:00:01 @/out/" + QByteArray(252, 'n') + ".wav",
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
        Form1& w = *f.window;
        const QString route = how.section(u':', 0, 0), what = how.section(u':', 1);
        const QString file = what.startsWith(u'/') ? what : f.path(what);
        if (what.contains("long.wav")) // 3 h 23 min at 1000 Hz: 2 GiB at 44100 Hz stereo
            wavbytes::write(f.path("long.wav"),
                            wavbytes::wav(1000, 1, QByteArray(2 * 1000 * 12180, '\0')));
        // Faults no real file gives, for the names that ask for them.
        if (what.contains(".eio.") || what.contains(".full."))
            qputenv("LD_PRELOAD", EIO_SHIM);
        bool grows = false; // armed once the file to fail over is loaded
        connect(w.ProgressBar1, &QProgressBar::valueChanged, &w, [&] {
            QFile scanned(incomingWavPath());
            if (w.ProgressBar1->maximum() == 500 && std::exchange(grows, false) && // 5 s scanned
                scanned.open(QIODevice::Append))
                scanned.write(QByteArray(10 * 1764, '\0'));
        });
        f.steps("load=" + QString(route == "save" ? what : "short.wav") +
                ",at=1,cmdBeginCut,at=3,cmdEndCut,cmdPlay");
        w.txtOutputFolder->setText(f.out());
        w.cboOutputFormat->setCurrentText("WAV");
        grows = what == "grows.wav" && QFile::copy(f.path("short.wav"), file);
        const bool windowsReason = what == "grows.wav" || what == "held.wav";
        QVERIFY(what != "held.wav" || (QFile::copy(f.path("short.wav"), file) &&
                                       QDir().mkpath(tempWavPath() + ".old/held")));
        const QString before = loadedState();
        QString shown;
        if (route.startsWith("run")) {
            QString line;
            const QString args = QString(what).replace(u'@', f.dir.path());
            const int code =
                ShellAndWait('"' + programFolderFile("codec.dll") + "\" " + args, SW_HIDE, &line);
            QVERIFY(code > 0);
            shown = runFailureText(route == "run" ? RunKind::Save : RunKind::Open, code, line);
        } else {
            route == "open" ? w.LoadMedia(file) : w.SaveCuttedAudio();
            QCOMPARE(f.messages.size(), 1);
            QCOMPARE(f.messages[0].title + QString::number(f.messages[0].style),
                     route == "open" ? "Error Loading Media48" : "Save Failed16");
            shown = f.messages[0].text;
        }
        qunsetenv("LD_PRELOAD");
        QFile::remove(f.path("long.wav"));
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
        QCOMPARE(loadedState(), before);
        QVERIFY(route.startsWith("run") ||
                f.playState() ==
                    int(what == "held.wav" ? BASS_ACTIVE_STOPPED : BASS_ACTIVE_PLAYING));
        QCOMPARE(written(), QStringList());
        verifyIdle();
    }

    // Text is not taken; a name of another type is refused; of three files the first loads.
    void drops() {
        QVERIFY(!drop({}));
        QVERIFY(drop({f.path("notes.ogg")}));
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages[0].title + ": " + f.messages[0].text,
                 "Invalid Audio Format: Invalid audio file.");
        QVERIFY(!QFile::exists(tempWavPath()));
        f.messages.clear();
        QVERIFY(drop({f.path("short.wav"), f.path("silence 3s.flac"), f.path("notes.ogg")}));
        verifyLoaded("short.wav", 5);
    }

    // Play after Stop, or while playing, starts at 0; after Pause the position holds, the slider
    // and labels show it and nothing is drawn, and Play goes on from there. A press in the strip
    // or a release on the slider after Stop moves Play's start there and shows its second at
    // once, and a press in a scrolled strip lands on the point under it.
    void transport() {
        Form1& w = *f.window;
        f.steps("load=tone.wav,cmdStop");
        w.cmdPlay_Click();
        QVERIFY(f.playState() == BASS_ACTIVE_PLAYING && seconds() < 0.5 && playsOn(0.6));
        w.cmdPlay_Click();
        QVERIFY(seconds() < 0.5);
        BASS_ChannelSetPosition(w.hStream, BASS_ChannelSeconds2Bytes(w.hStream, 4.4), 0);
        QVERIFY(playsOn(4.4));
        w.cmdPause_Click();
        const double paused = seconds();
        QTRY_VERIFY(w.lblTime->text() == "00:00:05" && w.Slider1->value() == 5 &&
                    w.nWavePos == int(paused * 100));
        const qint64 drawn = w.PicWave->image().cacheKey();
        QTest::qWait(300);
        QCOMPARE(seconds(), paused);
        QCOMPARE(w.PicWave->image().cacheKey(), drawn);
        w.cmdPlay_Click();
        QVERIFY(seconds() >= paused && seconds() < paused + 0.3 && playsOn(paused));
        w.cmdStop_Click();
        QVERIFY(f.playState() == BASS_ACTIVE_STOPPED && seconds() == 0 && w.nWavePos == 0);
        QCOMPARE(w.lblTime->text() + QString::number(w.Slider1->value()), "00:00:000");
        w.PicWave_MouseDown(300);
        QVERIFY(w.nWavePos == 300 && seconds() == 3.0 && w.lblTime->text() == "00:00:03");
        w.cmdPlay_Click();
        QVERIFY(seconds() >= 3.0 && seconds() < 3.5);
        f.steps("cmdStop,slide=20");
        QCOMPARE(w.lblTime->text(), "00:00:20");
        QTRY_VERIFY_WITH_TIMEOUT(w.nWavePos == 2000, 10000);
        w.cmdPlay_Click();
        QVERIFY(seconds() >= 20.0 && seconds() < 20.5);
        w.cmdPause_Click();
        w.nWavePos = 2350;
        w.DrawWaveData(); // scrolled: point 2000 at column 0
        w.PicWave_MouseDown(150);
        QCOMPARE(seconds(), 21.5);
        QCOMPARE(w.Slider1->value(), 22); // rounded to the even second
        // Between the marks the selection grows with the position; Play Selection plays from the
        // begin to the end mark, then Timer1 rewinds to 0.
        f.steps("cmdStop,slide=10,cmdBeginCut,cmdPlay");
        QTRY_VERIFY_WITH_TIMEOUT(w.Slider1->value() == 11, 10000);
        QCOMPARE(w.Slider1->selLength(), 1);
        w.cmdEndCut_Click();
        QList<int> shown; // the seconds the slider shows while the selection plays
        const auto watch =
            connect(w.Slider1, &QSlider::valueChanged, &w, [&](int value) { shown << value; });
        w.cmdPlaySelection_Click();
        QVERIFY(w.bPlaySelection && f.playState() == BASS_ACTIVE_PLAYING);
        QVERIFY(seconds() >= 10 && seconds() < 10.4);
        QTRY_VERIFY_WITH_TIMEOUT(!w.bPlaySelection, 10000);
        disconnect(watch);
        QCOMPARE(shown, QList<int>({10, 11, 0}));
        QVERIFY(w.bRestart && f.playState() == BASS_ACTIVE_STOPPED && seconds() == 0);
        QCOMPARE(w.lblTime->text() + QString::number(w.Slider1->value()), "00:00:000");
    }

    // The play line's column and the point drawn at column 0, for the line at point `position` of
    // a file whose last point is `last`, on a strip `width` columns wide; the ticks stand under
    // the points they mark. Over the last 350 points the file's end stands at the last column.
    void placement_data() {
        columns<int, int, int, int, int>({"position", "last", "width", "column", "offset"});
        const int rows[][5] = {{349, 5000, 1001, 349, 0},     {350, 5000, 1001, 350, 0},
                               {2155, 5000, 1001, 350, 1805}, {800, 500, 1001, 800, 0},
                               {900, 999, 1001, 900, 0},      {650, 1000, 1001, 350, 300},
                               {651, 1000, 1001, 651, 0},     {4650, 5000, 1001, 350, 4300},
                               {4651, 5000, 1001, 651, 4000}, {5000, 5000, 1001, 1000, 4000},
                               {4650, 5000, 698, 350, 4300},  {4651, 5000, 698, 348, 4303},
                               {5000, 5000, 698, 697, 4303},  {2155, 5000, 698, 350, 1805},
                               {550, 900, 698, 550, 0},       {551, 900, 698, 348, 203},
                               {900, 900, 698, 697, 203},     {500, 697, 698, 500, 0},
                               {5000, 5000, 1200, 1000, 4000}};
        for (const auto& r : rows)
            QTest::addRow("%d of %d in %d", r[0], r[1], r[2])
                << r[0] << r[1] << r[2] << r[3] << r[4];
    }
    void placement() {
        QFETCH(int, position);
        QFETCH(int, last);
        QFETCH(int, width);
        QFETCH(int, column);
        QFETCH(int, offset);
        const std::vector<std::int32_t> flat(last + 1, 64);
        const WaveFrame frame = renderWave(flat, flat, last, position, QSize(width, 128));
        QCOMPARE(frame.image.pixel(column, 0), kYellow);
        QCOMPARE(frame.placement.offset, offset);
        const int second = (100 - offset % 100) % 100; // the column of the first whole second
        QCOMPARE(frame.image.pixel(second, 101), kStroke);
        QCOMPARE(frame.image.pixel(second, 100), kBackground);
    }

    // A 500-point file: strokes and ticks end at column 500, the centre line runs on, lines stop
    // short of their end row.
    void picture() {
        std::vector<std::int32_t> top(501, 64), bottom(501, 64);
        top[7] = 10;
        bottom[7] = 100;
        const QImage image = renderWave(top, bottom, 500, 250, QSize(698, 127)).image;
        const std::tuple<int, int, QRgb> pixels[] = {
            {7, 9, kBackground},     {7, 10, kStroke},        {7, 99, kStroke},
            {7, 100, kBackground},   {8, 63, kBackground},    {8, 64, kStroke},
            {600, 64, kStroke},      {100, 100, kBackground}, {100, 101, kStroke}, // a second
            {110, 120, kBackground}, {110, 121, kStroke},                          // 100 ms
            {115, 126, kBackground}, {510, 126, kBackground}, {250, 0, kYellow},
            {250, 126, kYellow}};
        for (const auto& [x, y, colour] : pixels)
            QVERIFY2(image.pixel(x, y) == colour,
                     qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
    }

    // Halves go to the even second; the slider holds 16 bits; the time is a time of day.
    void timeTexts() {
        const std::tuple<double, int, const char*> rows[] = {
            {3599.5, 3600, "01:00:00"}, {3598.5, 3598, "00:59:58"}, {59.5, 60, "00:01:00"},
            {58.5, 58, "00:00:58"},     {12.349, 12, "00:00:12"},   {40000, 32767, "09:06:07"}};
        for (const auto& [seconds, rounded, text] : rows) {
            QCOMPARE(int(roundSeconds(seconds)), rounded);
            QCOMPARE(FormatTime(rounded), QString::fromLatin1(text));
        }
        QCOMPARE(FormatTime(90000), QStringLiteral("01:00:00"));
        QVERIFY(fitsSlider(32767.4) && !fitsSlider(32767.5));
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
        Form1& w = *f.window;
        const bool opening = key == QKeySequence(Qt::CTRL | Qt::Key_O);
        f.steps(opening ? "load=short.wav" : "load=tone.wav");
        f.answerDialog(f.path("tone.wav"));
        f.steps(steps);
        f.type(key);
        // A mnemonic presses its button a moment later, as a click would show.
        QTRY_COMPARE(f.playState(), sound);
        QCOMPARE(f.dialogTitle, opening ? "Select Media File" : "");
        const SelectionSlider& cut = *w.Slider1;
        for (int draw = 0; marks == "random" && draw < 50; ++draw, f.type(key))
            QVERIFY(cut.selStart() >= 1 && cut.selLength() >= 6 &&
                    cut.selStart() + cut.selLength() <= 30);
        QVERIFY2(marks == "random" || state() == marks, qPrintable(state()));
        QVERIFY(!steps.contains("load") ||
                w.Slider1->value() == (steps.contains("missing") ? 8 : 0));
        QCOMPARE(w.bPlaySelection, marks.startsWith("3+5") && sound == int(BASS_ACTIVE_PLAYING));
        QTEST(w.TabControl1->currentIndex(), "page");
        QVERIFY2(f.messages.size() == steps.contains("missing"),
                 qPrintable(f.messages.value(0).text));
    }

    // Ctrl+S writes the marked stretch, exact to the second, and says where or opens the folder;
    // an earlier file is replaced only when the user says so; a refusal says why, writes nothing.
    void save_data() {
        columns<QString, QString, QString, int, int, QString, int>(
            {"steps", "folder", "format", "open", "earlier", "said", "seconds"});
        const auto row = [](const char* name, const QString& steps, const char* folder,
                            const char* format, int open, int earlier, const QString& said,
                            int seconds = 0) {
            QTest::newRow(name) << (steps == "unloaded" ? "" : "load=tone.wav," + steps) << folder
                                << format << open << earlier << said << seconds;
        };
        const char* marks = "at=2,cmdBeginCut,at=5,cmdEndCut";
        row("WAV from second 0", "at=0,cmdBeginCut,at=4,cmdEndCut", "@/out/", "WAV", 0, -1,
            "Done Saved\\|Done Saved at @/out/\\|64", 4);
        row("MP3, folder opened", marks, "@/out/", "MP3", 1, -1, "", 3);
        row("MP3 copied from an MP3", "load=tone.mp3,at=2,cmdBeginCut,at=5,cmdEndCut", "@/out/",
            "MP3", 0, -1, "Done Saved\\|Done Saved at @/out/\nCopied without re-encoding.\\|64", 3);
        row("earlier file kept", marks, "@/out/", "WAV", 0, 0, "");
        row("earlier file replaced", marks, "@/out/", "WAV", 0, 1,
            "Done Saved\\|Done Saved at @/out/\\|64", 3);
        row("nothing loaded", "unloaded", "@/out/", "MP3", 0, -1,
            "Select Audio\\|Please select first input audio file\\|48");
        row("no marks", "", "@/out/", "MP3", 0, -1,
            "Specify Cut Mark\\|Please specify a cut mark first.\r\n"
            "Just press the Begin Cut and End Cut buttons.\\|48");
        row("folder missing", marks, "@/none/", "MP3", 0, -1,
            "Save Failed\\|.*does not exist.*\\|48");
        row("folder read-only", marks, "/proc/", "MP3", 0, -1, "Save Failed\\|.*\\|(16|48)");
        row("transcoder fails", marks, "@/out/", "MP3/fast", 0, -1,
            "Save Failed\\|Quillet couldn't save the cut: the transcoder refused its command "
            "line.\n\ncodec: .*\\|16");
        // What the format cannot take is said on lines of their own, also when the folder opens.
        row("settings replaced", marks, "@/out/", "MP3/320/12050", 1, -1,
            "Done Saved\\|Done Saved at @/out/\n"
            "MP3 can't be saved at 12050 Hz: saved at 12000 Hz.\n"
            "MP3 at 12000 Hz holds at most 64 kbit/s: saved at 64 kbit/s.\\|64",
            3);
        // A name longer than the folder takes is refused before anything runs.
        const QString name(245, u'n');
        row("name too long", "load=" + name + ".wav," + marks, "@/out/", "MP3", 0, -1,
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
        Form1& w = *f.window;
        folder.replace(u'@', f.dir.path());
        f.steps(steps);
        f.messages.clear();
        const QString name = exportBaseName(w.txtAudioFile->text(), u'/') + "_cutted." +
                             format.section(u'/', 0, 0).toLower();
        if (earlier >= 0)
            wavbytes::write(f.out() + name, "earlier");
        f.answerYes = earlier == 1;
        // FORMAT/BITRATE/FREQUENCY: a bit rate text of our own, a listed frequency.
        w.cboOutputFormat->setCurrentText(format.section(u'/', 0, 0));
        if (format.contains(u'/'))
            w.cboBitrate->setItemText(w.cboBitrate->currentIndex(), format.section(u'/', 1, 1));
        if (format.count(u'/') == 2)
            w.cboFrequency->setCurrentText(format.section(u'/', 2, 2));
        w.txtOutputFolder->setText(folder);
        w.chkAutoOpen->setChecked(open > 0);
        w.ctlSaveCuttedAudio->isEnabled() ? f.type(Qt::CTRL | Qt::Key_S)
                                          : w.CommandBars_Execute(kCmdSaveCuttedAudio);
        if (earlier >= 0) {
            const ShownMessage question = f.messages.takeFirst();
            QVERIFY(question.question);
            QCOMPARE(question.text, name + " already exists. Do you want to replace it?");
        }
        QStringList shown;
        for (const ShownMessage& m : f.messages)
            shown << QStringLiteral("%1|%2|%3").arg(m.title, m.text).arg(m.style);
        const QRegularExpression pattern(
            "^(" + said.replace(u'@', QRegularExpression::escape(f.dir.path())) + ")$",
            QRegularExpression::DotMatchesEverythingOption);
        QVERIFY2(pattern.match(shown.join(u'\n')).hasMatch(), qPrintable(shown.join(u'\n')));
        QCOMPARE(f.urls, open == 1 ? QList<QUrl>{QUrl::fromLocalFile(folder)} : QList<QUrl>());
        QCOMPARE(written(), seconds || earlier >= 0 ? QStringList{name} : QStringList());
        QVERIFY(earlier || QFileInfo(f.out() + name).size() == 7);
        const double decoded = seconds ? testaudio::decodedSeconds(f.out() + name, 8000) : 0;
        QVERIFY2(std::abs(decoded - seconds) < 0.1, qPrintable(QString::number(decoded)));
        verifyIdle();
    }

    // Escape, a close or a kill of the transcoder (SIGKILL to this test's own child) during a
    // load or a save ends the run and leaves nothing of it, in the working folder or the output
    // folder. The file loaded before stays as it was, playing on; only a kill is reported.
    void stopDuringRun_data() {
        columns<bool, QString, QString>({"saving", "how", "said"});
        for (const char* how : {"escape", "close"}) {
            QTest::addRow("%s during a load", how) << false << how << "";
            QTest::addRow("%s during a save", how) << true << how << "";
        }
        QTest::newRow("kill during a load")
            << false << "kill"
            << "Error Loading Media|The transcoder crashed while opening this file.|48";
        QTest::newRow("kill during a save")
            << true << "kill"
            << "Save Failed|The transcoder crashed while saving the cut.|16";
    }
    void stopDuringRun() {
        QFETCH(bool, saving);
        QFETCH(QString, how);
        QFETCH(QString, said);
        Form1& w = *f.window;
        const bool closing = how == "close";
        f.steps(saving ? "load=ten minutes.wav,at=0,cmdBeginCut,at=600,cmdEndCut,cmdPlay"
                       : "load=tone.wav,at=3,cmdBeginCut,at=8,cmdEndCut,cmdPlay");
        w.txtOutputFolder->setText(f.out());
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
        const QString before = loadedState();
        int feed = -1;
        QString status;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &w, [&] {
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
            status = QAccessible::queryAccessibleInterface(w.ProgressBar1)->text(QAccessible::Name);
            if (saving) {
                QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
                QVERIFY(!w.TabControl1->widget(1)->isEnabled() && !w.ctlOpenMediaFile->isEnabled());
            }
            if (how == "kill")
                QProcess::execute("pkill", {"-KILL", "-P",
                                            QString::number(QCoreApplication::applicationPid()),
                                            "-f", "coder.exe"});
            closing ? void(w.close()) : how == "escape" ? f.type(Qt::Key_Escape) : void();
        });
        poll.start(10);
        // Should the run not stop, the pipe's end ends the load: the test fails, not hangs.
        bool pipeClosed = false;
        QTimer::singleShot(20000, &w, [&] {
            if ((pipeClosed = feed >= 0))
                ::close(std::exchange(feed, -1));
        });
        saving ? w.CommandBars_Execute(kCmdSaveCuttedAudio) : w.LoadMedia(input);
        if (feed >= 0)
            ::close(feed);
        QFile::remove(f.path("endless.wav"));
        QVERIFY(!poll.isActive() && !pipeClosed);
        QCOMPARE(status, saving ? "Saving...Please Wait." : "Loading...Please Wait.");
        QStringList shown;
        for (const ShownMessage& m : f.messages)
            shown << QStringLiteral("%1|%2|%3").arg(m.title, m.text).arg(m.style);
        QCOMPARE(shown.join(u'\n'), said);
        QVERIFY(!processNaming(input));
        QCOMPARE(parts(), QStringList());
        QCOMPARE(written(), QStringList());
        QTRY_COMPARE(w.isVisible(), !closing);
        QCOMPARE(QFile::exists(tempWavPath()), !closing);
        if (!closing) {
            QCOMPARE(loadedState(), before);
            QCOMPARE(f.playState(), int(BASS_ACTIVE_PLAYING));
        }
        verifyIdle();
    }

    // Each share button and the About label open one fixed address and change nothing else. The
    // product's domain is ours to choose; everything around it is fixed.
    void links() {
        Form1& w = *f.window;
        f.steps("load=tone.wav,at=3,cmdBeginCut,at=9,cmdEndCut,cmdPlay");
        const QString before = w.txtAudioFile->text() + state();
        QTest::mouseClick(w.lblAbout, Qt::LeftButton);
        const QString d = f.urls.value(0).host();
        QVERIFY(d.contains(u'.'));
        const std::pair<QWidget*, const char*> links[] = {
            {w.lblAbout, "http://%1"},
            {w.cmdFacebook, "http://www.facebook.com/sharer/sharer.php?u=http%3A%2F%2F%1"},
            {w.cmdTwitter, "https://twitter.com/home?status=Quillet%20-%20http://%1"},
            {w.cmdDelicious,
             "https://www.delicious.com/login?lo_action=save&next=http%3A%2F%2Fwww.delicious.com"
             "%2Fpost%3Furl%3Dhttp%3A%2F%2F%1%26title%3DQuillet%3Flog%3Dout%26url%3Dhttp%253A%252F"
             "%252F%1%26title%3DQuillet"},
            {w.cmdDig, "http://digg.com/submit?phase=2&url=http://%1&title=Quillet"},
            {w.cmdStumbleUpon, "http://www.stumbleupon.com/submit?url=http://%1&title=Quillet"},
            {w.cmdReddit, "http://www.reddit.com/submit?url=http://%1&title=Quillet"}};
        for (const auto& [control, address] : links) {
            f.urls.clear();
            QTest::mouseClick(control, Qt::LeftButton);
            QCOMPARE(f.urls.size(), 1);
            QCOMPARE(QString::fromLatin1(f.urls[0].toEncoded()), QString(address).replace("%1", d));
        }
        QCOMPARE(w.txtAudioFile->text() + state(), before);
        QCOMPARE(f.playState(), int(BASS_ACTIVE_PLAYING));
        QVERIFY(f.messages.isEmpty());
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
