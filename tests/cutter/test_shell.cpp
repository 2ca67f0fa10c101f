// The process runner and the WAV conversion: the command line's split, exit codes, error lines,
// events during the wait, refused names, and coder.exe's life in the program folder.
#include "audio/mod_cutter.h"
#include "cutter/mod_shell32.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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

QTEST_GUILESS_MAIN(TestShell)
#include "test_shell.moc"
