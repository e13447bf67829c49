// Reading a recorded stream file into memory.
#include "kestrix/stream_file.h"

#include <QTemporaryDir>
#include "suite_main.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace kestrix;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Pattern(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = uint8_t((i * 131 + i / 4093) ^ (i >> 11));
    return b;
}

bool SameBytes(const StreamBuffer& buffer, const Bytes& want)
{
    return buffer.size() == want.size()
        && (want.empty() || std::memcmp(buffer.data(), want.data(), want.size()) == 0);
}

// Writes `parts` into the FIFO at `path` from a thread of its own, calling
// `between` after each part. The writer waits for the reader to open the FIFO
// for at most a few seconds, so a failing reader cannot hang the test.
class FifoWriter {
public:
    FifoWriter(std::string path, std::vector<Bytes> parts, std::function<void()> between = {})
        : thread_([path = std::move(path), parts = std::move(parts), between = std::move(between)] {
              int fd = -1;
              for (int tries = 0; fd < 0 && tries < 500; ++tries) {
                  fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); // ENXIO: no reader yet
                  if (fd < 0)
                      std::this_thread::sleep_for(std::chrono::milliseconds(10));
              }
              if (fd < 0)
                  return;
              fcntl(fd, F_SETFL, 0); // blocking writes from here on
              for (const Bytes& part : parts) {
                  std::size_t done = 0;
                  while (done < part.size()) {
                      const ssize_t w = write(fd, part.data() + done, part.size() - done);
                      if (w <= 0)
                          break;
                      done += std::size_t(w);
                  }
                  if (between)
                      between();
              }
              close(fd);
          })
    {
    }
    ~FifoWriter() { thread_.join(); }

private:
    std::thread thread_;
};

} // namespace

class TestStreamFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    std::string path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)).toStdString(); }

    std::string write(const char* name, const Bytes& content) const
    {
        const std::string p = path(name);
        std::ofstream f(p, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(content.data()), std::streamsize(content.size()));
        if (!f)
            qFatal("cannot write %s", p.c_str());
        return p;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        std::signal(SIGPIPE, SIG_IGN); // a FIFO reader that stops early must not end the test
    }

    void wholeFile_data()
    {
        QTest::addColumn<qulonglong>("size");
        QTest::newRow("empty") << 0ull;
        QTest::newRow("one byte") << 1ull;
        QTest::newRow("one page less one") << 4095ull;
        QTest::newRow("one page") << 4096ull;
        QTest::newRow("several read chunks") << qulonglong((16u << 20) * 2 + 12345);
    }
    void wholeFile()
    {
        QFETCH(qulonglong, size);
        const Bytes content = Pattern(std::size_t(size));
        const std::string p = write("whole.navdata", content);
        StreamBuffer b = StreamBuffer::CopyOf(Pattern(99)); // replaced by the read
        std::string error = "stale";
        QVERIFY(ReadStreamFile(p, b, error));
        QVERIFY2(error.empty(), error.c_str());
        QVERIFY(SameBytes(b, content));
        QCOMPARE(b.span().size(), b.size());

        // Moving hands the bytes over; the source is left empty.
        StreamBuffer moved = std::move(b);
        QVERIFY(SameBytes(moved, content));
        QVERIFY(b.empty() && b.data() == nullptr); // NOLINT(bugprone-use-after-move)
        moved.reset();
        QVERIFY(moved.empty());
    }

    void failures_data()
    {
        QTest::addColumn<QString>("name");    // created below when it names a kind of file
        QTest::addColumn<QString>("message"); // expected text after the quoted path
        QTest::newRow("missing file") << "no-such-file" << ": " + QString::fromLocal8Bit(std::strerror(ENOENT));
        QTest::newRow("directory") << "a-directory" << ": " + QString::fromLocal8Bit(std::strerror(EISDIR));
        QTest::newRow("missing folder") << "no-such-folder/x" << ": " + QString::fromLocal8Bit(std::strerror(ENOENT));
        QTest::newRow("too large, from its size")
            << "huge.navdata"
            << QStringLiteral(" is too large (%1 bytes); the largest stream supported is %2 bytes")
                   .arg(qulonglong(kMaxStreamSize) + 1)
                   .arg(qulonglong(kMaxStreamSize));
    }
    void failures()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        const std::string p = path(qPrintable(name));
        if (name == "a-directory")
            QVERIFY(QDir(dir_.path()).mkpath(name));
        if (name == "huge.navdata") {
            // Sparse: refused from its size before a byte is read.
            std::ofstream(p, std::ios::binary).put('x');
            std::error_code ec;
            std::filesystem::resize_file(p, uint64_t(kMaxStreamSize) + 1, ec);
            if (ec)
                QSKIP("no sparse files here");
        }
        StreamBuffer b = StreamBuffer::CopyOf(Pattern(10));
        std::string error;
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!ReadStreamFile(p, b, error));
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(b.empty());
        const bool quotedPath = name == "huge.navdata" ? error.starts_with('"' + p + '"')
                                                       : error.starts_with("cannot read \"" + p + '"');
        QVERIFY2(quotedPath, error.c_str());
        QVERIFY2(QString::fromStdString(error).endsWith(message), error.c_str());
        std::filesystem::remove(p);
    }

    // A FIFO has no size: it is read until its writer closes, the buffer
    // growing past its first reservation of 1 MiB.
    void fifo()
    {
        const std::string p = path("stream.fifo");
        QCOMPARE(mkfifo(p.c_str(), 0600), 0);
        const Bytes first = Pattern(700000);
        const Bytes second = Pattern(2500001);
        Bytes all = first;
        all.insert(all.end(), second.begin(), second.end());
        StreamBuffer b;
        std::string error;
        {
            FifoWriter writer(p, {first, second});
            QVERIFY2(ReadStreamFile(p, b, error), error.c_str());
        }
        QVERIFY(SameBytes(b, all));
        std::filesystem::remove(p);
    }

    // The flag is looked at between reads: set before, nothing is read; set
    // while a FIFO delivers, the read stops at the next look.
    void cancel()
    {
        const Bytes content = Pattern(5000);
        const std::string file = write("cancel.navdata", content);
        std::atomic<bool> cancelled{true};
        StreamBuffer b = StreamBuffer::CopyOf(content);
        std::string error;
        QVERIFY(!ReadStreamFile(file, b, error, &cancelled));
        QVERIFY(b.empty());
        QCOMPARE(QString::fromStdString(error), QStringLiteral("reading \"%1\" was cancelled").arg(QString::fromStdString(file)));

        cancelled = false;
        QVERIFY(ReadStreamFile(file, b, error, &cancelled));
        QVERIFY(SameBytes(b, content));

        const std::string p = path("cancel.fifo");
        QCOMPARE(mkfifo(p.c_str(), 0600), 0);
        {
            // The second part goes out after the flag is set, so the reader
            // looks at the flag at least once more before the end.
            FifoWriter writer(p, {Pattern(1000), Pattern(1000)}, [&] { cancelled = true; });
            QVERIFY(!ReadStreamFile(p, b, error, &cancelled));
        }
        QVERIFY2(error.ends_with("was cancelled"), error.c_str());
        QVERIFY(b.empty());
        std::filesystem::remove(p);
    }
};

KESTRIX_APPLESS_TEST(TestStreamFile)
#include "test_stream_file.moc"
