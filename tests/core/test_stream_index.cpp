// The record index: its seeks against the plain walks from offset 0, over the
// stream in memory and over the same bytes read on demand from a file in
// chunks of many sizes (chunk boundaries inside packets, option headers and
// the bytes a record copy takes behind an option's end).
//
// Every comparison starts both decoders from the same non-zero state, so a
// seek that restores bytes the stream never wrote shows up as a difference.
#include "kestrix/find.h"
#include "kestrix/packet_builder.h"
#include "kestrix/replay.h"
#include "kestrix/stream_index.h"
#include "kestrix/stream_nav.h"
#include "kestrix/stream_reader.h"

#include "test_bytes.h"

#include "suite_main.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace kestrix;
using Bytes = std::vector<uint8_t>;

namespace {

// Weights of the packet kinds a stream is made of, and how its times run.
struct Mix {
    int full = 0;           // every record, Time and Vision
    int demo = 0;           // Demo and Time
    int untimed = 0;        // Watchdog and an unknown tag, no time
    int wrongSize = 0;      // Gyros_offsets with a size other than 16, then Time
    int visionLast = 0;     // Time then Vision: the Vision time decides
    int zeroTime = 0;       // a Time option holding 0: not a record
    int noise = 0;          // random bytes between packets
    int sizePastEnd = 0;    // an option whose size jumps into the packets behind
    int sizeBelowHeader = 0; // an option of size 0..3
    int backPercent = 0;    // times that go back
    int repeatPercent = 0;  // times that repeat the one before
    bool truncate = false;  // cut somewhere in the last packets, then a tail:
    int tail = -1;          // 0 none, 1 a size past the end, 2 a partial header
                            // word, 3 a partial Demo option; -1 any of them
};

Mix EveryKind(bool truncate)
{
    return {.full = 1, .demo = 4, .untimed = 3, .wrongSize = 2, .visionLast = 2, .zeroTime = 1, .noise = 2,
            .sizePastEnd = 1, .sizeBelowHeader = 1, .backPercent = 20, .repeatPercent = 15, .truncate = truncate};
}

// The link counts at each record, as the find walk counts them.
std::vector<LinkValues> LinksOfTheWalk(const Bytes& s)
{
    std::vector<LinkValues> links;
    NavdataDecoder d;
    LinkCounter link;
    WalkPackets(ByteSpan(s), d, &link, [&](bool isRecord, double, auto) {
        if (isRecord)
            links.push_back(link.values());
    });
    return links;
}

// A stream from `mix` and `seed`: the same bytes everywhere (raw engine
// output only, no library distributions).
Bytes MakeStream(const Mix& mix, uint32_t seed, int packets)
{
    std::mt19937 rng(seed);
    auto below = [&](uint32_t n) { return n ? uint32_t(rng() % n) : 0u; };
    // Mostly zero bytes, so that option headers read from inside a payload
    // (behind a size that jumps) soon end the packet instead of jumping on
    // by up to 64 kB; some small values, now and then any byte.
    auto anyByte = [&] {
        const uint32_t r = below(64);
        return r == 0 ? uint8_t(rng()) : r < 16 ? uint8_t(rng() & 0x0F) : uint8_t(0);
    };
    NavdataState st{};
    auto* raw = reinterpret_cast<uint8_t*>(&st);
    for (std::size_t i = 0; i < sizeof st; ++i)
        raw[i] = anyByte();

    const int weights[] = {mix.full,        mix.demo,        mix.untimed,
                           mix.wrongSize,   mix.visionLast,  mix.zeroTime,
                           mix.noise,       mix.sizePastEnd, mix.sizeBelowHeader};
    int total = 0;
    for (int w : weights)
        total += w;

    uint64_t micros = 1000000;
    Bytes s;
    for (int k = 0; k < packets && total > 0; ++k) {
        const uint32_t roll = below(100);
        if (roll < uint32_t(mix.backPercent))
            micros -= std::min<uint64_t>(micros - 1, 1 + below(50000));
        else if (roll >= uint32_t(mix.backPercent + mix.repeatPercent))
            micros += 1 + below(20000);
        const uint32_t time = MakeTimeWord(uint32_t(micros / 1000000) & 0x7FF, uint32_t(micros % 1000000));
        for (int j = 0; j < 6; ++j)
            raw[below(sizeof st)] = anyByte();
        st.Time.time = time;
        st.Vision.time_capture = time + below(3) * 1000;
        const uint32_t header = rng();

        int pick = int(below(uint32_t(total)));
        int kind = 0;
        while (pick >= weights[kind])
            pick -= weights[kind++];
        Bytes p;
        switch (kind) {
        case 0: p = BuildFullPacket(st, header, uint32_t(k)); break;
        case 1: p = BuildDemoPacket(st, header, uint32_t(k)); break;
        case 2: {
            Bytes junk(below(40));
            for (uint8_t& b : junk)
                b = uint8_t(rng());
            p = PacketBuilder(header).option(17, le32Bytes(rng())).option(200, junk).checksum().take();
            break;
        }
        case 3: {
            static const std::size_t payloads[] = {0, 8, 16, 96}; // sizes 4, 12, 20, 100
            const Bytes gyros(payloads[below(4)], uint8_t(rng()));
            p = PacketBuilder(header).option(4, gyros).record(st, 1).checksum().take();
            break;
        }
        case 4: p = PacketBuilder(header).record(st, 1).record(st, 0).record(st, 13).checksum().take(); break;
        case 5: p = PacketBuilder(header).option(1, le32Bytes(0)).record(st, 22).checksum().take(); break;
        case 6:
            p.resize(1 + below(40));
            for (uint8_t& b : p)
                b = below(4) ? uint8_t(rng()) : 0x88;
            break;
        case 7: // lands somewhere in the packets behind
            p = PacketBuilder(header).record(st, 1).rawOption(200, uint16_t(100 + below(3000)), {}).checksum().take();
            break;
        default: p = PacketBuilder(header).record(st, 1).rawOption(uint16_t(below(30)), uint16_t(below(4)), {}).take(); break;
        }
        s.insert(s.end(), p.begin(), p.end());
    }
    if (!mix.truncate)
        return s;
    const int tail = mix.tail >= 0 ? mix.tail : int(below(4));
    // A cut packet in front would swallow the partial ones (its options run on
    // into their bytes), so those follow whole packets.
    if (!s.empty() && tail < 2)
        s.resize(s.size() - below(uint32_t(std::min<std::size_t>(s.size(), 3000))));
    Bytes last;
    switch (tail) {
    case 1: // a size pointing past the end
        last = PacketBuilder().record(st, 1).rawOption(200, 0xFFFF, {}).checksum().take();
        break;
    case 2: // a magic and part of the header word
        last = PacketBuilder(rng()).take();
        last.resize(5 + below(3));
        break;
    case 3: // cut inside a Demo option: the record is written in part
        last = PacketBuilder(rng()).record(st, 0).record(st, 1).take();
        last.resize(20 + 1 + below(142));
        break;
    default: break;
    }
    s.insert(s.end(), last.begin(), last.end());
    return s;
}

// The state a window has when it seeks: anything but zero.
NavdataDecoder PriorDecoder(uint32_t seed)
{
    NavdataDecoder d;
    std::mt19937 rng(seed ^ 0x5EEDu);
    auto* raw = reinterpret_cast<uint8_t*>(&d.state);
    for (std::size_t i = 0; i < sizeof d.state; ++i)
        raw[i] = uint8_t(rng());
    d.headerWord = rng();
    d.recordTime = 77.25;
    d.wrongSizeEvents = 5;
    return d;
}

// Everything a seek leaves behind, compared bit for bit.
struct Outcome {
    int32_t result;
    int32_t cursor;
    NavdataDecoder decoder;
    uint64_t wrongSizeCalls = 0;
};

std::string Difference(const Outcome& plain, const Outcome& fast)
{
    if (plain.result != fast.result)
        return "result " + std::to_string(plain.result) + " vs " + std::to_string(fast.result);
    if (plain.cursor != fast.cursor)
        return "cursor " + std::to_string(plain.cursor) + " vs " + std::to_string(fast.cursor);
    const auto* a = reinterpret_cast<const uint8_t*>(&plain.decoder.state);
    const auto* b = reinterpret_cast<const uint8_t*>(&fast.decoder.state);
    for (std::size_t i = 0; i < sizeof(NavdataState); ++i)
        if (a[i] != b[i])
            return "state byte " + std::to_string(i);
    if (plain.decoder.headerWord != fast.decoder.headerWord)
        return "headerWord";
    if (std::memcmp(&plain.decoder.recordTime, &fast.decoder.recordTime, sizeof(double)) != 0)
        return "recordTime " + std::to_string(plain.decoder.recordTime) + " vs "
            + std::to_string(fast.decoder.recordTime);
    if (plain.decoder.wrongSizeEvents != fast.decoder.wrongSizeEvents)
        return "wrongSizeEvents " + std::to_string(plain.decoder.wrongSizeEvents) + " vs "
            + std::to_string(fast.decoder.wrongSizeEvents);
    if (fast.wrongSizeCalls > plain.wrongSizeCalls)
        return "more onWrongSize calls than the plain walk";
    return {};
}

// Runs `seek(nav)` on a copy of `start`, with a cursor that is neither 0 nor -1.
template <class Seek>
Outcome Run(const Bytes& s, const NavdataDecoder& start, Seek seek)
{
    Outcome o{0, 999, start};
    o.decoder.onWrongSize = [&o] { ++o.wrongSizeCalls; };
    o.result = seek(StreamNavigation{s, o.decoder, o.cursor});
    o.decoder.onWrongSize = nullptr;
    return o;
}

// A plain and an indexed seek from the same state: what differs, or nothing.
template <class Plain, class Fast>
std::string Compare(const Bytes& s, const NavdataDecoder& start, Plain plainSeek, Fast fastSeek)
{
    return Difference(Run(s, start, plainSeek), Run(s, start, fastSeek));
}

// A seek through a reader, seen as a seek of the in-memory kind: the cursor
// goes back into the 32-bit one of the comparison (streams here are small).
template <class Seek>
auto OnDemand(StreamReader& reader, Seek seek)
{
    return [&reader, seek](StreamNavigation nav) {
        int64_t cursor = nav.cursor;
        const int32_t result = seek(RecordNavigation{reader, nav.decoder, cursor});
        nav.cursor = int32_t(cursor);
        return cursor == int64_t(nav.cursor) ? result : INT32_MIN;
    };
}

// `bytes` as a file of its own, opened for reading on demand.
std::shared_ptr<StreamFile> AsFile(const QTemporaryDir& dir, const Bytes& bytes)
{
    static int files = 0;
    const std::string path = dir.filePath(QStringLiteral("stream-%1.navdata").arg(files++)).toStdString();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) || std::fclose(f) != 0)
        qFatal("cannot write %s", path.c_str());
    std::string error;
    std::shared_ptr<StreamFile> file = StreamFile::Open(path, error);
    if (!file)
        qFatal("%s", error.c_str());
    return file;
}

// Times of the records in file order (the record test of the seeks).
std::vector<double> RecordTimes(const Bytes& s)
{
    std::vector<double> times;
    NavdataDecoder d;
    for (int32_t c = 0; c >= 0;) {
        d.recordTime = 0;
        c = DecodeNavdataPacket(s, c, d);
        if (d.recordTime > 0)
            times.push_back(d.recordTime);
    }
    return times;
}

// Times worth seeking: every record time, its neighbours, points between,
// and the odd ones.
std::vector<double> SeekTimes(const std::vector<double>& records)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    std::vector<double> t = {0.0, -0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), inf, -inf,
                             std::numeric_limits<double>::denorm_min(), 1e-9, 5000.0};
    for (std::size_t i = 0; i < records.size(); ++i) {
        t.push_back(records[i]);
        t.push_back(std::nextafter(records[i], inf));
        t.push_back(std::nextafter(records[i], -inf));
        if (i + 1 < records.size())
            t.push_back((records[i] + records[i + 1]) / 2);
    }
    return t;
}

} // namespace

Q_DECLARE_METATYPE(Mix)

class TestStreamIndex : public QObject {
    Q_OBJECT
private slots:
    void sameAsPlainWalks_data()
    {
        QTest::addColumn<Mix>("mix");
        QTest::addColumn<int>("packets");
        QTest::addColumn<uint32_t>("seed");
        QTest::newRow("empty stream") << Mix{} << 0 << 1u;
        QTest::newRow("rising times, full and demo packets") << Mix{.full = 1, .demo = 3} << 150 << 2u;
        QTest::newRow("demo packets only: the other records keep the window's values") << Mix{.demo = 1} << 200 << 3u;
        QTest::newRow("times going back and repeating")
            << Mix{.demo = 5, .visionLast = 2, .backPercent = 30, .repeatPercent = 30} << 200 << 4u;
        QTest::newRow("untimed runs, zero times and noise")
            << Mix{.demo = 1, .untimed = 6, .zeroTime = 1, .noise = 3} << 250 << 5u;
        QTest::newRow("Gyros_offsets of wrong sizes") << Mix{.full = 1, .demo = 3, .wrongSize = 3} << 150 << 6u;
        const Mix jumps{.demo = 6, .sizePastEnd = 1, .sizeBelowHeader = 2, .truncate = true};
        QTest::newRow("sizes past the end and below the header, truncated") << jumps << 200 << 7u;
        Mix tail = jumps;
        tail.tail = 2;
        QTest::newRow("ends in part of a header word") << tail << 100 << 8u;
        tail.tail = 3;
        QTest::newRow("ends inside a Demo option") << tail << 100 << 9u;
        // Only a first write can leave part of a record or of the header word
        // unwritten by the stream.
        QTest::newRow("a magic and part of a header word, nothing else")
            << Mix{.truncate = true, .tail = 2} << 0 << 1u;
        QTest::newRow("untimed packets, then part of the first Demo option")
            << Mix{.untimed = 1, .truncate = true, .tail = 3} << 40 << 2u;
        for (uint32_t seed = 10; seed < 16; ++seed)
            QTest::addRow("every kind, seed %u", seed) << EveryKind(seed % 2 == 0) << 180 << seed;
    }

    // Every record index from below -1 to past the last, and every time of
    // interest, through indexes of several snapshot spacings.
    void sameAsPlainWalks()
    {
        QFETCH(Mix, mix);
        QFETCH(int, packets);
        QFETCH(uint32_t, seed);
        const Bytes s = MakeStream(mix, seed, packets);
        const std::vector<double> records = RecordTimes(s);
        const int32_t count = int32_t(records.size());
        const NavdataDecoder prior = PriorDecoder(seed);
        const std::vector<double> times = SeekTimes(records);
        const std::vector<LinkValues> links = LinksOfTheWalk(s);
        QCOMPARE(int32_t(links.size()), count);

        QElapsedTimer timer;
        timer.start();
        for (const int32_t spacing : {1, 61, 1000, StreamIndex::kDefaultSnapshotSpacing}) {
            const StreamIndex index = StreamIndex::Build(s, nullptr, spacing);
            QVERIFY(index.matches(s));
            QCOMPARE(index.recordCount(), count);
            for (int32_t n = 0; n < count; ++n) {
                const LinkValues v = index.linkValues(n);
                const LinkValues& w = links[std::size_t(n)];
                QVERIFY2(v.packet == w.packet && v.missing == w.missing && v.gap == w.gap && v.rate == w.rate,
                         qPrintable(QStringLiteral("link counts of record %1").arg(n)));
            }
            QCOMPARE(index.linkValues(-1).packet, 0.0);
            QCOMPARE(index.linkValues(count).rate, 0.0);

            std::vector<int32_t> targets = {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
            for (int32_t n = -3; n <= count + 2; ++n)
                targets.push_back(n);
            for (const int32_t n : targets) {
                const std::string why = Compare(s, prior, [n](StreamNavigation nav) { return SeekRecordByIndex(nav, n); },
                                                [&](StreamNavigation nav) { return SeekRecordByIndex(nav, &index, n); });
                QVERIFY2(why.empty(), qPrintable(QStringLiteral("spacing %1, record %2: %3").arg(spacing).arg(n).arg(why.c_str())));
            }
            for (const double t : times) {
                const std::string why = Compare(s, prior, [t](StreamNavigation nav) { return SeekRecordByTime(nav, t); },
                                                [&](StreamNavigation nav) { return SeekRecordByTime(nav, &index, t); });
                QVERIFY2(why.empty(), qPrintable(QStringLiteral("spacing %1, time %2: %3").arg(spacing).arg(t, 0, 'g', 17).arg(why.c_str())));
            }
            QVERIFY2(timer.elapsed() < 60000, "comparisons took too long");
        }
    }

    void sameOnDemand_data() { sameAsPlainWalks_data(); }

    // The same streams read from a file in chunks: the replay walk gives the
    // same cursor and every byte of the same decoder state behind every
    // packet, and the seeks -- plain and through an index built over the
    // file -- the same outcomes as the plain walks in memory.
    void sameOnDemand()
    {
        QFETCH(Mix, mix);
        QFETCH(int, packets);
        QFETCH(uint32_t, seed);
        const Bytes s = MakeStream(mix, seed, packets);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::shared_ptr<StreamFile> file = AsFile(dir, s);
        QCOMPARE(file->size(), int64_t(s.size()));

        QElapsedTimer timer;
        timer.start();
        // The replay walk, packet by packet.
        struct Step {
            int64_t cursor;
            NavdataDecoder decoder;
        };
        std::vector<Step> plainSteps;
        {
            NavdataDecoder d = PriorDecoder(seed);
            int32_t cursor = 0;
            ReplayStream(s, d, cursor, [&](int32_t next) { plainSteps.push_back({next, d}); });
        }
        // On demand, and with the next chunk read ahead by the reader's worker.
        for (const bool ahead : {false, true})
        for (const std::size_t chunk : {std::size_t(1), std::size_t(3), std::size_t(61), std::size_t(4096)}) {
            if (chunk == 1 && s.size() > 50000)
                continue; // a read per byte: the smaller streams are enough
            StreamReader reader(file, chunk);
            reader.setReadAhead(ahead);
            QCOMPARE(reader.readAhead(), ahead);
            NavdataDecoder d = PriorDecoder(seed);
            int64_t cursor = 0;
            std::size_t k = 0;
            bool same = true;
            ReplayStream(reader, d, cursor, [&](int64_t next) {
                if (k >= plainSteps.size()) {
                    same = false;
                    return;
                }
                const Step& p = plainSteps[k++];
                Outcome a{0, int32_t(p.cursor), p.decoder};
                Outcome b{0, int32_t(next), d};
                if (next != p.cursor || !Difference(a, b).empty())
                    same = false;
            });
            QVERIFY2(same && k == plainSteps.size(),
                     qPrintable(QStringLiteral("replay, chunk %1, read ahead %2").arg(chunk).arg(ahead)));
        }
        // Walks that copy only some records: behind every packet the same as
        // the full walk, but for the records left out, which keep the bytes
        // they had before the walk.
        const uint32_t masks[] = {0, RecordBit(0) | RecordBit(4) | RecordBit(22), kAllRecords & ~RecordBit(0)};
        for (const uint32_t mask : masks)
        for (const std::size_t chunk : {std::size_t(3), std::size_t(4096)}) {
            StreamReader reader(file, chunk);
            reader.setReadAhead(chunk == 4096);
            const NavdataDecoder prior = PriorDecoder(seed);
            NavdataDecoder d = prior;
            d.recordMask = mask;
            int64_t cursor = 0;
            std::size_t k = 0;
            std::string why;
            ReplayStream(reader, d, cursor, [&](int64_t next) {
                if (!why.empty())
                    return;
                if (k >= plainSteps.size()) {
                    why = "more packets than the full walk";
                    return;
                }
                const Step& p = plainSteps[k++];
                Outcome expected{0, int32_t(p.cursor), p.decoder};
                for (int tag = 0; tag < kOptionTagCount; ++tag)
                    if (((mask | kTimeRecords) & RecordBit(tag)) == 0)
                        std::memcpy(RecordBytes(expected.decoder.state, tag), RecordBytes(prior.state, tag),
                                    kRecordSlots[tag].size);
                Outcome b{0, int32_t(next), d};
                why = next != p.cursor ? "cursor" : Difference(expected, b);
                if (!why.empty())
                    why = "packet " + std::to_string(k - 1) + ": " + why;
            });
            if (why.empty() && k != plainSteps.size())
                why = "fewer packets than the full walk";
            QVERIFY2(why.empty(), qPrintable(QStringLiteral("mask %1, chunk %2: %3")
                                                 .arg(mask, 0, 16).arg(chunk).arg(QString::fromStdString(why))));
        }

        const std::vector<double> records = RecordTimes(s);
        const int32_t count = int32_t(records.size());
        const NavdataDecoder prior = PriorDecoder(seed);
        const std::vector<double> times = SeekTimes(records);
        std::vector<int32_t> targets = {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
        for (int32_t n = -3; n <= count + 2; ++n)
            targets.push_back(n);

        // Tiny chunks with close snapshots, larger ones with the default
        // spacing (a seek reads from its snapshot on, chunk by chunk).
        const struct {
            std::size_t chunk;
            int64_t spacing;
        } runs[] = {{3, 1}, {7, 61}, {61, 1000}, {509, StreamIndex::kSpacingBySize}};
        for (const auto& run : runs) {
            StreamReader building(file, run.chunk);
            const StreamIndex index = StreamIndex::Build(building, nullptr, run.spacing);
            StreamReader reader(file, run.chunk);
            QVERIFY(index.matches(reader));
            QVERIFY(!index.matches(ByteSpan(s)));
            QCOMPARE(index.recordCount(), count);
            const StreamIndex inMemory = StreamIndex::Build(s, nullptr, run.spacing);
            QCOMPARE(index.snapshotCount(), inMemory.snapshotCount());
            const QString where = QStringLiteral("chunk %1, spacing %2").arg(run.chunk).arg(run.spacing);
            // The link counts kept beside the index, counted in the same pass.
            for (int32_t n = -1; n <= count; ++n) {
                const LinkValues v = index.linkValues(n);
                const LinkValues w = inMemory.linkValues(n);
                QVERIFY2(v.packet == w.packet && v.missing == w.missing && v.gap == w.gap && v.rate == w.rate,
                         qPrintable(QStringLiteral("%1, link counts of record %2").arg(where).arg(n)));
            }
            for (const int32_t n : targets) {
                auto plain = [n](StreamNavigation nav) { return SeekRecordByIndex(nav, n); };
                std::string why = Compare(s, prior, plain, OnDemand(reader, [&](RecordNavigation nav) {
                                              return SeekRecordByIndex(nav, &index, n);
                                          }));
                if (why.empty() && run.chunk >= 509 && n % 8 == 0)
                    why = Compare(s, prior, plain,
                                  OnDemand(reader, [n](RecordNavigation nav) { return SeekRecordByIndex(nav, n); }));
                QVERIFY2(why.empty(), qPrintable(QStringLiteral("%1, record %2: %3").arg(where).arg(n).arg(why.c_str())));
            }
            for (const double t : times) {
                const std::string why =
                    Compare(s, prior, [t](StreamNavigation nav) { return SeekRecordByTime(nav, t); },
                            OnDemand(reader, [&](RecordNavigation nav) { return SeekRecordByTime(nav, &index, t); }));
                QVERIFY2(why.empty(), qPrintable(QStringLiteral("%1, time %2: %3").arg(where).arg(t, 0, 'g', 17).arg(why.c_str())));
            }
            QVERIFY2(timer.elapsed() < 60000, "comparisons took too long");
        }
    }

    // A window steps back and forth on one decoder: each step starts from
    // what the one before left.
    void stepsOnOneDecoder()
    {
        const Bytes s = MakeStream(EveryKind(true), 21, 200);
        const int32_t count = int32_t(RecordTimes(s).size());
        QVERIFY(count > 50);
        const StreamIndex index = StreamIndex::Build(s, nullptr, 500);
        Outcome plain{0, 0, PriorDecoder(21)};
        Outcome fast{0, 0, PriorDecoder(21)};
        std::mt19937 rng(22);
        for (int step = 0; step < 300; ++step) {
            const bool byTime = rng() % 3 == 0;
            const int32_t n = int32_t(rng() % uint32_t(count + 4)) - 2;
            const double t = double(rng() % 4000) / 1000.0;
            plain.result = byTime ? SeekRecordByTime({s, plain.decoder, plain.cursor}, t)
                                  : SeekRecordByIndex({s, plain.decoder, plain.cursor}, n);
            fast.result = byTime ? SeekRecordByTime({s, fast.decoder, fast.cursor}, &index, t)
                                 : SeekRecordByIndex({s, fast.decoder, fast.cursor}, &index, n);
            const std::string why = Difference(plain, fast);
            QVERIFY2(why.empty(), qPrintable(QStringLiteral("step %1: %2").arg(step).arg(QString::fromStdString(why))));
        }
    }

    // Wrong sizes in front of a snapshot are counted, but only those decoded
    // after it are reported through the callback.
    void wrongSizesBeforeASnapshot()
    {
        Bytes s = PacketBuilder().rawOption(4, 20, Bytes(16)).rawOption(4, 12, Bytes(8)).checksum().take();
        for (uint32_t k = 1; k <= 40; ++k) {
            const Bytes p = PacketBuilder().option(1, le32Bytes(MakeTimeWord(k, 0))).checksum().take();
            s.insert(s.end(), p.begin(), p.end());
        }
        const StreamIndex index = StreamIndex::Build(s, nullptr, 1);
        const Outcome plain = Run(s, NavdataDecoder{}, [](StreamNavigation nav) { return SeekRecordByIndex(nav, 39); });
        const Outcome fast = Run(s, NavdataDecoder{}, [&](StreamNavigation nav) { return SeekRecordByIndex(nav, &index, 39); });
        QCOMPARE(fast.result, 39);
        QCOMPARE(plain.decoder.wrongSizeEvents, 2u);
        QCOMPARE(fast.decoder.wrongSizeEvents, 2u);
        QCOMPARE(plain.wrongSizeCalls, 2u);
        QCOMPARE(fast.wrongSizeCalls, 0u);
    }

    // The link counts the index keeps per record come back exactly: a busy
    // link whose last second holds more packets than 16 bits count, gaps
    // on records and on untimed packets between them, a restart.
    void linkCountsOfABusyLink()
    {
        Bytes s;
        auto add = [&s](uint32_t sequence, bool timed) {
            PacketBuilder p(0, sequence);
            if (timed)
                p.option(1, le32Bytes(MakeTimeWord(7, 0)));
            const Bytes b = p.checksum().take();
            s.insert(s.end(), b.begin(), b.end());
        };
        uint32_t n = 100;
        for (int k = 0; k < 66000; ++k) {
            if (k == 10 || k == 65600)
                n += 5; // a gap of 5 on a record
            if (k == 20) {
                add(n + 3, false); // a gap of 3 on an untimed packet
                n += 4;
            }
            if (k == 30)
                n = 50; // a restart
            add(n++, true);
        }
        const std::vector<LinkValues> links = LinksOfTheWalk(s);
        QCOMPARE(links.size(), std::size_t(66000));
        QCOMPARE(links.back().rate, 66001.0);
        QCOMPARE(links.back().missing, 13.0);
        // No snapshot: what the index holds is the link counts.
        const StreamIndex index = StreamIndex::Build(s, nullptr, int64_t(1) << 40);
        QCOMPARE(index.snapshotCount(), std::size_t(0));
        QCOMPARE(index.recordCount(), 66000);
        for (int32_t r = 0; r < 66000; ++r) {
            const LinkValues v = index.linkValues(r);
            const LinkValues& w = links[std::size_t(r)];
            QVERIFY2(v.packet == w.packet && v.missing == w.missing && v.gap == w.gap && v.rate == w.rate,
                     qPrintable(QStringLiteral("record %1: %2 %3 %4 %5").arg(r).arg(v.packet).arg(v.missing).arg(v.gap).arg(v.rate)));
        }
        // 6 bytes a record, and a few steps.
        QVERIFY2(index.memoryBytes() < 66000 * 7, qPrintable(QString::number(index.memoryBytes())));
    }

    // An index is used only with the bytes it was built over; otherwise the
    // seeks walk from offset 0.
    void indexForOtherBytes()
    {
        const Bytes s = MakeStream(Mix{.demo = 1}, 30, 100);
        const Bytes copy = s;
        const StreamIndex index = StreamIndex::Build(s, nullptr, 1);
        QVERIFY(index.matches(s));
        QVERIFY(!index.matches(copy));
        QVERIFY(!index.matches(ByteSpan(s).first(s.size() - 1)));
        std::atomic<bool> cancel{true};
        const StreamIndex cancelled = StreamIndex::Build(s, &cancel, 1);
        QVERIFY(!cancelled.matches(s));
        QCOMPARE(cancelled.recordCount(), 0);

        for (const StreamIndex* wrong : {&index, &cancelled, static_cast<const StreamIndex*>(nullptr)}) {
            const ByteSpan target = wrong == &index ? ByteSpan(copy) : ByteSpan(s);
            for (const int32_t n : {-1, 0, 50, 99, 1000}) {
                const Outcome plain = Run(s, PriorDecoder(1), [n](StreamNavigation nav) { return SeekRecordByIndex(nav, n); });
                Outcome fast{0, 7, PriorDecoder(1)};
                fast.result = SeekRecordByIndex({target, fast.decoder, fast.cursor}, wrong, n);
                QVERIFY2(Difference(plain, fast).empty(), Difference(plain, fast).c_str());
            }
        }
    }
};

KESTRIX_APPLESS_TEST(TestStreamIndex)
#include "test_stream_index.moc"
