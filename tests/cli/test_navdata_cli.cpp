// kestrix_navdata (info, show, csv) and kestrix_make_sample. Most cases call the
// command library in-process; exit codes, standard error and crashes are
// checked on the real binaries.

#include "cli.h"

#include "kestrix/decoder.h"
#include "kestrix/field_text.h"
#include "kestrix/packet_builder.h"
#include "kestrix/records.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include "suite_main.h"

#include <QtTest>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace kestrix;

namespace {

using Bytes = std::vector<uint8_t>;

struct Result {
    int code = -1;
    bool crashed = false;
    std::string out;
    std::string err;
};

Result RunInProcess(const std::vector<std::string>& args, std::size_t readChunk = std::size_t(1) << 20)
{
    std::ostringstream out, err;
    Result r;
    r.code = RunNavdataCli(args, out, err, readChunk);
    r.out = out.str();
    r.err = err.str();
    return r;
}

Result RunProgram(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    Result r;
    if (!p.waitForStarted(10000)) {
        r.crashed = true;
        return r;
    }
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        r.crashed = true;
        return r;
    }
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.code = p.exitCode();
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

Result RunTool(const QStringList& args)
{
    return RunProgram(QStringLiteral(KESTRIX_NAVDATA_EXE), args);
}

std::vector<std::string> ToArgs(const QStringList& list)
{
    std::vector<std::string> v;
    for (const QString& s : list)
        v.push_back(s.toStdString());
    return v;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

QByteArray Q(const Bytes& b)
{
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
}

Bytes Noise(std::size_t n, uint8_t seed)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = uint8_t((i * 37 + seed) % 0x80); // never 0x88: no magic can start here
    return b;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t nl = text.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return lines;
}

// Shows every field edit exactly once, in the window's order.
bool ShowOutputIsComplete(const std::string& out, QString* why)
{
    const std::vector<std::string> lines = Lines(out);
    const auto edits = FieldEdits();
    if (lines.size() != edits.size() + 1) {
        *why = QStringLiteral("%1 lines for %2 edits").arg(lines.size()).arg(edits.size());
        return false;
    }
    for (std::size_t i = 0; i < edits.size(); ++i) {
        const std::string prefix = std::string(edits[i].tab) + "." + std::string(edits[i].edit) + "=";
        if (!lines[i + 1].starts_with(prefix)) {
            *why = QString::fromStdString("line " + std::to_string(i + 1) + " is " + lines[i + 1]
                                          + ", expected " + prefix + "...");
            return false;
        }
    }
    return true;
}

// The stream of the show cases:
//   packet 0: no time (not a record): Demo and Raw_meas
//   record 0: Time 5.123456 s, Magneto
//   record 1: Time 6 s, then Vision 6.5 s (the later option decides), Demo
//   record 2: Time 7.25 s, Magneto
//   record 3: Time 7.25 s again
Bytes ShowStream()
{
    NavdataState s{};
    s.Demo.ctrl_state = 0x1F;
    s.Demo.altitude = -12;
    s.Demo.theta = 0.1f;
    s.Raw_meas.raw_accs[0] = 0xFFFF;
    s.Raw_meas.raw_gyros[0] = -1;
    const Bytes p0 = PacketBuilder().record(s, 0).record(s, 2).checksum().take();

    s.Time.time = MakeTimeWord(5, 123456);
    s.Magneto.magneto_calibration_ok = '1';
    const Bytes r0 = PacketBuilder().record(s, 1).record(s, 22).checksum().take();

    s.Time.time = MakeTimeWord(6, 0);
    s.Vision.time_capture = MakeTimeWord(6, 500000);
    s.Demo.ctrl_state = 0x80000000u;
    s.Magneto.magneto_calibration_ok = char(0x7F);
    const Bytes r1 = PacketBuilder().record(s, 0).record(s, 1).record(s, 13).record(s, 22).checksum().take();

    s.Time.time = MakeTimeWord(7, 250000);
    s.Magneto.magneto_calibration_ok = char(0xC3);
    const Bytes r2 = PacketBuilder().record(s, 1).record(s, 22).checksum().take();
    const Bytes r3 = PacketBuilder().record(s, 1).checksum().take();
    return Cat({p0, r0, r1, r2, r3});
}

// The stream of the csv cases: no row before the Time record holds a time;
// a packet without Time still gives a row at the time kept.
Bytes CsvStream()
{
    NavdataState s{};
    s.Demo.altitude = 100;
    s.Demo.theta = 0.1f;
    s.Demo.ctrl_state = 0xFFFFFFFFu;
    s.Raw_meas.raw_gyros[0] = -1;
    const Bytes p0 = PacketBuilder().record(s, 0).record(s, 2).checksum().take();

    s.Time.time = MakeTimeWord(5, 123456);
    const Bytes p1 = PacketBuilder().record(s, 0).record(s, 1).checksum().take();

    s.Demo.altitude = -12;
    s.Demo.theta = std::copysign(std::numeric_limits<float>::quiet_NaN(), -1.0f);
    const Bytes p2 = PacketBuilder().record(s, 0).checksum().take();

    s.Time.time = MakeTimeWord(6, 500000);
    s.Demo.altitude = 3;
    s.Demo.theta = 1e20f;
    s.Demo.phi = std::numeric_limits<float>::infinity();
    s.Demo.ctrl_state = 7;
    const Bytes p3 = PacketBuilder().record(s, 0).record(s, 1).checksum().take();
    return Cat({p0, p1, p2, p3});
}

// The stream of the find and link cases: records 0..5 (packet numbers and
// altitudes below), an untimed packet between records 1 and 2, and the
// numbers: 1 2 [3] 6 (gap of 2) 6 (duplicate) 7 2 (restart).
//   record  0     1     -     2     3     4     5
//   number  1     2     3     6     6     7     2
//   alt     0   500   900  1200  1200   800  1500
//   state  0x20000   0x20000 0x30000 0x30000 0x50000 0x50000
//   time   1.0   1.1   -     1.3   1.4   1.5   1.6
Bytes FindStream()
{
    struct P {
        uint32_t number;
        int32_t altitude;
        uint32_t state;
        uint32_t ms; // 0: no Time option
    };
    const P packets[] = {{1, 0, 0x20000, 1000},    {2, 500, 0x20000, 1100},  {3, 900, 0x20000, 0},
                         {6, 1200, 0x30000, 1300}, {6, 1200, 0x30000, 1400}, {7, 800, 0x50000, 1500},
                         {2, 1500, 0x50000, 1600}};
    Bytes all;
    NavdataState s{};
    for (const P& p : packets) {
        s.Demo.altitude = p.altitude;
        s.Demo.ctrl_state = p.state;
        PacketBuilder b(0, p.number);
        b.record(s, 0);
        if (p.ms)
            b.record(1, rec::Time{MakeTimeWord(p.ms / 1000, (p.ms % 1000) * 1000)});
        const Bytes packet = b.checksum().take();
        all.insert(all.end(), packet.begin(), packet.end());
    }
    return all;
}

QJsonObject JsonObject(const std::string& text, QString* why)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        *why = error.errorString() + ": " + QString::fromStdString(text);
        return {};
    }
    return doc.object();
}

// Keys in snake_case: lower-case letters, digits and "_".
bool SnakeCase(const QJsonObject& o)
{
    for (const QString& k : o.keys())
        for (const QChar c : k)
            if (!(c.isDigit() || c == '_' || (c >= 'a' && c <= 'z')))
                return false;
    return true;
}

} // namespace

class TestNavdataCli : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    int files_ = 0;

    std::string writeStream(const QByteArray& content)
    {
        const QString path = dir_.filePath(QStringLiteral("stream-%1.navdata").arg(files_++));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path.toStdString();
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    // --- info --------------------------------------------------------------

    void info_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QString>("expected"); // everything after the bytes line

        NavdataState s{};
        s.Demo.altitude = 5;
        const Bytes timed = PacketBuilder().record(s, 0).record(1, rec::Time{MakeTimeWord(5, 123456)}).checksum().take();
        rec::Vision vision{};
        vision.time_capture = MakeTimeWord(6, 250000);
        const Bytes visionTimed =
            PacketBuilder().record(1, rec::Time{MakeTimeWord(6, 500000)}).record(13, vision).checksum().take();
        const Bytes untimed = PacketBuilder().record(s, 0).checksum().take();

        QTest::newRow("empty file") << QByteArray()
                                    << "packets: 0\nrecords: 0\nfirst_time: -\nlast_time: -\noptions:\n";
        Bytes partialMagic = Noise(300, 1);
        partialMagic.insert(partialMagic.end(), {0x88, 0x77, 0x66});
        QTest::newRow("noise only") << Q(partialMagic)
                                    << "packets: 0\nrecords: 0\nfirst_time: -\nlast_time: -\noptions:\n";
        QTest::newRow("two packets behind noise")
            << Q(Cat({Noise(7, 2), timed, visionTimed}))
            << "packets: 2\nrecords: 2\nfirst_time: 5.123456\nlast_time: 6.25\noptions: 0=1 1=2 13=1 65535=2\n";
        QTest::newRow("untimed packets are no records")
            << Q(Cat({untimed, timed, untimed}))
            << "packets: 3\nrecords: 1\nfirst_time: 5.123456\nlast_time: 5.123456\noptions: 0=3 1=1 65535=3\n";
        QTest::newRow("time word 0 is no record")
            << Q(PacketBuilder().record(1, rec::Time{0}).checksum().take())
            << "packets: 1\nrecords: 0\nfirst_time: -\nlast_time: -\noptions: 1=1 65535=1\n";

        const uint8_t junk[16] = {};
        const Bytes unknown = PacketBuilder()
                                  .record(1, rec::Time{MakeTimeWord(1, 0)})
                                  .option(28, {junk, 0})
                                  .option(200, {junk, 8})
                                  .option(65534, {junk, 4})
                                  .rawOption(4, 20, junk) // "wrong size": 16 payload bytes follow
                                  .checksum()
                                  .take();
        QTest::newRow("unknown tags and 65535")
            << Q(unknown)
            << "packets: 1\nrecords: 1\nfirst_time: 1\nlast_time: 1\noptions: 1=1 4=1 28=1 200=1 65534=1 65535=1\n";

        Bytes truncated = PacketBuilder().record(1, rec::Time{MakeTimeWord(2, 5)}).take();
        truncated.insert(truncated.end(), {0xFF, 0xFF, 0x08}); // 3 bytes of a checksum header
        QTest::newRow("truncated option header")
            << Q(truncated)
            << "packets: 1\nrecords: 1\nfirst_time: 2.000005\nlast_time: 2.000005\noptions: 1=1\n";

        Bytes magicAtEnd = Noise(20, 3);
        magicAtEnd.insert(magicAtEnd.end(), {0x88, 0x77, 0x66, 0x55, 1, 2});
        QTest::newRow("magic at the very end")
            << Q(magicAtEnd) << "packets: 1\nrecords: 0\nfirst_time: -\nlast_time: -\noptions:\n";

        const Bytes tooSmall = PacketBuilder().record(1, rec::Time{MakeTimeWord(3, 0)}).rawOption(9, 2, {}).take();
        QTest::newRow("option size below 4, then a packet")
            << Q(Cat({tooSmall, timed}))
            << "packets: 2\nrecords: 2\nfirst_time: 3\nlast_time: 5.123456\noptions: 0=1 1=2 9=1 65535=1\n";
    }

    void info()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QString, expected);
        const Result r = RunInProcess({"info", writeStream(stream)});
        QCOMPARE(r.code, 0);
        QCOMPARE(QString::fromStdString(r.err), QString());
        QCOMPARE(QString::fromStdString(r.out), QStringLiteral("bytes: %1\n").arg(stream.size()) + expected);
    }

    // --- show --------------------------------------------------------------

    void show_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("record"); // -2: "Record not found"
        QTest::addColumn<QStringList>("lines");

        const QStringList none;
        QTest::newRow("record 0")
            << QStringList{"--record", "0"} << 0
            << QStringList{"Demo.ctrl_state=001F", "Demo.altitude=-12", "Demo.theta=0.100000001490116",
                           "Raw_meas.raw_accs_0=65535", "Raw_meas.raw_gyros_0=-1", "Time.time=A1E240",
                           "Time.SCFrameEdit2=5.123456", "Magneto.magneto_calibration_ok=1",
                           "Vision.SCFrameEdit1=0", "Altitude.obs_x_V0=", "Raw_meas.gradient="};
        QTest::newRow("record 1 is cumulative")
            << QStringList{"--record", "1"} << 1
            << QStringList{"Demo.ctrl_state=80000000", "Raw_meas.raw_accs_0=65535", "Time.time=C00000",
                           "Time.SCFrameEdit2=6", "Vision.SCFrameEdit1=6.5",
                           "Magneto.magneto_calibration_ok=\\x7f"};
        QTest::newRow("record 2") << QStringList{"--record", "2"} << 2
                                  << QStringList{"Time.SCFrameEdit2=7.25", "Magneto.magneto_calibration_ok=\\xc3"};
        QTest::newRow("last record") << QStringList{"--record", "3"} << 3 << none;
        QTest::newRow("record beyond the last") << QStringList{"--record", "4"} << -2 << none;
        QTest::newRow("record far beyond") << QStringList{"--record", "2147483647"} << -2 << none;
        QTest::newRow("record below -1") << QStringList{"--record", "-2"} << -2 << none;
        QTest::newRow("record -1: initial state, nothing decoded")
            << QStringList{"--record", "-1"} << -1
            << QStringList{"Demo.ctrl_state=0000", "Demo.altitude=0", "Demo.theta=0", "Time.time=0000",
                           "Time.SCFrameEdit2=0", "Magneto.magneto_calibration_ok=\\x00",
                           "Kalman_pressure.bool_effet_sol=0", "Altitude.obs_x_V1="};
        QTest::newRow("time equal to record 0") << QStringList{"--time", "5.123456"} << 0 << none;
        QTest::newRow("time between records 0 and 1")
            << QStringList{"--time", "5.2"} << 1 << QStringList{"Time.SCFrameEdit2=6"};
        QTest::newRow("Vision time decides") << QStringList{"--time", "6.4"} << 1 << none;
        QTest::newRow("time behind Vision time") << QStringList{"--time", "6.6"} << 2 << none;
        QTest::newRow("time shared by two records") << QStringList{"--time", "7.25"} << 2 << none;
        QTest::newRow("tiny time") << QStringList{"--time", "1e-300"} << 0 << none;
        QTest::newRow("time 0") << QStringList{"--time", "0"} << -2 << none;
        QTest::newRow("negative time") << QStringList{"--time", "-3"} << -2 << none;
        QTest::newRow("time above every record") << QStringList{"--time", "7.2500001"} << -2 << none;
        QTest::newRow("time nan") << QStringList{"--time", "nan"} << -2 << none;
        QTest::newRow("time inf") << QStringList{"--time", "inf"} << -2 << none;
    }

    void show()
    {
        QFETCH(QStringList, options);
        QFETCH(int, record);
        QFETCH(QStringList, lines);
        static const std::string path = writeStream(Q(ShowStream()));
        std::vector<std::string> args{"show", path};
        for (const std::string& o : ToArgs(options))
            args.push_back(o);
        const Result r = RunInProcess(args);
        if (record == -2) {
            QCOMPARE(r.code, 1);
            QCOMPARE(QString::fromStdString(r.out), QString());
            QCOMPARE(QString::fromStdString(r.err), QStringLiteral("Record not found\n"));
            return;
        }
        QCOMPARE(r.code, 0);
        QCOMPARE(QString::fromStdString(r.err), QString());
        QVERIFY(r.out.starts_with("record: " + std::to_string(record) + "\n"));
        QString why;
        QVERIFY2(ShowOutputIsComplete(r.out, &why), qPrintable(why));
        const std::vector<std::string> got = Lines(r.out);
        for (const QString& line : lines)
            QVERIFY2(std::find(got.begin(), got.end(), line.toStdString()) != got.end(), qPrintable(line));
    }

    // The character edit and the time edits of one record.
    void showFormats_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<uint>("timeWord");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("digit, 5.123456 s")
            << 0x31 << uint(MakeTimeWord(5, 123456))
            << QStringList{"Magneto.magneto_calibration_ok=1", "Time.time=A1E240", "Time.SCFrameEdit2=5.123456"};
        QTest::newRow("zero byte, all-ones word")
            << 0x00 << 0xFFFFFFFFu
            << QStringList{"Magneto.magneto_calibration_ok=\\x00", "Time.time=FFFFFFFF",
                           "Time.SCFrameEdit2=2049.097151"};
        QTest::newRow("blank, one microsecond")
            << 0x20 << uint(MakeTimeWord(0, 1))
            << QStringList{"Magneto.magneto_calibration_ok= ", "Time.time=0001", "Time.SCFrameEdit2=1E-6"};
        QTest::newRow("tilde, one second")
            << 0x7E << uint(MakeTimeWord(1, 0))
            << QStringList{"Magneto.magneto_calibration_ok=~", "Time.time=200000", "Time.SCFrameEdit2=1"};
        QTest::newRow("backslash") << 0x5C << uint(MakeTimeWord(1, 0))
                                   << QStringList{"Magneto.magneto_calibration_ok=\\"};
        QTest::newRow("line feed") << 0x0A << uint(MakeTimeWord(1, 0))
                                   << QStringList{"Magneto.magneto_calibration_ok=\\x0a"};
        QTest::newRow("0xFF") << 0xFF << uint(MakeTimeWord(1, 0))
                              << QStringList{"Magneto.magneto_calibration_ok=\\xff"};
    }

    void showFormats()
    {
        QFETCH(int, byte);
        QFETCH(uint, timeWord);
        QFETCH(QStringList, lines);
        rec::Magneto m{};
        m.magneto_calibration_ok = char(byte);
        const Bytes p = PacketBuilder().record(1, rec::Time{timeWord}).record(22, m).checksum().take();
        const Result r = RunInProcess({"show", writeStream(Q(p)), "--record", "0"});
        QCOMPARE(r.code, 0);
        QString why;
        QVERIFY2(ShowOutputIsComplete(r.out, &why), qPrintable(why));
        const std::vector<std::string> got = Lines(r.out);
        for (const QString& line : lines)
            QVERIFY2(std::find(got.begin(), got.end(), line.toStdString()) != got.end(), qPrintable(line));
    }

    // --- csv ---------------------------------------------------------------

    void csv_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");

        const QByteArray s = Q(CsvStream());
        QTest::newRow("rows only once Time is set") << s << QStringList{"Demo.altitude"}
                                                    << "time,Demo.altitude\n5.123456,100\n5.123456,-12\n6.5,3\n";
        QTest::newRow("shortest round-trip reals, nan")
            << s << QStringList{"Demo.theta"}
            << "time,Demo.theta\n5.123456,0.10000000149011612\n5.123456,nan\n6.5,100000002004087734272\n";
        QTest::newRow("integers and the time word")
            << s << QStringList{"Demo.ctrl_state", "Raw_meas.raw_gyros_0", "Time.time"}
            << "time,Demo.ctrl_state,Raw_meas.raw_gyros_0,Time.time\n"
               "5.123456,4294967295,-1,10609216\n5.123456,4294967295,-1,10609216\n6.5,7,-1,13082912\n";
        QTest::newRow("keys without an entry give empty cells")
            << s
            << QStringList{"Demo.altitude", "Time.SCFrameEdit2", "demo.altitude", "Demo.altitude ",
                           "Trackers_send.locked_0"}
            << "time,Demo.altitude,Time.SCFrameEdit2,demo.altitude,Demo.altitude ,Trackers_send.locked_0\n"
               "5.123456,100,,,,\n5.123456,-12,,,,\n6.5,3,,,,\n";
        QTest::newRow("last multiplier wins")
            << s
            << QStringList{"Demo.altitude", "--multiplier", "Demo.altitude=2", "--multiplier", "Demo.altitude=0.1"}
            << "time,Demo.altitude\n5.123456,10\n5.123456,-1.2000000000000002\n6.5,0.30000000000000004\n";
        QTest::newRow("multiplier before the keys, others keep 1")
            << s << QStringList{"--multiplier", "Demo.altitude=-0.5", "Demo.altitude", "Demo.ctrl_state"}
            << "time,Demo.altitude,Demo.ctrl_state\n5.123456,-50,4294967295\n5.123456,6,4294967295\n6.5,-1.5,7\n";
        QTest::newRow("same key twice") << s << QStringList{"Demo.altitude", "Demo.altitude"}
                                        << "time,Demo.altitude,Demo.altitude\n5.123456,100,100\n5.123456,-12,-12\n6.5,3,3\n";
        QTest::newRow("non-finite values")
            << s
            << QStringList{"Demo.altitude", "Demo.phi", "Demo.vx", "--multiplier", "Demo.altitude=-inf",
                           "--multiplier", "Demo.vx=inf"}
            << "time,Demo.altitude,Demo.phi,Demo.vx\n5.123456,-inf,0,nan\n5.123456,inf,0,nan\n6.5,-inf,inf,nan\n";
        QTest::newRow("header cells quoted where needed")
            << s << QStringList{"a,b", "say \"hi\"", "x\ny", "plain"}
            << "time,\"a,b\",\"say \"\"hi\"\"\",\"x\ny\",plain\n5.123456,,,,\n5.123456,,,,\n6.5,,,,\n";
        QTest::newRow("keys after --") << s << QStringList{"--", "--multiplier", "Demo.altitude"}
                                       << "time,--multiplier,Demo.altitude\n5.123456,,100\n5.123456,,-12\n6.5,,3\n";
        QTest::newRow("empty file") << QByteArray() << QStringList{"Demo.altitude"} << "time,Demo.altitude\n";
        QTest::newRow("time word 0 gives no row")
            << Q(PacketBuilder().record(1, rec::Time{0}).record(0, rec::Demo{}).checksum().take())
            << QStringList{"Demo.altitude"} << "time,Demo.altitude\n";
        rec::Vision vision{};
        vision.time_capture = MakeTimeWord(9, 0);
        QTest::newRow("Vision time alone gives no row")
            << Q(PacketBuilder().record(13, vision).checksum().take()) << QStringList{"Vision.time_capture"}
            << "time,Vision.time_capture\n";
    }

    void csv()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        std::vector<std::string> a{"csv", writeStream(stream)};
        for (const std::string& s : ToArgs(args))
            a.push_back(s);
        const Result r = RunInProcess(a);
        QCOMPARE(QString::fromStdString(r.err), QString());
        QCOMPARE(r.code, 0);
        QCOMPARE(QString::fromStdString(r.out), expected);
    }

    // Output far beyond one output block arrives whole and in order.
    // --- hostile input -----------------------------------------------------

    // Random and mutated streams from a fixed seed: every command ends
    // normally with a sound result.
    void hostileStreams()
    {
        std::mt19937 rng(20240611u); // raw engine output only: the same everywhere
        auto below = [&rng](uint32_t n) { return n ? uint32_t(rng() % n) : 0u; };

        NavdataState s{};
        auto* raw = reinterpret_cast<uint8_t*>(&s);
        for (std::size_t i = 0; i < sizeof s; ++i)
            raw[i] = uint8_t(rng()); // NaNs, denormals, huge values, any byte
        s.Time.time = MakeTimeWord(3, 1);
        const Bytes base = Cat({BuildFullPacket(s, 0, 1), BuildDemoPacket(s, 0, 2), BuildFullPacket(s, 0, 3)});
        const std::string path = dir_.filePath(QStringLiteral("hostile.navdata")).toStdString();

        QElapsedTimer timer;
        timer.start();
        const int rounds = 300;
        for (int round = 0; round < rounds; ++round) {
            Bytes b;
            if (round % 10 == 9) {
                b.resize(below(4096));
                for (uint8_t& x : b)
                    x = uint8_t(rng());
            } else {
                b = base;
            }
            const int mutations = 1 + int(below(8));
            for (int m = 0; m < mutations; ++m) {
                const uint32_t at = below(uint32_t(b.size()) + 1);
                switch (below(6)) {
                case 0:
                    if (!b.empty())
                        b[at % b.size()] ^= uint8_t(1u << below(8));
                    break;
                case 1: { // a size field of any value
                    static const uint16_t sizes[] = {0, 1, 2, 3, 4, 5, 16, 20, 100, 0xFFFF};
                    const uint16_t v = below(4) ? sizes[below(10)] : uint16_t(rng());
                    if (b.size() >= 2) {
                        const std::size_t p = at % (b.size() - 1);
                        b[p] = uint8_t(v);
                        b[p + 1] = uint8_t(v >> 8);
                    }
                    break;
                }
                case 2:
                    b.insert(b.begin() + at, std::begin(kNavdataMagic), std::end(kNavdataMagic));
                    break;
                case 3:
                    b.resize(at);
                    break;
                case 4: {
                    const uint32_t n = 1 + below(32);
                    for (uint32_t k = 0; k < n; ++k)
                        b.insert(b.begin() + at, uint8_t(rng()));
                    break;
                }
                default:
                    if (b.size() < 8192) {
                        const Bytes slice(b.begin() + at, b.end());
                        b.insert(b.end(), slice.begin(), slice.end());
                    }
                    break;
                }
            }
            if (b.size() > 16384)
                b.resize(16384);
            {
                std::ofstream f(path, std::ios::binary | std::ios::trunc);
                f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
                QVERIFY(f.good());
            }
            const QByteArray tag = "round " + QByteArray::number(round);

            const Result info = RunInProcess({"info", path});
            QVERIFY2(info.code == 0 && info.out.starts_with("bytes: " + std::to_string(b.size()) + "\n"),
                     tag.constData());
            // The file is read in chunks: chunk boundaries anywhere, inside
            // packets and option headers, change no byte of any output.
            const std::size_t chunk = round % 7 == 0 ? 1 : round % 7 == 1 ? 2 : 3 + below(200);
            const std::vector<std::vector<std::string>> all = {
                {"info", path},
                {"csv", path, "Demo.theta", "Time.time", "Magneto.magneto_state"},
                {"show", path, "--record", std::to_string(int(below(6)) - 1)},
                {"show", path, "--time", std::to_string(below(5000) / 1000.0)},
                {"info", path, "--json"},
                {"link", path, "--json"},
                {"csv", path, "Link.packet", "Demo.theta", "Link.missing", "Link.gap", "Link.rate"},
                {"find", path, "Demo.theta changes and Link.gap >= 0", "--all"},
            };
            for (const auto& args : all) {
                const Result whole = RunInProcess(args);
                const Result chunked = RunInProcess(args, chunk);
                QVERIFY2(whole.code == chunked.code && whole.out == chunked.out && whole.err == chunked.err,
                         qPrintable(tag + " " + QByteArray::fromStdString(args[0]) + ", chunk "
                                    + QByteArray::number(qulonglong(chunk))));
            }

            const Result link = RunInProcess({"link", path});
            QVERIFY2(link.code == 0, tag.constData());
            for (const std::string& line : Lines(link.out)) // never a negative count
                QVERIFY2(line.find(": -") == std::string::npos ||
                             (line.ends_with(": -") && link.out.starts_with("packets: 0\n")),
                         (tag + ": " + QByteArray::fromStdString(line)).constData());
            const Result found = RunInProcess({"find", path, "Demo.theta changes and Link.gap >= 0", "--all"});
            QVERIFY2((found.code == 0 || found.code == 1) && found.out.starts_with("record,time\n"), tag.constData());

            const Result csv = RunInProcess({"csv", path, "Demo.theta", "Time.time", "Magneto.magneto_state", "none"});
            QVERIFY2(csv.code == 0, tag.constData());
            for (const std::string& line : Lines(csv.out))
                QVERIFY2(std::count(line.begin(), line.end(), ',') == 4, tag.constData());

            const std::vector<std::vector<std::string>> shows = {
                {"show", path, "--record", std::to_string(int(below(6)) - 1)},
                {"show", path, "--time", std::to_string(below(5000) / 1000.0)},
            };
            for (const auto& args : shows) {
                const Result r = RunInProcess(args);
                QVERIFY2(r.code == 0 || r.code == 1, tag.constData());
                if (r.code == 1) {
                    QVERIFY2(r.out.empty() && r.err == "Record not found\n", tag.constData());
                } else {
                    QString why;
                    QVERIFY2(r.out.starts_with("record: ") && ShowOutputIsComplete(r.out, &why),
                             qPrintable(tag + ": " + why.toUtf8()));
                }
            }
            QVERIFY2(timer.elapsed() < 120000, "hostile rounds took too long");
        }
    }

    // The generator's hostile streams through the real binary: no crash, and
    // the generator gives the same bytes for the same seed.
    void hostileSampleThroughTheBinary()
    {
        const QString a = dir_.filePath(QStringLiteral("hostile-a.navdata"));
        const QString b = dir_.filePath(QStringLiteral("hostile-b.navdata"));
        const QString c = dir_.filePath(QStringLiteral("hostile-c.navdata"));
        const QString gen = QStringLiteral(KESTRIX_MAKE_SAMPLE_EXE);
        for (const auto& [out, seed] : {std::pair{a, "5"}, std::pair{b, "5"}, std::pair{c, "6"}}) {
            const Result r = RunProgram(gen, {out, "--packets", "2000", "--seed", seed, "--hostile"});
            QVERIFY(!r.crashed);
            QCOMPARE(r.code, 0);
        }
        auto content = [](const QString& path) {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        QVERIFY(!content(a).isEmpty());
        QCOMPARE(content(a), content(b));
        QVERIFY(content(a) != content(c));

        for (const QString& path : {a, c}) {
            const Result info = RunTool({"info", path});
            QVERIFY(!info.crashed);
            QCOMPARE(info.code, 0);
            QVERIFY(info.out.find(" 200=") != std::string::npos || info.out.find(" 28=") != std::string::npos
                    || info.out.find(" 4=") != std::string::npos);
            for (const QStringList& args : {QStringList{"show", path, "--record", "1500"},
                                            QStringList{"show", path, "--time", "15"},
                                            QStringList{"csv", path, "Demo.theta", "Demo.phi", "Kalman_pressure.est_z",
                                                        "Phys_meas.phys_accs_2", "Magneto.magneto_state"}}) {
                const Result r = RunTool(args);
                QVERIFY2(!r.crashed, qPrintable(args.join(' ')));
                QVERIFY2(r.code == 0 || (r.code == 1 && args[0] == "show"), qPrintable(args.join(' ')));
            }
        }
    }


    // --- find, link, JSON ---------------------------------------------------

    void find_data()
    {
        QTest::addColumn<QStringList>("args"); // behind "find FILE"
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::newRow("first") << QStringList{"Demo.altitude > 1000"} << 0 << "record,time\n2,1.3\n";
        QTest::newRow("first from 3") << QStringList{"Demo.altitude > 1000", "--from", "3"} << 0
                                      << "record,time\n3,1.4\n";
        QTest::newRow("all") << QStringList{"Demo.altitude>1000", "--all"} << 0 << "record,time\n2,1.3\n3,1.4\n5,1.6\n";
        QTest::newRow("changes, from the record in front") << QStringList{"Demo.ctrl_state changes", "--all", "--from", "2"}
                                                          << 0 << "record,time\n2,1.3\n4,1.5\n";
        QTest::newRow("hex and and") << QStringList{"Demo.ctrl_state == 0x50000 and Demo.altitude < 1000"} << 0
                                     << "record,time\n4,1.5\n";
        QTest::newRow("link gap") << QStringList{"Link.gap > 0", "--all"} << 0 << "record,time\n2,1.3\n";
        QTest::newRow("link missing") << QStringList{"Link.missing >= 2", "--all"} << 0
                                      << "record,time\n2,1.3\n3,1.4\n4,1.5\n5,1.6\n";
        QTest::newRow("link packet after a restart") << QStringList{"Link.packet == 2", "--all"} << 0
                                                     << "record,time\n1,1.1\n5,1.6\n";
        QTest::newRow("none") << QStringList{"Demo.altitude > 5000"} << 1 << "record,time\n";
        QTest::newRow("none at or after --from") << QStringList{"Demo.altitude == 0", "--from", "1"} << 1
                                                 << "record,time\n";
        QTest::newRow("--from beyond the records") << QStringList{"Demo.altitude >= 0", "--from", "99"} << 1
                                                   << "record,time\n";
        QTest::newRow("bad condition") << QStringList{"Demo.altitude >"} << 2 << "";
    }
    void find()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, out);
        std::vector<std::string> all = {"find", writeStream(Q(FindStream()))};
        for (const QString& a : args)
            all.push_back(a.toStdString());
        const Result r = RunInProcess(all);
        QCOMPARE(r.code, code);
        QCOMPARE(QString::fromStdString(r.out), out);
        if (code == 0)
            QVERIFY(r.err.empty());
        else if (code == 1)
            QCOMPARE(QString::fromStdString(r.err), QStringLiteral("Record not found\n"));
        else // one line naming the word and where it is, no usage text
            QCOMPARE(QString::fromStdString(r.err),
                     QStringLiteral("kestrix_navdata: bad condition: a number is missing after \">\" at the end\n"));
    }

    void link_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QString>("expected");
        QTest::newRow("gap, duplicate, restart")
            << Q(FindStream())
            << "packets: 7\nfirst_packet: 1\nlast_packet: 2\nmissing: 2\ngaps: 1\nrestarts: 1\nduplicates: 1\n"
               "longest_gap: 2\nlongest_gap_seconds: 0.2\n";
        QTest::newRow("empty") << QByteArray()
                               << "packets: 0\nfirst_packet: -\nlast_packet: -\nmissing: 0\ngaps: 0\nrestarts: 0\n"
                                  "duplicates: 0\nlongest_gap: 0\nlongest_gap_seconds: 0\n";
        const Bytes a = PacketBuilder(0, 0xFFFFFFFEu).checksum().take();
        const Bytes b = PacketBuilder(0, 0xFFFFFFFFu).checksum().take();
        const Bytes c = PacketBuilder(0, 0).checksum().take();
        const Bytes d = PacketBuilder(0, 4).checksum().take();
        Bytes cut = PacketBuilder(0, 9).checksum().take();
        cut.resize(11); // the number cut short: not counted
        QTest::newRow("wrap, noise, a cut number")
            << Q(Cat({a, Noise(9, 4), b, c, d, cut}))
            << "packets: 4\nfirst_packet: 4294967294\nlast_packet: 4\nmissing: 3\ngaps: 1\nrestarts: 0\n"
               "duplicates: 0\nlongest_gap: 3\nlongest_gap_seconds: 0\n";
    }
    void link()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QString, expected);
        const std::string path = writeStream(stream);
        const Result r = RunInProcess({"link", path});
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.empty());
        QCOMPARE(QString::fromStdString(r.out), expected);

        // The same facts as one JSON object.
        const Result j = RunInProcess({"link", path, "--json"});
        QCOMPARE(j.code, 0);
        QString why;
        const QJsonObject o = JsonObject(j.out, &why);
        QVERIFY2(!o.isEmpty(), qPrintable(why));
        QVERIFY(SnakeCase(o));
        QCOMPARE(o.size(), 9);
        for (const std::string& line : Lines(r.out)) {
            const std::size_t colon = line.find(": ");
            const QString key = QString::fromStdString(line.substr(0, colon));
            const QString value = QString::fromStdString(line.substr(colon + 2));
            QVERIFY2(o.contains(key), qPrintable(key));
            if (value == "-")
                QVERIFY(o.value(key).isNull());
            else
                QCOMPARE(o.value(key).toDouble(), value.toDouble());
        }
    }

    // info --json: the facts of the text, which stays as it is.
    void infoJson()
    {
        const std::string path = writeStream(Q(Cat({Noise(5, 1), ShowStream()})));
        const Result text = RunInProcess({"info", path});
        const Result j = RunInProcess({"info", path, "--json"});
        QCOMPARE(j.code, 0);
        QVERIFY(j.err.empty());
        QString why;
        const QJsonObject o = JsonObject(j.out, &why);
        QVERIFY2(!o.isEmpty(), qPrintable(why));
        QVERIFY(SnakeCase(o));
        QCOMPARE(QString::fromStdString(text.out),
                 QStringLiteral("bytes: %1\npackets: 5\nrecords: 4\nfirst_time: 5.123456\nlast_time: 7.25\n"
                                "options: 0=2 1=4 2=1 13=1 22=3 65535=5\n")
                     .arg(o.value("bytes").toInteger()));
        QCOMPARE(o.value("packets").toInteger(), 5);
        QCOMPARE(o.value("records").toInteger(), 4);
        QCOMPARE(o.value("first_time").toDouble(), 5.123456);
        QCOMPARE(o.value("last_time").toDouble(), 7.25);
        const QJsonObject options = o.value("options").toObject();
        QCOMPARE(options.size(), 6);
        QCOMPARE(options.value("22").toInteger(), 3);
        QCOMPARE(options.value("65535").toInteger(), 5);

        const Result empty = RunInProcess({"info", writeStream({}), "--json"});
        QCOMPARE(QString::fromStdString(empty.out),
                 QStringLiteral("{\"bytes\":0,\"packets\":0,\"records\":0,\"first_time\":null,\"last_time\":null,"
                                "\"options\":{}}\n"));
    }

    void findJson()
    {
        const std::string path = writeStream(Q(FindStream()));
        const Result r = RunInProcess({"find", path, "Demo.altitude > 1000 and Link.gap == 0", "--all", "--json"});
        QCOMPARE(r.code, 0);
        QString why;
        const QJsonObject o = JsonObject(r.out, &why);
        QVERIFY2(!o.isEmpty(), qPrintable(why));
        QVERIFY(SnakeCase(o));
        QCOMPARE(o.value("condition").toString(), QStringLiteral("Demo.altitude > 1000 and Link.gap == 0"));
        QCOMPARE(o.value("from").toInteger(), 0);
        QCOMPARE(o.value("all").toBool(), true);
        QCOMPARE(o.value("count").toInteger(), 2);
        const QJsonArray m = o.value("matches").toArray();
        QCOMPARE(m.size(), 2);
        QCOMPARE(m[0].toObject().value("record").toInteger(), 3);
        QCOMPARE(m[0].toObject().value("time").toDouble(), 1.4);
        QCOMPARE(m[1].toObject().value("record").toInteger(), 5);

        const Result none = RunInProcess({"find", path, "Demo.altitude < 0", "--json"});
        QCOMPARE(none.code, 1);
        QCOMPARE(QString::fromStdString(none.err), QStringLiteral("Record not found\n"));
        QVERIFY(JsonObject(none.out, &why).value("matches").toArray().isEmpty());
    }

    // csv takes the link keys beside the plot keys: one row per packet.
    void csvWithLinkKeys()
    {
        const std::string path = writeStream(Q(FindStream()));
        const Result r = RunInProcess({"csv", path, "Link.packet", "Demo.altitude", "Link.gap", "Link.missing",
                                       "Link.rate", "--multiplier", "Link.missing=10"});
        QCOMPARE(r.code, 0);
        QCOMPARE(QString::fromStdString(r.out),
                 QStringLiteral("time,Link.packet,Demo.altitude,Link.gap,Link.missing,Link.rate\n"
                                "1,1,0,0,0,1\n"
                                "1.1,2,500,0,0,2\n"
                                "1.1,3,900,0,0,3\n"
                                "1.3,6,1200,2,20,4\n"
                                "1.4,6,1200,0,20,5\n"
                                "1.5,7,800,0,20,6\n"
                                "1.6,2,1500,0,20,7\n"));
        // Without link keys the output is that of the plain export.
        const Result plain = RunInProcess({"csv", path, "Demo.altitude", "Link.packet"});
        const Result only = RunInProcess({"csv", path, "Demo.altitude"});
        QCOMPARE(Lines(plain.out).size(), Lines(only.out).size());
    }

    void findThroughTheBinary()
    {
        const QString path = QString::fromStdString(writeStream(Q(FindStream())));
        const Result ok = RunTool({"find", path, "Demo.altitude > 1000"});
        QVERIFY(!ok.crashed);
        QCOMPARE(ok.code, 0);
        QCOMPARE(QString::fromStdString(ok.out), QStringLiteral("record,time\n2,1.3\n"));
        const Result none = RunTool({"find", path, "Demo.altitude > 1e6"});
        QCOMPARE(none.code, 1);
        QCOMPARE(QString::fromStdString(none.err), QStringLiteral("Record not found\n"));
        // A bad condition: one message, nothing searched (not even the file read).
        const Result bad = RunTool({"find", dir_.filePath("never-read.navdata"), "Demo.altitude => 1"});
        QCOMPARE(bad.code, 2);
        QVERIFY(bad.out.empty());
        QCOMPARE(QString::fromStdString(bad.err),
                 QStringLiteral("kestrix_navdata: bad condition: unknown operator \"=>\" at character 15\n"));
        const Result link = RunTool({"link", path});
        QCOMPARE(link.code, 0);
        QVERIFY(link.out.starts_with("packets: 7\n"));
    }

    // --- the real binary: exit codes and messages ---------------------------

    void binaryExitCodes()
    {
        const QString path = QString::fromStdString(writeStream(Q(ShowStream())));
        const Result ok = RunTool({"show", path, "--record", "1"});
        QVERIFY(!ok.crashed);
        QCOMPARE(ok.code, 0);
        QVERIFY(ok.err.empty());
        QCOMPARE(QString::fromStdString(ok.out),
                 QString::fromStdString(RunInProcess({"show", path.toStdString(), "--record", "1"}).out));

        const Result missing = RunTool({"show", path, "--record", "9"});
        QCOMPARE(missing.code, 1);
        QVERIFY(missing.out.empty());
        QCOMPARE(QString::fromStdString(missing.err), QStringLiteral("Record not found\n"));

        const Result info = RunTool({"info", path});
        QCOMPARE(info.code, 0);
        QCOMPARE(QString::fromStdString(info.out), QString::fromStdString(RunInProcess({"info", path.toStdString()}).out));

        // Output that cannot be written is a failure, not success.
        if (QFile::exists(QStringLiteral("/dev/full"))) {
            QProcess p;
            p.setStandardOutputFile(QStringLiteral("/dev/full"));
            p.start(QStringLiteral(KESTRIX_NAVDATA_EXE), {"csv", path, "Demo.altitude"});
            QVERIFY(p.waitForFinished(30000));
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            QCOMPARE(p.exitCode(), 2);
            QVERIFY(p.readAllStandardError().contains("could not write"));
        }

        const Result help = RunTool({"--help"});
        QCOMPARE(help.code, 0);
        QVERIFY(help.err.empty());
        QCOMPARE(QString::fromStdString(help.out), QString::fromStdString(std::string(NavdataCliUsage())));
    }

    void unreadableFile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("command");
        const QString missing = dir_.filePath(QStringLiteral("no-such-file.navdata"));
        for (const QString command : {"info", "show", "csv"}) {
            QTest::addRow("missing file, %s", qPrintable(command)) << missing << command;
            QTest::addRow("directory, %s", qPrintable(command)) << dir_.path() << command;
        }
    }

    void unreadableFile()
    {
        QFETCH(QString, path);
        QFETCH(QString, command);
        QStringList args{command, path};
        if (command == "show")
            args << "--record" << "0";
        if (command == "csv")
            args << "Demo.altitude";
        const Result r = RunTool(args);
        QVERIFY(!r.crashed);
        QCOMPARE(r.code, 2);
        QVERIFY(r.out.empty());
        QVERIFY2(QString::fromStdString(r.err).contains(path), r.err.c_str());
    }

    // A file above 4 GiB (sparse: no disk used) with a packet at its start
    // and one at its end: every command reads it through, with positions
    // beyond 32 bits, and finds both.
    void fileAboveFourGiB()
    {
        const std::string path = dir_.filePath(QStringLiteral("huge.navdata")).toStdString();
        NavdataState s{};
        s.Time.time = MakeTimeWord(1, 500000);
        s.Demo.altitude = 11;
        const Bytes first = PacketBuilder().record(s, 0).record(s, 1).checksum().take();
        s.Time.time = MakeTimeWord(2, 250000);
        s.Demo.altitude = 22;
        const Bytes last = PacketBuilder().record(s, 0).record(s, 1).checksum().take();
        const uint64_t lastAt = (uint64_t(1) << 32) + 4097;
        {
            std::ofstream f(path, std::ios::binary);
            f.write(reinterpret_cast<const char*>(first.data()), std::streamsize(first.size()));
        }
        std::error_code ec;
        std::filesystem::resize_file(path, lastAt, ec);
        if (ec)
            QSKIP("cannot create a sparse file here");
        {
            std::ofstream f(path, std::ios::binary | std::ios::app);
            f.write(reinterpret_cast<const char*>(last.data()), std::streamsize(last.size()));
            QVERIFY(f.good());
        }
        const QString file = QString::fromStdString(path);
        QElapsedTimer timer;
        timer.start();
        const Result info = RunTool({"info", file});
        QVERIFY2(!info.crashed && info.code == 0, info.err.c_str());
        QVERIFY2(info.out.starts_with("bytes: " + std::to_string(lastAt + last.size())
                                      + "\npackets: 2\nrecords: 2\nfirst_time: 1.5\nlast_time: 2.25\n"),
                 info.out.c_str());
        const Result show = RunTool({"show", file, "--record", "1"});
        QVERIFY2(!show.crashed && show.code == 0, show.err.c_str());
        QVERIFY(show.out.starts_with("record: 1\n"));
        const Result csv = RunTool({"csv", file, "Demo.altitude"});
        QVERIFY2(!csv.crashed && csv.code == 0, csv.err.c_str());
        QCOMPARE(QString::fromStdString(csv.out), QStringLiteral("time,Demo.altitude\n1.5,11\n2.25,22\n"));
        std::filesystem::remove(path, ec);
        QVERIFY(timer.elapsed() < 120000);
    }

    void badUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        const QString f = QStringLiteral("stream.navdata"); // never opened: usage is checked first
        QTest::newRow("no arguments") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"frobnicate", f};
        QTest::newRow("info without file") << QStringList{"info"};
        QTest::newRow("info with two files") << QStringList{"info", f, f};
        QTest::newRow("info with an option") << QStringList{"info", f, "--record", "1"};
        QTest::newRow("show without seek") << QStringList{"show", f};
        QTest::newRow("show without file") << QStringList{"show", "--record", "1"};
        QTest::newRow("show with both seeks") << QStringList{"show", f, "--record", "1", "--time", "2"};
        QTest::newRow("--record without value") << QStringList{"show", f, "--record"};
        QTest::newRow("--record abc") << QStringList{"show", f, "--record", "abc"};
        QTest::newRow("--record 1.5") << QStringList{"show", f, "--record", "1.5"};
        QTest::newRow("--record beyond int32") << QStringList{"show", f, "--record", "2147483648"};
        QTest::newRow("--time abc") << QStringList{"show", f, "--time", "abc"};
        QTest::newRow("--time with trailing text") << QStringList{"show", f, "--time", "5s"};
        QTest::newRow("csv without key") << QStringList{"csv", f};
        QTest::newRow("csv without file") << QStringList{"csv"};
        QTest::newRow("--multiplier without =") << QStringList{"csv", f, "Demo.altitude", "--multiplier", "Demo.altitude"};
        QTest::newRow("--multiplier not a number") << QStringList{"csv", f, "Demo.altitude", "--multiplier", "Demo.altitude=x"};
        QTest::newRow("--multiplier empty number") << QStringList{"csv", f, "Demo.altitude", "--multiplier", "Demo.altitude="};
        QTest::newRow("--multiplier without value") << QStringList{"csv", f, "Demo.altitude", "--multiplier"};
        QTest::newRow("unknown option") << QStringList{"csv", f, "Demo.altitude", "--bogus"};
        QTest::newRow("find without condition") << QStringList{"find", f};
        QTest::newRow("find with two conditions") << QStringList{"find", f, "Demo.altitude > 1", "Demo.theta > 1"};
        QTest::newRow("--from -1") << QStringList{"find", f, "Demo.altitude > 1", "--from", "-1"};
        QTest::newRow("--from without value") << QStringList{"find", f, "Demo.altitude > 1", "--from"};
        QTest::newRow("--all for link") << QStringList{"link", f, "--all"};
        QTest::newRow("link with two files") << QStringList{"link", f, f};
        QTest::newRow("link without file") << QStringList{"link", "--json"};
        QTest::newRow("info --json with --record") << QStringList{"info", f, "--json", "--record", "1"};
    }

    void badUsage()
    {
        QFETCH(QStringList, args);
        const Result r = RunTool(args);
        QVERIFY(!r.crashed);
        QCOMPARE(r.code, 2);
        QVERIFY(r.out.empty());
        QVERIFY2(r.err.find(std::string(NavdataCliUsage())) != std::string::npos, r.err.c_str());
    }

    // --- the generated sample -------------------------------------------------

    void generatedSample()
    {
        const std::string path = KESTRIX_SAMPLE_STREAM;
        QVERIFY2(QFile::exists(QString::fromStdString(path)), path.c_str());
        const Result info = RunInProcess({"info", path});
        QCOMPARE(info.code, 0);
        const std::vector<std::string> lines = Lines(info.out);
        QCOMPARE(lines.size(), std::size_t(6));
        const std::string packets = lines[1].substr(std::string("packets: ").size());
        QVERIFY(std::stoi(packets) >= 1000);
        QCOMPARE(QString::fromStdString(lines[0]),
                 QStringLiteral("bytes: %1").arg(std::stoull(packets) * kFullPacketSize));
        QCOMPARE(QString::fromStdString(lines[2]), QString::fromStdString("records: " + packets));
        std::string options = "options:";
        for (int tag = 0; tag < kOptionTagCount; ++tag)
            options += " " + std::to_string(tag) + "=" + packets;
        options += " 65535=" + packets;
        QCOMPARE(QString::fromStdString(lines[5]), QString::fromStdString(options));

        // Time rises from packet to packet and every field varies.
        const Result csv = RunInProcess({"csv", path, "Demo.altitude", "Demo.theta", "Demo.vbat_flying_percentage"});
        QCOMPARE(csv.code, 0);
        const std::vector<std::string> rows = Lines(csv.out);
        QCOMPARE(rows.size(), std::size_t(std::stoull(packets) + 1));
        double last = 0;
        const QStringList first = QString::fromStdString(rows[1]).split(',');
        bool varies[3] = {};
        for (std::size_t i = 1; i < rows.size(); ++i) {
            const QStringList cells = QString::fromStdString(rows[i]).split(',');
            QCOMPARE(cells.size(), 4);
            const double t = cells[0].toDouble();
            QVERIFY2(t > last, rows[i].c_str());
            last = t;
            for (int k = 0; k < 3; ++k)
                varies[k] = varies[k] || cells[k + 1] != first[k + 1];
        }
        QVERIFY(varies[0] && varies[1] && varies[2]);

        const Result show = RunInProcess({"show", path, "--record", packets});
        QCOMPARE(show.code, 1);
        const Result lastRecord = RunInProcess({"show", path, "--record", std::to_string(std::stoi(packets) - 1)});
        QCOMPARE(lastRecord.code, 0);
    }
};

KESTRIX_GUILESS_TEST(TestNavdataCli)
#include "test_navdata_cli.moc"
