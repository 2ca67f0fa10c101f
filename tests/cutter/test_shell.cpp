// The export's command line, the runner that runs it without a shell, and the WAV conversion.
#include "audio/mod_cutter.h"
#include "base/working_folder.h"
#include "cutter/coder_run.h"
#include "cutter/export_command.h"
#include "cutter/mod_shell32.h"
#include "cutter/run_failure.h"
#include "tests/support/test_support.h"
#include "transcoder/exit_codes.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>

namespace {
// "test_shell --wait <line> <how> <pid file>" waits on the line as a window would and prints
// what the wait returned. Once the child has written its process id, "exit" tells the
// application's loops to exit and "stop" stops the run; "kill" waits to be killed.
int waitMode(char** argv) {
    const QString how = QString::fromLocal8Bit(argv[3]), pidFile = QString::fromLocal8Bit(argv[4]);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QFileInfo(pidFile).size() > 0 && how == "exit")
            QCoreApplication::exit(0);
        else if (QFileInfo(pidFile).size() > 0 && how == "stop")
            stopShellCommand();
    });
    poll.start(10);
    std::printf("%d\n", int{ShellAndWait(QString::fromLocal8Bit(argv[2]), SW_HIDE)});
    return 0;
}

// A process that exists and is not a zombie waiting for its parent.
bool running(qint64 pid) {
    const QByteArray line = testaudio::contents(QStringLiteral("/proc/%1/stat").arg(pid));
    return line.size() > 0 && line.at(line.lastIndexOf(')') + 2) != 'Z';
}
} // namespace

class TestShell : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void baseName() {
        QCOMPARE(exportBaseName("D:\\a\\b.c.d.wav", u'\\'), "b.c.d");
        QCOMPARE(exportBaseName("D:\\a\\noextension", u'\\'), "");
        QCOMPARE(exportBaseName("/home/a.b/song", u'/'), "");
    }
    // The output folder gets exactly one separator before the name.
    void commandLines() {
        const char* amr = " -acodec amr_nb -ar 8000 -ab  12.2k -ac 1";
        const std::tuple<const char*, int, const char*, const char*, const char*> rows[] = {
            {"MP3", 1, "D:\\Music\\", " -ab 192 -ar 44100 -ac 2", "D:\\Music\\live.set_cutted.mp3"},
            {"WMA", 0, "D:\\Music", " -ab 192 -ar 44100 -ac 1", "D:\\Music\\live.set_cutted.wma"},
            {"amr", 0, "D:/Music/", amr, "D:/Music/live.set_cutted.amr"}};
        const QString base = exportBaseName("D:\\in\\live.set.mp3", u'\\');
        const QString line =
            "\"C:\\Cut\\coder.exe\" -i \"C:\\Cut\\temp.wav\" -t 00:00:30 -ss 00:01:05%1 \"%2\"";
        for (const auto& [format, channelIndex, folder, options, path] : rows) {
            const ExportRequest request{"C:\\Cut", u'\\',        65,     30,   "192",
                                        "44100",   channelIndex, folder, base, format};
            QCOMPARE(exportCommandLine(request), line.arg(options, path));
            QCOMPARE(exportOutputPath(request), path);
        }
    }
    // The sentence follows the exit code alone, whatever the line says; the line follows as
    // detail, or the code when there is none. A replaced setting is worded from its report.
    void runTexts() {
        const QString detail = "codec: cannot write 'x'";
        QCOMPARE(runFailureText(RunKind::Save, int(transcoder::ExitCode::EmptyStretch), detail),
                 "The marked stretch is empty: set the End Cut after the Begin Cut.\n\n" + detail);
        QCOMPARE(runFailureText(RunKind::Save, 1, ""),
                 "Quillet couldn't save the cut.\n\nThe transcoder ended with exit code 1.");
        QCOMPARE(runFailureText(RunKind::Save, kShellStartFailed + 1, "codec: half a line"),
                 "The transcoder crashed while saving the cut.");
        const std::pair<const char*, const char*> reports[] = {
            {"substituted bitrate 16000 24000",
             "WMA at 8000 Hz holds at least 24 kbit/s: saved at 24 kbit/s."},
            {"substituted bitrate 13000 12200",
             "WMA at 8000 Hz holds at most 12.2 kbit/s: saved at 12.2 kbit/s."},
            {"substituted channels 6 2", "WMA can't be saved with 6 channels: saved with 2."},
            {"substituted volume 1 2", ""},
            {"substituted rate 8000", ""}};
        for (const auto& [report, text] : reports)
            QCOMPARE(substitutionText("WMA", 8000, report), QString(text));
        QCOMPARE(substitutedRate({"substituted rate 12050 12000"}, 12050), 12000);
    }
    // The exit code and the last line on standard error; no shell ever sees the line, and the
    // "progress" lines on standard output are handed on, held between 0 and 1.
    void runs_data() {
        columns<QString, int, QString, QList<double>>({"line", "exitCode", "error", "progress"});
        QTest::newRow("failure with a reason")
            << "/bin/sh -c \"echo first >&2; echo 'codec: no audio' >&2; exit 3\"" << 3
            << "codec: no audio" << QList<double>{};
        QTest::newRow("no shell") << "/bin/echo \"$(exit 5)\" ;exit 4" << 0 << ""
                                  << QList<double>{};
        QTest::newRow("progress") << "/bin/printf \"progress 0.25\\nnoise\\nprogress 7\\n\"" << 0
                                  << "" << QList<double>{0.25, 1};
        QTest::newRow("no program") << "\"/nowhere/coder.exe\" -i x" << int{kShellStartFailed}
                                    << "stale" << QList<double>{};
    }
    void runs() {
        QFETCH(QString, line);
        QString errorLine = "stale";
        QList<double> progress;
        QTEST(int{ShellAndWait(line, SW_HIDE, &errorLine, [&](double f) { progress << f; })},
              "exitCode");
        QTEST(errorLine, "error");
        QTEST(progress, "progress");
    }
    // The child of a wait never outlives it: the run stopped, the application's loops told to exit
    // (also when the child ignores SIGTERM), or the window killed outright.
    void nothingOutlivesTheWait_data() {
        columns<QString, QString>({"how", "trap"});
        QTest::newRow("stopped") << "stop" << QString();
        QTest::newRow("loops told to exit") << "exit" << QString();
        QTest::newRow("loops told to exit, SIGTERM ignored") << "exit" << QString("trap '' TERM; ");
        QTest::newRow("window killed") << "kill" << QString();
    }
    void nothingOutlivesTheWait() {
        QFETCH(QString, how);
        QFETCH(QString, trap);
        QTemporaryDir dir;
        const QString pidFile = dir.filePath("child.pid");
        QProcess window;
        const QString line = "/bin/sh -c \"" + trap + "echo $$ > " + pidFile + "; exec sleep 60\"";
        window.start(QCoreApplication::applicationFilePath(), {"--wait", line, how, pidFile});
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(pidFile).size() > 0; }, 10000));
        const qint64 pid = testaudio::contents(pidFile).trimmed().toLongLong();
        QVERIFY(pid > 0);
        const auto reap = qScopeGuard([pid] {
            if (running(pid))
                ::kill(pid_t(pid), SIGKILL);
        });
        if (how == "kill")
            window.kill();
        QVERIFY(window.waitForFinished(30000) || window.state() == QProcess::NotRunning);
        if (how != "kill")
            QCOMPARE(window.readAllStandardOutput().trimmed().toInt(), int{kShellWaitEnded});
        QVERIFY2(QTest::qWaitFor([pid] { return !running(pid); }, 10000), "the child still runs");
    }
    // The real transcoder converts into a path with blanks and non-ASCII letters, coder.exe there
    // only while it runs; a failure gives its reason; a name with a double quote never runs.
    void conversion() {
        QTemporaryDir dir;
        const QString source = dir.filePath("tôn é.wav"), output = dir.filePath("out put ü.wav");
        QVERIFY(testaudio::tone(source, 22050, 1, 0.5));
        QString errorLine;
        bool coderThere = false;
        const auto lookForCoder = [&](double) { coderThere = QFile::exists(coderPath()); };
        QCOMPARE(ConvertToWav(source, output, &errorLine, lookForCoder), 0);
        QVERIFY2(errorLine.isEmpty() && coderThere, qPrintable(errorLine));
        QCOMPARE(testaudio::decodedSeconds(output, 44100), 0.5);
        QVERIFY(!QFile::exists(coderPath()));
        QVERIFY(ConvertToWav(dir.filePath("missing.mp3"), output, &errorLine) != 0);
        QVERIFY2(errorLine.startsWith("codec: "), qPrintable(errorLine));
        QVERIFY(!QFile::exists(coderPath()));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, ConvertToWav("/tmp/a\"b.mp3", output));
        QVERIFY(!QFile::exists(coderPath()));
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 4 && qstrcmp(argv[1], "--wait") == 0)
        return waitMode(argv);
    TestShell test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_shell.moc"
