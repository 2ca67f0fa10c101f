#include "cutter/run_notes.h"

#include "transcoder/exit_codes.h"

QString doneNoteFor(const QByteArray& line) {
    if (line == transcoder::kCopiedLine)
        return QStringLiteral("Copied without re-encoding.");
    return {};
}
