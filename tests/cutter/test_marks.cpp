// The marks End Cut and Random Cut set, and the draw behind Random Cut, without a window.
#include "cutter/marks.h"
#include "tests/support/test_support.h"

#include <QSet>

#include <cmath>
#include <limits>
#include <stdexcept>

class TestMarks : public QObject {
    Q_OBJECT
    static QString text(const CutStretch& s) {
        return QStringLiteral("%1-%2").arg(s.beginSeconds).arg(s.endSeconds);
    }

private Q_SLOTS:
    void endCut_data() {
        columns<int, int, QString>({"begin", "end", "stretch"});
        QTest::newRow("end after begin") << 3 << 8 << "3-8";
        QTest::newRow("end before begin") << 8 << 3 << "3-8";
        QTest::newRow("end on begin") << 5 << 5 << "5-5";
        QTest::newRow("from second 0") << 0 << 4 << "0-4";
    }
    void endCut() {
        QFETCH(int, begin);
        QFETCH(int, end);
        QTEST(text(endCutStretch(begin, end)), "stretch");
    }
    // The draws are given in turn; "asked" lists the ranges they were asked for.
    void randomStretch_data() {
        columns<int, QList<int>, QString, QString>({"lastSecond", "draws", "stretch", "asked"});
        const std::tuple<const char*, int, QList<int>, const char*, const char*> rows[] = {
            {"six seconds at once", 30, {3, 9}, "3-9", "1-30 3-30"},
            {"five seconds drawn again", 30, {3, 8, 10, 16}, "10-16", "1-30 3-30 1-30 10-30"},
            {"nothing drawn again", 30, {30, 30, 1, 30}, "1-30", "1-30 30-30 1-30 1-30"},
            {"shortest file that draws", 7, {1, 7}, "1-7", "1-7 1-7"},
            {"6 s file, no draw", 6, {}, "1-6", ""},
            {"2 s file", 2, {}, "1-2", ""},
            {"1 s file", 1, {}, "0-1", ""},
            {"empty file", 0, {}, "0-0", ""}};
        for (const auto& [tag, lastSecond, draws, stretch, asked] : rows)
            QTest::newRow(tag) << lastSecond << draws << stretch << asked;
    }
    void randomStretch() {
        QFETCH(int, lastSecond);
        QFETCH(QList<int>, draws);
        QStringList asked;
        const auto draw = [&](std::int32_t lowest, std::int32_t highest) {
            asked << text({lowest, highest});
            if (draws.isEmpty()) // a draw past the row's ones would loop for ever
                throw std::runtime_error(qPrintable("more draws than given: " + asked.join(' ')));
            return draws.takeFirst();
        };
        CutStretch stretch;
        QVERIFY_THROWS_NO_EXCEPTION(stretch = ::randomStretch(lastSecond, draw));
        QTEST(text(stretch), "stretch");
        QTEST(asked.join(' '), "asked");
    }

    void scaledDraw_data() {
        const double belowOne = std::nextafter(1.0, 0.0);
        const int most = std::numeric_limits<std::int32_t>::max();
        columns<double, int, int, int>({"fraction", "lowest", "highest", "drawn"});
        QTest::newRow("0 is the lowest") << 0.0 << 1 << 30 << 1;
        QTest::newRow("below 1 is the highest") << belowOne << 1 << 30 << 30;
        QTest::newRow("a half") << 0.5 << 1 << 30 << 16;
        QTest::newRow("just below the second") << 1.0 / 30 - 1e-9 << 1 << 30 << 1;
        QTest::newRow("the second") << 1.0 / 30 << 1 << 30 << 2;
        QTest::newRow("below 1, never past the highest") << belowOne << 30 << 30 << 30;
        QTest::newRow("the widest range") << belowOne << 1 << most << most;
    }
    void scaledDraw() {
        QFETCH(double, fraction);
        QFETCH(int, lowest);
        QFETCH(int, highest);
        QTEST(int(::scaledDraw(fraction, lowest, highest)), "drawn");
    }
    // The real generator: every value of the range comes, none outside it, and Random Cut's
    // stretches differ from one press to the next.
    void randomDraws() {
        QSet<int> seen;
        for (int i = 0; i < 1000; ++i)
            seen << randomBetween(1, 6);
        QCOMPARE(seen, QSet<int>({1, 2, 3, 4, 5, 6}));
        QSet<QString> stretches;
        for (int i = 0; i < 50; ++i) {
            const auto [begin, end] = ::randomStretch(30, randomBetween);
            QVERIFY2(begin >= 1 && end <= 30 && end - begin >= 6, qPrintable(text({begin, end})));
            stretches << text({begin, end});
        }
        QVERIFY(stretches.size() > 10);
    }
};

QTEST_GUILESS_MAIN(TestMarks)
#include "test_marks.moc"
