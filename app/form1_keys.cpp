// The window's keyboard and its accessible names: the tool bar's shortcuts and mnemonics, the
// transport and seek keys, focus rules for the picture buttons, their tool tips, and the status
// line's name kept in step with its text.
#include "app/form1.h"

#include "app/mnemonics.h"
#include "app/selection_slider.h"
#include "audio/mod_bass.h"
#include "cutter/mod_shell32.h"
#include "playback/transport_keys.h"
#include "playback/wave_view.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <utility>

namespace {

// A control that keeps these keys for itself: a text box and a list move in their text or
// items, the slider seeks by its own keys. The file box only shows the loaded file: there the
// keys seek (Shift with them still selects its text). The page tabs, which have the focus when
// the window opens, change pages by Ctrl+Tab and their Alt keys instead.
bool keepsSeekKeys(const QWidget* focused) {
    const auto* line = qobject_cast<const QLineEdit*>(focused);
    return (line && !line->isReadOnly()) || qobject_cast<const QAbstractSpinBox*>(focused) ||
           qobject_cast<const QTextEdit*>(focused) ||
           qobject_cast<const QPlainTextEdit*>(focused) ||
           qobject_cast<const QComboBox*>(focused) ||
           qobject_cast<const QAbstractItemView*>(focused) ||
           qobject_cast<const QAbstractSlider*>(focused);
}

// Takes the seek keys before the focused control does, which would otherwise move the focus
// with them (a button) or ignore them.
class SeekKeyFilter final : public QObject {
public:
    explicit SeekKeyFilter(Form1* window) : QObject(window), m_window(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (static_cast<QWidget*>(watched)->window() != m_window ||
            QApplication::activeModalWidget() != nullptr ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        if (const QWidget* focused = QApplication::focusWidget(); focused && keepsSeekKeys(focused))
            return false;
        return m_window->seekByKey(key->key());
    }

private:
    Form1* m_window;
};

} // namespace

void Form1::setupKeysAndAccess() {
    // A click leaves the keyboard focus where it was, so Space never presses the last button
    // clicked again; Tab still reaches every button.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setFocusPolicy(Qt::TabFocus);

    QStringList tabCaptions;
    for (int i = 0; i < TabControl1->count(); ++i)
        tabCaptions << TabControl1->tabText(i);
    const std::pair<QAction*, QKeySequence> commands[] = {
        {ctlOpenMediaFile, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {ctlRandomCut, QKeySequence(Qt::CTRL | Qt::Key_R)},
        {ctlSaveCuttedAudio, QKeySequence(Qt::CTRL | Qt::Key_S)},
    };
    for (const auto& [action, key] : commands) {
        action->setShortcut(key);
        // The tool button shows the caption's Alt key unless a tab already answers it.
        action->setIconText(captionWithFreeMnemonic(action->text(), tabCaptions));
        action->setToolTip(QStringLiteral("%1 (%2)").arg(captionWithoutMnemonic(action->text()),
                                                         key.toString(QKeySequence::NativeText)));
    }

    const std::pair<QPushButton*, const char*> shares[] = {
        {cmdFacebook, "Facebook"}, {cmdTwitter, "Twitter"},         {cmdDelicious, "Delicious"},
        {cmdDig, "Digg"},          {cmdStumbleUpon, "StumbleUpon"}, {cmdReddit, "Reddit"},
    };
    for (const auto& [button, site] : shares) {
        const QString name = QStringLiteral("Share on %1").arg(QLatin1String(site));
        button->setAccessibleName(name);
        if (button->toolTip().isEmpty())
            button->setToolTip(name);
    }

    // Each list and box is tied to the label in front of it, which a screen reader reads with
    // it; the names below serve where only a name is read.
    lblFilename->setBuddy(txtAudioFile);
    const std::pair<QLabel*, QWidget*> labelled[] = {
        {Label1[0], cboBitrate},
        {Label1[1], cboFrequency},
        {Label1[2], cboChannels},
        {Label1[3], cboOutputFormat},
    };
    for (const auto& [label, control] : labelled)
        label->setBuddy(control);
    const std::pair<QWidget*, QString> names[] = {
        {txtAudioFile, QStringLiteral("Filename")},
        {cboBitrate, QStringLiteral("Bitrate")},
        {cboFrequency, QStringLiteral("Frequency")},
        {cboChannels, QStringLiteral("Channel")},
        {cboOutputFormat, QStringLiteral("Output Format")},
        {txtOutputFolder, QStringLiteral("Output folder")},
        {cmdSaveTo, QStringLiteral("Choose the output folder")},
        {PicWave, QStringLiteral("Waveform")},
        {ScrollFrame, QStringLiteral("Waveform strip")},
        {Slider1, QStringLiteral("Position")},
        {TabControl1, QStringLiteral("Pages")},
        {CommandBars, CommandBars->windowTitle()},
    };
    for (const auto& [control, name] : names)
        control->setAccessibleName(name);
    for (int i = 0; i < TabControl1->count(); ++i)
        TabControl1->widget(i)->setAccessibleName(captionWithoutMnemonic(TabControl1->tabText(i)));
    if (cmdSaveTo->toolTip().isEmpty())
        cmdSaveTo->setToolTip(QStringLiteral("Choose the output folder"));

    Slider1->setToolTip(QStringLiteral("Position (Left, Right: a second back or on; Home: the "
                                       "start; End: the last second)"));
    qApp->installEventFilter(new SeekKeyFilter(this));

    connect(ProgressBar1, &QProgressBar::valueChanged, this, &Form1::syncStatusName);
    syncStatusName();
    // Escape must stop a run wherever the key lands: on a dialog that has just closed, a popup,
    // or a control that would keep it.
    QCoreApplication::instance()->installEventFilter(this);
}

bool Form1::stopKeyDuringRun(QEvent* event) {
    if (!m_loading && !m_saving)
        return false;
    const auto type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier)
        return false;
    if (type == QEvent::KeyPress)
        stopShellCommand();
    event->accept();
    return true;
}

void Form1::setStatusText(const QString& text) {
    ProgressBar1->setFormat(text);
    syncStatusName();
}

void Form1::showRunProgress(double fraction) {
    ProgressBar1->setMaximum(kProgressSteps);
    ProgressBar1->setValue(static_cast<int>(fraction * kProgressSteps));
}

void Form1::syncStatusName() {
    const QString text = ProgressBar1->text().trimmed();
    // Setting the name tells a screen reader that it changed.
    if (ProgressBar1->accessibleName() != text)
        ProgressBar1->setAccessibleName(text);
}

void Form1::keyPressEvent(QKeyEvent* event) {
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    // Each key presses its button, so a key does nothing while its button is disabled. Held
    // down, only the marks repeat: a repeated Space would start and pause by turns.
    const bool repeat = event->isAutoRepeat();
    switch (event->key()) {
    case Qt::Key_Space: {
        if (repeat)
            break;
        const DWORD state = BASS_ChannelIsActive(static_cast<DWORD>(hStream));
        switch (spaceAction(state == BASS_ACTIVE_PLAYING || state == BASS_ACTIVE_STALLED,
                            state == BASS_ACTIVE_PAUSED, bPlaySelection, cmdPlay->isEnabled())) {
        case SpaceAction::ResumeSelection:
            Timer1->start(100);
            BASS_ChannelPlay(static_cast<DWORD>(hStream), false);
            break;
        case SpaceAction::Pause:
            cmdPause->click();
            break;
        case SpaceAction::Play:
            cmdPlay->click();
            break;
        }
        break;
    }
    case Qt::Key_B:
        cmdBeginCut->click();
        break;
    case Qt::Key_E:
        cmdEndCut->click();
        break;
    case Qt::Key_P:
        if (!repeat)
            cmdPlaySelection->click();
        break;
    case Qt::Key_Escape: // during a load or a save, stopKeyDuringRun takes it first
        cmdStop->click();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}
