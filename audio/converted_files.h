// A conversion's files as one: the WAV file the transcoder writes and the companions it writes
// beside it (the source's tags, what the source was), removed and moved together so that a
// companion never outlives or misses its WAV file.
#pragma once

#include <QString>
#include <QStringList>

// The companions of the WAV file at wavPath: wavPath + ".tags", wavPath + ".source". The one
// list of them.
QStringList convertedCompanions(const QString& wavPath);

// Removes the WAV file and its companions; false when one of them stays.
bool removeConverted(const QString& wavPath);

// Where replaceConverted sets the files at wavPath aside while it replaces them.
QString convertedAside(const QString& wavPath);

// Puts the conversion at from in place of the one at to, companions with it; a companion that
// from lacks takes to's with it. The files at to are first set aside and only then replaced, so
// it works where a file cannot be renamed over (Windows), and a failure puts everything back.
bool replaceConverted(const QString& from, const QString& to);
