// The real window offscreen: what its controls show and say, the layout and resize rules, the
// pointer, the command dispatch, the settings store, the selection band and the keys.
#include "app/wave_view.h"
#include "tests/support/window_fixture.h"

#include <QAccessible>
#include <QTabBar>
#include <QToolButton>

#include <stdexcept>

namespace {
// What a control shows: a list's entries, the tabs, the commands, else its text or title.
QString caption(const QWidget* widget) {
    QStringList parts;
    if (auto* list = qobject_cast<const QComboBox*>(widget))
        for (int i = 0; i < list->count(); ++i)
            parts << list->itemText(i);
    else if (auto* tabs = qobject_cast<const QTabWidget*>(widget))
        for (int i = 0; i < tabs->count(); ++i)
            parts << tabs->tabText(i);
    else if (auto* bar = qobject_cast<const QToolBar*>(widget))
        for (const QAction* action : bar->actions())
            parts << action->text();
    else
        parts << widget->property(qobject_cast<const QGroupBox*>(widget) ? "title" : "text")
                     .toString();
    return parts.join(u',');
}

// A settings control's state as the store holds it.
QString setting(const QWidget* widget) {
    if (auto* list = qobject_cast<const QComboBox*>(widget))
        return list->currentText();
    if (auto* box = qobject_cast<const QCheckBox*>(widget))
        return box->isChecked() ? "1" : "0";
    return widget->property("text").toString();
}

QString stored(const QString& key) {
    return openSettingsStore()->value(key).toString();
}
} // namespace

class TestWindow : public QObject {
    Q_OBJECT
    WindowFixture f;

private Q_SLOTS:
    void init() {
        if (!f.open())
            QSKIP("No audio output device (start the test services first)");
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
            {"cmdFacebook", "", "Share on Facebook", "Share on Facebook"},
            {"cmdTwitter", "", "Share on Twitter", "Share on Twitter"},
            {"cmdDelicious", "", "Share on Delicious", "Share on Delicious"},
            {"cmdDig", "", "Share on Digg", "Share on Digg"},
            {"cmdStumbleUpon", "", "Share on StumbleUpon", "Share on StumbleUpon"},
            {"cmdReddit", "", "Share on Reddit", "Share on Reddit"},
            {"lblAbout", "About the software", "About the software", ""},
            {"lblFilename", "Filename:", "Filename:", ""},
            {"txtAudioFile", " Please open media first or drag & drop the audio file here",
             "Filename", ""},
            {"PicWave", "", "Waveform", "Drag and drop audio file here"},
            {"Slider1", "", "Position", ""},
            {"ProgressBar1", " Ready", "Ready", ""},
            {"Frame3", "Time", "Time", ""},
            {"Frame4", "Total Time", "Total Time", ""},
            {"Frame5", "Begin Time", "Begin Time", ""},
            {"Frame6", "End Time", "End Time", ""},
            {"lblTime", "00:00:00", "00:00:00", ""},
            {"lblTotalTime", "00:00:00", "00:00:00", ""},
            {"TabControl1", "&Quillet,&Settings", "Pages", ""},
            {"CommandBars", "&Open Media File,&Random Cut,&Save Cutted Audio", "Standard", ""},
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
    }
    void controls() {
        QFETCH(QString, name);
        QWidget* widget = f.window->findChild<QWidget*>(name);
        QVERIFY(widget);
        QTEST(caption(widget), "caption");
        // A list is read with the label that names it.
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(widget);
        const auto labels = access->relations(QAccessible::Label);
        if (qobject_cast<QComboBox*>(widget) && !labels.isEmpty())
            access = labels[0].first;
        QTEST(access->text(QAccessible::Name), "access");
        QTEST(widget->toolTip(), "tip");
    }

    // A first start, on a store holding only texts the program never writes: only opening a
    // file is at hand, the settings show and store their defaults, the timers run, the strip
    // has its colour, every control shown has a name, and the transport buttons show their
    // picture alone, as a button with only that picture. Unknown command ids do nothing; an
    // error inside a command abandons it and the program goes on.
    void firstStart() {
        QVERIFY(f.open({{"Bitrate", "160"},
                        {"Frequency", "12000"},
                        {"Channels", "mono"},
                        {"Output Format", "OGG"},
                        {"Auto Open Folder", "7"}}));
        Form1& w = *f.window;
        QCOMPARE(w.windowTitle(), "Quillet");
        QCOMPARE(w.size(), QSize(721, 485));
        QCOMPARE(w.TabControl1->geometry(), QRect(0, 78, 721, 315));
        QCOMPARE(w.cmdReddit->geometry(), QRect(672, 432, 46, 49));
        QCOMPARE(w.CommandBars->iconSize(), QSize(48, 48));
        QStringList shown;
        for (QAction* action : w.CommandBars->actions()) {
            const QWidget* button = w.CommandBars->widgetForAction(action);
            QVERIFY(button->font().bold() && button->font().pointSizeF() == 9);
            shown << QStringLiteral("%1 %2 %3")
                         .arg(button->property("text").toString(), action->toolTip())
                         .arg(action->isEnabled());
        }
        QCOMPARE(shown, QStringList({"&Open Media File Open Media File (Ctrl+O) 1",
                                     "&Random Cut Random Cut (Ctrl+R) 0",
                                     "Save Cutted Audio Save Cutted Audio (Ctrl+S) 0"}));
        QVERIFY(w.Slider1->isEnabled() && w.Timer1->isActive() && w.Timer2->isActive());
        QCOMPARE(QList<int>({w.Timer1->interval(), w.Timer2->interval()}), QList<int>({100, 10}));
        QCOMPARE(w.PicWave->palette().color(QPalette::Window), QColor(33, 47, 56));
        QCOMPARE(w.lblBeginCut->font().pointSizeF(), 14.25);
        QVERIFY(w.lblAbout->font().underline());
        QCOMPARE(w.lblAbout->cursor().shape(), Qt::PointingHandCursor);
        const QString home = QDir::homePath() + "/";
        QStringList settings;
        for (const char* name : {"cboBitrate", "cboChannels", "cboFrequency", "cboOutputFormat",
                                 "txtOutputFolder", "chkAutoOpen"})
            settings << setting(w.findChild<QWidget*>(name));
        QCOMPARE(settings, QStringList({"192", "Stereo", "44100", "MP3", home, "0"}));
        settings.clear();
        for (const char* key : {"Bitrate", "Channels", "Frequency", "Output Format",
                                "Output Folder", "Auto Open Folder"})
            settings << stored(key);
        QCOMPARE(settings, QStringList({"192", "Stereo", "44100", "MP3", home, "0"}));
        for (int page = 1; page >= 0; --page) {
            w.TabControl1->setCurrentIndex(page);
            for (QWidget* widget : w.findChildren<QWidget*>()) {
                QAccessibleInterface* access = QAccessible::queryAccessibleInterface(widget);
                if (widget->isVisible() && access->role() != QAccessible::LayeredPane)
                    QVERIFY2(!access->text(QAccessible::Name).trimmed().isEmpty(),
                             qPrintable(widget->objectName()));
            }
        }
        for (QPushButton* button : w.TabControl1->widget(0)->findChildren<QPushButton*>())
            for (const bool enabled : {false, true}) {
                QVERIFY(!button->isEnabled() || enabled);
                button->setEnabled(enabled);
                QPushButton twin(button->parentWidget());
                twin.setGeometry(button->geometry());
                twin.setEnabled(enabled);
                twin.setIconSize(button->iconSize());
                twin.show();
                const QImage image = button->grab().toImage();
                QVERIFY(image != twin.grab().toImage());
                twin.setIcon(button->icon());
                QVERIFY2(image == twin.grab().toImage(), qPrintable(button->objectName()));
            }
        int boxes = 0;
        setMessageHandler([&boxes](ShownMessage&) {
            if (++boxes == 1)
                throw std::runtime_error("the box failed");
            throw 42;
        });
        for (const int id : {999, kCmdSaveCuttedAudio, kCmdSaveCuttedAudio})
            w.CommandBars_Execute(id);
        f.catchMessages();
        QCOMPARE(boxes, 2);
    }

    // On both pages every control lies whole in its container, no control covers one with a
    // text, every text has the room it needs, and the controls stand where the design puts
    // them, measured from the tab control's corner.
    void layout_data() {
        columns<int>({"page"});
        QTest::newRow("work page") << 0;
        QTest::newRow("settings page") << 1;
    }
    void layout() {
        QFETCH(int, page);
        Form1& w = *f.window;
        w.TabControl1->setCurrentIndex(page);
        QCoreApplication::processEvents();
        int texts = 0;
        for (QWidget* widget : w.findChildren<QWidget*>()) {
            const QWidget* parent = widget->parentWidget();
            if (!widget->isVisible() || widget->isWindow())
                continue;
            const QString where = widget->objectName() + " in " + parent->objectName();
            QVERIFY2(parent->rect().contains(widget->geometry()), qPrintable(where));
            if (!qobject_cast<QLabel*>(widget) && !qobject_cast<QCheckBox*>(widget) &&
                !qobject_cast<QComboBox*>(widget) && !qobject_cast<QGroupBox*>(widget) &&
                !qobject_cast<QTabBar*>(widget) && !qobject_cast<QToolButton*>(widget))
                continue;
            ++texts;
            const QSize needed =
                qobject_cast<QComboBox*>(widget) ? widget->sizeHint() : widget->minimumSizeHint();
            QVERIFY2(needed.width() <= widget->width(), qPrintable(where));
            for (const QWidget* other : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                QVERIFY2(other == widget || !other->isVisible() || other->isWindow() ||
                             !other->geometry().intersects(widget->geometry()),
                         qPrintable(where + " under " + other->objectName()));
        }
        QVERIFY(texts > 10);
        const struct {
            int page;
            const char* name;
            QPoint at;
        } places[] = {{0, "txtAudioFile", {64, 32}},
                      {0, "cmdPlay", {11, 249}},
                      {0, "Frame6", {619, 241}},
                      {1, "Frame1", {8, 32}},
                      {1, "Frame2", {8, 112}}};
        for (const auto& place : places)
            if (place.page == page)
                QCOMPARE(w.findChild<QWidget*>(place.name)->mapTo(w.TabControl1, QPoint()),
                         place.at);
    }

    // After a resize the tab control and the status line are as wide as the window and the
    // settings frames 200 twips narrower; a resize while minimised waits for the restore. A
    // move over the window or the tab control puts a leftover pointer back to the arrow, but
    // not the busy pointer of a run.
    void resizeAndPointer() {
        Form1& w = *f.window;
        const auto widths = [&w] {
            return QList<int>{w.TabControl1->width(), w.ProgressBar1->width(), w.Frame1->width(),
                              w.Frame2->width()};
        };
        w.resize(900, 500);
        QCOMPARE(widths(), QList<int>({900, 900, 887, 887}));
        w.showMinimized();
        QVERIFY(w.isMinimized());
        w.resize(600, 500);
        QTRY_COMPARE(w.width(), 600);
        QCOMPARE(widths(), QList<int>({900, 900, 887, 887}));
        w.showNormal();
        QCOMPARE(widths(), QList<int>({600, 600, 587, 587}));
        // Below the status line, and in the tab strip right of the tabs.
        for (const QPoint at : {QPoint(300, 470), QPoint(580, 86)})
            for (const bool busy : {false, true}) {
                w.setCursor(Qt::WaitCursor);
                if (busy)
                    QApplication::setOverrideCursor(Qt::WaitCursor);
                QTest::mouseMove(w.windowHandle(), at);
                const Qt::CursorShape shape = w.cursor().shape();
                if (busy)
                    QApplication::restoreOverrideCursor();
                QCOMPARE(shape, busy ? Qt::WaitCursor : Qt::ArrowCursor);
            }
    }

    // Each setting is stored the moment its control changes, whichever way the change came,
    // and the next window shows it.
    void settingsAreStoredAndRestored_data() {
        columns<QString, QString, QString, QString>({"control", "route", "key", "expected"});
        const char* const rows[][4] = {
            {"cboBitrate", "keyboard", "Bitrate", "48"},
            {"cboFrequency", "program", "Frequency", "44100"},
            {"cboChannels", "keyboard", "Channels", "Stereo"},
            {"cboOutputFormat", "program", "Output Format", "WMA"},
            {"chkAutoOpen", "keyboard", "Auto Open Folder", "1"},
            {"chkAutoOpen", "mouse", "Auto Open Folder", "1"},
            {"txtOutputFolder", "keyboard", "Output Folder", "/start/x"},
            {"txtOutputFolder", "mouse", "Output Folder", ""}, // the folder chosen
        };
        for (const auto& row : rows)
            QTest::addRow("%s, %s", row[0], row[1])
                << row[0] << row[1] << row[2] << (*row[3] ? row[3] : f.dir.path() + "/");
    }
    void settingsAreStoredAndRestored() {
        QFETCH(QString, control);
        QFETCH(QString, route);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QVERIFY(f.open({{"Bitrate", "32"},
                        {"Frequency", "48000"},
                        {"Channels", "Mono"},
                        {"Output Format", "MP3"},
                        {"Output Folder", "/start/"}}));
        Form1& w = *f.window;
        f.steps("page=1,focus=" + control);
        QWidget* widget = w.findChild<QWidget*>(control);
        QTRY_VERIFY(widget->hasFocus());
        auto* list = qobject_cast<QComboBox*>(widget);
        auto* box = qobject_cast<QLineEdit*>(widget);
        if (route == "program")
            list->setCurrentIndex(1);
        else if (route == "keyboard")
            f.type(box ? QKeySequence("End,X") : list ? Qt::Key_Down : Qt::Key_Space);
        else if (box)
            f.answerDialog(f.dir.path());
        if (route == "mouse")
            QTest::mouseClick(box ? w.cmdSaveTo : widget, Qt::LeftButton);
        QCOMPARE(stored(key), expected);
        const Form1 again;
        QCOMPARE(setting(again.findChild<QWidget*>(control)), expected);
    }

    // The marked stretch is a band across the groove that stands out from what it covers, on
    // whichever side of the handle it lies, at least 3 px wide on a twenty-minute file.
    void selectionBand_data() {
        columns<int, int, int, bool, bool>({"position", "start", "length", "left", "right"});
        QTest::newRow("5 s right of the handle") << 0 << 600 << 5 << false << true;
        QTest::newRow("1 s left of the handle") << 900 << 600 << 1 << true << false;
        QTest::newRow("handle inside the stretch") << 600 << 300 << 600 << true << true;
    }
    void selectionBand() {
        QFETCH(int, position);
        QFETCH(int, start);
        QFETCH(int, length);
        SelectionSlider& slider = *f.window->Slider1;
        slider.setRange(0, 1200);
        slider.setValue(position);
        const QImage plain = slider.grab().toImage();
        slider.setSelStart(start);
        slider.setSelLength(length);
        const QImage marked = slider.grab().toImage();
        // Columns that changed, further than a handle's width from the handle's centre.
        const int handle = 10 + position * (slider.width() - 20) / 1200;
        int left = 0;
        int right = 0;
        for (int x = 0; x < marked.width(); ++x)
            for (int y = 0; y < marked.height(); ++y) {
                const QColor a = plain.pixelColor(x, y);
                const QColor b = marked.pixelColor(x, y);
                if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                        std::abs(a.blue() - b.blue()) >=
                    120) {
                    left += x < handle - 20;
                    right += x > handle + 20;
                    break;
                }
            }
        QTEST(left >= 3, "left");
        QTEST(right >= 3, "right");
    }

    // Each key does what its button or command does, on either page, unless a text box, a
    // list or the check box has the focus; "set" stands for any marks but 00:00:00.
    void keysDriveTheWindow_data() {
        columns<QString, QKeySequence, int, QString, int>(
            {"steps", "key", "state", "marks", "page"});
        const int stopped = int(BASS_ACTIVE_STOPPED);
        const int playing = int(BASS_ACTIVE_PLAYING);
        const QString none = "00:00:00-00:00:00";
        const QString marked = "00:00:03-00:00:08";
        const QString marking = "at=3,cmdBeginCut,at=8,cmdEndCut";
        const auto row = [](const char* name, const QString& steps, QKeySequence key, int state,
                            const QString& marks, int page = 0) {
            QTest::newRow(name) << steps << key << state << marks << page;
        };
        row("space plays", "focus=Slider1", Qt::Key_Space, playing, none);
        row("space pauses", "cmdPlay", Qt::Key_Space, int(BASS_ACTIVE_PAUSED), none);
        row("space resumes", "cmdPlay,cmdPause", Qt::Key_Space, playing, none);
        row("escape stops", "cmdPlay", Qt::Key_Escape, stopped, none);
        row("b marks the begin", "at=5", Qt::Key_B, stopped, "00:00:05-00:00:00");
        row("e marks the end", "at=3,cmdBeginCut,at=8", Qt::Key_E, stopped, marked);
        row("p plays the selection", marking, Qt::Key_P, playing, marked);
        row("space resumes a paused selection", marking + ",cmdPlaySelection,cmdPause",
            Qt::Key_Space, playing, marked);
        row("shift+b is not b", "at=5", Qt::SHIFT | Qt::Key_B, stopped, none);
        row("ctrl+r cuts at random", "", Qt::CTRL | Qt::Key_R, stopped, "set");
        row("alt+r cuts at random", "", Qt::ALT | Qt::Key_R, stopped, "set");
        row("alt+s shows the settings", "", Qt::ALT | Qt::Key_S, stopped, none, 1);
        row("alt+q shows the work page", "page=1", Qt::ALT | Qt::Key_Q, stopped, none);
        row("b on the settings page", "page=1,at=5", Qt::Key_B, stopped, "00:00:05-00:00:00", 1);
        row("b in the folder box", "page=1,focus=txtOutputFolder", Qt::Key_B, stopped, none, 1);
        row("e in a list", "at=3,cmdBeginCut,page=1,focus=cboChannels,at=8", Qt::Key_E, stopped,
            "00:00:03-00:00:00", 1);
        row("space on the check box", "page=1,focus=chkAutoOpen", Qt::Key_Space, stopped, none, 1);
    }
    void keysDriveTheWindow() {
        QFETCH(QString, steps);
        QFETCH(QKeySequence, key);
        QFETCH(int, state);
        QFETCH(QString, marks);
        Form1& w = *f.window;
        f.tone("tone.wav", 30);
        f.load("tone.wav");
        f.steps(steps);
        f.type(key);
        // A mnemonic presses its button a moment later, as a click would show.
        QTRY_COMPARE(f.playState(), state);
        const auto shown = [&w] { return w.lblBeginCut->text() + "-" + w.lblEndCut->text(); };
        QTRY_VERIFY2(marks == "set" ? !shown().contains("00:00:00") : shown() == marks,
                     qPrintable(shown()));
        QCOMPARE(w.bPlaySelection, marks == "00:00:03-00:00:08" && state == BASS_ACTIVE_PLAYING);
        QTEST(w.TabControl1->currentIndex(), "page");
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.value(0).text));
    }

    // A click on a picture button leaves the keyboard focus where it was, so the next Space
    // plays or pauses instead of pressing that button again.
    void clickLeavesSpaceToTheWindow() {
        Form1& w = *f.window;
        f.tone("tone.wav", 30);
        f.load("tone.wav");
        f.mark(3, 8);
        for (QPushButton* button : w.findChildren<QPushButton*>()) {
            if (button == w.cmdSaveTo)
                continue;
            QTest::mouseClick(button, Qt::LeftButton);
            const int before = f.playState();
            const QString marks = w.lblBeginCut->text() + w.lblEndCut->text();
            const qsizetype opened = f.urls.urls.size();
            f.type(Qt::Key_Space);
            QVERIFY2(f.playState() != before && f.playState() != BASS_ACTIVE_STOPPED,
                     qPrintable(button->objectName()));
            QCOMPARE(f.urls.urls.size(), opened);
            QCOMPARE(w.lblBeginCut->text() + w.lblEndCut->text(), marks);
        }
    }

    // Ctrl+O opens the file dialog, and the file taken there is loaded.
    void ctrlOOpens() {
        f.tone("tone.wav", 30);
        f.answerDialog(f.path("tone.wav"));
        f.type(Qt::CTRL | Qt::Key_O);
        QTRY_COMPARE(f.window->Slider1->maximum(), 30);
        QCOMPARE(f.dialogTitle, "Select Media File");
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
