#include "cutter/run_notes.h"

QString doneNoteFor(const QByteArray& line) {
    if (line == "copied")
        return QStringLiteral("Copied without re-encoding.");
    return {};
}
