#include "audio/media_selection.h"

#include <QDir>
#include <QFileInfo>

QString openDialogFilter() {
    return QStringLiteral("MP3 Files (*.mp3);;WMA Files (*.wma);;WAV Files (*.wav);;"
                          "AMR Files (*.amr);;Flac Files (*.flac)");
}

bool isAcceptedAudioName(const QString& name) {
    const QString lower = name.toLower();
    const QString last3 = lower.right(3);
    return last3 == u"wav" || last3 == u"wma" || last3 == u"mp3" || last3 == u"amr" ||
           lower.right(4) == u"flac";
}

QString openDialogFolder(const QString& lastFile) {
    // Before the first load the box holds a hint, not a path.
    const QFileInfo file(QDir::fromNativeSeparators(lastFile));
    return file.isAbsolute() && file.absoluteDir().exists() ? file.absolutePath()
                                                            : QDir::homePath();
}
