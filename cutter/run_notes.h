// What a finished save adds to its done message: the transcoder reports, on standard output
// beside its progress, how it made the file, and each such line becomes one sentence.
#pragma once

#include <QByteArray>
#include <QString>

// The sentence for one line of the transcoder's standard output, empty for progress and for
// any line it does not know ("copied": the MP3 cut was made from the source's own frames).
QString doneNoteFor(const QByteArray& line);
