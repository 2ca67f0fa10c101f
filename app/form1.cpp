#include "app/form1.h"

#include "app/page_layout.h"
#include "app/picture_button.h"
#include "app/selection_slider.h"
#include "playback/wave_view.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QResizeEvent>

namespace {
QFont arial(double points, bool bold, bool underline = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

void place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsRect(left, top, width, height));
}

// The design's widths were measured with another renderer's fonts: a caption that needs more
// room than its control has gets it, to the right, so no letter is cut off.
QRect roomForText(const QWidget* widget, QRect rect) {
    rect.setWidth(std::max(rect.width(), widget->sizeHint().width()));
    return rect;
}

// A caption that has grown into the list beside it ends a few pixels before the list instead.
void keepBefore(QWidget* caption, const QWidget* next) {
    constexpr int gapPixels = 4;
    const int overlap = caption->geometry().right() + 1 + gapPixels - next->x();
    if (overlap > 0)
        caption->move(std::max(0, caption->x() - overlap), caption->y());
}

template <typename T> T* make(QWidget* parent, const char* name) {
    auto* widget = new T(parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QPushButton* pictureButton(QWidget* parent, const char* name, const QString& icon, int left,
                           int top) {
    auto* button = make<QPushButton>(parent, name);
    button->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(icon)));
    button->setIconSize(QSize(40, 40));
    place(button, left, top, 690, 735);
    return button;
}

// A transport button: the picture alone; the caption names the button for code and assistive
// tools, and the tool tip gives it with its key.
PictureButton* transportButton(QWidget* page, PageLayout* layout, const char* name,
                               const QString& caption, const QString& key, const QString& icon,
                               int left) {
    auto* button = make<PictureButton>(page, name);
    button->setText(caption);
    button->setToolTip(QStringLiteral("%1 (%2)").arg(caption, key));
    button->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(icon)));
    button->setIconSize(QSize(32, 32));
    layout->place(button, twipsRect(left, 3735, 690, 735));
    return button;
}

QComboBox* dropDown(QWidget* parent, const char* name, const QStringList& entries,
                    const QRect& twipsRect) {
    auto* list = make<QComboBox>(parent, name);
    list->addItems(entries);
    list->setEditable(false);
    // Nothing is selected until the stored settings are put in.
    list->setCurrentIndex(-1);
    place(list, twipsRect.x(), twipsRect.y(), twipsRect.width(), twipsRect.height());
    return list;
}
} // namespace

static void initResources() {
    Q_INIT_RESOURCE(resources);
}

QString Form1::programFile(const QString& name) {
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

Form1::Form1(QWidget* parent) : QWidget(parent) {
    initResources();
    setObjectName(QStringLiteral("Form1"));
    resize(721, 485);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setFont(arial(9, true));
    setMouseTracking(true);

    TabControl1 = make<QTabWidget>(this, "TabControl1");
    place(TabControl1, 0, 1170, 10815, 4725);
    TabControl1->setMouseTracking(true);
    TabControl1->installEventFilter(this);
    auto* workPage = new QWidget;
    auto* settingsPage = new QWidget;
    TabControl1->addTab(workPage, QStringLiteral("&Quillet"));
    TabControl1->addTab(settingsPage, QStringLiteral("&Settings"));
    createWorkPage(workPage);
    createSettingsPage(settingsPage);
    createBottomRow();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(10);
    Timer2->setTimerType(Qt::PreciseTimer); // the play line moves one point a tick

    Form_Load();
    connectHandlers();
    setupKeysAndAccess();
    Timer1->start();
    Timer2->start();
}

Form1::~Form1() = default;

void Form1::createWorkPage(QWidget* page) {
    auto* layout = new PageLayout(page, TabControl1);

    lblFilename = make<QLabel>(page, "lblFilename");
    lblFilename->setText(QStringLiteral("Filename:"));
    layout->place(lblFilename, roomForText(lblFilename, twipsRect(120, 570, 810, 225)));

    txtAudioFile = make<QLineEdit>(page, "txtAudioFile");
    txtAudioFile->setText(
        QStringLiteral(" Please open media first or drag & drop the audio file here"));
    layout->place(txtAudioFile, twipsRect(960, 480, 9735, 405));
    // It shows the loaded file: a name typed here would name the output of other audio.
    txtAudioFile->setReadOnly(true);

    ScrollFrame = make<QFrame>(page, "ScrollFrame");
    layout->place(ScrollFrame, twipsRect(135, 990, 10520, 1980));
    PicWave = make<WaveView>(ScrollFrame, "PicWave");
    place(PicWave, 0, 0, 10470, 1905);
    PicWave->setToolTip(QStringLiteral("Drag and drop audio file here"));

    Slider1 = make<SelectionSlider>(page, "Slider1");
    layout->place(Slider1, twipsRect(0, 2880, 10770, 555));
    Slider1->setRange(0, 0);

    cmdPlay = transportButton(page, layout, "cmdPlay", QStringLiteral("Play"),
                              QStringLiteral("Space"), QStringLiteral("play"), 165);
    cmdPause = transportButton(page, layout, "cmdPause", QStringLiteral("Pause"),
                               QStringLiteral("Space"), QStringLiteral("pause"), 900);
    cmdStop = transportButton(page, layout, "cmdStop", QStringLiteral("Stop"),
                              QStringLiteral("Esc"), QStringLiteral("stop"), 1620);
    cmdBeginCut = transportButton(page, layout, "cmdBeginCut", QStringLiteral("Begin Cut"),
                                  QStringLiteral("B"), QStringLiteral("begincut"), 2340);
    cmdEndCut = transportButton(page, layout, "cmdEndCut", QStringLiteral("End Cut"),
                                QStringLiteral("E"), QStringLiteral("endcut"), 3060);
    cmdPlaySelection =
        transportButton(page, layout, "cmdPlaySelection", QStringLiteral("Play Selection"),
                        QStringLiteral("P"), QStringLiteral("playselection"), 3780);

    const auto timeFrame = [page, layout](const char* frameName, const char* labelName,
                                          const QString& caption, int left, QLabel*& label) {
        auto* frame = make<QGroupBox>(page, frameName);
        frame->setTitle(caption);
        layout->place(frame, twipsRect(left, 3615, 1455, 855));
        label = make<QLabel>(frame, labelName);
        label->setText(QStringLiteral("00:00:00"));
        label->setAlignment(Qt::AlignCenter);
        label->setFont(arial(14.25, true));
        place(label, 120, 360, 1200, 345);
        return frame;
    };
    Frame3 = timeFrame("Frame3", "lblTime", QStringLiteral("Time"), 4605, lblTime);
    Frame4 = timeFrame("Frame4", "lblTotalTime", QStringLiteral("Total Time"), 6165, lblTotalTime);
    Frame5 = timeFrame("Frame5", "lblBeginCut", QStringLiteral("Begin Time"), 7725, lblBeginCut);
    Frame6 = timeFrame("Frame6", "lblEndCut", QStringLiteral("End Time"), 9285, lblEndCut);
}

void Form1::createSettingsPage(QWidget* page) {
    auto* layout = new PageLayout(page, TabControl1);
    Frame1 = make<QGroupBox>(page, "Frame1");
    Frame1->setTitle(QStringLiteral("Output MP3 Settings"));
    layout->place(Frame1, twipsRect(120, 480, 10575, 1095));
    Frame2 = make<QGroupBox>(page, "Frame2");
    Frame2->setTitle(QStringLiteral("Save Cutted Audio To"));
    layout->place(Frame2, twipsRect(120, 1680, 10575, 1935));

    const auto label = [](QWidget* parent, int index, const QString& text, int left, int top) {
        auto* l = new QLabel(text, parent);
        l->setObjectName(QStringLiteral("Label1_%1").arg(index));
        l->move(twips(left), twips(top));
        l->adjustSize();
        return l;
    };
    Label1[0] = label(Frame1, 0, QStringLiteral("Bitrate:"), 240, 540);
    cboBitrate = dropDown(Frame1, "cboBitrate",
                          {QStringLiteral("32"), QStringLiteral("48"), QStringLiteral("56"),
                           QStringLiteral("64"), QStringLiteral("80"), QStringLiteral("96"),
                           QStringLiteral("112"), QStringLiteral("128"), QStringLiteral("192"),
                           QStringLiteral("224"), QStringLiteral("256"), QStringLiteral("320")},
                          QRect(960, 480, 1695, 345));
    Label1[1] = label(Frame1, 1, QStringLiteral("Frequency:"), 3120, 540);
    cboFrequency =
        dropDown(Frame1, "cboFrequency",
                 {QStringLiteral("48000"), QStringLiteral("44100"), QStringLiteral("32000"),
                  QStringLiteral("24000"), QStringLiteral("22050"), QStringLiteral("16000"),
                  QStringLiteral("12050"), QStringLiteral("8000")},
                 QRect(4080, 480, 2535, 345));
    Label1[2] = label(Frame1, 2, QStringLiteral("Channel:"), 7080, 540);
    cboChannels =
        dropDown(Frame1, "cboChannels", {QStringLiteral("Mono"), QStringLiteral("Stereo")},
                 QRect(7920, 480, 1695, 345));

    txtOutputFolder = make<QLineEdit>(Frame2, "txtOutputFolder");
    place(txtOutputFolder, 240, 360, 9375, 450);
    cmdSaveTo = make<QPushButton>(Frame2, "cmdSaveTo");
    cmdSaveTo->setText(QStringLiteral("..."));
    place(cmdSaveTo, 9720, 360, 735, 375);
    Label1[3] = label(Frame2, 3, QStringLiteral("Output Format:"), 240, 1020);
    cboOutputFormat = dropDown(Frame2, "cboOutputFormat",
                               {QStringLiteral("MP3"), QStringLiteral("WMA"), QStringLiteral("WAV"),
                                QStringLiteral("AMR")},
                               QRect(1560, 960, 1695, 345));
    chkAutoOpen = make<QCheckBox>(Frame2, "chkAutoOpen");
    chkAutoOpen->setText(QStringLiteral("Auto Open Output Folder"));
    chkAutoOpen->setGeometry(roomForText(chkAutoOpen, twipsRect(3480, 960, 2655, 375)));
    const std::array<QComboBox*, 4> lists{cboBitrate, cboFrequency, cboChannels, cboOutputFormat};
    for (std::size_t i = 0; i < lists.size(); ++i)
        keepBefore(Label1[i], lists[i]);
}

void Form1::createBottomRow() {
    ProgressBar1 = make<QProgressBar>(this, "ProgressBar1");
    place(ProgressBar1, 0, 6030, 10770, 405);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setFormat(QStringLiteral(" Ready"));
    ProgressBar1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    cmdFacebook = pictureButton(this, "cmdFacebook", QStringLiteral("facebook"), 6480, 6480);
    cmdTwitter = pictureButton(this, "cmdTwitter", QStringLiteral("twitter"), 7200, 6480);
    cmdDelicious = pictureButton(this, "cmdDelicious", QStringLiteral("delicious"), 7920, 6480);
    cmdDig = pictureButton(this, "cmdDig", QStringLiteral("digg"), 8640, 6480);
    cmdStumbleUpon =
        pictureButton(this, "cmdStumbleUpon", QStringLiteral("stumbleupon"), 9360, 6480);
    cmdReddit = pictureButton(this, "cmdReddit", QStringLiteral("reddit"), 10080, 6480);
    cmdReddit->setIconSize(QSize(43, 43));

    lblAbout = make<QLabel>(this, "lblAbout");
    lblAbout->setText(QStringLiteral("About the software"));
    lblAbout->setFont(arial(11.25, true, true));
    lblAbout->setStyleSheet(QStringLiteral("color: blue; background: white;"));
    lblAbout->setGeometry(roomForText(lblAbout, twipsRect(120, 6712, 1995, 270)));
    // The pointing hand, finger tip as hot spot.
    lblAbout->setCursor(Qt::PointingHandCursor);
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isMinimized())
        return;
    const int clientWidth = width();
    TabControl1->resize(clientWidth, TabControl1->height());
    const int frameWidth = (clientWidth * 15 - 200 + 7) / 15;
    Frame1->resize(frameWidth, Frame1->height());
    Frame2->resize(frameWidth, Frame2->height());
    ProgressBar1->resize(clientWidth, ProgressBar1->height());
    if (CommandBars)
        CommandBars->resize(clientWidth, CommandBars->height());
}

void Form1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A size given while minimised was left alone; restoring applies the width rules to it.
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) {
        QResizeEvent resize(size(), size());
        resizeEvent(&resize);
    }
}

void Form1::resetPointer() {
    // The busy pointer of a running export stays until the export ends.
    if (QGuiApplication::overrideCursor() == nullptr)
        unsetCursor();
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    resetPointer();
    QWidget::mouseMoveEvent(event);
}

void Form1::connectHandlers() {
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    connect(Slider1, &SelectionSlider::mouseDown, this, &Form1::Slider1_MouseDown);
    connect(Slider1, &SelectionSlider::mouseUp, this, &Form1::Slider1_MouseUp);
    connect(Slider1, &SelectionSlider::seekRequested, this, &Form1::Slider1_Seek);
    connect(Slider1, &SelectionSlider::overviewResized, this, &Form1::showWaveOverview);
    connect(PicWave, &WaveView::mouseDown, this, &Form1::PicWave_MouseDown);
    connect(cmdPlay, &QPushButton::clicked, this, &Form1::cmdPlay_Click);
    connect(cmdPause, &QPushButton::clicked, this, &Form1::cmdPause_Click);
    connect(cmdStop, &QPushButton::clicked, this, &Form1::cmdStop_Click);
    connect(cmdPlaySelection, &QPushButton::clicked, this, &Form1::cmdPlaySelection_Click);
    connect(cmdBeginCut, &QPushButton::clicked, this, &Form1::cmdBeginCut_Click);
    connect(cmdEndCut, &QPushButton::clicked, this, &Form1::cmdEndCut_Click);
    connect(cmdSaveTo, &QPushButton::clicked, this, &Form1::cmdSaveTo_Click);
    connectShareHandlers();
    // The strip invites a drop in its tool tip, and takes one as the file box does.
    for (QWidget* target : {static_cast<QWidget*>(txtAudioFile), static_cast<QWidget*>(PicWave)}) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (stopKeyDuringRun(event))
        return true;
    if (watched == TabControl1 && event->type() == QEvent::MouseMove)
        resetPointer();
    // The file box takes file drops itself, never as text; the strip takes them as it does.
    if (watched == txtAudioFile || watched == PicWave) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (txtAudioFile_OLEDragOver(drag->mimeData()))
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            drop->acceptProposedAction();
            txtAudioFile_OLEDragDrop(drop->mimeData());
            return true;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
