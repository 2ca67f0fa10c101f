#include "audio/mod_cutter.h"

#include "audio/converted_files.h"
#include "base/errors.h"
#include "base/local_path.h"
#include "base/working_folder.h"
#include "cutter/coder_run.h"

#include <QDir>
#include <QFile>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

QString quoted(const QString& text) {
    return u'"' + text + u'"';
}

// A link in the working folder to a file whose name holds bytes that are not UTF-8, for as long
// as the link object lives; any other name is used as it is.
class RawNameLink {
public:
    explicit RawNameLink(const QString& path) : m_path(path) {
#ifndef Q_OS_WIN
        if (!holdsRawBytes(path))
            return;
        m_path = sourceLinkIn(workingFolder());
        QFile::remove(m_path);
        if (::symlink(localBytesOf(path).constData(), QFile::encodeName(m_path).constData()) != 0)
            fail(QStringLiteral("Can't link %1 to %2.").arg(m_path, shownPath(path)));
        m_linked = true;
#endif
    }
    ~RawNameLink() {
        if (m_linked)
            QFile::remove(m_path);
    }
    RawNameLink(const RawNameLink&) = delete;
    RawNameLink& operator=(const RawNameLink&) = delete;
    const QString& path() const {
        return m_path;
    }

private:
    QString m_path;
    bool m_linked = false;
};

} // namespace

std::int32_t ConvertToWav(QString inputPath, QString outputPath, QString* errorLine,
                          const ShellProgress& onProgress) {
    for (const QString& path : {inputPath, outputPath})
        if (!fitsCommandLine(path))
            fail(QStringLiteral("The file name %1 holds a double quote (\"), which the "
                                "transcoder cannot be given. Please rename the file.")
                     .arg(path));
    // A name that is not UTF-8 cannot cross the command line as it is: the transcoder is given
    // a link to it, under a name of our own, for the run.
    const RawNameLink link(inputPath);
    const QString commandLine = quoted(coderPath()) + QStringLiteral(" -i ") + quoted(link.path()) +
                                QStringLiteral(" -f wav ") + quoted(outputPath);
    // The WAV file and its companions, each written under a temporary name of its own.
    return runCoder(commandLine, QStringList(outputPath) + convertedCompanions(outputPath),
                    errorLine, onProgress);
}
