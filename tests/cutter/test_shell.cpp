// The process runner and the WAV conversion: the command line's split, exit codes, error lines,
// events during the wait, no process outliving the wait, refused names, and coder.exe's life in
// the program folder.
#include "audio/mod_cutter.h"
#include "cutter/mod_shell32.h"
#include "tests/support/test_audio.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

// The test program run as "test_shell --wait <line> [<quit-file>]" waits on the line with
// ShellAndWait and prints the result. With a quit file it tells the application's event loops
// to exit as soon as that file has content, while the child surely runs.
int waitMode(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTimer poll;
    if (argc > 3) {
        const QString quitFile = QString::fromLocal8Bit(argv[3]);
        QObject::connect(&poll, &QTimer::timeout, [quitFile] {
            if (QFileInfo(quitFile).size() > 0)
                QCoreApplication::exit(0);
        });
        poll.start(10);
    }
    std::printf("%d\n", int{ShellAndWait(QString::fromLocal8Bit(argv[2]), SW_HIDE)});
    return 0;
}

// A process that exists and is not a zombie waiting for a parent to collect it.
bool running(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && close + 2 < line.size() && line.at(close + 2) != 'Z';
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void split_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("quoted paths with blanks")
            << "\"/opt/a b/coder.exe\" -i \"/in/my song.mp3\" -f wav \"/out/temp.wav\""
            << QStringList{"/opt/a b/coder.exe", "-i", "/in/my song.mp3", "-f", "wav",
                           "/out/temp.wav"};
        QTest::newRow("double blanks give no empty argument")
            << "\"c\" -ab  12.2k -ac 1 \"" << QStringList{"c", "-ab", "12.2k", "-ac", "1", ""};
        QTest::newRow("quotes inside a word join it") << "a\"b c\"d e" << QStringList{"ab cd", "e"};
        QTest::newRow("non-ASCII") << QString::fromUtf8("\"/tmp/Grüße été.wav\"")
                                   << QStringList{QString::fromUtf8("/tmp/Grüße été.wav")};
        QTest::newRow("empty quotes") << "x \"\"" << QStringList{"x", ""};
        QTest::newRow("blank line") << "   " << QStringList{};
    }
    void split() {
        QFETCH(QString, line);
        QTEST(splitCommandLine(line), "arguments");
    }

    void exitCodes_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("errorLine");
        QTest::newRow("success") << "/bin/true" << 0 << "";
        QTest::newRow("failure with a reason")
            << "/bin/sh -c \"echo first >&2; echo 'codec: no audio stream' >&2; exit 3\"" << 3
            << "codec: no audio stream";
        // Text of a file name is never interpreted: no shell sees the line.
        QTest::newRow("no shell") << "/bin/echo \"$(exit 5)\" ;exit 4" << 0 << "";
    }
    void exitCodes() {
        QFETCH(QString, line);
        QString errorLine = QStringLiteral("stale");
        QTEST(int{ShellAndWait(line, SW_HIDE, &errorLine)}, "exitCode");
        QTEST(errorLine, "errorLine");
    }

    void failedStartIsNegative() {
        const std::int32_t result = ShellAndWait(QStringLiteral("\"/nowhere/coder.exe\" -i x"), 0);
        QVERIFY(result < 0);
        QCOMPARE(result & 0xFFFF0000, kShellStartFailed);
    }

    // Timers keep firing while the runner waits.
    void eventsRunWhileWaiting() {
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
        timer.start(10);
        QCOMPARE(ShellAndWait(QStringLiteral("/bin/sleep 0.4"), SW_HIDE), 0);
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
    }

    // The child of a wait never outlives it: not when the window is killed (SIGKILL, no
    // cleanup can run), and not when the application's event loops are told to exit.
    void nothingOutlivesTheWait_data() {
        QTest::addColumn<QString>("child");
        QTest::addColumn<bool>("windowKilled");
        const QString child = QStringLiteral("/bin/sh -c \"%1echo $$ > @; exec sleep 60\"");
        QTest::newRow("window killed") << child.arg(QString()) << true;
        QTest::newRow("loops told to exit") << child.arg(QString()) << false;
        QTest::newRow("loops told to exit, child ignores SIGTERM")
            << child.arg(QStringLiteral("trap '' TERM; ")) << false;
    }
    void nothingOutlivesTheWait() {
        QFETCH(QString, child);
        QFETCH(bool, windowKilled);
        QTemporaryDir dir;
        const QString pidFile = dir.filePath(QStringLiteral("child.pid"));
        child.replace(u'@', pidFile);
        QStringList args{QStringLiteral("--wait"), child};
        if (!windowKilled)
            args << pidFile;
        QProcess window;
        window.start(QCoreApplication::applicationFilePath(), args);
        QVERIFY(testaudio::waitFor([&] { return QFileInfo(pidFile).size() > 0; }, 10000));
        QFile file(pidFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const qint64 pid = file.readAll().trimmed().toLongLong();
        QVERIFY(pid > 0);
        // Whatever the outcome, the sleeper does not stay behind this test.
        const auto reap = qScopeGuard([pid] {
            if (running(pid))
                ::kill(static_cast<pid_t>(pid), SIGKILL);
        });

        if (windowKilled)
            window.kill();
        QVERIFY(window.waitForFinished(30000));
        if (!windowKilled)
            QCOMPARE(window.readAllStandardOutput().trimmed().toInt(), int{kShellWaitEnded});
        QVERIFY2(testaudio::waitFor([pid] { return !running(pid); }, 5000), "the child still runs");
    }

    void quotesAreRefused() {
        QVERIFY(fitsCommandLine(QStringLiteral("/a b/c.wav")));
        QVERIFY(!fitsCommandLine(QStringLiteral("/a/say \"hi\".wav")));
    }

    // The conversion through the real transcoder, into a path with blanks and non-ASCII letters,
    // leaves no coder.exe behind.
    void conversion() {
        QTemporaryDir dir;
        const QString source = dir.filePath(QString::fromUtf8("tôn é.wav"));
        QCOMPARE(QProcess::execute(
                     QStringLiteral("sox"),
                     {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("22050"),
                      QStringLiteral("-c"), QStringLiteral("1"), source, QStringLiteral("synth"),
                      QStringLiteral("0.5"), QStringLiteral("sine"), QStringLiteral("1000")}),
                 0);
        const QString output = dir.filePath(QString::fromUtf8("out put ü.wav"));
        QString errorLine;
        QCOMPARE(int{ConvertToWav(source, output, &errorLine)}, 0);
        QVERIFY2(errorLine.isEmpty(), qPrintable(errorLine));
        QCOMPARE(QFileInfo(output).size(), qint64{44 + 22050 * 4});
        QVERIFY(!QFile::exists(programFolderFile(QStringLiteral("coder.exe"))));
        QVERIFY(QFile::exists(programFolderFile(QStringLiteral("codec.dll"))));

        // A failing run reports the transcoder's reason and still removes coder.exe.
        const QString missing = dir.filePath(QStringLiteral("missing.mp3"));
        QVERIFY(ConvertToWav(missing, dir.filePath(QStringLiteral("x.wav")), &errorLine) != 0);
        QVERIFY(!errorLine.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.wav"))));
        QVERIFY(!QFile::exists(programFolderFile(QStringLiteral("coder.exe"))));
    }

    void conversionRefusesQuotesBeforeRunning() {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, ConvertToWav(QStringLiteral("/tmp/a\"b.mp3"),
                                                                  QStringLiteral("/tmp/out.wav")));
        QVERIFY(!QFile::exists(programFolderFile(QStringLiteral("coder.exe"))));
    }
};

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--wait") == 0)
        return waitMode(argc, argv);
    QCoreApplication app(argc, argv);
    TestShell test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_shell.moc"
