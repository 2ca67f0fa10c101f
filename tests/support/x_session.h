// Helpers of the whole-program tests: the real program on the Xvfb display, its windows found,
// clicked, typed into and photographed as a person would see them.
#pragma once

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace xsession {

inline QString xdotool(const QStringList& args) {
    QProcess p;
    p.start("xdotool", args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}
inline void focus(const QString& window) {
    xdotool({"windowfocus", "--sync", window});
}
inline void typeText(const QString& text) {
    xdotool({"type", "--delay", "5", text});
}
inline void key(const QString& name) {
    xdotool({"key", name});
}
inline void click(const QString& window, QPoint at) {
    xdotool({"mousemove", "--window", window, QString::number(at.x()), QString::number(at.y())});
    xdotool({"click", "1"});
}

// The first visible window of the process with exactly that title, waiting up to ten seconds.
inline QString waitForWindow(qint64 pid, const QString& title, int tenths = 100) {
    for (int i = 0; i < tenths; ++i, QTest::qWait(100)) {
        const QString ids = xdotool({"search", "--all", "--onlyvisible", "--pid",
                                     QString::number(pid), "--name", "^" + title + "$"});
        if (!ids.isEmpty())
            return ids.section(u'\n', 0, 0);
    }
    return {};
}

// What the window shows now, read back through xwd.
inline QImage grab(const QString& window, const QString& workFolder) {
    const QString xwd = QDir(workFolder).filePath("grab.xwd");
    const QString png = QDir(workFolder).filePath("grab.png");
    QProcess::execute("xwd", {"-silent", "-id", window, "-out", xwd});
    QProcess::execute(
        "ffmpeg", {"-loglevel", "error", "-y", "-i", xwd, "-frames:v", "1", "-update", "1", png});
    return QImage(png);
}

// Kills the program when a check fails half-way, so that no instance outlives its test.
struct Reaper {
    QProcess& process;
    ~Reaper() {
        process.kill();
        process.waitForFinished(5000);
    }
};

// Presses Return in the program's box with that title until the box is gone.
inline bool answerBox(const QProcess& program, const QString& title) {
    const QString box = waitForWindow(program.processId(), title, 300);
    for (int i = 0; i < 20 && !box.isEmpty(); ++i, QTest::qWait(300)) {
        if (waitForWindow(program.processId(), title, 1).isEmpty())
            return true;
        focus(box);
        key("Return");
    }
    return false;
}

} // namespace xsession
