// The names a drop accepts and the open dialog's filter.
#pragma once

#include <QString>

inline const QString kOpenDialogTitle = QStringLiteral("Select Media File");

// Five entries of description and pattern, each showing one type only, in Qt's filter form.
QString openDialogFilter();

// Where the open dialog starts: the folder of the file last opened (the file box's text) when
// that folder still exists, else the home folder.
QString openDialogFolder(const QString& lastFile);

// A dropped name passes when, in any letter case, it ends in wav, wma, mp3, amr or flac; the dot
// before the extension is not looked at.
bool isAcceptedAudioName(const QString& name);
