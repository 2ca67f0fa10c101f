// Load and close of the main window, the tool bar and its command dispatch, and the settings
// handlers.
#include "app/form1.h"

#include "app/settings_store.h"
#include "audio/converted_files.h"
#include "audio/mod_bass.h"
#include "base/working_folder.h"
#include "cutter/mod_shell32.h"
#include "playback/wave_view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>

#include <exception>

void Form1::Form_Load() {
    setWindowIcon(QIcon(QStringLiteral(":/icons/quillet.svg")));
    ApplySkin();
    setWindowTitle(QStringLiteral("Quillet"));
    restoreSettings();
    SetupCommandBars();
    QPalette wavePalette = PicWave->palette();
    wavePalette.setColor(QPalette::Window, QColor(33, 47, 56));
    PicWave->setPalette(wavePalette);
    bMarking = false;
}

void Form1::ApplySkin() {
    QFile skin(programFile(QStringLiteral("styles/Vista.cjstyles")));
    if (skin.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromUtf8(skin.readAll()));
}

void Form1::SetupCommandBars() {
    CommandBars = new QToolBar(QStringLiteral("Standard"), this);
    CommandBars->setObjectName(QStringLiteral("CommandBars"));
    CommandBars->setGeometry(0, 0, width(), twips(1170) - 2);
    CommandBars->setIconSize(QSize(48, 48));
    CommandBars->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QFont barFont = font();
    barFont.setBold(true);
    barFont.setPointSize(9);
    CommandBars->setFont(barFont);

    const auto addCommand = [this](int id, const QString& caption, const QString& icon) {
        QAction* action =
            CommandBars->addAction(QIcon(QStringLiteral(":/icons/%1.svg").arg(icon)), caption);
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { CommandBars_Execute(id); });
        return action;
    };
    ctlOpenMediaFile =
        addCommand(kCmdOpenMediaFile, QStringLiteral("&Open Media File"), QStringLiteral("open"));
    ctlRandomCut =
        addCommand(kCmdRandomCut, QStringLiteral("&Random Cut"), QStringLiteral("random"));
    ctlSaveCuttedAudio = addCommand(kCmdSaveCuttedAudio, QStringLiteral("&Save Cutted Audio"),
                                    QStringLiteral("save"));

    // The bar's own sheet outranks the window's skin, whatever the skin's selectors; its last
    // rule keeps the bold 9-pt font against the theme's own.
    QString barSheet;
    QFile theme(programFile(QStringLiteral("styles/Office2007Silver.dll")));
    if (theme.open(QIODevice::ReadOnly))
        barSheet = QString::fromUtf8(theme.readAll()) + QLatin1Char('\n');
    barSheet +=
        QStringLiteral("QToolBar, QToolButton { font: bold 9pt \"%1\"; }").arg(barFont.family());
    CommandBars->setStyleSheet(barSheet);

    for (QPushButton* button :
         {cmdPlay, cmdStop, cmdPause, cmdBeginCut, cmdEndCut, cmdPlaySelection})
        button->setEnabled(false);
    ctlRandomCut->setEnabled(false);
    ctlSaveCuttedAudio->setEnabled(false);
}

QAction* Form1::commandAction(int id) const {
    switch (id) {
    case kCmdOpenMediaFile:
        return ctlOpenMediaFile;
    case kCmdRandomCut:
        return ctlRandomCut;
    case kCmdSaveCuttedAudio:
        return ctlSaveCuttedAudio;
    default:
        return nullptr;
    }
}

void Form1::CommandBars_Execute(int id) {
    // An error inside a command abandons the rest of that command; the program goes on.
    try {
        switch (id) {
        case kCmdOpenMediaFile:
            OpenMediaFile();
            break;
        case kCmdRandomCut:
            RandomCut();
            break;
        case kCmdSaveCuttedAudio:
            SaveCuttedAudio();
            break;
        default:
            break;
        }
    } catch (const std::exception&) {
    } catch (...) {
    }
}

void Form1::restoreSettings() {
    connectSettingsHandlers();
    const auto restoreList = [](QComboBox* list, const QString& key, const QString& fallback) {
        QStringList entries;
        for (int i = 0; i < list->count(); ++i)
            entries << list->itemText(i);
        const QString stored = readSetting(key, fallback);
        const QString entry = listEntryFor(stored, entries, fallback);
        list->setCurrentIndex(list->findText(entry));
        if (entry != stored)
            writeSetting(key, entry);
    };
    restoreList(cboBitrate, kKeyBitrate, QStringLiteral("192"));
    restoreList(cboChannels, kKeyChannels, QStringLiteral("Stereo"));
    restoreList(cboFrequency, kKeyFrequency, QStringLiteral("44100"));
    const QString folder = readSetting(kKeyOutputFolder, defaultOutputFolder());
    txtOutputFolder->setText(folder);
    const QString autoOpen = readSetting(kKeyAutoOpen, QStringLiteral("0"));
    const int state = checkStateFor(autoOpen);
    chkAutoOpen->setChecked(state == 1);
    if (state < 0)
        writeSetting(kKeyAutoOpen, QStringLiteral("0"));
    restoreList(cboOutputFormat, kKeyOutputFormat, QStringLiteral("MP3"));
}

void Form1::connectSettingsHandlers() {
    // Every change of state is stored, whichever way it came: mouse, keyboard, wheel, an
    // accessibility action or the program itself.
    const auto bind = [this](QComboBox* list, const QString& key) {
        connect(list, &QComboBox::currentIndexChanged, this, [list, key](int index) {
            if (index >= 0)
                writeSetting(key, list->itemText(index));
        });
    };
    bind(cboBitrate, kKeyBitrate);
    bind(cboChannels, kKeyChannels);
    bind(cboFrequency, kKeyFrequency);
    bind(cboOutputFormat, kKeyOutputFormat);
    connect(chkAutoOpen, &QCheckBox::toggled, this, [](bool checked) {
        writeSetting(kKeyAutoOpen, checked ? QStringLiteral("1") : QStringLiteral("0"));
    });
    connect(txtOutputFolder, &QLineEdit::textChanged, this,
            [](const QString& text) { writeSetting(kKeyOutputFolder, text); });
}

void Form1::closeEvent(QCloseEvent* event) {
    if (m_loading || m_saving) {
        m_closeRequested = true;
        stopShellCommand();
        event->ignore();
        return;
    }
    Form_QueryUnload();
    event->accept();
}

void Form1::closeIfRequested() {
    if (m_closeRequested)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void Form1::Form_QueryUnload() {
    BASS_Free();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    removeConverted(tempWavPath());
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}
