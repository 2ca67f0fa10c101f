// The main window: every control of the work and settings pages, the tool bar, the two timers,
// and the state the window's handlers share. Handlers of each subsystem live in that subsystem's
// folder; this class only holds them together.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class SelectionSlider;
class WaveView;

// Twips are 1/15 of a pixel on the screens the window was laid out for.
constexpr int twips(int value) {
    return (value + 7) / 15;
}

inline constexpr int kCmdOpenMediaFile = 1000;
inline constexpr int kCmdRandomCut = 1001;
inline constexpr int kCmdSaveCuttedAudio = 1002;

// The status bar's steps while the transcoder reports its progress.
inline constexpr int kProgressSteps = 1000;

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The program folder joined with a file name of it ("codec.dll", "styles/..."); the working
    // files have their own folder (base/working_folder.h).
    static QString programFile(const QString& name);

    // The tool bar's execute event: runs the command of the id; an error inside it is swallowed.
    void CommandBars_Execute(int id);
    QAction* commandAction(int id) const;

    // Media loading and selection.
    void LoadMedia(QString FileName);
    void OpenMediaFile();
    bool txtAudioFile_OLEDragOver(const QMimeData* data) const;
    void txtAudioFile_OLEDragDrop(const QMimeData* data);

    // Transport, position tracking and the waveform view.
    void cmdPlay_Click();
    void cmdPause_Click();
    void cmdStop_Click();
    void cmdPlaySelection_Click();
    void Timer1_Timer();
    void Timer2_Timer();
    void Slider1_MouseDown();
    void Slider1_MouseUp();
    // A second the user chose on the slider by its keys or an accessibility tool.
    void Slider1_Seek(int seconds);
    // The window's seek keys (Left, Right, Home, End); false when the key does not seek here.
    bool seekByKey(int key);
    void DrawWaveData();
    void PicWave_MouseDown(double x);
    // The slider's picture of the whole file, drawn again from the point arrays.
    void showWaveOverview();

    // Marks, the output folder and the export.
    void cmdBeginCut_Click();
    void cmdEndCut_Click();
    void RandomCut();
    // A whole number from lowest to highest, both included.
    std::int32_t RandomBetween(std::int32_t lowest, std::int32_t highest);
    void cmdSaveTo_Click();
    void SaveCuttedAudio();
    void lblAbout_Click();

    // True while a load runs; a second load is refused meanwhile.
    bool isLoading() const { return m_loading; }
    // True while an export runs; loads, marks, the settings and another export wait for it.
    bool isSaving() const { return m_saving; }

    // Shared state.
    std::int32_t hStream = 0;
    bool bRestart = false;
    bool bPlaySelection = false;
    bool bMarking = false;
    // Whether each mark is set: a mark at second 0 reads "00:00:00" like an unset one.
    bool bBeginMarked = false;
    bool bEndMarked = false;
    std::int32_t nWaveLast = 0;
    std::vector<std::int32_t> aWaveTop;
    std::vector<std::int32_t> aWaveBottom;
    std::int32_t nWavePos = 0;
    std::int32_t nMarkFirst = 0;
    std::int32_t nMarkLast = 0;
    std::int32_t nWaveOffset = 0;

    // Controls, named as their objectName.
    QToolBar* CommandBars = nullptr;
    QAction* ctlOpenMediaFile = nullptr;
    QAction* ctlRandomCut = nullptr;
    QAction* ctlSaveCuttedAudio = nullptr;
    QTabWidget* TabControl1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* cmdFacebook = nullptr;
    QPushButton* cmdTwitter = nullptr;
    QPushButton* cmdDelicious = nullptr;
    QPushButton* cmdDig = nullptr;
    QPushButton* cmdStumbleUpon = nullptr;
    QPushButton* cmdReddit = nullptr;
    QLabel* lblAbout = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;

    QLabel* lblFilename = nullptr;
    QLineEdit* txtAudioFile = nullptr;
    QFrame* ScrollFrame = nullptr;
    WaveView* PicWave = nullptr;
    SelectionSlider* Slider1 = nullptr;
    QPushButton* cmdPlay = nullptr;
    QPushButton* cmdPause = nullptr;
    QPushButton* cmdStop = nullptr;
    QPushButton* cmdBeginCut = nullptr;
    QPushButton* cmdEndCut = nullptr;
    QPushButton* cmdPlaySelection = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QGroupBox* Frame5 = nullptr;
    QGroupBox* Frame6 = nullptr;
    QLabel* lblTime = nullptr;
    QLabel* lblTotalTime = nullptr;
    QLabel* lblBeginCut = nullptr;
    QLabel* lblEndCut = nullptr;

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    std::array<QLabel*, 4> Label1{};
    QComboBox* cboBitrate = nullptr;
    QComboBox* cboFrequency = nullptr;
    QComboBox* cboChannels = nullptr;
    QLineEdit* txtOutputFolder = nullptr;
    QPushButton* cmdSaveTo = nullptr;
    QComboBox* cboOutputFormat = nullptr;
    QCheckBox* chkAutoOpen = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The window's own keys; a control with the focus gets each key first and keeps its own.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createWorkPage(QWidget* page);
    void createSettingsPage(QWidget* page);
    void createBottomRow();
    void Form_Load();
    void ApplySkin();
    void SetupCommandBars();
    void restoreSettings();
    void connectSettingsHandlers();
    void Form_QueryUnload();
    void resetPointer();
    void connectHandlers();
    // Shortcuts, mnemonics, focus rules, tool tips and accessible names; once, after the
    // controls exist.
    void setupKeysAndAccess();
    // During a load or a save, Escape stops the run whichever object it was meant for; true
    // when the event was taken.
    bool stopKeyDuringRun(QEvent* event);
    // The status line's text; its accessible name follows it.
    void setStatusText(const QString& text);
    // The transcoder's reported progress (0 to 1) on the status bar.
    void showRunProgress(double fraction);
    void syncStatusName();
    bool takeIncomingWav();
    void keepPreviousFile(const QString& previousName, const QString& text);
    void abandonLoad(const QString& text, const QString& title);
    void setLoadControlsEnabled(bool enabled);
    void clearMarks();
    // The marked stretch is set and not empty.
    bool stretchMarked() const;
    // Where a selection's playback ends: the end mark, or the end of the data before it.
    std::uint64_t selectionEndBytes() const;
    // Moves playback to the second (clamped to the file) and shows it at once.
    void seekTo(double seconds);
    // After a seek: the slider and the time label show the new place, Play goes on from it.
    void showSeek();

    void enterSaving();
    void leaveSaving();
    void connectShareHandlers();

    bool m_loading = false;
    bool m_saving = false;
    // A close arrived during a load or a save: the run is stopped, and the window closes once
    // it has unwound, without the run's messages.
    bool m_closeRequested = false;
    void closeIfRequested();
    QList<bool> m_enabledBeforeSave;
};
