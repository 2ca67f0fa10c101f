// What the transport keys decide, needing no window: where each seek key lands and what Space
// presses.
#include "playback/transport_keys.h"
#include "tests/support/test_support.h"

class TestTransportKeys : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // From second `at` of a file of `length` seconds; -1: not a seek key.
    void seekKeys_data() {
        columns<int, int, double, int>({"key", "at", "length", "second"});
        const std::tuple<const char*, int, int, double, int> rows[] = {
            {"right", Qt::Key_Right, 12, 30, 13},
            {"left", Qt::Key_Left, 12, 30, 11},
            {"left at 0", Qt::Key_Left, 0, 30, 0},
            {"right at the last", Qt::Key_Right, 29, 30, 29},
            {"home", Qt::Key_Home, 12, 30, 0},
            {"end of 30.0 s", Qt::Key_End, 0, 30, 29},
            {"end of 30.4 s", Qt::Key_End, 0, 30.4, 30},
            {"end of 0.5 s", Qt::Key_End, 0, 0.5, 0},
            {"end of nothing", Qt::Key_End, 0, 0, 0},
            {"up", Qt::Key_Up, 12, 30, -1},
            {"space", Qt::Key_Space, 12, 30, -1}};
        for (const auto& [tag, key, at, length, second] : rows)
            QTest::newRow(tag) << key << at << length << second;
    }
    void seekKeys() {
        QFETCH(int, key);
        QFETCH(int, at);
        QFETCH(double, length);
        QTEST(seekKeySecond(key, at, lastWholeSecond(length)), "second");
    }

    // Space pauses what plays (a stall too), resumes a paused selection to its end mark while
    // Play may be pressed, and plays otherwise.
    void space_data() {
        columns<bool, bool, bool, bool, int>(
            {"playing", "paused", "selection", "enabled", "action"});
        const auto pause = int(SpaceAction::Pause), play = int(SpaceAction::Play),
                   resume = int(SpaceAction::ResumeSelection);
        QTest::newRow("playing") << true << false << false << true << pause;
        QTest::newRow("a selection playing") << true << false << true << true << pause;
        QTest::newRow("stopped") << false << false << false << true << play;
        QTest::newRow("paused") << false << true << false << true << play;
        QTest::newRow("a selection paused") << false << true << true << true << resume;
        QTest::newRow("a selection paused, Play disabled")
            << false << true << true << false << play;
        QTest::newRow("a selection stopped") << false << false << true << true << play;
    }
    void space() {
        QFETCH(bool, playing);
        QFETCH(bool, paused);
        QFETCH(bool, selection);
        QFETCH(bool, enabled);
        QTEST(int(spaceAction(playing, paused, selection, enabled)), "action");
    }
};

QTEST_APPLESS_MAIN(TestTransportKeys)
#include "test_transport_keys.moc"
