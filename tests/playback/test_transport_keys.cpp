// What the transport keys decide, needing no window: where each seek key lands, what Space presses.
#include "playback/transport_keys.h"
#include "tests/support/test_support.h"

class TestTransportKeys : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // From second `at` of a file of `length` seconds; -1: not a seek key.
    void seekKeys_data() {
        columns<Qt::Key, int, double, int>({"key", "at", "length", "second"});
        QTest::newRow("right") << Qt::Key_Right << 12 << 30.0 << 13;
        QTest::newRow("left") << Qt::Key_Left << 12 << 30.0 << 11;
        QTest::newRow("left at 0") << Qt::Key_Left << 0 << 30.0 << 0;
        QTest::newRow("right at the last") << Qt::Key_Right << 29 << 30.0 << 29;
        QTest::newRow("home") << Qt::Key_Home << 12 << 30.0 << 0;
        QTest::newRow("end of 30.0 s") << Qt::Key_End << 0 << 30.0 << 29;
        QTest::newRow("end of 30.4 s") << Qt::Key_End << 0 << 30.4 << 30;
        QTest::newRow("end of 0.5 s") << Qt::Key_End << 0 << 0.5 << 0;
        QTest::newRow("end of nothing") << Qt::Key_End << 0 << 0.0 << 0;
        QTest::newRow("up") << Qt::Key_Up << 12 << 30.0 << -1;
        QTest::newRow("space") << Qt::Key_Space << 12 << 30.0 << -1;
    }
    void seekKeys() {
        QFETCH(Qt::Key, key);
        QFETCH(int, at);
        QFETCH(double, length);
        QTEST(seekKeySecond(key, at, lastWholeSecond(length)), "second");
    }
    // Space pauses what plays (a stall too), resumes a paused selection to its end mark while
    // Play may be pressed, and plays otherwise.
    void space_data() {
        columns<bool, bool, bool, bool, SpaceAction>(
            {"playing", "paused", "selection", "enabled", "action"});
        using enum SpaceAction;
        QTest::newRow("playing") << true << false << false << true << Pause;
        QTest::newRow("a selection playing") << true << false << true << true << Pause;
        QTest::newRow("stopped") << false << false << false << true << Play;
        QTest::newRow("paused") << false << true << false << true << Play;
        QTest::newRow("a selection paused") << false << true << true << true << ResumeSelection;
        QTest::newRow("a selection paused, Play disabled")
            << false << true << true << false << Play;
        QTest::newRow("a selection stopped") << false << false << true << true << Play;
    }
    void space() {
        QFETCH(bool, playing);
        QFETCH(bool, paused);
        QFETCH(bool, selection);
        QFETCH(bool, enabled);
        QTEST(spaceAction(playing, paused, selection, enabled), "action");
    }
};

QTEST_APPLESS_MAIN(TestTransportKeys)
#include "test_transport_keys.moc"
