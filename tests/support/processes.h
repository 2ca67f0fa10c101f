// What tests ask of the machine's processes.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>

namespace testprocess {

// True while some process's command line names text (a transcoder run on that file).
inline bool processNaming(const QString& text) {
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(text.toUtf8()))
            return true;
    }
    return false;
}

} // namespace testprocess
