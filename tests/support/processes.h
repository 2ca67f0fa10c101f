// What tests ask of the machine's processes.
#pragma once

#include <QDir>

namespace testprocess {

// True while some process's command line names text (a transcoder run on that file).
inline bool processNaming(const QString& text) {
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile cmdline("/proc/" + pid + "/cmdline");
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(text.toUtf8()))
            return true;
    }
    return false;
}

} // namespace testprocess
