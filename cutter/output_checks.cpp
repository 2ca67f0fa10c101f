#include "cutter/output_checks.h"

#include "cutter/mod_shell32.h"
#include "transcoder/platform.h"

#include <QFile>
#include <QFileInfo>

OutputFolder outputFolderOf(const QString& outputPath) {
    OutputFolder folder;
    folder.path = QFileInfo(outputPath).absolutePath();
    const QFileInfo info(folder.path);
    folder.isFolder = !folder.path.isEmpty() && info.exists() && info.isDir();
    folder.writable = info.isWritable();
    folder.maxNameBytes =
        transcoder::platform::maxNameBytes(QFile::encodeName(folder.path).toStdString());
    return folder;
}

QString outputProblem(const OutputFolder& folder, const QString& outputPath) {
    if (!folder.isFolder)
        return QStringLiteral("The output folder %1 does not exist. Please choose another one "
                              "on the Settings page.")
            .arg(folder.path);
    if (!folder.writable)
        return QStringLiteral("The output folder %1 cannot be written. Please choose another "
                              "one on the Settings page.")
            .arg(folder.path);
    const QString name = QFileInfo(outputPath).fileName();
    if (std::size_t(QFile::encodeName(name).size()) > folder.maxNameBytes)
        return QStringLiteral("The name of the cut is too long for the output folder, which takes "
                              "names of up to %1 bytes:\n%2\nPlease give the opened file a "
                              "shorter name.")
            .arg(folder.maxNameBytes)
            .arg(name);
    if (!fitsCommandLine(outputPath))
        return QStringLiteral("The output name %1 holds a double quote (\"), which the "
                              "transcoder cannot be given.")
            .arg(outputPath);
    return {};
}
