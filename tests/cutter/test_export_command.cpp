// The export's base name, output path and command lines, against the worked examples; and the
// share addresses.
#include "app/product.h"
#include "cutter/export_command.h"
#include "cutter/mod_shell32.h"
#include "cutter/run_failure.h"
#include "share/share_links.h"

#include <QTest>

namespace {

// The worked example: program folder C:\Cut, output folder D:\Music\, marks at 65 s and 95 s.
ExportRequest example(const QString& format) {
    ExportRequest request;
    request.workingFolder = QStringLiteral("C:\\Cut");
    request.separator = u'\\';
    request.selStartSeconds = 65;
    request.selLengthSeconds = 30;
    request.bitrateText = QStringLiteral("192");
    request.frequencyText = QStringLiteral("44100");
    request.channelIndex = 1;
    request.outputFolder = QStringLiteral("D:\\Music\\");
    request.baseName = exportBaseName(QStringLiteral("D:\\in\\live.set.mp3"), u'\\');
    request.formatText = format;
    return request;
}

} // namespace

class TestExportCommand : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void baseName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("baseName");
        QTest::newRow("inner dots") << "D:\\a\\b.c.d.wav" << QChar(u'\\') << "b.c.d";
        QTest::newRow("no dot") << "D:\\a\\noextension" << QChar(u'\\') << "";
        QTest::newRow("dot in a folder only") << "/home/a.b/song" << QChar(u'/') << "";
        QTest::newRow("platform path") << "/home/me/My Song.flac" << QChar(u'/') << "My Song";
        QTest::newRow("leading dot") << "/home/me/.wav" << QChar(u'/') << "";
    }
    void baseName() {
        QFETCH(QString, path);
        QFETCH(QChar, separator);
        QTEST(exportBaseName(path, separator), "baseName");
    }

    void commandLines_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("channelIndex");
        QTest::addColumn<QString>("line");
        const QString head = QStringLiteral(
            "\"C:\\Cut\\coder.exe\" -i \"C:\\Cut\\temp.wav\" -t 00:00:30 -ss 00:01:05");
        QTest::newRow("MP3 stereo")
            << "MP3" << 1 << head + " -ab 192 -ar 44100 -ac 2 \"D:\\Music\\live.set_cutted.mp3\"";
        QTest::newRow("WMA mono")
            << "WMA" << 0 << head + " -ab 192 -ar 44100 -ac 1 \"D:\\Music\\live.set_cutted.wma\"";
        QTest::newRow("WAV, no channel chosen")
            << "WAV" << -1 << head + " -ab 192 -ar 44100 -ac 0 \"D:\\Music\\live.set_cutted.wav\"";
        QTest::newRow("AMR") << "AMR" << 1
                             << head + " -acodec amr_nb -ar 8000 -ab  12.2k -ac 1 "
                                       "\"D:\\Music\\live.set_cutted.amr\"";
        QTest::newRow("amr in lower case") << "amr" << 0
                                           << head + " -acodec amr_nb -ar 8000 -ab  12.2k -ac 1 "
                                                     "\"D:\\Music\\live.set_cutted.amr\"";
    }
    void commandLines() {
        QFETCH(QString, format);
        QFETCH(int, channelIndex);
        ExportRequest request = example(format);
        request.channelIndex = channelIndex;
        QTEST(exportCommandLine(request), "line");
    }

    // Exactly one separator between the folder and the name, whether the folder ends in one.
    void folderAndNameJoined_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("path");
        QTest::newRow("no final separator") << "D:\\Music"
                                            << "D:\\Music\\live.set_cutted.mp3";
        QTest::newRow("final separator") << "D:\\Music\\"
                                         << "D:\\Music\\live.set_cutted.mp3";
        QTest::newRow("final slash") << "D:/Music/"
                                     << "D:/Music/live.set_cutted.mp3";
    }
    void folderAndNameJoined() {
        ExportRequest request = example(QStringLiteral("MP3"));
        QFETCH(QString, folder);
        request.outputFolder = folder;
        QTEST(exportOutputPath(request), "path");
    }

    // A failed run reads as a plain sentence, with the transcoder's reason after it.
    void failureTexts_data() {
        QTest::addColumn<bool>("open");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("text");
        QTest::newRow("no sound") << true << 1 << "codec: no audio stream in '/a.mp3'"
                                  << "Quillet can't open this file: it holds no sound it can "
                                     "read.\n\ncodec: no audio stream in '/a.mp3'";
        QTest::newRow("empty stretch")
            << false << 1 << "codec: nothing to write: -t is 00:00:00"
            << "The marked stretch is empty: set the End Cut after the Begin Cut.\n\ncodec: "
               "nothing to write: -t is 00:00:00";
        QTest::newRow("no reason") << false << 3 << ""
                                   << "Quillet couldn't save the cut.\n\nThe transcoder ended "
                                      "with exit code 3.";
        QTest::newRow("crash") << true << int(kShellStartFailed + 1) << "codec: half a line"
                               << "The transcoder crashed while opening this file.";
        QTest::newRow("no start") << false << int(kShellStartFailed) << ""
                                  << "The transcoder could not be started.";
    }
    void failureTexts() {
        QFETCH(bool, open);
        QFETCH(int, exitCode);
        QFETCH(QString, line);
        QTEST(runFailureText(open ? RunKind::Open : RunKind::Save, exitCode, line), "text");
    }

    void shareAddresses_data() {
        QTest::addColumn<int>("link");
        QTest::addColumn<QString>("address");
        const QString d = kProductDomain;
        QTest::newRow("Facebook") << int(ShareLink::Facebook)
                                  << "http://" + kFacebookHost +
                                         "/sharer/sharer.php?u=http%3A%2F%2F" + d;
        QTest::newRow("Twitter") << int(ShareLink::Twitter)
                                 << "https://" + kTwitterHost +
                                        "/home?status=Quillet%20-%20http://" + d;
        QTest::newRow("Delicious")
            << int(ShareLink::Delicious)
            << "https://" + kDeliciousHost + "/login?lo_action=save&next=http%3A%2F%2F" +
                   kDeliciousHost + "%2Fpost%3Furl%3Dhttp%3A%2F%2F" + d +
                   "%26title%3DQuillet%3Flog%3Dout%26url%3Dhttp%253A%252F%252F" + d +
                   "%26title%3DQuillet";
        QTest::newRow("Digg") << int(ShareLink::Digg)
                              << "http://" + kDiggHost + "/submit?phase=2&url=http://" + d +
                                     "&title=Quillet";
        QTest::newRow("StumbleUpon")
            << int(ShareLink::StumbleUpon)
            << "http://" + kStumbleUponHost + "/submit?url=http://" + d + "&title=Quillet";
        QTest::newRow("reddit") << int(ShareLink::Reddit)
                                << "http://" + kRedditHost + "/submit?url=http://" + d +
                                       "&title=Quillet";
        QTest::newRow("About") << int(ShareLink::About) << "http://" + d;
    }
    void shareAddresses() {
        QFETCH(int, link);
        QTEST(shareAddress(static_cast<ShareLink>(link)), "address");
    }
};

QTEST_GUILESS_MAIN(TestExportCommand)
#include "test_export_command.moc"
