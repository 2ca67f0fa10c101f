// MP3 cuts from the source's own frames: plans on made-up streams, the record beside temp.wav, and
// LAME sources cut by codec.dll, judged by FFmpeg's decode against the source's and by the bytes.
#include "tests/support/test_support.h"
#include "transcoder/mp3_frames.h"
#include "transcoder/source_record.h"

#include <QFile>

using namespace transcoder;
using namespace testaudio;

namespace {
// The layout of ten frames whose main data begins that far back, each with 400 bytes of it.
mp3::Layout madeUp(bool mpeg1, const QList<int>& reservoir, int startSkip) {
    mp3::Layout layout;
    layout.format.mpeg1 = mpeg1;
    for (qsizetype i = 0; i < 10; ++i)
        layout.frames.push_back({i * 418, 418, int(reservoir.value(i)), 400});
    layout.startSkip = startSkip;
    layout.decodedEnd = 10 * layout.format.samples() - 500;
    return layout;
}

std::optional<mp3::Layout> scanFile(const QByteArray& bytes) {
    return mp3::scanConstantBitRate(
        bytes.size(), [&](std::int64_t at, std::uint8_t* to, std::size_t n) {
            const qsizetype got = std::min<qsizetype>(qsizetype(n), bytes.size() - qsizetype(at));
            std::copy_n(bytes.constData() + at, got, to);
            return std::int64_t(got);
        });
}
} // namespace

class TestMp3Copy : public testaudio::CodecTest {
    Q_OBJECT

private Q_SLOTS:
    // Frames [first, end), samples to skip and padding; {} where the cut cannot be copied.
    void plans_data() {
        columns<bool, QList<int>, int, qint64, qint64, QList<int>>(
            {"mpeg1", "reservoir", "startSkip", "begin", "end", "plan"});
        const auto row = [](const char* name, bool mpeg1, const QList<int>& reservoir,
                            int startSkip, qint64 begin, qint64 end, const QList<int>& plan) {
            QTest::newRow(name) << mpeg1 << reservoir << startSkip << begin << end << plan;
        };
        row("first frame", true, {}, 1105, 0, 1152, {0, 2, 1105, 47});
        row("overlap only", true, {}, 0, 5000, 6000, {3, 6, 1544, 912});
        row("reservoir in the frame before", true, {0, 0, 0, 300}, 0, 5000, 6000,
            {2, 6, 2696, 912});
        row("reservoir of a whole frame", true, {0, 0, 0, 400}, 0, 5000, 6000, {2, 6, 2696, 912});
        row("one byte further", true, {0, 0, 0, 401}, 0, 5000, 6000, {1, 6, 3848, 912});
        row("delay past 12 bits", true, {0, 0, 0, 801}, 0, 5000, 6000, {});
        row("end past the stream", true, {}, 0, 5000, qint64(1) << 40, {3, 10, 1544, 500});
        row("start past the stream", true, {}, 0, 20000, 30000, {});
        row("a silent frame in front", true, {}, 0, 100, 1000, {0, 1, 1252, 152});
        row("half-size frames", false, {}, 1105, 0, 576, {0, 3, 1105, 47});
        row("half-size frames, two for the overlap", false, {0, 0, 0, 100}, 0, 3000, 4000,
            {2, 7, 1848, 32});
    }
    void plans() {
        QFETCH(bool, mpeg1);
        QFETCH(QList<int>, reservoir);
        QFETCH(int, startSkip);
        QFETCH(qint64, begin);
        QFETCH(qint64, end);
        const auto plan = mp3::planCopy(madeUp(mpeg1, reservoir, startSkip), begin, end);
        const QList<int> got =
            plan ? QList{int(plan->first), int(plan->end), plan->skip, plan->padding}
                 : QList<int>{};
        QTEST(got, "plan");
    }

    // A record survives any path byte for byte; any damage makes it no record at all.
    void records() {
        const SourceRecord record{
            "/music/a\nb\xff\xfe.mp3", 129193, 1765190000123456789, 128000, 44100, 2, 1411244,
            0xfedcba9876543210};
        const std::string bytes = encodeSourceRecord(record);
        QCOMPARE(decodeSourceRecord(bytes), record);
        for (std::size_t at :
             {std::size_t(0), std::size_t(20), bytes.size() / 2, bytes.size() - 2}) {
            std::string damaged = bytes;
            damaged[at] ^= 0x04;
            QVERIFY2(!decodeSourceRecord(damaged), qPrintable(QString::number(at)));
            QVERIFY(!decodeSourceRecord(bytes.substr(0, at)));
        }
        QVERIFY(!decodeSourceRecord(bytes + "\n"));
    }

    // A LAME source, converted and cut with the window's lines: copied where its settings match,
    // decoded by FFmpeg to exactly the source's own samples of the stretch, from the source's
    // own bytes; encoded from temp.wav otherwise.
    void cuts_data() {
        // encoder: FFmpeg's options for the source; cut: -ss and -t in seconds; save: -ab, -ar,
        // -ac; spoil: what happens to the source or its record after the conversion.
        columns<QStringList, int, QList<int>, QList<int>, QString, bool>(
            {"encoder", "rate", "cut", "save", "spoil", "copied"});
        const auto cbr = [](int kbits, int channels) {
            return QStringList{"-ac", QString::number(channels), "-b:a", QString("%1k").arg(kbits)};
        };
        const auto row = [](const char* name, const QStringList& encoder, int rate,
                            const QList<int>& save, bool copied, const QList<int>& cut = {3, 2},
                            const QString& spoil = "") {
            QTest::newRow(name) << encoder << rate << cut << save << spoil << copied;
        };
        const QStringList noLame = cbr(128, 2) + QStringList{"-write_xing", "0"};
        row("128k 44100 joint stereo", cbr(128, 2), 44100, {128, 44100, 2}, true);
        row("320k 48000 stereo", cbr(320, 2), 48000, {320, 48000, 2}, true);
        row("32k 22050 mono", cbr(32, 1), 22050, {32, 22050, 1}, true);
        // Its reservoir reaches seven frames back here: more than 12 bits of delay.
        row("32k 44100 stereo, delay past 12 bits", cbr(32, 2), 44100, {32, 44100, 2}, false);
        row("from second 0", cbr(128, 2), 44100, {128, 44100, 2}, true, {0, 2});
        row("to the end", cbr(128, 1), 48000, {128, 48000, 1}, true, {6, 5});
        row("no LAME tag", noLame, 44100, {128, 44100, 2}, true);
        row("no LAME tag, from second 0", noLame, 44100, {128, 44100, 2}, true, {0, 2});
        row("tagged", cbr(128, 2) + QStringList{"-metadata", "title=Копия"}, 44100, {128, 44100, 2},
            true);
        row("VBR", {"-q:a", "4"}, 44100, {128, 44100, 2}, false);
        row("source changed", cbr(128, 2), 44100, {128, 44100, 2}, false, {3, 2}, "source");
        row("record damaged", cbr(128, 2), 44100, {128, 44100, 2}, false, {3, 2}, "record");
        row("other bit rate", cbr(128, 2), 44100, {192, 44100, 2}, false);
        row("other rate", cbr(128, 2), 44100, {128, 48000, 2}, false);
        row("other channels", cbr(128, 2), 44100, {128, 44100, 1}, false);
    }
    void cuts() {
        QFETCH(QStringList, encoder);
        QFETCH(int, rate);
        QFETCH(QList<int>, cut);
        QFETCH(QList<int>, save);
        QFETCH(QString, spoil);
        QFETCH(bool, copied);
        const QString folder = dir_.filePath(QTest::currentDataTag()), src = folder + "/in.mp3",
                      wav = folder + "/temp.wav", out = folder + "/out.mp3";
        QVERIFY(QDir().mkpath(folder));
        // A tone and noise, different in each channel, for 8 s.
        QVERIFY(tone(src, rate, 1, 8, encoder,
                     "0.4*sin(2*PI*1000*t)+0.2*random(0)|0.3*sin(2*PI*300*t)+0.3*random(1)"));
        QCOMPARE(run(kCodec, {"-i", src, "-f", "wav", wav}).exitCode, 0);
        QCOMPARE(QFile::exists(wav + ".source"), !encoder.contains("-q:a"));
        if (spoil == "source") { // the same size, touched a second later
            QFile f(src);
            QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(5000) && f.write("x", 1) == 1);
            f.close();
            f.setFileTime(f.fileTime(QFile::FileModificationTime).addSecs(1),
                          QFile::FileModificationTime);
        }
        if (spoil == "record")
            QVERIFY(QFile(wav + ".source").resize(QFile(wav + ".source").size() - 5));
        const auto time = [](int s) { return QString("00:00:%1").arg(s, 2, 10, QChar('0')); };
        const Run r = run(kCodec, {"-i", wav, "-t", time(cut[1]), "-ss", time(cut[0]), "-ab",
                                   QString::number(save[0]), "-ar", QString::number(save[1]), "-ac",
                                   QString::number(save[2]), out});
        QVERIFY(r.exitCode == 0);
        QCOMPARE(QString(r.output).split('\n').contains("copied"), copied);
        const QStringList title{
            "-v", "error", "-show_entries", "format_tags=title", "-of", "default=nw=1:nk=1", out};
        if (encoder.contains("-metadata")) // the tags travel into a copy as into an encode
            QCOMPARE(QString(run("ffprobe", title).output).trimmed(), "Копия");
        // The source's own decode over the stretch, against the cut's.
        const Audio whole = decode(src), mine = decode(out);
        const qsizetype from = cut[0] * save[1], to = std::min(cut[0] + cut[1], 8) * save[1];
        QCOMPARE(mine.frames(), to - from);
        if (!copied)
            return; // encoded: judged by the transcoder's signal suite
        QCOMPARE(mine.channels.size(), whole.channels.size());
        for (std::size_t c = 0; c < whole.channels.size(); ++c) {
            const auto mismatch = std::mismatch(mine.channels[c].begin(), mine.channels[c].end(),
                                                whole.channels[c].begin() + from);
            QVERIFY2(mismatch.first == mine.channels[c].end(),
                     qPrintable(QString("channel %1 differs from sample %2")
                                    .arg(c)
                                    .arg(mismatch.first - mine.channels[c].begin())));
        }
        // Every frame after the Xing/LAME frame is one of the source's, in the source's order.
        const QByteArray bytes = contents(out);
        const auto layout = scanFile(bytes);
        QVERIFY(layout && layout->info.present && layout->info.gapless);
        // A stretch from the start of a source without a LAME tag has a silent frame in front.
        const mp3::Frame& first = layout->frames.front();
        const bool silent =
            bytes.mid(first.offset + 4, first.bytes - 4).count('\0') == first.bytes - 4;
        QCOMPARE(silent, cut[0] == 0 && encoder.contains("-write_xing"));
        QVERIFY(contents(src).contains(bytes.mid(layout->frames[silent].offset)));
    }
};

QTEST_GUILESS_MAIN(TestMp3Copy)
#include "test_mp3_copy.moc"
