// Begin Cut, End Cut and the random cut; the output folder chooser; the export of the marked
// stretch through the transcoder.
#include "app/form1.h"

#include "app/message_box.h"
#include "app/selection_slider.h"
#include "base/format_time.h"
#include "base/working_folder.h"
#include "cutter/coder_run.h"
#include "cutter/export_command.h"
#include "cutter/marks.h"
#include "cutter/mod_browse_folder.h"
#include "cutter/mod_shell32.h"
#include "cutter/output_checks.h"
#include "cutter/run_failure.h"
#include "cutter/run_notes.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace {

const QString kSaveFailed = QStringLiteral("Save Failed");

} // namespace

void Form1::cmdBeginCut_Click() {
    if (m_saving)
        return;
    bMarking = true;
    Slider1->setSelStart(Slider1->value());
    Slider1->setSelLength(0);
    lblBeginCut->setText(FormatTime(Slider1->value()));
    lblEndCut->setText(kUnsetTime);
    bBeginMarked = true;
    bEndMarked = false;
}

void Form1::cmdEndCut_Click() {
    if (m_saving)
        return;
    const int value = Slider1->value();
    if (bMarking) {
        const CutStretch stretch = endCutStretch(Slider1->selStart(), value);
        // Only an end before the begin moves the begin mark.
        if (stretch.beginSeconds != Slider1->selStart())
            lblBeginCut->setText(FormatTime(stretch.beginSeconds));
        Slider1->setSelStart(stretch.beginSeconds);
        Slider1->setSelLength(stretch.endSeconds - stretch.beginSeconds);
        lblEndCut->setText(FormatTime(stretch.endSeconds));
    } else {
        lblEndCut->setText(FormatTime(value));
    }
    bMarking = false;
    bEndMarked = true;
}

void Form1::clearMarks() {
    bMarking = false;
    bBeginMarked = false;
    bEndMarked = false;
    Slider1->setSelStart(0);
    Slider1->setSelLength(0);
    lblBeginCut->setText(kUnsetTime);
    lblEndCut->setText(kUnsetTime);
}

bool Form1::stretchMarked() const {
    return bBeginMarked && bEndMarked && Slider1->selLength() > 0;
}

std::int32_t Form1::RandomBetween(std::int32_t lowest, std::int32_t highest) {
    return randomBetween(lowest, highest);
}

void Form1::RandomCut() {
    if (m_saving)
        return;
    const CutStretch stretch =
        randomStretch(Slider1->maximum(), [this](std::int32_t lowest, std::int32_t highest) {
            return RandomBetween(lowest, highest);
        });
    Slider1->setSelStart(stretch.beginSeconds);
    Slider1->setSelLength(stretch.endSeconds - stretch.beginSeconds);
    lblBeginCut->setText(FormatTime(stretch.beginSeconds));
    lblEndCut->setText(FormatTime(stretch.endSeconds));
    bBeginMarked = true;
    bEndMarked = true;
}

void Form1::cmdSaveTo_Click() {
    QString folder = BrowseForFolder(this, QStringLiteral("Save images to this folder"),
                                     chooserStartFolder(txtOutputFolder->text()));
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    txtOutputFolder->setText(folder);
}

void Form1::enterSaving() {
    m_saving = true;
    m_enabledBeforeSave.clear();
    const QList<QWidget*> widgets{cmdBeginCut, cmdEndCut, TabControl1->widget(1)};
    for (QWidget* widget : widgets) {
        m_enabledBeforeSave << widget->isEnabled();
        widget->setEnabled(false);
    }
    for (QAction* action : {ctlOpenMediaFile, ctlRandomCut, ctlSaveCuttedAudio}) {
        m_enabledBeforeSave << action->isEnabled();
        action->setEnabled(false);
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setStatusText(QStringLiteral(" Saving...Please Wait."));
    ProgressBar1->setValue(ProgressBar1->maximum());
    QCoreApplication::processEvents();
}

void Form1::leaveSaving() {
    QApplication::restoreOverrideCursor();
    unsetCursor();
    setStatusText(QStringLiteral(" Ready"));
    ProgressBar1->setMaximum(100);
    ProgressBar1->setValue(0);
    const QList<QWidget*> widgets{cmdBeginCut, cmdEndCut, TabControl1->widget(1)};
    int i = 0;
    for (QWidget* widget : widgets)
        widget->setEnabled(m_enabledBeforeSave.value(i++, true));
    for (QAction* action : {ctlOpenMediaFile, ctlRandomCut, ctlSaveCuttedAudio})
        action->setEnabled(m_enabledBeforeSave.value(i++, true));
    m_saving = false;
    closeIfRequested();
}

void Form1::SaveCuttedAudio() {
    if (m_saving || m_loading)
        return;
    if (!QFile::exists(tempWavPath())) {
        showMessage(this, QStringLiteral("Please select first input audio file"), MsgExclamation,
                    QStringLiteral("Select Audio"));
        return;
    }
    if (!stretchMarked()) {
        showMessage(this,
                    QStringLiteral("Please specify a cut mark first.\r\n"
                                   "Just press the Begin Cut and End Cut buttons."),
                    MsgExclamation, QStringLiteral("Specify Cut Mark"));
        return;
    }
    enterSaving();
    struct Idle {
        Form1* window;
        ~Idle() { window->leaveSaving(); }
    } idle{this};

    ExportRequest request;
    request.workingFolder = workingFolder();
    request.separator = QDir::separator();
    request.selStartSeconds = Slider1->selStart();
    request.selLengthSeconds = Slider1->selLength();
    request.bitrateText = cboBitrate->currentText();
    request.frequencyText = cboFrequency->currentText();
    request.channelIndex = cboChannels->currentIndex();
    request.outputFolder = txtOutputFolder->text();
    request.baseName = exportBaseName(txtAudioFile->text(), QDir::separator());
    request.formatText = cboOutputFormat->currentText();
    if (request.baseName.isEmpty()) {
        showMessage(this, QStringLiteral("Invalid output path."), MsgExclamation,
                    QStringLiteral("Invalid Output"));
        return;
    }
    const QString outputPath = exportOutputPath(request);
    QString problem = outputProblem(outputFolderOf(outputPath), outputPath);
    if (!problem.isEmpty()) {
        showMessage(this, problem, MsgExclamation, kSaveFailed);
        return;
    }
    if (QFileInfo::exists(outputPath) &&
        !askYesNo(this,
                  QStringLiteral("%1 already exists. Do you want to replace it?")
                      .arg(QFileInfo(outputPath).fileName()),
                  MsgExclamation, QStringLiteral("Save Cutted Audio")))
        return;

    QString errorLine;
    QStringList reports; // how the transcoder made the file: settings replaced, a copy
    try {
        // A save long enough to report runs the bar; a short one keeps it full. Whatever ends
        // a run without success, nothing of it stays in the user's folder.
        const std::int32_t exitCode = runCoder(
            exportCommandLine(request), {outputPath}, &errorLine,
            [this](double fraction) { showRunProgress(fraction); }, &reports);
        if (exitCode == kShellWaitEnded) // stopped on purpose: nothing written, nothing to say
            return;
        if (exitCode != 0)
            problem = runFailureText(RunKind::Save, exitCode, errorLine);
        else if (!QFile::exists(outputPath))
            problem =
                QStringLiteral("Quillet couldn't save the cut: the transcoder wrote no file.");
    } catch (const std::exception& error) {
        problem = QString::fromStdString(error.what());
    }
    if (m_closeRequested)
        return;
    if (!problem.isEmpty()) {
        showMessage(this, problem, MsgCritical, kSaveFailed);
        return;
    }
    // Where no file manager opens the folder, the message still says where the file went; a
    // setting the format could not take is always told, on a line of its own. A copied MP3 is
    // said on a line of its own whenever the message shows.
    QString done = QStringLiteral("Done Saved at ") + txtOutputFolder->text();
    const bool amr = request.formatText.compare(u"amr", Qt::CaseInsensitive) == 0;
    const int rate = substitutedRate(reports, amr ? 8000 : request.frequencyText.toInt());
    bool replaced = false;
    for (const QString& report : reports) {
        if (const QString text = substitutionText(request.formatText, rate, report);
            !text.isEmpty()) {
            done += u'\n' + text;
            replaced = true;
        }
    }
    for (const QString& report : reports)
        if (const QString note = doneNoteFor(report.toUtf8()); !note.isEmpty())
            done += u'\n' + note;
    const bool opened = chkAutoOpen->isChecked() &&
                        QDesktopServices::openUrl(QUrl::fromLocalFile(txtOutputFolder->text()));
    if (!opened || replaced)
        showMessage(this, done, MsgInformation, QStringLiteral("Done Saved"));
}
