// The reader's read-ahead: a worker thread reads the next chunk while the
// walk uses the current one. The bytes handed out are the file's whatever
// the chunk size and the steps; a change of the file met behind the window
// is reported at the request that needs the new bytes; a cancelled walk stops;
// a reader moved or destroyed with a read in flight is safe. Run under
// ThreadSanitizer.
#include "kestrix/packet_builder.h"
#include "kestrix/replay.h"
#include "kestrix/stream_index.h"
#include "kestrix/stream_reader.h"

#include "suite_main.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace kestrix;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Pattern(std::size_t n)
{
    Bytes b(n);
    uint32_t x = 0x9e3779b9u;
    for (std::size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        b[i] = uint8_t(x >> 24);
    }
    return b;
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!f)
        qFatal("cannot write %s", path.c_str());
}

// Whether the window at `pos` holds the file's bytes and at least what was
// asked for (or what is left).
bool Same(StreamReader& reader, const Bytes& bytes, int64_t pos, int64_t want)
{
    int64_t got = -1;
    const uint8_t* at = reader.at(pos, want, got);
    const int64_t size = int64_t(bytes.size());
    if (got < std::min(want, std::max<int64_t>(size - pos, 0)) || (got > 0 && pos + got > size))
        return false;
    return got == 0 || std::equal(at, at + got, bytes.begin() + pos);
}

} // namespace

class TestReadAhead : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    std::string path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)).toStdString(); }
    std::shared_ptr<StreamFile> open(const char* name, const Bytes& bytes)
    {
        const std::string p = path(name);
        WriteFile(p, bytes);
        std::string error;
        std::shared_ptr<StreamFile> f = StreamFile::Open(p, error);
        if (!f)
            qFatal("%s", error.c_str());
        return f;
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    // A walk in uneven steps with requests of every size, a jump back to the
    // start and on again: every window holds the file's bytes.
    void walk_data()
    {
        QTest::addColumn<int>("chunk");
        for (const int chunk : {1, 5, 511, 512, 513, 4096, 65536})
            QTest::addRow("chunk %d", chunk) << chunk;
    }
    void walk()
    {
        QFETCH(int, chunk);
        const Bytes bytes = Pattern(chunk < 64 ? 20000 : 300001);
        const std::shared_ptr<StreamFile> file = open("walk.bin", bytes);
        StreamReader reader(file, std::size_t(chunk));
        reader.setReadAhead(true);
        QVERIFY(reader.readAhead());
        const int64_t size = int64_t(bytes.size());
        for (int pass = 0; pass < 2; ++pass) {
            int64_t pos = pass == 0 ? 0 : size / 3;
            uint32_t x = uint32_t(chunk) + uint32_t(pass);
            while (pos <= size) {
                x = x * 1103515245u + 12345u;
                const int64_t want = 1 + int64_t((x >> 8) % StreamReader::kMaxRequest);
                QVERIFY2(Same(reader, bytes, pos, want), qPrintable(QStringLiteral("at %1, want %2").arg(pos).arg(want)));
                pos += 1 + int64_t((x >> 20) % uint32_t(want));
            }
            QVERIFY(Same(reader, bytes, size, 4)); // the end: nothing more
        }
        // Off again in the middle of a walk: the window stays good.
        reader.setReadAhead(false);
        QVERIFY(!reader.readAhead());
        QVERIFY(Same(reader, bytes, size / 2, int64_t(StreamReader::kMaxRequest)));
        QVERIFY(Same(reader, bytes, size / 2 + 100, int64_t(StreamReader::kMaxRequest)));
    }

    // The file truncated while the next chunk may already have been read
    // ahead: the bytes of the current window stay good, and the request that
    // needs bytes behind it reports the change, as a read made then would.
    void changeBehindTheWindow()
    {
        const Bytes bytes = Pattern(1 << 16);
        const std::shared_ptr<StreamFile> file = open("change.bin", bytes);
        StreamReader reader(file, 4096);
        reader.setReadAhead(true);
        QVERIFY(Same(reader, bytes, 0, 16));
        std::filesystem::resize_file(path("change.bin"), 1 << 15);
        QVERIFY(Same(reader, bytes, 1000, 512)); // in the window: no read
        std::optional<StreamReadError> e;
        try {
            int64_t got;
            reader.at(4000, 512, got);
        } catch (const StreamReadError& error) {
            e = error;
        }
        QVERIFY(e);
        QCOMPARE(e->kind(), StreamReadError::Kind::Changed);
        QCOMPARE(std::string(e->what()), "\"" + path("change.bin") + "\": the file changed on disk");
    }

    // An index built over a file reads ahead and gives what the same build
    // over the bytes in memory gives; the reader is back to reading on demand.
    void indexBuild()
    {
        Bytes bytes;
        for (uint32_t k = 1; k <= 2000; ++k) {
            NavdataState st{};
            st.Time.time = MakeTimeWord(k, 0);
            st.Demo.altitude = int32_t(k);
            const Bytes p = PacketBuilder().record(st, 0).record(st, 1).checksum().take();
            bytes.insert(bytes.end(), p.begin(), p.end());
        }
        const std::shared_ptr<StreamFile> file = open("index.bin", bytes);
        StreamReader reader(file, 1000);
        const StreamIndex onFile = StreamIndex::Build(reader);
        QVERIFY(!reader.readAhead());
        const StreamIndex inMemory = StreamIndex::Build(ByteSpan(bytes));
        QCOMPARE(onFile.recordCount(), 2000);
        QCOMPARE(inMemory.recordCount(), 2000);
        NavdataDecoder d;
        int64_t cursor = 0;
        ReplayStream(reader, d, cursor, [](int64_t) {});
        QCOMPARE(d.state.Demo.altitude, 2000);
    }

    // Cancelled: the next request behind the window reads nothing more.
    void cancel()
    {
        const Bytes bytes = Pattern(100000);
        const std::shared_ptr<StreamFile> file = open("cancel.bin", bytes);
        StreamReader reader(file, 4096);
        reader.setReadAhead(true);
        std::atomic<bool> stop{false};
        reader.setCancel(&stop);
        QVERIFY(Same(reader, bytes, 0, 512));
        stop = true;
        int64_t got = -1;
        reader.at(5000, 512, got);
        QCOMPARE(got, int64_t(0));
    }

    // Moved and destroyed with a read in flight: the worker is joined before
    // its buffers go, and the moved reader walks on with the right bytes.
    void moveAndDestroyInFlight()
    {
        const Bytes bytes = Pattern(1 << 20);
        const std::shared_ptr<StreamFile> file = open("move.bin", bytes);
        for (int round = 0; round < 20; ++round) {
            StreamReader a(file, 1 << 16);
            a.setReadAhead(true);
            QVERIFY(Same(a, bytes, 0, 512)); // the next chunk now in flight
            StreamReader b(std::move(a));
            StreamReader c(file, 1 << 16);
            c.setReadAhead(true);
            QVERIFY(Same(c, bytes, 70000, 512));
            c = std::move(b); // c's own read in flight ends first
            QVERIFY(c.readAhead());
            for (int64_t pos = 100; pos < (int64_t(1) << 20); pos += 40000)
                QVERIFY(Same(c, bytes, pos, 512));
            StreamReader d(file, 4096);
            d.setReadAhead(true);
            QVERIFY(Same(d, bytes, 0, 1)); // destroyed with a read in flight
        }
    }
};

KESTRIX_APPLESS_TEST(TestReadAhead)
#include "test_read_ahead.moc"
