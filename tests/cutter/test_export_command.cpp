// The export's base name, output path and command line, on the worked example of a program folder
// C:\Cut, the file D:\in\live.set.mp3 and marks at 65 s and 95 s; the texts of failed runs.
#include "cutter/export_command.h"
#include "cutter/mod_shell32.h"
#include "cutter/run_failure.h"

#include <QTest>

class TestExportCommand : public QObject {
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
        for (const auto& [format, channelIndex, folder, options, path] : rows) {
            const ExportRequest request{"C:\\Cut", u'\\',        65,     30,   "192",
                                        "44100",   channelIndex, folder, base, format};
            QCOMPARE(exportCommandLine(request),
                     QString("\"C:\\Cut\\coder.exe\" -i \"C:\\Cut\\temp.wav\" -t 00:00:30 -ss "
                             "00:01:05%1 \"%2\"")
                         .arg(options, path));
            QCOMPARE(exportOutputPath(request), path);
        }
    }

    // A plain sentence on what happened, then the transcoder's reason or its exit code.
    void failureTexts() {
        QCOMPARE(runFailureText(RunKind::Save, 1, "codec: nothing to write: -t is 00:00:00"),
                 "The marked stretch is empty: set the End Cut after the Begin Cut.\n\ncodec: "
                 "nothing to write: -t is 00:00:00");
        QCOMPARE(runFailureText(RunKind::Save, 3, ""),
                 "Quillet couldn't save the cut.\n\nThe transcoder ended with exit code 3.");
        QCOMPARE(runFailureText(RunKind::Save, kShellStartFailed + 1, "codec: half a line"),
                 "The transcoder crashed while saving the cut.");
    }
};

QTEST_GUILESS_MAIN(TestExportCommand)
#include "test_export_command.moc"
