#include "cutter/export_command.h"

#include "base/format_time.h"

QString exportBaseName(const QString& path, QChar separator) {
    QString name = path;
    const qsizetype cut = std::max(name.lastIndexOf(separator), name.lastIndexOf(u'/'));
    name = name.mid(cut + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.left(dot);
}

QString exportOutputPath(const ExportRequest& request) {
    QString folder = request.outputFolder;
    if (!folder.endsWith(request.separator) && !folder.endsWith(u'/'))
        folder += request.separator;
    return folder + request.baseName + QStringLiteral("_cutted.") + request.formatText.toLower();
}

QString exportCommandLine(const ExportRequest& request) {
    const QChar q = u'"';
    const QString format = request.formatText.toLower();
    QString line = q + request.workingFolder + request.separator + QStringLiteral("coder.exe") + q +
                   QStringLiteral(" -i ") + q + request.workingFolder + request.separator +
                   QStringLiteral("temp.wav") + q + QStringLiteral(" -t ") +
                   FormatTime(request.selLengthSeconds) + QStringLiteral(" -ss ") +
                   FormatTime(request.selStartSeconds);
    if (format == u"amr")
        line += QStringLiteral(" -acodec amr_nb -ar 8000 -ab  12.2k -ac 1 ");
    else
        line += QStringLiteral(" -ab ") + request.bitrateText + QStringLiteral(" -ar ") +
                request.frequencyText + QStringLiteral(" -ac ") +
                QString::number(request.channelIndex + 1) + QStringLiteral(" ");
    return line + q + exportOutputPath(request) + q;
}
