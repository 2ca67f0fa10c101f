// The export's pure pieces: the output's base name, its path, and the transcoder command line
// built piece by piece from the window's marks and settings.
#pragma once

#include <QChar>
#include <QString>

#include <cstdint>

// The file name of `path` (after its last separator; '/' always counts) without its last
// extension: "b.c.d" for "D:\a\b.c.d.wav", "" for a name without a dot.
QString exportBaseName(const QString& path, QChar separator);

struct ExportRequest {
    QString workingFolder; // where coder.exe and temp.wav are; without a trailing separator
    QChar separator;
    std::int32_t selStartSeconds = 0;
    std::int32_t selLengthSeconds = 0;
    QString bitrateText;
    QString frequencyText;
    int channelIndex = -1; // -1 when no channel entry is chosen
    QString outputFolder;  // with or without a final separator
    QString baseName;
    QString formatText; // "MP3", "WMA", "WAV" or "AMR"
};

// outputFolder, baseName, "_cutted." and the lower-cased format, with exactly one separator
// between the folder and the name.
QString exportOutputPath(const ExportRequest& request);

// The transcoder run that cuts the stretch out of temp.wav into the output path; AMR has fixed
// narrow-band settings of its own.
QString exportCommandLine(const ExportRequest& request);
