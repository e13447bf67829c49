// Packet format, decoder and option records.
#include "kestrix/decoder.h"
#include "kestrix/packet_builder.h"

#include "test_bytes.h"

#include "suite_main.h"

#include <QtTest>

#include <cstring>
#include <limits>
#include <vector>

using namespace kestrix;
using Bytes = std::vector<uint8_t>;

Q_DECLARE_METATYPE(Bytes)

namespace {

Bytes payload(std::size_t n, uint8_t first = 1)
{
    Bytes p(n);
    for (std::size_t i = 0; i < n; ++i)
        p[i] = uint8_t(first + i);
    return p;
}

Bytes timePacket(uint32_t word)
{
    return PacketBuilder().option(1, le32Bytes(word)).checksum().take();
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

bool sameState(const NavdataState& a, const NavdataState& b)
{
    return std::memcmp(&a, &b, sizeof(NavdataState)) == 0;
}

} // namespace

class TestDecoder : public QObject {
    Q_OBJECT
private slots:
    void timeWord_data()
    {
        QTest::addColumn<uint>("word");
        QTest::addColumn<double>("seconds");
        QTest::newRow("5 s 123456 us") << uint(MakeTimeWord(5, 123456)) << 5.123456;
        QTest::newRow("all ones") << 0xFFFFFFFFu << 2049.097151;
        QTest::newRow("rounding-sensitive word") << 0xFFABE5C7u << 2045.779719;
        QTest::newRow("zero") << 0u << 0.0;
        QTest::newRow("micros only") << 1u << 0.000001;
        QTest::newRow("micros beyond a second") << uint(MakeTimeWord(1, 1500000)) << 2.5;
    }
    void timeWord()
    {
        QFETCH(uint, word);
        QFETCH(double, seconds);
        QCOMPARE(NavdataTimeToSeconds(word), seconds); // exact: nearest double
    }

    void findPacketStart_data()
    {
        QTest::addColumn<Bytes>("stream");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("expected");
        const Bytes magic(std::begin(kNavdataMagic), std::end(kNavdataMagic));
        QTest::newRow("empty") << Bytes{} << 0 << -1;
        QTest::newRow("at start") << magic << 0 << 0;
        QTest::newRow("behind noise") << cat({{0x88, 0x77, 0x66, 0x00, 0x88}, magic}) << 0 << 5;
        QTest::newRow("magic cut by the end") << Bytes{0, 0x88, 0x77, 0x66} << 0 << -1;
        QTest::newRow("offset past the magic") << cat({magic, {0, 0}}) << 1 << -1;
        QTest::newRow("offset past the end") << magic << 10 << -1;
        QTest::newRow("negative offset") << magic << -3 << -1;
        QTest::newRow("largest offset") << magic << std::numeric_limits<int>::max() << -1;
        QTest::newRow("second of two") << cat({magic, magic}) << 1 << 4;
    }
    void findPacketStart()
    {
        QFETCH(Bytes, stream);
        QFETCH(int, offset);
        QFETCH(int, expected);
        QCOMPARE(FindPacketStart(stream, offset), expected);
    }

    void noMagicChangesNothing()
    {
        NavdataDecoder d;
        d.recordTime = 7.5;
        d.headerWord = 42;
        d.state.Demo.altitude = 3;
        const NavdataState before = d.state;
        const Bytes noise = {1, 2, 3, 0x88, 0x77, 0x66, 9, 0x88, 0x77};
        QCOMPARE(DecodeNavdataPacket(noise, 0, d), -1);
        QVERIFY(sameState(d.state, before));
        QCOMPARE(d.recordTime, 7.5);
        QCOMPARE(d.headerWord, 42u);
    }

    void noiseThenTwoPackets()
    {
        const Bytes first = PacketBuilder(0xABCD1234).option(1, le32Bytes(MakeTimeWord(5, 123456))).checksum().take();
        const Bytes second = PacketBuilder(0x00000002).option(1, le32Bytes(MakeTimeWord(6, 0))).checksum().take();
        const Bytes noise = {0x11, 0x88, 0x22};
        const Bytes stream = cat({noise, first, second});
        NavdataDecoder d;
        const int32_t end1 = DecodeNavdataPacket(stream, 0, d);
        QCOMPARE(end1, int32_t(noise.size() + first.size())); // behind the checksum option
        QCOMPARE(d.headerWord, 0xABCD1234u);
        QCOMPARE(d.recordTime, 5.123456);
        QCOMPARE(FindPacketStart(stream, end1), end1); // the second packet starts right there
        QCOMPARE(DecodeNavdataPacket(stream, end1, d), int32_t(stream.size()));
        QCOMPARE(d.headerWord, 2u);
        QCOMPARE(d.recordTime, 6.0);
        QCOMPARE(DecodeNavdataPacket(stream, int32_t(stream.size()), d), -1);
    }

    void laterTimeOptionDecides()
    {
        rec::Vision v{};
        v.time_capture = MakeTimeWord(9, 500000);
        NavdataDecoder d;
        const Bytes timeThenVision =
            PacketBuilder().option(1, le32Bytes(MakeTimeWord(5, 0))).record(13, v).checksum().take();
        DecodeNavdataPacket(timeThenVision, 0, d);
        QCOMPARE(d.recordTime, 9.5);
        const Bytes visionThenTime =
            PacketBuilder().record(13, v).option(1, le32Bytes(MakeTimeWord(5, 0))).checksum().take();
        DecodeNavdataPacket(visionThenTime, 0, d);
        QCOMPARE(d.recordTime, 5.0);
        // A packet without either leaves the time alone.
        const Bytes untimed = PacketBuilder().option(17, le32Bytes(3)).checksum().take();
        DecodeNavdataPacket(untimed, 0, d);
        QCOMPARE(d.recordTime, 5.0);
        QCOMPARE(d.state.Watchdog.watchdog, 3);
    }

    void gyrosOffsetsNeedSize16()
    {
        NavdataDecoder d;
        int shown = 0;
        d.onWrongSize = [&] { ++shown; };
        const Bytes good = payload(12, 0x10);
        const Bytes stream16 = PacketBuilder().option(4, good).option(17, le32Bytes(1)).checksum().take();
        DecodeNavdataPacket(stream16, 0, d);
        QVERIFY(std::memcmp(&d.state.Gyros_offsets, good.data(), 12) == 0);
        QCOMPARE(shown, 0);

        // Size 20: reported once, record unchanged, next option at start + 20.
        const NavdataState before = d.state;
        const Bytes stream20 =
            PacketBuilder().rawOption(4, 20, payload(16, 0x80)).option(17, le32Bytes(77)).checksum().take();
        QCOMPARE(DecodeNavdataPacket(stream20, 0, d), int32_t(stream20.size()));
        QCOMPARE(shown, 1);
        QCOMPARE(d.wrongSizeEvents, 1u);
        QVERIFY(std::memcmp(&d.state.Gyros_offsets, &before.Gyros_offsets, 12) == 0);
        QCOMPARE(d.state.Watchdog.watchdog, 77);
    }

    void unknownTagSkippedWhole()
    {
        NavdataDecoder d;
        const Bytes stream =
            PacketBuilder().rawOption(200, 12, payload(8, 0x88)).option(17, le32Bytes(5)).checksum().take();
        QCOMPARE(DecodeNavdataPacket(stream, 0, d), int32_t(stream.size()));
        QCOMPARE(d.state.Watchdog.watchdog, 5);
    }

    void fixedCopyLengthRunsOn()
    {
        // Demo of size 100: all 144 bytes are filled, the last 48 from what
        // follows; the next option is read at its start + 100.
        NavdataDecoder d;
        Bytes filler = payload(96, 1);
        const Bytes rest =
            PacketBuilder().option(17, le32Bytes(9)).rawOption(300, 40, payload(36, 0x40)).checksum().take();
        Bytes stream = PacketBuilder().rawOption(0, 100, filler).take();
        const std::size_t next = stream.size();
        stream.insert(stream.end(), rest.begin() + 16, rest.end()); // options only
        QCOMPARE(DecodeNavdataPacket(stream, 0, d), int32_t(stream.size()));
        const uint8_t* demo = reinterpret_cast<const uint8_t*>(&d.state.Demo);
        QVERIFY(std::memcmp(demo, filler.data(), 96) == 0);
        QVERIFY(std::memcmp(demo + 96, stream.data() + next, 48) == 0);
        QCOMPARE(d.state.Watchdog.watchdog, 9);
    }

    void longerOptionLeavesExtraUnread()
    {
        NavdataDecoder d;
        Bytes p = le32Bytes(0x01020304);
        p.resize(10, 0xEE);
        const Bytes stream = PacketBuilder().option(17, p).option(26, le32Bytes(55)).checksum().take();
        QCOMPARE(DecodeNavdataPacket(stream, 0, d), int32_t(stream.size()));
        QCOMPARE(d.state.Watchdog.watchdog, 0x01020304);
        QCOMPARE(d.state.Wifi_stream.link_quality, 55u);
    }

    void endOfData_data()
    {
        QTest::addColumn<Bytes>("stream");
        QTest::addColumn<int>("expected");
        const Bytes head = PacketBuilder().option(17, le32Bytes(4)).take();
        const int h = int(head.size());
        QTest::newRow("no checksum option") << head << h;
        QTest::newRow("1 stray byte") << cat({head, {0xFF}}) << h + 1;
        QTest::newRow("3 stray bytes") << cat({head, {0xFF, 0xFF, 0x08}}) << h + 3;
        // Discarded option whose size points past the end: the result lies there.
        QTest::newRow("size past the end")
            << cat({head, {200, 0, 0x00, 0x01}, {1, 2}}) << h + 256;
        // Checksum option cut short: its size still moves the position.
        QTest::newRow("checksum cut short") << cat({head, {0xFF, 0xFF, 8, 0}, {1}}) << h + 8;
        QTest::newRow("header only") << PacketBuilder().take() << 16;
        QTest::newRow("magic and part of header") << Bytes{0x88, 0x77, 0x66, 0x55, 1, 2} << 16;
    }
    void endOfData()
    {
        QFETCH(Bytes, stream);
        QFETCH(int, expected);
        NavdataDecoder d;
        const int32_t r = DecodeNavdataPacket(stream, 0, d);
        QCOMPARE(r, expected);
        QCOMPARE(d.state.Watchdog.watchdog, stream.size() > 16 ? 4 : 0);
        if (r > int(stream.size()))
            QCOMPARE(FindPacketStart(stream, r), -1);
    }

    void shortCopyFillsStartAndEnds()
    {
        NavdataDecoder d;
        std::memset(&d.state.Demo, 0xAA, sizeof(d.state.Demo));
        d.recordTime = 3.0;
        // Demo option claims 148 bytes but only 10 payload bytes remain.
        Bytes stream = PacketBuilder().rawOption(0, 148, payload(10, 1)).take();
        QCOMPARE(DecodeNavdataPacket(stream, 0, d), int32_t(stream.size()));
        const uint8_t* demo = reinterpret_cast<const uint8_t*>(&d.state.Demo);
        QCOMPARE(demo[0], uint8_t(1));
        QCOMPARE(demo[9], uint8_t(10));
        QCOMPARE(demo[10], uint8_t(0xAA)); // the rest keeps its old bytes

        // A short Time copy updates the record's first bytes but not the time.
        Bytes shortTime = PacketBuilder().rawOption(1, 8, Bytes{0x40, 0xE2}).take();
        QCOMPARE(DecodeNavdataPacket(shortTime, 0, d), int32_t(shortTime.size()));
        QCOMPARE(d.recordTime, 3.0);
        QCOMPARE(d.state.Time.time & 0xFFFFu, 0xE240u);
    }

    void sizeBelowHeaderEndsPacket_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("0") << 0;
        QTest::newRow("3") << 3;
    }
    void sizeBelowHeaderEndsPacket()
    {
        QFETCH(int, size);
        NavdataDecoder d;
        Bytes stream = PacketBuilder().rawOption(0, uint16_t(size), payload(144, 5)).take();
        const Bytes after = timePacket(MakeTimeWord(1, 0));
        stream.insert(stream.end(), after.begin(), after.end());
        const int32_t r = DecodeNavdataPacket(stream, 0, d);
        QCOMPARE(r, 16 + 4); // just behind the option's header
        QCOMPARE(d.state.Demo.ctrl_state, 0u); // nothing copied
        // The walk goes on and still finds the next packet.
        QCOMPARE(DecodeNavdataPacket(stream, r, d), int32_t(stream.size()));
        QCOMPARE(d.recordTime, 1.0);
    }

    void optionHeaderCounting()
    {
        std::vector<uint64_t> counts(65536);
        NavdataDecoder d;
        d.optionHeaderCounts = counts.data();
        const Bytes stream = PacketBuilder().option(0, payload(144)).rawOption(4, 20, payload(16))
                                 .rawOption(300, 4, {}).checksum().take();
        DecodeNavdataPacket(stream, 0, d);
        QCOMPARE(counts[0], 1u);
        QCOMPARE(counts[4], 1u);
        QCOMPARE(counts[300], 1u);
        QCOMPARE(counts[0xFFFF], 1u);
    }

    void fullPacketFillsEveryRecord()
    {
        NavdataState src;
        uint8_t* raw = reinterpret_cast<uint8_t*>(&src);
        for (std::size_t i = 0; i < sizeof src; ++i)
            raw[i] = uint8_t(i * 7 + 3);
        const Bytes packet = BuildFullPacket(src, 0x1234, 1);
        QCOMPARE(packet.size(), kFullPacketSize);
        NavdataDecoder d;
        QCOMPARE(DecodeNavdataPacket(packet, 0, d), int32_t(packet.size()));
        QVERIFY(sameState(d.state, src));
        QCOMPARE(d.recordTime, NavdataTimeToSeconds(src.Vision.time_capture));
    }

    void recordLayouts()
    {
        // Unaligned and signed reads straight from payload bytes.
        NavdataDecoder d;
        Bytes video(61, 0);
        video[1] = 0x78; video[2] = 0x56; video[3] = 0x34; video[4] = 0x12;
        Bytes magneto(71, 0);
        magneto[55] = 0xEF; magneto[56] = 0xBE; magneto[57] = 0xAD; magneto[58] = 0xDE;
        Bytes raw(46, 0);
        raw[0] = raw[1] = raw[6] = raw[7] = 0xFF;
        const Bytes stream = PacketBuilder().option(19, video).option(22, magneto).option(2, raw).checksum().take();
        const NavdataDecoder fresh;
        QCOMPARE(fresh.state.Demo.altitude, 0); // zero before any packet
        DecodeNavdataPacket(stream, 0, d);
        QCOMPARE(d.state.Video_stream.frame_size, 0x12345678u);
        QCOMPARE(d.state.Magneto.magneto_state, 0xDEADBEEFu);
        QCOMPARE(int(d.state.Raw_meas.raw_gyros[0]), -1);
        QCOMPARE(int(d.state.Raw_meas.raw_accs[0]), 65535);
        int total = 0;
        for (const RecordSlot& s : kRecordSlots)
            total += int(s.size);
        QCOMPARE(total, int(sizeof(NavdataState)));
    }
};

KESTRIX_APPLESS_TEST(TestDecoder)
#include "test_decoder.moc"
