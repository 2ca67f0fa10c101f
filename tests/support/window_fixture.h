// What the tests of the real window need: a settings store emptied for each window, message
// boxes and opened addresses caught, file dialogs answered, and the real audio output.
#pragma once

#include "app/form1.h"
#include "app/message_box.h"
#include "app/selection_slider.h"
#include "app/settings_store.h"
#include "audio/mod_bass.h"
#include "base/working_folder.h"
#include "tests/support/test_support.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
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
        setMessageHandler([this](ShownMessage& m) {
            m.yes = answerYes;
            messages << m;
        });
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

    // A new window, shown and active, on a store that holds only the given values, with an
    // empty output folder; false when there is no audio output.
    bool open(const QMap<QString, QString>& stored = {}) {
        close();
        QFile::remove(tempWavPath());
        messages.clear();
        urls.clear();
        answerYes = false;
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
    // lets go, "page=N" shows page N, "focus=NAME" gives that control the focus, "load=FILE"
    // loads the file of the test's folder, any other step clicks that button with the mouse.
    void steps(const QString& steps) {
        for (const QString& step : steps.split(u',', Qt::SkipEmptyParts)) {
            const QString value = step.section(u'=', 1);
            if (step.startsWith("at="))
                window->Slider1->setValue(value.toInt());
            else if (step.startsWith("slide=")) {
                window->Slider1_MouseDown();
                window->Slider1->setValue(value.toInt());
                window->Slider1_MouseUp();
            } else if (step.startsWith("page="))
                window->TabControl1->setCurrentIndex(value.toInt());
            else if (step.startsWith("focus="))
                window->findChild<QWidget*>(value)->setFocus();
            else if (step.startsWith("load="))
                window->LoadMedia(path(value));
            else
                QTest::mouseClick(window->findChild<QPushButton*>(step), Qt::LeftButton);
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
public Q_SLOTS:
    void takeUrl(const QUrl& url) { urls << url; }
};
