// The main window's controls, tool bar, resize rules, command dispatch and settings store.
#include "app/form1.h"
#include "app/message_box.h"
#include "app/mnemonics.h"
#include "app/page_layout.h"
#include "app/picture_button.h"
#include "app/selection_slider.h"
#include "app/settings_store.h"
#include "app/wave_view.h"
#include "audio/mod_bass.h"
#include "share/share_links.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QDesktopServices>
#include <QFileDialog>
#include <QSettings>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <stdexcept>

namespace {
// The text a control shows and the width it has for it (pixels), or no text.
struct ShownText {
    QString text;
    int room = 0;
};

QString withoutMnemonic(QString text) {
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

QList<ShownText> shownTexts(QWidget* widget) {
    QStyle* style = widget->style();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return {{label->text(), label->contentsRect().width() - 2 * label->margin()}};
    if (qobject_cast<PictureButton*>(widget))
        return {};
    if (auto* box = qobject_cast<QCheckBox*>(widget))
        return {{box->text(), box->width() - style->pixelMetric(QStyle::PM_IndicatorWidth) -
                                  style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing)}};
    if (auto* button = qobject_cast<QToolButton*>(widget))
        return {{withoutMnemonic(button->text()), button->width() - button->iconSize().width()}};
    if (auto* button = qobject_cast<QPushButton*>(widget))
        return {
            {button->text(), button->width() - 2 * style->pixelMetric(QStyle::PM_ButtonMargin)}};
    if (auto* frame = qobject_cast<QGroupBox*>(widget))
        return {{frame->title(), frame->width()}};
    if (auto* list = qobject_cast<QComboBox*>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        const int room =
            style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list)
                .width();
        QList<ShownText> texts;
        for (int i = 0; i < list->count(); ++i)
            texts.append({list->itemText(i), room});
        return texts;
    }
    if (auto* bar = qobject_cast<QTabBar*>(widget)) {
        QList<ShownText> texts;
        for (int i = 0; i < bar->count(); ++i)
            texts.append({withoutMnemonic(bar->tabText(i)), bar->tabRect(i).width()});
        return texts;
    }
    if (auto* bar = qobject_cast<QProgressBar*>(widget))
        return {{bar->text(), bar->width()}};
    return {};
}

// Every widget under the root that shows now, top-level popups aside.
QList<QWidget*> shownWidgets(QWidget* root) {
    QList<QWidget*> out;
    for (QWidget* child : root->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() || !child->isVisible())
            continue;
        out << child << shownWidgets(child);
    }
    return out;
}

QString describe(const QWidget* widget) {
    return QStringLiteral("%1 (%2) at %3,%4 %5x%6 in %7")
        .arg(widget->objectName(), QString::fromLatin1(widget->metaObject()->className()))
        .arg(widget->x())
        .arg(widget->y())
        .arg(widget->width())
        .arg(widget->height())
        .arg(widget->parentWidget()->objectName());
}

// Columns of the image that hold the colour, left to right.
QList<int> columnsOf(const QImage& image, const QColor& colour) {
    QList<int> columns;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixelColor(x, y).rgb() == colour.rgb()) {
                columns << x;
                break;
            }
        }
    }
    return columns;
}

int longestRun(const QList<int>& columns) {
    int longest = 0;
    int run = 0;
    for (int i = 0; i < columns.size(); ++i) {
        run = (i > 0 && columns[i] == columns[i - 1] + 1) ? run + 1 : 1;
        longest = std::max(longest, run);
    }
    return longest;
}
} // namespace

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};

class TestForm1 : public QObject {
    Q_OBJECT
    QTemporaryDir m_store;

    static QStringList entries(const QComboBox* list) {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->itemText(i);
        return out;
    }
    static QVariant stored(const QString& key) { return openSettingsStore()->value(key); }

    static void showActive(Form1& form) {
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
    }

    // Changes the setting of the control one step the way the route says: a list to its next
    // entry, the check box to its other state, the folder box by an "x" at its end (the mouse
    // picks the folder folder in the chooser instead).
    static void changeSetting(Form1& form, QWidget* control, const QString& route,
                              const QString& folder) {
        QWindow* window = form.windowHandle();
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(control);
        QVERIFY(access);
        if (auto* box = qobject_cast<QCheckBox*>(control)) {
            if (route == "mouse")
                QTest::mouseClick(box, Qt::LeftButton);
            else if (route == "keyboard")
                QTest::keyClick(window, Qt::Key_Space);
            else if (route == "accessibility")
                access->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
            else
                box->setChecked(!box->isChecked());
        } else if (auto* list = qobject_cast<QComboBox*>(control)) {
            const int next = list->currentIndex() + 1;
            if (route == "mouse") {
                QTest::mouseClick(list, Qt::LeftButton);
                QTRY_VERIFY(list->view()->isVisible());
                // The open list ignores a release that comes within a double click of opening.
                QTest::qWait(QApplication::doubleClickInterval() + 50);
                const QPoint entry =
                    list->view()->visualRect(list->model()->index(next, 0)).center();
                QTest::mouseClick(list->view()->viewport(), Qt::LeftButton, {}, entry);
            } else if (route == "keyboard") {
                QTest::keyClick(window, Qt::Key_Down);
            } else if (route == "accessibility") {
                // A screen reader opens the list, and its user walks it and takes an entry.
                access->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
                QTRY_VERIFY(list->view()->isVisible());
                QTest::keyClick(list->view(), Qt::Key_Down);
                QTest::keyClick(list->view(), Qt::Key_Return);
            } else {
                list->setCurrentIndex(next);
            }
            QTRY_VERIFY(!list->view()->isVisible());
        } else if (auto* box = qobject_cast<QLineEdit*>(control)) {
            if (route == "mouse") {
                QTimer::singleShot(0, &form, [folder] {
                    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                    QVERIFY(dialog);
                    dialog->setDirectory(folder);
                    dialog->selectFile(folder);
                    static_cast<QDialog*>(dialog)->accept();
                });
                QTest::mouseClick(form.cmdSaveTo, Qt::LeftButton);
            } else if (route == "keyboard") {
                QTest::keyClick(window, Qt::Key_End);
                QTest::keyClick(window, 'x');
            } else if (route == "accessibility") {
                access->editableTextInterface()->insertText(int(box->text().size()), "x");
            } else {
                box->setText(box->text() + "x");
            }
        }
    }

private Q_SLOTS:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_store.path());
    }
    void init() { openSettingsStore()->remove(QString()); }

    void controlsHaveTheirNamesAndCaptions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("play") << "cmdPlay"
                              << "Play";
        QTest::newRow("pause") << "cmdPause"
                               << "Pause";
        QTest::newRow("stop") << "cmdStop"
                              << "Stop";
        QTest::newRow("begin") << "cmdBeginCut"
                               << "Begin Cut";
        QTest::newRow("end") << "cmdEndCut"
                             << "End Cut";
        QTest::newRow("selection") << "cmdPlaySelection"
                                   << "Play Selection";
        QTest::newRow("saveto") << "cmdSaveTo"
                                << "...";
        QTest::newRow("filename") << "lblFilename"
                                  << "Filename:";
        QTest::newRow("about") << "lblAbout"
                               << "About the software";
        QTest::newRow("time") << "lblTime"
                              << "00:00:00";
        QTest::newRow("total") << "lblTotalTime"
                               << "00:00:00";
        QTest::newRow("begintime") << "lblBeginCut"
                                   << "00:00:00";
        QTest::newRow("endtime") << "lblEndCut"
                                 << "00:00:00";
        QTest::newRow("autoopen") << "chkAutoOpen"
                                  << "Auto Open Output Folder";
        QTest::newRow("file") << "txtAudioFile"
                              << " Please open media first or drag & drop the audio file here";
    }
    void controlsHaveTheirNamesAndCaptions() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        Form1 form;
        QWidget* widget = form.findChild<QWidget*>(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->property("text").toString(), caption);
    }

    // Each setting is stored on every change of its control's state, whichever way it came.
    void everyRouteStoresTheSetting_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QString chosen = m_store.path() + "/";
        const struct {
            const char* control;
            QString key;
            const char* expected;
        } settings[] = {
            {"cboBitrate", kKeyBitrate, "48"},
            {"cboFrequency", kKeyFrequency, "44100"},
            {"cboChannels", kKeyChannels, "Stereo"},
            {"cboOutputFormat", kKeyOutputFormat, "WMA"},
            {"chkAutoOpen", kKeyAutoOpen, "1"},
            {"txtOutputFolder", kKeyOutputFolder, "/start/x"},
        };
        for (const auto& setting : settings)
            for (const char* route : {"mouse", "keyboard", "accessibility", "program"}) {
                const bool chooser =
                    setting.key == kKeyOutputFolder && QLatin1String(route) == "mouse";
                QTest::addRow("%s, %s", setting.control, route)
                    << setting.control << route << setting.key
                    << (chooser ? chosen : QString(setting.expected));
            }
    }
    void everyRouteStoresTheSetting() {
        QFETCH(QString, control);
        QFETCH(QString, route);
        QFETCH(QString, key);
        // Every list starts on its first entry, the folder box on "/start/".
        openSettingsStore()->setValue(kKeyBitrate, "32");
        openSettingsStore()->setValue(kKeyFrequency, "48000");
        openSettingsStore()->setValue(kKeyChannels, "Mono");
        openSettingsStore()->setValue(kKeyOutputFormat, "MP3");
        openSettingsStore()->setValue(kKeyOutputFolder, "/start/");
        Form1 form;
        form.TabControl1->setCurrentIndex(1);
        showActive(form);
        QWidget* widget = form.findChild<QWidget*>(control);
        QVERIFY(widget);
        widget->setFocus();
        QTRY_VERIFY(widget->hasFocus());
        changeSetting(form, widget, route, m_store.path());
        QTEST(stored(key).toString(), "expected");
    }

    // Every control a user can reach or read has a name for a screen reader.
    void controlsHaveAccessibleNames_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        const char* const rows[][2] = {
            {"cmdFacebook", "Share on Facebook"},
            {"cmdTwitter", "Share on Twitter"},
            {"cmdDelicious", "Share on Delicious"},
            {"cmdDig", "Share on Digg"},
            {"cmdStumbleUpon", "Share on StumbleUpon"},
            {"cmdReddit", "Share on Reddit"},
            {"PicWave", "Waveform"},
            {"ProgressBar1", "Ready"},
            {"cmdPlay", "Play"},
            {"cmdPlaySelection", "Play Selection"},
            {"txtAudioFile", "Filename"},
            {"txtOutputFolder", "Output folder"},
            {"cmdSaveTo", "Choose the output folder"},
            {"Slider1", "Position"},
            {"chkAutoOpen", "Auto Open Output Folder"},
            {"lblAbout", "About the software"},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << row[0] << row[1];
    }
    void controlsHaveAccessibleNames() {
        QFETCH(QString, control);
        Form1 form;
        QWidget* widget = form.findChild<QWidget*>(control);
        QVERIFY(widget);
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(access);
        QTEST(access->text(QAccessible::Name), "name");
    }

    void everyVisibleControlIsNamed() {
        Form1 form;
        form.show();
        for (int page = 0; page < form.TabControl1->count(); ++page) {
            form.TabControl1->setCurrentIndex(page);
            for (QWidget* widget : form.findChildren<QWidget*>()) {
                QAccessibleInterface* access = QAccessible::queryAccessibleInterface(widget);
                // The tab control's stack of pages is a container only it uses.
                if (!widget->isVisible() || access->role() == QAccessible::LayeredPane)
                    continue;
                QVERIFY2(
                    !access->text(QAccessible::Name).trimmed().isEmpty(),
                    qPrintable(QString("%1 %2 on page %3")
                                   .arg(widget->metaObject()->className(), widget->objectName())
                                   .arg(page)));
            }
        }
        // The lists are also named by their labels.
        for (int i = 0; i < 4; ++i) {
            QAccessibleInterface* label = QAccessible::queryAccessibleInterface(form.Label1[i]);
            QVERIFY(label->relations(QAccessible::Labelled).size() == 1);
        }
    }

    // The status line's name follows its text through a load that fails.
    void statusNameFollowsTheText() {
        QFile::remove(Form1::programFile("temp.wav"));
        Form1 form;
        QAccessibleInterface* status = QAccessible::queryAccessibleInterface(form.ProgressBar1);
        QStringList heard;
        const auto listen = [&] {
            const QString name = status->text(QAccessible::Name);
            QCOMPARE(name, form.ProgressBar1->text().trimmed());
            if (heard.isEmpty() || heard.last() != name)
                heard << name;
        };
        QTimer poll;
        connect(&poll, &QTimer::timeout, &form, listen);
        poll.start(0);
        setMessageHandler([&](ShownMessage&) { listen(); });
        form.LoadMedia(m_store.filePath("missing.wav"));
        setMessageHandler({});
        QCOMPARE(heard, QStringList({"Ready", "Loading...Please Wait.", "Ready"}));
    }

    // Each picture button and tool-bar command says what it does, and its key where it has one.
    void picturesHaveToolTips_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("tip");
        const char* const rows[][2] = {
            {"cmdFacebook", "Share on Facebook"},       {"cmdTwitter", "Share on Twitter"},
            {"cmdDelicious", "Share on Delicious"},     {"cmdDig", "Share on Digg"},
            {"cmdStumbleUpon", "Share on StumbleUpon"}, {"cmdReddit", "Share on Reddit"},
            {"1000", "Open Media File (Ctrl+O)"},       {"1001", "Random Cut (Ctrl+R)"},
            {"1002", "Save Cutted Audio (Ctrl+S)"},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << row[0] << row[1];
    }
    void picturesHaveToolTips() {
        QFETCH(QString, control);
        Form1 form;
        bool isCommand = false;
        const int id = control.toInt(&isCommand);
        const QString tip = isCommand ? form.commandAction(id)->toolTip()
                                      : form.findChild<QWidget*>(control)->toolTip();
        QTEST(tip, "tip");
    }

    // A tool-bar caption keeps its Alt key unless a tab answers it already.
    void toolBarMnemonics_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("tabs");
        QTest::addColumn<QString>("shown");
        const QStringList tabs{"&Quillet", "&Settings"};
        QTest::newRow("free") << "&Open Media File" << tabs << "&Open Media File";
        QTest::newRow("taken by a tab") << "&Save Cutted Audio" << tabs << "Save Cutted Audio";
        QTest::newRow("other letter of the tab")
            << "&Save Cutted Audio" << QStringList{"&Quillet", "S&ettings"} << "&Save Cutted Audio";
        QTest::newRow("any letter case") << "&save" << tabs << "save";
        QTest::newRow("doubled ampersand")
            << "Rock && &Roll" << QStringList{"&Rest"} << "Rock && Roll";
        QTest::newRow("only a doubled ampersand")
            << "Rock && Roll" << QStringList{"&Rest"} << "Rock && Roll";
        QTest::newRow("none") << "Plain" << tabs << "Plain";
    }
    void toolBarMnemonics() {
        QFETCH(QString, caption);
        QFETCH(QStringList, tabs);
        QTEST(captionWithFreeMnemonic(caption, tabs), "shown");
    }

    // The tool bar shows each command's Alt key unless a tab answers it already.
    void toolBarShowsFreeMnemonics_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QKeySequence>("alt");
        QTest::newRow("open") << int(kCmdOpenMediaFile) << "&Open Media File"
                              << QKeySequence(Qt::ALT | Qt::Key_O);
        QTest::newRow("random") << int(kCmdRandomCut) << "&Random Cut"
                                << QKeySequence(Qt::ALT | Qt::Key_R);
        QTest::newRow("save, Alt+S is the settings tab's")
            << int(kCmdSaveCuttedAudio) << "Save Cutted Audio" << QKeySequence();
    }
    void toolBarShowsFreeMnemonics() {
        QFETCH(int, id);
        Form1 form;
        auto* button =
            qobject_cast<QToolButton*>(form.CommandBars->widgetForAction(form.commandAction(id)));
        QVERIFY(button);
        QTEST(button->text(), "shown");
        QTEST(button->shortcut(), "alt");
    }

    void listsHoldTheirEntriesInOrder() {
        Form1 form;
        QCOMPARE(entries(form.cboBitrate), QStringList({"32", "48", "56", "64", "80", "96", "112",
                                                        "128", "192", "224", "256", "320"}));
        QCOMPARE(entries(form.cboFrequency), QStringList({"48000", "44100", "32000", "24000",
                                                          "22050", "16000", "12050", "8000"}));
        QCOMPARE(entries(form.cboChannels), QStringList({"Mono", "Stereo"}));
        QCOMPARE(entries(form.cboOutputFormat), QStringList({"MP3", "WMA", "WAV", "AMR"}));
        QVERIFY(!form.cboBitrate->isEditable());
    }

    void startsWithOnlyOpenAtHand() {
        Form1 form;
        QCOMPARE(form.windowTitle(), QString("Quillet"));
        QCOMPARE(form.TabControl1->tabText(0), QString("&Quillet"));
        QCOMPARE(form.TabControl1->tabText(1), QString("&Settings"));
        QCOMPARE(form.TabControl1->currentIndex(), 0);
        QCOMPARE(form.ProgressBar1->format(), QString(" Ready"));
        QCOMPARE(form.CommandBars->windowTitle(), QString("Standard"));
        QCOMPARE(form.CommandBars->iconSize(), QSize(48, 48));
        const QList<QAction*> actions = form.CommandBars->actions();
        QCOMPARE(actions.size(), 3);
        QCOMPARE(actions[0]->text(), QString("&Open Media File"));
        QCOMPARE(actions[1]->text(), QString("&Random Cut"));
        QCOMPARE(actions[2]->text(), QString("&Save Cutted Audio"));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(actions[i]->data().toInt(), kCmdOpenMediaFile + i);
        QVERIFY(form.ctlOpenMediaFile->isEnabled());
        QVERIFY(!form.ctlRandomCut->isEnabled());
        QVERIFY(!form.ctlSaveCuttedAudio->isEnabled());
        for (QPushButton* b : {form.cmdPlay, form.cmdPause, form.cmdStop, form.cmdBeginCut,
                               form.cmdEndCut, form.cmdPlaySelection})
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        QVERIFY(form.Slider1->isEnabled());
        QVERIFY(form.Timer1->isActive());
        QCOMPARE(form.Timer1->interval(), 100);
        QVERIFY(form.Timer2->isActive());
        QCOMPARE(form.Timer2->interval(), 10);
        QCOMPARE(form.PicWave->palette().color(QPalette::Window), QColor(33, 47, 56));
        QVERIFY(!form.bMarking);
        QCOMPARE(form.lblAbout->cursor().shape(), Qt::PointingHandCursor);
    }

    void layoutFollowsTheTwipsGrid() {
        Form1 form;
        QCOMPARE(form.size(), QSize(721, 485));
        QCOMPARE(form.TabControl1->geometry(), QRect(0, 78, 721, 315));
        QCOMPARE(form.cmdReddit->geometry(), QRect(672, 432, 46, 49));
        QCOMPARE(form.lblTime->font().pointSizeF(), 14.25);
        QCOMPARE(form.lblAbout->font().underline(), true);
    }

    void pageRectMovesByThePageOffset_data() {
        QTest::addColumn<QRect>("onTabs");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<QSize>("pageSize");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("below the tab bar")
            << QRect(64, 32, 100, 20) << QPoint(2, 26) << QSize(717, 287) << QRect(62, 6, 100, 20);
        QTest::newRow("at the left edge")
            << QRect(0, 192, 718, 37) << QPoint(2, 26) << QSize(717, 287) << QRect(0, 166, 717, 37);
        QTest::newRow("past the bottom")
            << QRect(11, 300, 46, 20) << QPoint(2, 26) << QSize(717, 287) << QRect(9, 274, 46, 13);
        QTest::newRow("page not laid out")
            << QRect(0, 192, 718, 37) << QPoint(0, 0) << QSize() << QRect(0, 192, 718, 37);
    }
    void pageRectMovesByThePageOffset() {
        QFETCH(QRect, onTabs);
        QFETCH(QPoint, offset);
        QFETCH(QSize, pageSize);
        QFETCH(QRect, expected);
        QCOMPARE(pageRect(onTabs, offset, pageSize), expected);
    }

    // Both pages at the window's size: every control lies whole inside its container, and
    // every text it shows fits its width.
    void everyControlShowsWholeWithItsText_data() {
        QTest::addColumn<int>("page");
        QTest::newRow("work page") << 0;
        QTest::newRow("settings page") << 1;
    }
    void everyControlShowsWholeWithItsText() {
        QFETCH(int, page);
        Form1 form;
        form.show();
        form.TabControl1->setCurrentIndex(page);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCoreApplication::processEvents();
        const QList<QWidget*> widgets = shownWidgets(&form);
        QVERIFY(widgets.contains(form.TabControl1->widget(page)));
        int texts = 0;
        for (QWidget* widget : widgets) {
            QVERIFY2(widget->parentWidget()->rect().contains(widget->geometry()),
                     qPrintable(describe(widget)));
            const QList<ShownText> shownHere = shownTexts(widget);
            if (!shownHere.isEmpty()) {
                // No other control covers any of a text's control.
                for (QWidget* sibling :
                     widget->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                    QVERIFY2(sibling == widget || sibling->isWindow() || !sibling->isVisible() ||
                                 !sibling->geometry().intersects(widget->geometry()),
                             qPrintable(describe(widget) + QLatin1String(" under ") +
                                        describe(sibling)));
                }
            }
            for (const ShownText& shown : shownHere) {
                const int width = widget->fontMetrics().horizontalAdvance(shown.text);
                QVERIFY2(width <= shown.room,
                         qPrintable(QStringLiteral("\"%1\" needs %2, has %3: %4")
                                        .arg(shown.text)
                                        .arg(width)
                                        .arg(shown.room)
                                        .arg(describe(widget))));
                ++texts;
            }
        }
        QVERIFY(texts > 10);
    }

    // Both pages measure from the tab control's corner: a control's place on the window does
    // not depend on the page it is on, nor on the height of the tab bar.
    void pagesMeasureFromTheTabControl_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("onTabs");
        QTest::newRow("file box") << "txtAudioFile" << QPoint(64, 32);
        QTest::newRow("play") << "cmdPlay" << QPoint(11, 249);
        QTest::newRow("end time") << "Frame6" << QPoint(619, 241);
        QTest::newRow("output settings") << "Frame1" << QPoint(8, 32);
        QTest::newRow("save to") << "Frame2" << QPoint(8, 112);
    }
    void pagesMeasureFromTheTabControl() {
        QFETCH(QString, name);
        QFETCH(QPoint, onTabs);
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* control = form.findChild<QWidget*>(name);
        QVERIFY(control);
        form.TabControl1->setCurrentWidget(control->parentWidget());
        QCoreApplication::processEvents();
        QCOMPARE(control->mapTo(form.TabControl1, QPoint(0, 0)), onTabs);
    }

    // The transport buttons show their picture alone, whole and centred as the style centres
    // a picture without a caption; the caption stays their text and name, the tool tip adds
    // the key.
    void transportButtonsShowTheirPictureAlone_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("play") << "cmdPlay"
                              << "Play"
                              << "Play (Space)";
        QTest::newRow("pause") << "cmdPause"
                               << "Pause"
                               << "Pause (Space)";
        QTest::newRow("stop") << "cmdStop"
                              << "Stop"
                              << "Stop (Esc)";
        QTest::newRow("begin") << "cmdBeginCut"
                               << "Begin Cut"
                               << "Begin Cut (B)";
        QTest::newRow("end") << "cmdEndCut"
                             << "End Cut"
                             << "End Cut (E)";
        QTest::newRow("selection") << "cmdPlaySelection"
                                   << "Play Selection"
                                   << "Play Selection (P)";
    }
    void transportButtonsShowTheirPictureAlone() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, toolTip);
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* button = form.findChild<QPushButton*>(name);
        QVERIFY(button);
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->toolTip(), toolTip);
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(button);
        QVERIFY(access);
        QCOMPARE(access->text(QAccessible::Name), caption);

        QStyleOptionButton option;
        option.initFrom(button);
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        QVERIFY2(button->iconSize().width() <= contents.width() &&
                     button->iconSize().height() <= contents.height(),
                 "the picture is cut by the bevel");

        // The same button with nothing but the picture, and with no picture at all.
        const auto lookAlike = [button](bool withPicture) {
            auto* twin = new QPushButton(button->parentWidget());
            twin->setGeometry(button->geometry());
            twin->setEnabled(button->isEnabled());
            twin->setIconSize(button->iconSize());
            if (withPicture)
                twin->setIcon(button->icon());
            twin->show();
            const QImage image = twin->grab().toImage();
            delete twin;
            return image;
        };
        const QImage shown = button->grab().toImage();
        QCOMPARE(shown, lookAlike(true));
        QVERIFY(shown != lookAlike(false));
        button->setEnabled(true);
        const QImage enabled = button->grab().toImage();
        QCOMPARE(enabled, lookAlike(true));
    }

    // The marked stretch is a band of its own colour across the groove, seen on whichever side
    // of the handle it lies, at least 3 px wide on a twenty-minute file.
    void selectionBandShowsBesideTheHandle_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("left");
        QTest::addColumn<bool>("right");
        QTest::newRow("5 s right of the handle") << 0 << 600 << 5 << false << true;
        QTest::newRow("5 s left of the handle") << 1200 << 600 << 5 << true << false;
        QTest::newRow("1 s left of the handle") << 900 << 600 << 1 << true << false;
        QTest::newRow("handle inside the stretch") << 600 << 300 << 600 << true << true;
        QTest::newRow("at the very end") << 0 << 1199 << 1 << false << true;
    }
    void selectionBandShowsBesideTheHandle() {
        QFETCH(int, position);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(bool, left);
        QFETCH(bool, right);
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        SelectionSlider& slider = *form.Slider1;
        slider.setRange(0, 1200);
        slider.setValue(position);
        slider.setSelStart(start);
        slider.setSelLength(length);
        const QImage image = slider.grab().toImage();

        QStyleOptionSlider option;
        option.initFrom(&slider);
        option.minimum = slider.minimum();
        option.maximum = slider.maximum();
        option.sliderPosition = position;
        option.sliderValue = position;
        option.orientation = Qt::Horizontal;
        option.tickPosition = slider.tickPosition();
        const QRect handle = slider.style()->subControlRect(QStyle::CC_Slider, &option,
                                                            QStyle::SC_SliderHandle, &slider);
        const QList<int> band = columnsOf(image, kSelectionColor);
        QVERIFY2(longestRun(band) >= kMinimumBandPixels, qPrintable(QString::number(band.size())));
        const auto leftOfHandle =
            std::count_if(band.begin(), band.end(), [&](int x) { return x < handle.left(); });
        const auto rightOfHandle =
            std::count_if(band.begin(), band.end(), [&](int x) { return x > handle.right(); });
        QCOMPARE(leftOfHandle >= kMinimumBandPixels, left);
        QCOMPARE(rightOfHandle >= kMinimumBandPixels, right);
        // The band's colour stands apart from every colour of the slider itself.
        slider.setSelLength(0);
        const QImage plain = slider.grab().toImage();
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                const QColor c = plain.pixelColor(x, y);
                const int distance = std::abs(c.red() - kSelectionColor.red()) +
                                     std::abs(c.green() - kSelectionColor.green()) +
                                     std::abs(c.blue() - kSelectionColor.blue());
                QVERIFY2(distance >= 120, qPrintable(c.name()));
            }
        }
    }

    // The About label opens its page on a left click, once per click, and on nothing else: the
    // second press of a double-click comes as the double-click, which opens nothing more.
    void aboutOpensOncePerLeftClick_data() {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("opened");
        QTest::newRow("left click") << "left" << 1;
        QTest::newRow("double-click") << "double" << 1;
        QTest::newRow("right click") << "right" << 0;
        QTest::newRow("middle click") << "middle" << 0;
        QTest::newRow("released outside") << "away" << 0;
    }
    void aboutOpensOncePerLeftClick() {
        QFETCH(QString, gesture);
        QFETCH(int, opened);
        UrlCatcher urls;
        for (const char* scheme : {"http", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &urls, "open");
        {
            Form1 form;
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            QWindow* window = form.windowHandle();
            const QPoint on = form.lblAbout->mapTo(&form, form.lblAbout->rect().center());
            if (gesture == QLatin1String("left"))
                QTest::mouseClick(window, Qt::LeftButton, {}, on);
            else if (gesture == QLatin1String("double"))
                QTest::mouseDClick(window, Qt::LeftButton, {}, on);
            else if (gesture == QLatin1String("right"))
                QTest::mouseClick(window, Qt::RightButton, {}, on);
            else if (gesture == QLatin1String("middle"))
                QTest::mouseClick(window, Qt::MiddleButton, {}, on);
            else {
                QTest::mousePress(window, Qt::LeftButton, {}, on);
                QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(on.x(), 20));
            }
            QCoreApplication::processEvents();
        }
        for (const char* scheme : {"http", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        QCOMPARE(urls.urls.size(), opened);
        for (const QUrl& url : urls.urls)
            QCOMPARE(url.toString(), shareAddress(ShareLink::About));
    }

    // A skin file styles the window but leaves the tool bar its bold 9-pt font.
    void skinKeepsTheToolBarFont_data() {
        QTest::addColumn<QString>("skin");
        QTest::newRow("everything") << R"(* { font: 7pt "Courier"; })";
        QTest::newRow("tool buttons") << "QToolBar QToolButton { font-weight: normal; "
                                         "font-size: 14pt; }";
        QTest::newRow("by name") << "#CommandBars, #CommandBars * { font: italic 12pt; }";
    }
    void skinKeepsTheToolBarFont() {
        QFETCH(QString, skin);
        const QString skinFile = Form1::programFile(QStringLiteral("styles/Vista.cjstyles"));
        QVERIFY(!QFile::exists(skinFile));
        const bool madeFolder = QDir().mkpath(QFileInfo(skinFile).path());
        {
            QFile file(skinFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(skin.toUtf8());
        }
        auto cleanUp = qScopeGuard([&] {
            QFile::remove(skinFile);
            if (madeFolder)
                QDir().rmdir(QFileInfo(skinFile).path());
        });
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!form.styleSheet().isEmpty());
        for (QAction* action : form.CommandBars->actions()) {
            const QFont font = form.CommandBars->widgetForAction(action)->font();
            QVERIFY2(font.bold() && font.pointSizeF() == 9 && !font.italic(),
                     qPrintable(action->text() + QLatin1String(": ") + font.toString()));
        }
    }

    void resizeKeepsWidthsInStep_data() {
        QTest::addColumn<int>("width");
        QTest::newRow("wider") << 900;
        QTest::newRow("narrower") << 600;
        QTest::newRow("same") << 721;
    }
    void resizeKeepsWidthsInStep() {
        QFETCH(int, width);
        Form1 form;
        form.show();
        form.resize(width, 500);
        QCOMPARE(form.TabControl1->width(), width);
        QCOMPARE(form.ProgressBar1->width(), width);
        const int frameWidth = (width * 15 - 200 + 7) / 15;
        QCOMPARE(form.Frame1->width(), frameWidth);
        QCOMPARE(form.Frame2->width(), frameWidth);
    }

    // A resize that reaches the window while it is minimised changes no widths; restoring the
    // window applies the width rules to its size.
    void minimisingChangesNoWidth() {
        Form1 form;
        form.show();
        form.resize(800, 500);
        form.showMinimized();
        QVERIFY(form.isMinimized());
        form.resize(600, 500);
        QTRY_COMPARE(form.width(), 600);
        QCOMPARE(form.TabControl1->width(), 800);
        QCOMPARE(form.ProgressBar1->width(), 800);
        QCOMPARE(form.Frame1->width(), (800 * 15 - 200 + 7) / 15);
        form.showNormal();
        QVERIFY(!form.isMinimized());
        QCOMPARE(form.TabControl1->width(), 600);
        QCOMPARE(form.ProgressBar1->width(), 600);
        QCOMPARE(form.Frame2->width(), (600 * 15 - 200 + 7) / 15);
    }

    // A move over the window's background or the tab control puts a leftover pointer back to
    // the arrow; while an export shows the busy pointer, it stays.
    void mouseMoveResetsThePointer_data() {
        QTest::addColumn<QString>("over");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<int>("shape");
        QTest::newRow("window") << "Form1" << false << int(Qt::ArrowCursor);
        QTest::newRow("tab control") << "TabControl1" << false << int(Qt::ArrowCursor);
        QTest::newRow("window, busy") << "Form1" << true << int(Qt::WaitCursor);
        QTest::newRow("tab control, busy") << "TabControl1" << true << int(Qt::WaitCursor);
    }
    void mouseMoveResetsThePointer() {
        QFETCH(QString, over);
        QFETCH(bool, busy);
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.setCursor(Qt::WaitCursor);
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        // Below the status line, clear of every control; in the tab strip, right of the tabs.
        const QPoint at =
            over == "Form1"
                ? QPoint(300, 470)
                : form.TabControl1->mapTo(&form, QPoint(form.TabControl1->width() - 20, 8));
        QTest::mouseMove(form.windowHandle(), at);
        const int shape = form.cursor().shape();
        if (busy)
            QApplication::restoreOverrideCursor();
        QTEST(shape, "shape");
    }

    // Unknown ids do nothing; an error inside a command abandons it and the program goes on.
    void dispatchIgnoresUnknownIdsAndSwallowsErrors_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("failure"); // 0 none, 1 a std::exception, 2 anything else
        QTest::addColumn<int>("boxes");
        QTest::newRow("unknown id") << 999 << 0 << 0;
        QTest::newRow("random cut, nothing loaded") << int(kCmdRandomCut) << 0 << 0;
        QTest::newRow("save, nothing loaded") << int(kCmdSaveCuttedAudio) << 0 << 1;
        QTest::newRow("save, its box fails") << int(kCmdSaveCuttedAudio) << 1 << 1;
        QTest::newRow("save, its box throws an int") << int(kCmdSaveCuttedAudio) << 2 << 1;
    }
    void dispatchIgnoresUnknownIdsAndSwallowsErrors() {
        QFETCH(int, id);
        QFETCH(int, failure);
        QFile::remove(Form1::programFile("temp.wav"));
        Form1 form;
        int shown = 0;
        // The message box is the one place a test can make a command fail from outside.
        setMessageHandler([&](ShownMessage&) {
            ++shown;
            if (failure == 1)
                throw std::runtime_error("the box failed");
            if (failure == 2)
                throw 42;
        });
        bool returned = false;
        try {
            form.CommandBars_Execute(id);
            returned = true;
        } catch (...) {
        }
        setMessageHandler({});
        QVERIFY(returned);
        QTEST(shown, "boxes");
        QVERIFY(!form.isSaving());
        QCOMPARE(form.ProgressBar1->format(), QString(" Ready"));
        QCOMPARE(form.commandAction(kCmdSaveCuttedAudio), form.ctlSaveCuttedAudio);
        QCOMPARE(form.commandAction(42), nullptr);
    }

    void firstRunStoresTheDefaults() {
        Form1 form;
        QCOMPARE(form.cboBitrate->currentText(), QString("192"));
        QCOMPARE(form.cboChannels->currentText(), QString("Stereo"));
        QCOMPARE(form.cboFrequency->currentText(), QString("44100"));
        QCOMPARE(form.cboOutputFormat->currentText(), QString("MP3"));
        QCOMPARE(form.txtOutputFolder->text(), defaultOutputFolder());
        QVERIFY(!form.chkAutoOpen->isChecked());
        QCOMPARE(stored(kKeyBitrate).toString(), QString("192"));
        QCOMPARE(stored(kKeyChannels).toString(), QString("Stereo"));
        QCOMPARE(stored(kKeyFrequency).toString(), QString("44100"));
        QCOMPARE(stored(kKeyOutputFormat).toString(), QString("MP3"));
        QCOMPARE(stored(kKeyOutputFolder).toString(), defaultOutputFolder());
        QVERIFY(!stored(kKeyAutoOpen).isValid());
    }

    void choicesPersistAcrossWindows() {
        {
            Form1 form;
            form.cboChannels->setCurrentIndex(form.cboChannels->findText("Mono"));
            form.cboOutputFormat->setCurrentIndex(form.cboOutputFormat->findText("AMR"));
            form.txtOutputFolder->setText("/music/cuts/");
            form.chkAutoOpen->click();
            QCOMPARE(stored(kKeyAutoOpen).toString(), QString("1"));
        }
        Form1 again;
        QCOMPARE(again.cboChannels->currentText(), QString("Mono"));
        QCOMPARE(again.cboOutputFormat->currentText(), QString("AMR"));
        QCOMPARE(again.txtOutputFolder->text(), QString("/music/cuts/"));
        QVERIFY(again.chkAutoOpen->isChecked());
        again.chkAutoOpen->click();
        QCOMPARE(stored(kKeyAutoOpen).toString(), QString("0"));
    }

    void foreignValuesKeepTheDefault_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("bitrate 160") << kKeyBitrate << "160"
                                     << "192";
        QTest::newRow("frequency 12000") << kKeyFrequency << "12000"
                                         << "44100";
        QTest::newRow("channels lower case") << kKeyChannels << "mono"
                                             << "Stereo";
        QTest::newRow("format ogg") << kKeyOutputFormat << "OGG"
                                    << "MP3";
        QTest::newRow("auto open text") << kKeyAutoOpen << "yes"
                                        << "0";
        QTest::newRow("auto open 7") << kKeyAutoOpen << "7"
                                     << "0";
    }
    void foreignValuesKeepTheDefault() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        openSettingsStore()->setValue(key, value);
        Form1 form;
        QCOMPARE(stored(key).toString(), expected);
        QVERIFY(!form.chkAutoOpen->isChecked());
    }

    void selectionLengthNeverGoesNegative() {
        SelectionSlider slider;
        slider.setSelStart(20);
        slider.setSelLength(-3);
        QCOMPARE(slider.selLength(), 0);
    }

    void closingRemovesTheWorkingCopy_data() {
        QTest::addColumn<bool>("withTemp");
        QTest::newRow("with temp.wav") << true;
        QTest::newRow("without temp.wav") << false;
    }
    void closingRemovesTheWorkingCopy() {
        QFETCH(bool, withTemp);
        const QString temp = Form1::programFile("temp.wav");
        if (withTemp) {
            QFile file(temp);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        Form1 form;
        form.show();
        QVERIFY(form.close());
        QVERIFY(!QFile::exists(temp));
    }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
