#include "audio/mod_cutter.h"

#include "audio/converted_files.h"
#include "base/errors.h"
#include "cutter/coder_run.h"

namespace {

QString quoted(const QString& text) {
    return u'"' + text + u'"';
}

} // namespace

std::int32_t ConvertToWav(QString inputPath, QString outputPath, QString* errorLine,
                          const ShellProgress& onProgress) {
    for (const QString& path : {inputPath, outputPath})
        if (!fitsCommandLine(path))
            fail(QStringLiteral("The file name %1 holds a double quote (\"), which the "
                                "transcoder cannot be given. Please rename the file.")
                     .arg(path));
    const QString commandLine = quoted(coderPath()) + QStringLiteral(" -i ") + quoted(inputPath) +
                                QStringLiteral(" -f wav ") + quoted(outputPath);
    // The WAV file and its companions, each written under a temporary name of its own.
    return runCoder(commandLine, QStringList(outputPath) + convertedCompanions(outputPath),
                    errorLine, onProgress);
}
