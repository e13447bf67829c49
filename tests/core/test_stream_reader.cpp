// Reading recordings on demand: the file that changes under the reader, a
// read that fails, sources without a size, offsets beyond 32 bits, and the
// window the decoder walks.
#include "kestrix/packet_builder.h"
#include "kestrix/replay.h"
#include "kestrix/stream_index.h"
#include "kestrix/stream_reader.h"

#include "test_bytes.h"

#include "suite_main.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace kestrix;
using Bytes = std::vector<uint8_t>;

namespace {

void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!f)
        qFatal("cannot write %s", path.c_str());
}

// Three timed packets, 1 s apart.
Bytes ThreePackets()
{
    Bytes s;
    for (uint32_t k = 1; k <= 3; ++k) {
        NavdataState st{};
        st.Time.time = MakeTimeWord(k, 0);
        st.Demo.altitude = int32_t(k * 100);
        const Bytes p = PacketBuilder().record(st, 0).record(st, 1).checksum().take();
        s.insert(s.end(), p.begin(), p.end());
    }
    return s;
}

// Reads every byte through a fresh reader, on demand or reading ahead; the
// error thrown, if any.
std::optional<StreamReadError> ReadAll(const std::shared_ptr<StreamFile>& file, bool ahead)
{
    try {
        StreamReader reader(file, 64);
        reader.setReadAhead(ahead);
        NavdataDecoder d;
        int64_t cursor = 0;
        ReplayStream(reader, d, cursor, [](int64_t) {});
    } catch (const StreamReadError& e) {
        return e;
    }
    return std::nullopt;
}

} // namespace

class TestStreamReader : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    std::string path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)).toStdString(); }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void openFailures()
    {
        std::string error;
        QVERIFY(!StreamFile::Open(path("missing.navdata"), error));
        QCOMPARE(QString::fromStdString(error),
                 QStringLiteral("cannot read \"%1\": No such file or directory").arg(QString::fromStdString(path("missing.navdata"))));
        QVERIFY(!StreamFile::Open(dir_.path().toStdString(), error));
        QVERIFY2(error.find("Is a directory") != std::string::npos, error.c_str());
    }

    // Shrunk, grown, rewritten in place with the same size, replaced by
    // another file under the same name, removed: each is noticed at the next
    // read, and by check(), and reported as a change, naming the file.
    void changesAreNoticed_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<bool>("ahead");
        const char* const changes[] = {"truncated", "grown", "rewritten, same size", "replaced by a rename", "removed"};
        for (const bool ahead : {false, true})
            for (int change = 0; change < 5; ++change)
                QTest::addRow("%s%s", changes[change], ahead ? ", read ahead" : "") << change << ahead;
    }
    void changesAreNoticed()
    {
        QFETCH(int, change);
        QFETCH(bool, ahead);
        const std::string p = path("changing.navdata");
        const Bytes bytes = ThreePackets();
        WriteFile(p, bytes);
        std::string error;
        const std::shared_ptr<StreamFile> file = StreamFile::Open(p, error);
        QVERIFY2(file, error.c_str());
        QVERIFY(!ReadAll(file, ahead));
        QCOMPARE(file->check(), StreamFile::State::Unchanged);

        switch (change) {
        case 0: std::filesystem::resize_file(p, bytes.size() / 2); break;
        case 1: {
            std::ofstream f(p, std::ios::binary | std::ios::app);
            f.write(reinterpret_cast<const char*>(bytes.data()), 100);
            break;
        }
        case 2: {
            Bytes other = bytes;
            other[40] ^= 1;
            // A later modification time, as any write a moment later has.
            WriteFile(p, other);
            struct timespec times[2] = {{0, UTIME_OMIT}, {0, 0}};
            clock_gettime(CLOCK_REALTIME, &times[1]);
            times[1].tv_sec += 2;
            QCOMPARE(utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
            break;
        }
        case 3: {
            const std::string other = path("other.navdata");
            WriteFile(other, bytes);
            std::filesystem::rename(other, p);
            break;
        }
        default: std::filesystem::remove(p); break;
        }

        std::string reason;
        QCOMPARE(file->check(&reason), StreamFile::State::Changed);
        QCOMPARE(reason, "\"" + p + "\": the file changed on disk");
        const auto e = ReadAll(file, ahead);
        QVERIFY(e);
        QCOMPARE(e->kind(), StreamReadError::Kind::Changed);
        QCOMPARE(std::string(e->what()), reason);
        std::filesystem::remove(p);
    }

    // The system refuses a read (here: the descriptor now names a folder,
    // as a device that went away makes reads fail): a read error with the
    // system's reason, never a crash or bytes of something else.
    void readError_data()
    {
        QTest::addColumn<bool>("ahead");
        QTest::newRow("on demand") << false;
        QTest::newRow("read ahead") << true;
    }
    void readError()
    {
        QFETCH(bool, ahead);
        const std::string p = path("failing.navdata");
        WriteFile(p, ThreePackets());
        std::string error;
        const std::shared_ptr<StreamFile> file = StreamFile::Open(p, error);
        QVERIFY(file);
        const int folder = open(dir_.path().toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(folder >= 0);
        QVERIFY(dup2(folder, file->descriptor()) >= 0);
        close(folder);
        const auto e = ReadAll(file, ahead);
        QVERIFY(e);
        QCOMPARE(e->kind(), StreamReadError::Kind::Failed);
        QCOMPARE(std::string(e->what()), "cannot read \"" + p + "\": Is a directory");
    }

    // A FIFO has no size: it is read once, in order, and its size is known
    // when its end has been read.
    void sourceWithoutSize()
    {
        const std::string p = path("stream.fifo");
        QCOMPARE(mkfifo(p.c_str(), 0600), 0);
        const Bytes bytes = ThreePackets();
        std::signal(SIGPIPE, SIG_IGN);
        std::thread writer([&] {
            const int fd = open(p.c_str(), O_WRONLY);
            if (fd >= 0) {
                [[maybe_unused]] const ssize_t w = write(fd, bytes.data(), bytes.size());
                close(fd);
            }
        });
        std::string error;
        const std::shared_ptr<StreamFile> file = StreamFile::Open(p, error);
        QVERIFY2(file, error.c_str());
        QVERIFY(!file->seekable());
        StreamReader reader(file, 7);
        reader.setReadAhead(true); // nothing to read ahead of a pipe
        QVERIFY(!reader.readAhead());
        QCOMPARE(reader.size(), int64_t(-1));
        NavdataDecoder d;
        int64_t cursor = 0;
        int packets = 0;
        ReplayStream(reader, d, cursor, [&](int64_t next) { packets += next >= 0; });
        writer.join();
        QCOMPARE(packets, 3);
        QCOMPARE(d.state.Demo.altitude, 300);
        QCOMPARE(reader.size(), int64_t(bytes.size()));
        // Back to the start: refused, clearly.
        bool refused = false;
        try {
            int64_t got;
            reader.at(0, 4, got);
        } catch (const StreamReadError& e) {
            refused = std::string(e.what()).find("only be read once") != std::string::npos;
        }
        QVERIFY(refused);
    }

    // Positions beyond 4 GiB: a sparse file with a packet at its start and
    // one at its end; the index and the seeks reach the end with 64-bit
    // cursors.
    void beyondFourGiB()
    {
        const std::string p = path("huge.navdata");
        const Bytes first = ThreePackets();
        NavdataState st{};
        st.Time.time = MakeTimeWord(9, 0);
        st.Demo.altitude = 4242;
        const Bytes last = PacketBuilder().record(st, 0).record(st, 1).checksum().take();
        const int64_t lastAt = (int64_t(1) << 32) + 12345;
        {
            WriteFile(p, first);
            std::error_code ec;
            std::filesystem::resize_file(p, uint64_t(lastAt), ec);
            if (ec)
                QSKIP("cannot create a sparse file here");
            std::ofstream f(p, std::ios::binary | std::ios::app);
            f.write(reinterpret_cast<const char*>(last.data()), std::streamsize(last.size()));
            QVERIFY(f.good());
        }
        std::string error;
        const std::shared_ptr<StreamFile> file = StreamFile::Open(p, error);
        QVERIFY(file);
        QCOMPARE(file->size(), lastAt + int64_t(last.size()));
        StreamReader reader(file);
        const StreamIndex index = StreamIndex::Build(reader);
        QCOMPARE(index.recordCount(), 4);
        QVERIFY(index.snapshotCount() <= std::size_t(StreamIndex::kMaxSnapshotsBySize));
        NavdataDecoder d;
        int64_t cursor = 0;
        StreamReader nav(file, 1 << 16);
        QCOMPARE(SeekRecordByIndex(RecordNavigation{nav, d, cursor}, &index, 3), 3);
        QCOMPARE(cursor, lastAt + int64_t(last.size()));
        QCOMPARE(d.state.Demo.altitude, 4242);
        QCOMPARE(SeekRecordByTime(RecordNavigation{nav, d, cursor}, &index, 8.5), 3);
        QCOMPARE(SeekRecordByIndex(RecordNavigation{nav, d, cursor}, &index, 1), 1);
        QCOMPARE(d.state.Demo.altitude, 200);
        QCOMPARE(FindPacketStart(nav, int64_t(1) << 32), lastAt);
        std::filesystem::remove(p);
    }

    // The window: every request gets at least what it asked for, or what is
    // left, and the bytes are the file's, whatever the chunk size.
    void windowRequests_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::addColumn<bool>("ahead");
        for (const bool ahead : {false, true})
            for (int chunk : {1, 2, 3, 5, 64, 511, 4096})
                QTest::addRow("chunk %d%s", chunk, ahead ? ", read ahead" : "") << chunk << ahead;
    }
    void windowRequests()
    {
        QFETCH(int, chunk);
        QFETCH(bool, ahead);
        const std::string p = path("window.navdata");
        Bytes bytes(3000);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = uint8_t(i * 7 + 3);
        WriteFile(p, bytes);
        std::string error;
        const std::shared_ptr<StreamFile> file = StreamFile::Open(p, error);
        StreamReader reader(file, std::size_t(chunk));
        reader.setReadAhead(ahead);
        const int64_t size = int64_t(bytes.size());
        // Forward in steps smaller than a request, jumps, and back again.
        const int64_t positions[] = {0, 1, 2, 3, 100, 101, 460, 2999, 2640, 2700, 3000, 3001, 5000, 10, 0};
        for (const int64_t pos : positions) {
            for (const int64_t want : {int64_t(1), int64_t(4), int64_t(360), int64_t(StreamReader::kMaxRequest)}) {
                int64_t got = -1;
                const uint8_t* at = reader.at(pos, want, got);
                QVERIFY(got >= std::min(want, std::max<int64_t>(size - pos, 0)));
                QVERIFY(pos + got <= size || got == 0);
                for (int64_t k = 0; k < got; ++k)
                    QCOMPARE(at[k], bytes[std::size_t(pos + k)]);
            }
        }
        std::filesystem::remove(p);
    }
};

KESTRIX_APPLESS_TEST(TestStreamReader)
#include "test_stream_reader.moc"
