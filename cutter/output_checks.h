// The checks on the output path before a save, so that a folder or a name that cannot take the cut
// is refused before anything is encoded: only the final rename would find out otherwise.
#pragma once

#include <QString>

#include <cstddef>

// What the disk says of the folder a cut goes to.
struct OutputFolder {
    QString path;
    bool isFolder = false; // exists, and is a folder
    bool writable = false;
    std::size_t maxNameBytes = 0; // the longest file name it takes, in bytes of the file system
};

// The folder of outputPath, as the disk finds it now.
OutputFolder outputFolderOf(const QString& outputPath);

// Why the cut cannot go to outputPath in that folder, in words for the user, or nothing when it
// can. The transcoder gets the path between double quotes, so the path cannot hold one.
QString outputProblem(const OutputFolder& folder, const QString& outputPath);
