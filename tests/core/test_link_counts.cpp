// Link counts from packet numbers: a hand-made stream with a gap, a
// duplicate, a restart and a wrap, and hostile numbers.
#include "kestrix/link_counts.h"
#include "kestrix/packet_builder.h"

#include "suite_main.h"

#include <QtTest>

#include <vector>

using namespace kestrix;

namespace {

struct Step {
    uint32_t number;
    double seconds;
    double gap;     // Link.gap after it
    double missing; // Link.missing after it
    double rate;    // Link.rate after it
};

} // namespace

Q_DECLARE_METATYPE(std::vector<Step>)

class TestLinkCounts : public QObject {
    Q_OBJECT
private slots:
    void counts_data()
    {
        QTest::addColumn<std::vector<Step>>("steps");
        QTest::addColumn<qulonglong>("gaps");
        QTest::addColumn<qulonglong>("restarts");
        QTest::addColumn<qulonglong>("duplicates");
        QTest::addColumn<qulonglong>("longestGap");
        QTest::addColumn<double>("longestGapSeconds");

        QTest::newRow("gap, duplicate, restart, wrap")
            << std::vector<Step>{
                   {10, 1.0, 0, 0, 1},
                   {11, 1.1, 0, 0, 2},
                   {14, 1.4, 2, 2, 3},          // 12, 13 missing
                   {14, 1.4, 0, 2, 4},          // duplicate
                   {15, 1.5, 0, 2, 5},
                   {3, 1.6, 0, 2, 6},           // restart: backwards, no gap
                   {4, 2.55, 0, 2, 2},          // all but 1.6 left the last second
                   {0xFFFFFFFEu, 2.56, 0, 2, 3}, // backwards by 6: a restart too
                   {0xFFFFFFFFu, 2.57, 0, 2, 4},
                   {0, 2.58, 0, 2, 5},          // wrap: no gap
                   {3, 3.0, 2, 4, 5},           // 1, 2 missing across the wrap; 1.6 left
               }
            << qulonglong(2) << qulonglong(2) << qulonglong(1) << qulonglong(2) << 0.3; // the first of two equal gaps
        QTest::newRow("one packet") << std::vector<Step>{{7, 0.5, 0, 0, 1}} << qulonglong(0) << qulonglong(0)
                                    << qulonglong(0) << qulonglong(0) << 0.0;
        // Largest forward step still a gap; one more is a number that went
        // backwards. Time that goes backwards gives no negative seconds.
        QTest::newRow("jumps")
            << std::vector<Step>{{0, 5.0, 0, 0, 1},
                                 {0x80000000u, 4.0, 0, 0, 1},    // 2^31 ahead = behind: restart
                                 {0xFFFFFFFEu, 3.0, 2147483645.0, 2147483645.0, 1}}
            << qulonglong(1) << qulonglong(1) << qulonglong(0) << qulonglong(2147483645) << 0.0;
    }
    void counts()
    {
        QFETCH(std::vector<Step>, steps);
        QFETCH(qulonglong, gaps);
        QFETCH(qulonglong, restarts);
        QFETCH(qulonglong, duplicates);
        QFETCH(qulonglong, longestGap);
        QFETCH(double, longestGapSeconds);
        LinkCounter c;
        for (std::size_t k = 0; k < steps.size(); ++k) {
            const Step& s = steps[k];
            c.add(s.number, s.seconds);
            const LinkValues& v = c.values();
            QVERIFY2(v.packet == double(s.number) && v.gap == s.gap && v.missing == s.missing && v.rate == s.rate,
                     qPrintable(QString("step %1: packet %2 gap %3 missing %4 rate %5")
                                    .arg(k).arg(v.packet).arg(v.gap).arg(v.missing).arg(v.rate)));
        }
        const LinkSummary& sum = c.summary();
        QCOMPARE(sum.packets, uint64_t(steps.size()));
        QCOMPARE(sum.firstPacket, steps.front().number);
        QCOMPARE(sum.lastPacket, steps.back().number);
        QCOMPARE(sum.missing, uint64_t(steps.back().missing));
        QCOMPARE(sum.gaps, uint64_t(gaps));
        QCOMPARE(sum.restarts, uint64_t(restarts));
        QCOMPARE(sum.duplicates, uint64_t(duplicates));
        QCOMPARE(sum.longestGap, uint64_t(longestGap));
        QVERIFY(std::abs(sum.longestGapSeconds - longestGapSeconds) < 1e-9);
        QVERIFY(sum.longestGapSeconds >= 0);
        c.reset();
        QCOMPARE(c.summary().packets, uint64_t(0));
        QCOMPARE(c.values().missing, 0.0);
    }

    void silence()
    {
        LinkCounter c;
        c.add(1, 10.0);
        c.add(2, 10.5);
        c.addSilence(11.2);
        QCOMPARE(c.summary().silences, uint64_t(1));
        QCOMPARE(c.values().rate, 1.0); // only 10.5 is within the last second
        c.addSilence(12.0);
        QCOMPARE(c.values().rate, 0.0);
        c.add(3, 12.1);
        QCOMPARE(c.values().gap, 0.0);
        QCOMPARE(c.summary().silences, uint64_t(2));
    }

    // The number is read beside the decoder, at bytes 8..11 of the packet the
    // decoder would find; short packets have none.
    void readsTheNumber_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<int>("from");
        QTest::addColumn<qlonglong>("number"); // -1: none
        const std::vector<uint8_t> p = PacketBuilder(0x1234, 0xA1B2C3D4u).checksum().take();
        const QByteArray packet(reinterpret_cast<const char*>(p.data()), qsizetype(p.size()));
        QTest::newRow("at 0") << packet << 0 << qlonglong(0xA1B2C3D4u);
        QTest::newRow("behind noise") << QByteArray("\x01\x02\x03", 3) + packet << 0 << qlonglong(0xA1B2C3D4u);
        QTest::newRow("cut inside the number") << packet.left(11) << 0 << qlonglong(-1);
        QTest::newRow("cut behind the number") << packet.left(12) << 0 << qlonglong(0xA1B2C3D4u);
        QTest::newRow("no magic") << QByteArray(40, '\x11') << 0 << qlonglong(-1);
        QTest::newRow("from beyond the end") << packet << 500 << qlonglong(-1);
        QTest::newRow("negative") << packet << -3 << qlonglong(-1);
    }
    void readsTheNumber()
    {
        QFETCH(QByteArray, stream);
        QFETCH(int, from);
        QFETCH(qlonglong, number);
        const ByteSpan s(reinterpret_cast<const uint8_t*>(stream.constData()), std::size_t(stream.size()));
        const std::optional<uint32_t> n = PacketNumberFrom(s, from);
        QCOMPARE(n.has_value(), number >= 0);
        if (n)
            QCOMPARE(qlonglong(*n), number);
    }

    void keys()
    {
        for (int k = 0; k < kLinkKeyCount; ++k)
            QCOMPARE(int(*FindLinkKey(kLinkKeyNames[k])), k);
        QVERIFY(!FindLinkKey("Link.Packet"));
        QVERIFY(!FindLinkKey("Link.packet "));
        LinkValues v{1, 2, 3, 4};
        QCOMPARE(LinkValue(v, LinkKey::Packet), 1.0);
        QCOMPARE(LinkValue(v, LinkKey::Missing), 2.0);
        QCOMPARE(LinkValue(v, LinkKey::Gap), 3.0);
        QCOMPARE(LinkValue(v, LinkKey::Rate), 4.0);
    }
};

KESTRIX_APPLESS_TEST(TestLinkCounts)
#include "test_link_counts.moc"
