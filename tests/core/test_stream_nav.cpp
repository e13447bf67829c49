// Record navigation over an in-memory stream.
#include "kestrix/packet_builder.h"
#include "kestrix/stream_nav.h"

#include "test_bytes.h"

#include "suite_main.h"

#include <QtTest>

#include <vector>

using namespace kestrix;
using Bytes = std::vector<uint8_t>;

namespace {

// Packets, in order: untimed (watchdog 100), then timed 1.0, 2.0, 2.0, 3.5 s,
// each with a watchdog value 101.. so the decoded packet can be seen; then an
// untimed tail packet (watchdog 200).
Bytes fixture()
{
    Bytes s;
    auto add = [&](Bytes p) { s.insert(s.end(), p.begin(), p.end()); };
    add(PacketBuilder().option(17, le32Bytes(100)).checksum().take());
    const uint32_t times[] = {MakeTimeWord(1, 0), MakeTimeWord(2, 0), MakeTimeWord(2, 0),
                              MakeTimeWord(3, 500000)};
    int w = 101;
    for (uint32_t t : times)
        add(PacketBuilder().option(1, le32Bytes(t)).option(17, le32Bytes(uint32_t(w++))).checksum().take());
    add(PacketBuilder().option(17, le32Bytes(200)).checksum().take());
    return s;
}

} // namespace

class TestStreamNav : public QObject {
    Q_OBJECT
private slots:
    void byIndex_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("watchdog"); // packet the state shows
        QTest::addColumn<bool>("atEnd");   // cursor -1
        QTest::newRow("first record skips the untimed packet") << 0 << 0 << 101 << false;
        QTest::newRow("middle") << 2 << 2 << 103 << false;
        QTest::newRow("last") << 3 << 3 << 104 << false;
        QTest::newRow("beyond the last") << 4 << 3 << 200 << true;
        QTest::newRow("far below -1 walks everything") << -5 << 3 << 200 << true;
    }
    void byIndex()
    {
        QFETCH(int, n);
        QFETCH(int, result);
        QFETCH(int, watchdog);
        QFETCH(bool, atEnd);
        const Bytes s = fixture();
        NavdataDecoder d;
        int32_t cursor = 123;
        QCOMPARE(SeekRecordByIndex({s, d, cursor}, n), result);
        QCOMPARE(d.state.Watchdog.watchdog, watchdog);
        QCOMPARE(cursor < 0, atEnd);
        if (!atEnd)
            QVERIFY(cursor > 0 && cursor < int32_t(s.size()));
    }

    void minusOneDecodesNothing()
    {
        const Bytes s = fixture();
        NavdataDecoder d;
        d.state.Watchdog.watchdog = 7;
        int32_t cursor = 55;
        QCOMPARE(SeekRecordByIndex({s, d, cursor}, -1), -1);
        QCOMPARE(cursor, 0);
        QCOMPARE(d.state.Watchdog.watchdog, 7);
    }

    void byTime_data()
    {
        QTest::addColumn<double>("t");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("watchdog");
        QTest::newRow("zero decodes nothing") << 0.0 << -1 << 0;
        QTest::newRow("negative") << -1.0 << -1 << 0;
        QTest::newRow("tiny positive") << 1e-9 << 0 << 101;
        QTest::newRow("exact first") << 1.0 << 0 << 101;
        QTest::newRow("between takes the later") << 1.5 << 1 << 102;
        QTest::newRow("shared time takes the first") << 2.0 << 1 << 102;
        QTest::newRow("exact last") << 3.5 << 3 << 104;
        QTest::newRow("above every record") << 3.6 << -1 << 200;
    }
    void byTime()
    {
        QFETCH(double, t);
        QFETCH(int, result);
        QFETCH(int, watchdog);
        const Bytes s = fixture();
        NavdataDecoder d;
        int32_t cursor = 9;
        QCOMPARE(SeekRecordByTime({s, d, cursor}, t), result);
        QCOMPARE(d.state.Watchdog.watchdog, watchdog);
        if (t <= 0)
            QCOMPARE(cursor, 0);
    }

    void cumulativeState()
    {
        // A record that lacks an option shows it from the nearest earlier packet.
        Bytes s;
        auto add = [&](Bytes p) { s.insert(s.end(), p.begin(), p.end()); };
        add(PacketBuilder().option(1, le32Bytes(MakeTimeWord(1, 0))).option(26, le32Bytes(88)).checksum().take());
        add(PacketBuilder().option(1, le32Bytes(MakeTimeWord(2, 0))).checksum().take());
        NavdataDecoder d;
        int32_t cursor = 0;
        QCOMPARE(SeekRecordByIndex({s, d, cursor}, 1), 1);
        QCOMPARE(d.state.Wifi_stream.link_quality, 88u);
        QCOMPARE(d.recordTime, 2.0);
    }

    void emptyAndUntimedStreams()
    {
        NavdataDecoder d;
        int32_t cursor = 0;
        const Bytes empty;
        QCOMPARE(SeekRecordByIndex({empty, d, cursor}, 0), -1);
        QCOMPARE(cursor, -1);
        QCOMPARE(SeekRecordByTime({empty, d, cursor}, 1.0), -1);
        const Bytes untimed = PacketBuilder().option(17, le32Bytes(1)).checksum().take();
        QCOMPARE(SeekRecordByIndex({untimed, d, cursor}, 0), -1);
        QCOMPARE(SeekRecordByTime({untimed, d, cursor}, 0.5), -1);
    }
};

KESTRIX_APPLESS_TEST(TestStreamNav)
#include "test_stream_nav.moc"
