// The real window offscreen, with the real audio output: its controls and their names, its layout,
// the stored settings, the links, and the transport buttons.
#include "tests/support/window_fixture.h"

#include <QAccessible>

namespace {
// A control's state as the settings store holds it.
QString shown(const QWidget* widget) {
    if (auto* box = qobject_cast<const QCheckBox*>(widget))
        return box->isChecked() ? "1" : "0";
    return widget->property(qobject_cast<const QComboBox*>(widget) ? "currentText" : "text")
        .toString();
}
} // namespace

class TestWindow : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(testaudio::tone(f.path("tone.wav"), 44100, 2, 30)); }

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
        QWidget* widget = w->findChild<QWidget*>(name);
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
        QVERIFY(open({{"Bitrate", "160"}, {"Channels", "mono"}, {"Auto Open Folder", "7"}}));
        QCOMPARE(w->TabControl1->tabText(0) + w->TabControl1->tabText(1), "&Quillet&Settings");
        QVERIFY(w->ctlOpenMediaFile->isEnabled() && !w->ctlRandomCut->isEnabled() &&
                !w->ctlSaveCuttedAudio->isEnabled());
        QVERIFY(w->Slider1->isEnabled() && w->Timer1->isActive() && w->Timer2->isActive());
        QCOMPARE(w->PicWave->palette().color(QPalette::Window), QColor(qRgb(33, 47, 56)));
        QStringList settings;
        for (const char* name : {"cboBitrate", "cboChannels", "cboFrequency", "cboOutputFormat",
                                 "txtOutputFolder", "chkAutoOpen"})
            settings << shown(w->findChild<QWidget*>(name));
        for (const char* key : {"Bitrate", "Channels", "Frequency", "Output Format",
                                "Output Folder", "Auto Open Folder"})
            settings << openSettingsStore()->value(key).toString();
        const QString home = QDir::homePath() + "/";
        QCOMPARE(settings, QStringList({"192", "Stereo", "44100", "MP3", home, "0", "192", "Stereo",
                                        "44100", "MP3", home, "0"}));
        // The controls stand where the design puts them, measured from the tab control's corner.
        QList<QPoint> places;
        for (const char* name : {"txtAudioFile", "cmdPlay", "Frame6", "Frame1", "Frame2"})
            places << w->findChild<QWidget*>(name)->mapTo(w->TabControl1, QPoint());
        QCOMPARE(places, QList<QPoint>({{64, 32}, {11, 249}, {619, 241}, {8, 32}, {8, 112}}));
        // After a resize the tab control and the status line are as wide as the window and the
        // settings frames 200 twips narrower; a resize while minimised waits for the restore.
        const auto widths = [this] {
            return QList<int>{w->TabControl1->width(), w->ProgressBar1->width(), w->Frame1->width(),
                              w->Frame2->width()};
        };
        w->resize(900, 500);
        QCOMPARE(widths(), QList<int>({900, 900, 887, 887}));
        w->showMinimized();
        w->resize(600, 500);
        QTRY_COMPARE(w->width(), 600);
        QCOMPARE(widths(), QList<int>({900, 900, 887, 887}));
        w->showNormal();
        QCOMPARE(widths(), QList<int>({600, 600, 587, 587}));
        // The columns where a marked stretch stands out from all it covers (handle at 3/4).
        SelectionSlider& slider = *w->Slider1;
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

    // Each setting is stored the moment its control changes and the next window shows it. The
    // folder chooser starts in the home folder; cancelled, it leaves the folder as it was.
    void settingsAreStoredAndRestored_data() {
        columns<QString, QString, QString, QString>({"control", "route", "key", "expected"});
        const char* const rows[][4] = {
            {"cboBitrate", "key=Down", "Bitrate", "224"},
            {"cboChannels", "key=Down", "Channels", "Stereo"},
            {"chkAutoOpen", "key=Space", "Auto Open Folder", "1"},
            {"txtOutputFolder", "key=End,key=X", "Output Folder", "/start/x"},
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
        QVERIFY(open({{"Channels", "Mono"}, {"Output Folder", "/start/"}}));
        f.steps("page=1,focus=" + control);
        QTRY_VERIFY(w->findChild<QWidget*>(control)->hasFocus());
        if (route.startsWith("chooser=")) {
            f.answerDialog(route.section(u'=', 1).replace(u'@', f.dir.path()));
            QTest::mouseClick(w->cmdSaveTo, Qt::LeftButton);
            QCOMPARE(f.dialogTitle + f.dialogFolder,
                     "Save images to this folder" + QDir::homePath());
        } else
            f.steps(route);
        QFETCH(QString, key);
        QCOMPARE(openSettingsStore()->value(key).toString(), expected.replace(u'@', f.dir.path()));
        const Form1 again;
        QCOMPARE(shown(again.findChild<QWidget*>(control)), expected);
    }

    // Play after Stop, or while playing, starts at 0; after Pause the position holds, the slider
    // and labels show it and nothing is drawn, and Play goes on from there. A press in the strip
    // or a release on the slider after Stop moves Play's start there and shows its second at
    // once, and a press in a scrolled strip lands on the point under it.
    void transport() {
        f.steps("load=tone.wav,cmdStop");
        w->cmdPlay_Click();
        QVERIFY(f.playState() == BASS_ACTIVE_PLAYING && f.seconds() < 0.5 && f.playsOn(0.6));
        w->cmdPlay_Click();
        QVERIFY(f.seconds() < 0.5);
        BASS_ChannelSetPosition(w->hStream, BASS_ChannelSeconds2Bytes(w->hStream, 4.4), 0);
        QVERIFY(f.playsOn(4.4));
        w->cmdPause_Click();
        const double paused = f.seconds();
        QTRY_VERIFY(w->lblTime->text() == "00:00:05" && w->Slider1->value() == 5 &&
                    w->nWavePos == int(paused * 100));
        const qint64 drawn = w->PicWave->image().cacheKey();
        QTest::qWait(300);
        QCOMPARE(f.seconds(), paused);
        QCOMPARE(w->PicWave->image().cacheKey(), drawn);
        w->cmdPlay_Click();
        QVERIFY(f.seconds() >= paused && f.seconds() < paused + 0.3 && f.playsOn(paused));
        w->cmdStop_Click();
        QVERIFY(f.playState() == BASS_ACTIVE_STOPPED && f.seconds() == 0 && w->nWavePos == 0);
        QCOMPARE(w->lblTime->text() + QString::number(w->Slider1->value()), "00:00:000");
        w->PicWave_MouseDown(300);
        QVERIFY(w->nWavePos == 300 && f.seconds() == 3.0 && w->lblTime->text() == "00:00:03");
        w->cmdPlay_Click();
        QVERIFY(f.seconds() >= 3.0 && f.seconds() < 3.5);
        f.steps("cmdStop,slide=20");
        QCOMPARE(w->lblTime->text(), "00:00:20");
        QTRY_VERIFY_WITH_TIMEOUT(w->nWavePos == 2000, 10000);
        w->cmdPlay_Click();
        QVERIFY(f.seconds() >= 20.0 && f.seconds() < 20.5);
        w->cmdPause_Click();
        w->nWavePos = 2350;
        w->DrawWaveData(); // scrolled: point 2000 at column 0
        w->PicWave_MouseDown(150);
        QCOMPARE(f.seconds(), 21.5);
        QCOMPARE(w->Slider1->value(), 22); // rounded to the even second
        // Between the marks the selection grows with the position; Play Selection plays from the
        // begin to the end mark, then Timer1 rewinds to 0.
        f.steps("cmdStop,slide=10,cmdBeginCut,cmdPlay");
        QTRY_VERIFY_WITH_TIMEOUT(w->Slider1->value() == 11, 10000);
        QCOMPARE(w->Slider1->selLength(), 1);
        w->cmdEndCut_Click();
        QList<int> shown; // the seconds the slider shows while the selection plays
        const auto watch =
            connect(w->Slider1, &QSlider::valueChanged, w, [&](int value) { shown << value; });
        w->cmdPlaySelection_Click();
        QVERIFY(w->bPlaySelection && f.playState() == BASS_ACTIVE_PLAYING);
        QVERIFY(f.seconds() >= 10 && f.seconds() < 10.4);
        QTRY_VERIFY_WITH_TIMEOUT(!w->bPlaySelection, 10000);
        disconnect(watch);
        QCOMPARE(shown, QList<int>({10, 11, 0}));
        QVERIFY(w->bRestart && f.playState() == BASS_ACTIVE_STOPPED && f.seconds() == 0);
        QCOMPARE(w->lblTime->text() + QString::number(w->Slider1->value()), "00:00:000");
    }

    // Each share button and the About label open one fixed address and change nothing else. The
    // product's domain is ours to choose; everything around it is fixed.
    void links() {
        f.steps("load=tone.wav,at=3,cmdBeginCut,at=9,cmdEndCut,cmdPlay");
        const QString before = w->txtAudioFile->text() + f.state();
        QTest::mouseClick(w->lblAbout, Qt::LeftButton);
        const QString d = f.urls.value(0).host();
        QVERIFY(d.contains(u'.'));
        const std::pair<QWidget*, const char*> links[] = {
            {w->lblAbout, "http://%1"},
            {w->cmdFacebook, "http://www.facebook.com/sharer/sharer.php?u=http%3A%2F%2F%1"},
            {w->cmdTwitter, "https://twitter.com/home?status=Quillet%20-%20http://%1"},
            {w->cmdDelicious,
             "https://www.delicious.com/login?lo_action=save&next=http%3A%2F%2Fwww.delicious.com"
             "%2Fpost%3Furl%3Dhttp%3A%2F%2F%1%26title%3DQuillet%3Flog%3Dout%26url%3Dhttp%253A%252F"
             "%252F%1%26title%3DQuillet"},
            {w->cmdDig, "http://digg.com/submit?phase=2&url=http://%1&title=Quillet"},
            {w->cmdStumbleUpon, "http://www.stumbleupon.com/submit?url=http://%1&title=Quillet"},
            {w->cmdReddit, "http://www.reddit.com/submit?url=http://%1&title=Quillet"}};
        for (const auto& [control, address] : links) {
            f.urls.clear();
            QTest::mouseClick(control, Qt::LeftButton);
            QCOMPARE(f.urls.size(), 1);
            QCOMPARE(QString::fromLatin1(f.urls[0].toEncoded()), QString(address).replace("%1", d));
        }
        QCOMPARE(w->txtAudioFile->text() + f.state(), before);
        QCOMPARE(f.playState(), int(BASS_ACTIVE_PLAYING));
        QVERIFY(f.messages.isEmpty());
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
