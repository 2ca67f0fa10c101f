// What the real window's tests need: a settings store emptied for each window, message boxes and
// opened addresses caught, file dialogs answered, the real audio output, and shared checks.
#pragma once

#include "app/form1.h"
#include "app/message_box.h"
#include "app/selection_slider.h"
#include "app/settings_store.h"
#include "audio/mod_bass.h"
#include "base/working_folder.h"
#include "playback/wave_view.h"
#include "tests/support/test_support.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class WindowFixture : public QObject {
    Q_OBJECT
public:
    QTemporaryDir dir;
    QList<ShownMessage> messages;
    bool answerYes = false; // to every question
    QList<QUrl> urls;       // the addresses the program hands to the desktop
    std::unique_ptr<Form1> window;
    QString dialogTitle, dialogFolder; // of the last file dialog answered
    QStringList dialogFilters;

    WindowFixture() {
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::setUrlHandler(scheme, this, "takeUrl");
    }
    ~WindowFixture() {
        close();
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::unsetUrlHandler(scheme);
        setMessageHandler({});
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString out() const { return dir.filePath("out/"); }

    // A new window, shown and active, its messages caught, on a store that holds only the given
    // values, with an empty output folder; false when there is no audio output.
    bool open(const QMap<QString, QString>& stored = {}) {
        close();
        QFile::remove(tempWavPath());
        messages.clear();
        urls.clear();
        answerYes = false;
        setMessageHandler([this](ShownMessage& m) {
            m.yes = answerYes;
            messages << m;
        });
        openSettingsStore()->remove(QString());
        for (auto it = stored.begin(); it != stored.end(); ++it)
            writeSetting(it.key(), it.value());
        QDir(out()).removeRecursively();
        QDir().mkpath(out());
        window = std::make_unique<Form1>();
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("the window did not become active");
        return BASS_Init(-1, 44100, 0, nullptr, nullptr);
    }
    void close() {
        if (window)
            window->close();
        window.reset();
        BASS_Free();
    }
    // Steps, comma-separated: "at=S" puts the slider on second S, "slide=S" drags it there and
    // lets go, "reader=S" sets it as a screen reader does, "strip=X" presses the strip at column
    // X, "key=K" types K, "page=N" shows page N, "focus=NAME" gives that control the focus,
    // "load=FILE" loads the file of the test's folder, "saveto=FORMAT" has cuts saved in that
    // format to the output folder, which stays closed; any other step clicks that button.
    void steps(const QString& steps) {
        Form1& w = *window;
        for (const QString& step : steps.split(u',', Qt::SkipEmptyParts)) {
            const QString kind = step.section(u'=', 0, 0), value = step.section(u'=', 1);
            if (kind == "at")
                w.Slider1->setValue(value.toInt());
            else if (kind == "slide") {
                w.Slider1_MouseDown();
                w.Slider1->setValue(value.toInt());
                w.Slider1_MouseUp();
            } else if (kind == "reader")
                QAccessible::queryAccessibleInterface(w.Slider1)->valueInterface()->setCurrentValue(
                    value.toInt());
            else if (kind == "strip")
                w.PicWave_MouseDown(value.toDouble());
            else if (kind == "key")
                type(QKeySequence(value));
            else if (kind == "page")
                w.TabControl1->setCurrentIndex(value.toInt());
            else if (kind == "focus")
                w.findChild<QWidget*>(value)->setFocus();
            else if (kind == "load")
                w.LoadMedia(path(value));
            else if (kind == "saveto") {
                w.txtOutputFolder->setText(out());
                w.cboOutputFormat->setCurrentText(value);
                w.chkAutoOpen->setChecked(false);
            } else
                QTest::mouseClick(w.findChild<QPushButton*>(step), Qt::LeftButton);
        }
    }
    void type(const QKeySequence& keys) { QTest::keySequence(window->windowHandle(), keys); }
    // Answers the next file dialog when it shows: takes the choice, or cancels without one.
    void answerDialog(const QString& choice) {
        dialogTitle.clear();
        auto* poll = new QTimer(window.get());
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, choice] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll->stop();
            dialogTitle = dialog->windowTitle();
            dialogFolder = QFileInfo(dialog->directory().absolutePath()).canonicalFilePath();
            dialogFilters = dialog->nameFilters();
            if (QFileInfo(choice).isDir())
                dialog->setDirectory(choice);
            // selectFile() leaves the name box alone while it has the focus, which it has once
            // the dialog is active, and accept() then finds nothing chosen and keeps it open.
            if (QWidget* focused = dialog->focusWidget())
                focused->clearFocus();
            dialog->selectFile(choice);
            choice.isEmpty() ? dialog->reject() : static_cast<QDialog*>(dialog)->accept();
        });
        poll->start(10);
    }
    int playState() const { return int(BASS_ChannelIsActive(DWORD(window->hStream))); }
    double seconds() const {
        const auto h = DWORD(window->hStream);
        return BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE));
    }
    // Waits until the position has moved past `from` by `by` seconds.
    bool playsOn(double from, double by = 0.3) const {
        return QTest::qWaitFor([&] { return seconds() > from + by; }, 10000);
    }
    QStringList written() const { return QDir(out()).entryList(QDir::Files | QDir::Hidden); }
    // The messages shown, "title|text|style" a line.
    QString said() const {
        QStringList shown;
        for (const ShownMessage& m : messages)
            shown << QStringLiteral("%1|%2|%3").arg(m.title, m.text).arg(m.style);
        return shown.join(u'\n');
    }
    // The slider's selection and maximum, and the two mark labels.
    QString state() const {
        const SelectionSlider& slider = *window->Slider1;
        return QString::asprintf("%d+%d/%d ", slider.selStart(), slider.selLength(),
                                 slider.maximum()) +
               window->lblBeginCut->text() + "-" + window->lblEndCut->text();
    }
    // Drops the files and addresses (with none, a text) on the control; true when it was taken.
    bool drop(QWidget* target, const QStringList& files, QList<QUrl> urls = {}) {
        QMimeData data;
        for (const QString& file : files)
            urls << QUrl::fromLocalFile(file);
        urls.isEmpty() ? data.setText("/music/a.mp3") : data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &drop);
        return enter.isAccepted();
    }
    // What a failed or stopped load must leave as it was.
    QString loadedState() const {
        const Form1& w = *window;
        QString enabled;
        for (const QObject* control : controls())
            enabled += control->property("enabled").toBool() ? u'1' : u'0';
        QStringList parts{w.txtAudioFile->text(), w.lblTotalTime->text(), state(), enabled};
        for (const qint64 n :
             {qint64(BASS_ChannelGetLength(w.hStream, BASS_POS_BYTE)), qint64(w.nWaveLast),
              qint64(qHashRange(w.aWaveTop.begin(), w.aWaveTop.end())),
              QFileInfo(tempWavPath()).size(), qint64(w.PicWave->image().isNull())})
            parts << QString::number(n);
        return parts.join(u' ');
    }
    // No run going on, and none of a run's files left in the program folder.
    void verifyIdle() const {
        const Form1& w = *window;
        QCOMPARE(w.ProgressBar1->text() + QString::number(w.ProgressBar1->value()), " Ready0");
        QVERIFY(!QApplication::overrideCursor() && w.TabControl1->widget(1)->isEnabled());
        QVERIFY(w.ctlOpenMediaFile->isEnabled());
        QCOMPARE(QDir(Form1::programFile(""))
                     .entryList({"coder.exe", ".temp*.part-*", "temp-new.wav*", "temp.wav.old*"},
                                QDir::Files | QDir::Hidden),
                 QStringList());
    }
    // What a user sees once a file is loaded: a point per 10 ms and one more from the empty read.
    void verifyLoaded(const QString& name, int seconds) const {
        const Form1& w = *window;
        QVERIFY2(messages.isEmpty(), qPrintable(messages.value(0).text));
        QCOMPARE(w.txtAudioFile->text() + " " + w.lblTotalTime->text() + " " + state(),
                 path(name) + QString(" 00:00:0%1 0+0/%1 00:00:00-00:00:00").arg(seconds));
        QCOMPARE(QList<int>({w.Slider1->value(), w.nWaveLast, w.nMarkLast}),
                 QList<int>({0, seconds * 100, seconds * 100}));
        for (const QObject* control : controls())
            QVERIFY2(control->property("enabled").toBool(), qPrintable(control->objectName()));
        QCOMPARE(BASS_ChannelIsActive(w.hStream), BASS_ACTIVE_STOPPED);
        verifyIdle();
    }

private:
    // The controls a loaded file enables.
    QObjectList controls() const {
        const Form1& w = *window;
        return {w.cmdPlay,          w.cmdStop, w.cmdPause,     w.cmdBeginCut,       w.cmdEndCut,
                w.cmdPlaySelection, w.Slider1, w.ctlRandomCut, w.ctlSaveCuttedAudio};
    }
public Q_SLOTS:
    void takeUrl(const QUrl& url) { urls << url; }
};

// The base of a window test: a new window for each test function, skipped without audio output.
class WindowTest : public QObject {
    Q_OBJECT
protected:
    WindowFixture f;
    Form1* w = nullptr; // the window f opened last
    bool open(const QMap<QString, QString>& stored = {}) {
        const bool opened = f.open(stored);
        w = f.window.get();
        return opened;
    }
private Q_SLOTS:
    void init() {
        if (!open())
            QSKIP("No audio output device (start the test services first)");
    }
    void cleanup() { f.close(); }
};
