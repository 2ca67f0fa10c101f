// Helpers of the whole-program tests: the real program run in a program folder of its own on the
// Xvfb display, found, clicked, typed into and photographed as a person would see it.
#pragma once

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace xsession {

inline QString xdotool(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The visible windows of the process whose title matches the pattern.
inline QStringList windows(qint64 pid, const QString& pattern = QStringLiteral(".")) {
    const QString ids =
        xdotool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"), pattern});
    return ids.isEmpty() ? QStringList() : ids.split(QLatin1Char('\n'));
}

// The first visible window of the process with exactly that title, waiting up to ten seconds.
inline QString waitForWindow(qint64 pid, const QString& title, int tenths = 100) {
    for (int i = 0; i < tenths; ++i) {
        if (const QStringList ids = windows(pid, QStringLiteral("^%1$").arg(title)); !ids.isEmpty())
            return ids.first();
        QTest::qWait(100);
    }
    return {};
}

inline void click(const QString& window, QPoint at) {
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
             QString::number(at.x()), QString::number(at.y())});
    xdotool({QStringLiteral("click"), QStringLiteral("1")});
}

inline void focus(const QString& window) {
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
}

inline void typeText(const QString& text) {
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), text});
}

inline void key(const QString& name) {
    xdotool({QStringLiteral("key"), name});
}

// What the window shows now, read back through xwd.
inline QImage grab(const QString& window, const QString& workFolder) {
    const QString xwd = QDir(workFolder).filePath(QStringLiteral("grab.xwd"));
    const QString png = QDir(workFolder).filePath(QStringLiteral("grab.png"));
    QProcess::execute(QStringLiteral("xwd"), {QStringLiteral("-silent"), QStringLiteral("-id"),
                                              window, QStringLiteral("-out"), xwd});
    QProcess::execute(QStringLiteral("ffmpeg"),
                      {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                       QStringLiteral("-i"), xwd, QStringLiteral("-frames:v"), QStringLiteral("1"),
                       QStringLiteral("-update"), QStringLiteral("1"), png});
    QImage image(png);
    QFile::remove(xwd);
    QFile::remove(png);
    return image;
}

// Kills the program when a check fails half-way, so that no instance outlives its test.
struct Reaper {
    QProcess& process;
    ~Reaper() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

// Presses Return in the program's box with that title until the box is gone.
inline bool answerBox(const QProcess& program, const QString& title) {
    const QString box = waitForWindow(program.processId(), title, 300);
    if (box.isEmpty())
        return false;
    for (int i = 0; i < 20; ++i) {
        focus(box);
        key(QStringLiteral("Return"));
        QTest::qWait(300);
        if (windows(program.processId(), QStringLiteral("^%1$").arg(title)).isEmpty())
            return true;
    }
    return false;
}

} // namespace xsession
