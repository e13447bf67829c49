// The replay walk: one call per decoded packet, then one more after the end.
#include "kestrix/packet_builder.h"
#include "kestrix/replay.h"

#include "test_bytes.h"

#include "suite_main.h"

#include <QtTest>

#include <vector>

using namespace kestrix;
using Bytes = std::vector<uint8_t>;

namespace {

// `count` packets, packet k with watchdog value 100 + k; `noise` bytes (no
// magic) in front of each.
Bytes Packets(int count, int noise)
{
    Bytes s;
    for (int k = 0; k < count; ++k) {
        s.insert(s.end(), std::size_t(noise), uint8_t(0x11));
        const Bytes p = PacketBuilder().option(17, le32Bytes(uint32_t(100 + k))).checksum().take();
        s.insert(s.end(), p.begin(), p.end());
    }
    s.insert(s.end(), std::size_t(noise), uint8_t(0x22));
    return s;
}

} // namespace

class TestReplay : public QObject {
    Q_OBJECT
private slots:
    void calls_data()
    {
        QTest::addColumn<int>("packets");
        QTest::addColumn<int>("noise");
        QTest::newRow("empty stream") << 0 << 0;
        QTest::newRow("noise only") << 0 << 40;
        QTest::newRow("one packet") << 1 << 0;
        QTest::newRow("three packets with noise") << 3 << 7;
    }
    void calls()
    {
        QFETCH(int, packets);
        QFETCH(int, noise);
        const Bytes s = Packets(packets, noise);
        NavdataDecoder d;
        d.state.Watchdog.watchdog = 7;
        int32_t cursor = 12345; // the walk always starts at offset 0

        std::vector<int32_t> cursors;
        std::vector<int32_t> watchdogs;
        ReplayStream(s, d, cursor, [&](int32_t next) {
            QCOMPARE(next, cursor);
            cursors.push_back(next);
            watchdogs.push_back(d.state.Watchdog.watchdog);
        });

        // One call per packet, each behind its packet, then the final one.
        QCOMPARE(int(cursors.size()), packets + 1);
        NavdataDecoder scratch;
        int32_t expected = 0;
        for (int k = 0; k < packets; ++k) {
            expected = DecodeNavdataPacket(s, expected, scratch);
            QCOMPARE(cursors[std::size_t(k)], expected);
            QCOMPARE(watchdogs[std::size_t(k)], 100 + k);
        }
        QCOMPARE(cursors.back(), -1);
        QCOMPARE(cursor, -1);
        // The final call sees the state of the last packet, unchanged.
        QCOMPARE(watchdogs.back(), packets ? 100 + packets - 1 : 7);
    }
};

KESTRIX_APPLESS_TEST(TestReplay)
#include "test_replay.moc"
