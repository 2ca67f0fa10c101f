// File names as the system gives them, which on Linux are bytes and need not be UTF-8 (Latin-1
// names from old disks and archives). Such a name is carried in a QString losslessly: each byte
// that is not part of valid UTF-8 stands as the lone surrogate U+DC80 + byte, and turns back into
// that byte on the way out. Qt's own conversions would replace it for good.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// The name of these bytes, with the bytes that are not UTF-8 escaped.
QString pathFromLocalBytes(const QByteArray& bytes);
// The bytes of a name made by pathFromLocalBytes (any other name: its UTF-8).
QByteArray localBytesOf(const QString& path);
// True when the name holds escaped bytes, which Qt's file calls cannot reach.
bool holdsRawBytes(const QString& path);
// The name as a file manager shows it: each escaped byte as U+FFFD.
QString shownPath(const QString& path);

// The local file a URL names (a drop's, the command line's), its bytes kept.
QString localPathOf(const QUrl& url);
// The URL of the file at these bytes of an absolute path.
QUrl fileUrlOfBytes(const QByteArray& absolutePath);
