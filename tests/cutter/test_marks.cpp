// The marks End Cut and Random Cut set, and the draw behind Random Cut, without a window.
#include "cutter/marks.h"
#include "tests/support/test_support.h"

#include <QSet>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace {
QString text(const CutStretch& stretch) {
    return QStringLiteral("%1-%2").arg(stretch.beginSeconds).arg(stretch.endSeconds);
}
} // namespace

class TestMarks : public QObject {
    Q_OBJECT
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
        QTest::newRow("six seconds at once") << 30 << QList{3, 9} << "3-9"
                                             << "1-30 3-30";
        QTest::newRow("five seconds drawn again") << 30 << QList{3, 8, 10, 16} << "10-16"
                                                  << "1-30 3-30 1-30 10-30";
        QTest::newRow("nothing drawn again") << 30 << QList{30, 30, 1, 30} << "1-30"
                                             << "1-30 30-30 1-30 1-30";
        QTest::newRow("shortest file that draws") << 7 << QList{1, 7} << "1-7"
                                                  << "1-7 1-7";
        QTest::newRow("6 s file, no draw") << 6 << QList<int>{} << "1-6"
                                           << "";
        QTest::newRow("2 s file") << 2 << QList<int>{} << "1-2"
                                  << "";
        QTest::newRow("1 s file") << 1 << QList<int>{} << "0-1"
                                  << "";
        QTest::newRow("empty file") << 0 << QList<int>{} << "0-0"
                                    << "";
    }
    void randomStretch() {
        QFETCH(int, lastSecond);
        QFETCH(QList<int>, draws);
        QStringList asked;
        CutStretch stretch;
        try {
            stretch = ::randomStretch(lastSecond, [&](std::int32_t lowest, std::int32_t highest) {
                asked << QStringLiteral("%1-%2").arg(lowest).arg(highest);
                if (draws.isEmpty())
                    throw std::runtime_error("more draws than the row gives");
                return draws.takeFirst();
            });
        } catch (const std::runtime_error& error) {
            QFAIL(qPrintable(asked.join(' ') + ": " + error.what()));
        }
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
        for (int i = 0; i < 1000; ++i) {
            const int drawn = randomBetween(1, 6);
            QVERIFY2(drawn >= 1 && drawn <= 6, qPrintable(QString::number(drawn)));
            seen << drawn;
        }
        QCOMPARE(seen.size(), 6);
        QSet<QString> stretches;
        for (int i = 0; i < 50; ++i) {
            const CutStretch stretch = ::randomStretch(30, randomBetween);
            QVERIFY2(stretch.beginSeconds >= 1 && stretch.endSeconds <= 30 &&
                         stretch.endSeconds - stretch.beginSeconds >= 6,
                     qPrintable(text(stretch)));
            stretches << text(stretch);
        }
        QVERIFY(stretches.size() > 10);
    }
};

QTEST_GUILESS_MAIN(TestMarks)
#include "test_marks.moc"
