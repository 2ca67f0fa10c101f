#include "cutter/coder_run.h"

#include "base/errors.h"
#include "base/working_folder.h"
#include "transcoder/output_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

QString programFolder() {
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString programFolderFile(const QString& name) {
    return programFolder() + QDir::separator() + name;
}

QString coderPath() {
    return workingFolder() + QDir::separator() + QStringLiteral("coder.exe");
}

void provideCoder() {
    const QString codec = programFolderFile(QStringLiteral("codec.dll"));
    const QString coder = coderPath();
    if (!QFile::exists(codec))
        fail(QStringLiteral("File not found: %1").arg(codec));
    if (QFile::exists(coder) && !QFile::remove(coder))
        fail(QStringLiteral("Can't replace %1").arg(coder));
    QFile source(codec);
    if (!source.copy(coder))
        fail(QStringLiteral("Can't copy %1 to %2: %3").arg(codec, coder, source.errorString()));
    QFile::setPermissions(coder, QFile::permissions(coder) | QFileDevice::ExeOwner |
                                     QFileDevice::ExeUser | QFileDevice::ReadOwner);
}

QStringList partFiles(const QString& outputPath) {
    const QFileInfo output(outputPath);
    const QDir folder = output.absoluteDir();
    // The transcoder's temporary is its own pattern with six characters in place of the Xs.
    const std::string pattern = transcoder::temporaryName(
        QFile::encodeName(output.fileName()).toStdString(),
        transcoder::platform::maxNameBytes(QFile::encodeName(folder.absolutePath()).toStdString()));
    const QString prefix = QFile::decodeName(QByteArray::fromStdString(pattern)).chopped(6);
    QStringList parts;
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (name.startsWith(prefix) && name.size() == prefix.size() + 6)
            parts << folder.filePath(name);
    return parts;
}

void removePartFiles(const QString& outputPath, const QStringList& before) {
    for (const QString& part : partFiles(outputPath))
        if (!before.contains(part))
            QFile::remove(part);
}

void removeCoder() {
    const QString coder = coderPath();
    if (QFile::exists(coder) && !QFile::remove(coder))
        fail(QStringLiteral("Can't delete %1").arg(coder));
}

std::int32_t runCoder(const QString& commandLine, const QStringList& writtenPaths,
                      QString* errorLine, const ShellProgress& onProgress, QStringList* reports) {
    provideCoder();
    QList<QStringList> before;
    for (const QString& path : writtenPaths)
        before << partFiles(path);
    const std::int32_t exitCode =
        ShellAndWait(commandLine, SW_HIDE, errorLine, onProgress, reports);
    if (exitCode != 0)
        for (qsizetype i = 0; i < writtenPaths.size(); ++i)
            removePartFiles(writtenPaths[i], before[i]);
    removeCoder();
    return exitCode;
}
