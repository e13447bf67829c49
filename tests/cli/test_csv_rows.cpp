// kestrix_navdata csv turns its rows into text on a thread of its own (and
// reads the file ahead on another): long outputs in order, an output that
// fails part-way, a file that changes part-way. Run under ThreadSanitizer.

#include "cli.h"

#include "kestrix/packet_builder.h"
#include "kestrix/records.h"

#include <QFile>
#include <QTemporaryDir>
#include "suite_main.h"

#include <QtTest>

#include <filesystem>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

using namespace kestrix;

namespace {

using Bytes = std::vector<uint8_t>;

// `n` packets of Time and Demo, the altitude counting up from -50000.
Bytes DemoStream(int n)
{
    Bytes stream;
    rec::Demo demo{};
    for (int i = 0; i < n; ++i) {
        demo.altitude = i - 50000;
        const Bytes p = PacketBuilder()
                            .record(1, rec::Time{MakeTimeWord(1 + uint32_t(i) / 1000, uint32_t(i) % 1000 * 1000)})
                            .record(0, demo)
                            .checksum()
                            .take();
        stream.insert(stream.end(), p.begin(), p.end());
    }
    return stream;
}

// An output whose every write goes through xsputn (no buffer of its own).
class Output : public std::streambuf {
protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
    }
};

// An output that takes `room` bytes and then refuses every write (a full
// disk); counts the writes tried after the first refusal.
class FullOutput : public Output {
public:
    explicit FullOutput(std::size_t room) : room_(room) {}
    std::string taken;
    int triedAfterRefusal = 0;

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        if (refused_) {
            ++triedAfterRefusal;
            return 0;
        }
        if (taken.size() + std::size_t(n) > room_) {
            refused_ = true;
            return 0;
        }
        taken.append(s, std::size_t(n));
        return n;
    }

private:
    std::size_t room_;
    bool refused_ = false;
};

// An output that cuts the input file to half its size at its first write.
class CuttingOutput : public Output {
public:
    explicit CuttingOutput(std::string path) : path_(std::move(path)) {}
    std::string taken;

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        if (!cut_) {
            cut_ = true;
            std::filesystem::resize_file(path_, std::filesystem::file_size(path_) / 2);
        }
        taken.append(s, std::size_t(n));
        return n;
    }

private:
    std::string path_;
    bool cut_ = false;
};

int Run(std::vector<std::string> args, std::ostream& out, std::ostream& err, std::size_t chunk)
{
    return RunNavdataCli(args, out, err, chunk);
}

} // namespace

class TestCsvRows : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    int files_ = 0;

    std::string writeStream(const Bytes& content)
    {
        const QString path = dir_.filePath(QStringLiteral("stream-%1.navdata").arg(files_++));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)
            || f.write(reinterpret_cast<const char*>(content.data()), qsizetype(content.size())) != qsizetype(content.size()))
            qFatal("cannot write %s", qPrintable(path));
        return path.toStdString();
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    // Many batches of rows, in chunks of 1 MiB and of 4 kB: every row in
    // order, each number as written.
    void longStreamInOrder_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::newRow("1 MiB reads") << (1 << 20);
        QTest::newRow("4 kB reads") << 4096;
    }

    void longStreamInOrder()
    {
        QFETCH(int, chunk);
        const int n = 100000;
        const std::string path = writeStream(DemoStream(n));
        std::ostringstream out, err;
        const int code = Run({"csv", path, "Demo.altitude", "Demo.altitude", "--multiplier", "Demo.altitude=0.5"},
                                       out, err, std::size_t(chunk));
        QCOMPARE(code, 0);
        QVERIFY(err.str().empty());
        std::string expected = "time,Demo.altitude,Demo.altitude\n";
        for (int i = 0; i < n; ++i) {
            std::string t = std::to_string(1 + i / 1000);
            if (const int ms = i % 1000) {
                std::string frac = std::to_string(1000 + ms).substr(1); // 3 digits
                while (frac.back() == '0')
                    frac.pop_back();
                t += "." + frac;
            }
            const int twice = i - 50000; // value x 0.5, exact
            const std::string v = twice % 2 == 0 ? std::to_string(twice / 2)
                                                 : (twice < 0 && twice / 2 == 0 ? "-0" : std::to_string(twice / 2)) + ".5";
            expected += t + "," + v + "," + v + "\n";
        }
        QVERIFY(out.str().size() > (std::size_t(3) << 19)); // more than one block of 1 MiB
        QCOMPARE(out.str().size(), expected.size());
        QVERIFY(out.str() == expected);
    }

    // The output refuses a write part-way: the run fails with the message,
    // and nothing more is written after the refusal.
    void outputFailsPartWay()
    {
        const std::string path = writeStream(DemoStream(60000));
        FullOutput full(100000);
        std::ostream out(&full);
        std::ostringstream err;
        const int code = Run({"csv", path, "Demo.altitude"}, out, err, 4096);
        QCOMPARE(code, 2);
        QCOMPARE(QString::fromStdString(err.str()), QStringLiteral("kestrix_navdata: could not write the output\n"));
        QCOMPARE(full.triedAfterRefusal, 0);
        QVERIFY(full.taken.size() > 0 && full.taken.size() <= 100000);
        QVERIFY(full.taken.starts_with("time,Demo.altitude\n1,-50000\n"));
    }

    // The file is cut while its rows are written: the rows read before are
    // all out, whole, then the message.
    void fileChangesPartWay()
    {
        const Bytes stream = DemoStream(100000);
        // Eight columns: the walk runs at most three batches (about 22,000
        // rows) ahead of the writer, well short of the cut in the middle.
        const std::vector<std::string> keys(8, "Demo.altitude");
        auto args = [&](const std::string& path) {
            std::vector<std::string> a = {"csv", path};
            a.insert(a.end(), keys.begin(), keys.end());
            return a;
        };
        const std::string intact = writeStream(stream);
        std::ostringstream whole, wholeErr;
        QCOMPARE(Run(args(intact), whole, wholeErr, 4096), 0);

        const std::string path = writeStream(stream);
        CuttingOutput cutting(path);
        std::ostream out(&cutting);
        std::ostringstream err;
        const int code = Run(args(path), out, err, 4096);
        QCOMPARE(code, 2);
        QVERIFY2(err.str().find("the file changed on disk") != std::string::npos, err.str().c_str());
        const std::string& got = cutting.taken;
        QVERIFY(got.size() > (std::size_t(1) << 16)); // more than the block that cut the file
        QVERIFY(got.size() < whole.str().size());
        QVERIFY(got.back() == '\n');
        QVERIFY(whole.str().starts_with(got));
    }
};

KESTRIX_GUILESS_TEST(TestCsvRows)
#include "test_csv_rows.moc"
