// kestrix_sim as the tool meets it: the simulator runs on 127.0.0.2, this test
// binds 127.0.0.1:5554 and 127.0.0.1:5556 as the tool does, wakes the stream,
// sends the tool's AT commands and decodes what comes back with the core
// decoder. Every wait is bounded.
#include "at_parser.h"
#include "flight_model.h"
#include "packet_writer.h"
#include "replay_plan.h"
#include "sim_log.h"

#include "kestrix/at_commands.h"
#include "kestrix/decoder.h"
#include "kestrix/packet_builder.h"

#include "suite_main.h"

#include <QtTest>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QNetworkProxyFactory>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <signal.h>

#include <cstring>
#include <functional>
#include <set>
#include <vector>

using namespace kestrix;
using kestrix::sim::FlightState;

namespace {

// Packed record fields may sit at odd addresses: compare copies, never
// references to them.
template <class T>
T val(T v)
{
    return v;
}

const QHostAddress kSimHost(qEnvironmentVariable("KESTRIX_DRONE_ADDRESS", "127.0.0.2"));
const QHostAddress kToolHost(qEnvironmentVariable("KESTRIX_BIND_ADDRESS", "127.0.0.1"));
constexpr quint16 kNavPort = 5554;
constexpr quint16 kAtPort = 5556;

QByteArray B(const std::string& s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

uint32_t packetNumber(const QByteArray& d)
{
    uint32_t n = 0;
    if (d.size() >= 12)
        std::memcpy(&n, d.constData() + sim::kPacketNumberOffset, 4);
    return n;
}

// True when `d` is exactly a well-formed packet of the given options, each of
// its record's size, in order, ending with a correct checksum option.
bool wellFormed(const QByteArray& d, const std::vector<int>& tags)
{
    auto u16 = [&](qsizetype at) {
        return uint16_t(uint8_t(d[at]) | uint8_t(d[at + 1]) << 8);
    };
    if (d.size() < 16 || std::memcmp(d.constData(), kNavdataMagic, 4) != 0)
        return false;
    qsizetype at = 16;
    for (int tag : tags) {
        if (at + 4 > d.size() || u16(at) != tag || u16(at + 2) != kRecordSlots[tag].size + 4)
            return false;
        at += u16(at + 2);
    }
    if (at + 8 != d.size() || u16(at) != kChecksumTag || u16(at + 2) != 8)
        return false;
    uint32_t sum = 0, stored = 0;
    for (qsizetype i = 0; i < at; ++i)
        sum += uint8_t(d[i]);
    std::memcpy(&stored, d.constData() + at + 4, 4);
    return sum == stored;
}

std::vector<int> allTags()
{
    std::vector<int> t;
    for (int i = 0; i < kOptionTagCount; ++i)
        t.push_back(i);
    return t;
}

// The simulator process.
class Sim {
public:
    bool start(const QStringList& args)
    {
        proc_.setProgram(QStringLiteral(KESTRIX_SIM_PATH));
        proc_.setArguments(args);
        proc_.setReadChannel(QProcess::StandardError); // its messages go there
        proc_.start();
        if (!proc_.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000) {
            if (err().contains("ready on"))
                return true;
            if (proc_.state() == QProcess::NotRunning)
                return false;
            proc_.waitForReadyRead(100);
        }
        return false;
    }
    QString err()
    {
        err_ += QString::fromUtf8(proc_.readAllStandardError());
        return err_;
    }
    // Waits (bounded) for it to end by itself.
    bool waitEnd(int ms = 5000)
    {
        const bool done = proc_.state() == QProcess::NotRunning || proc_.waitForFinished(ms);
        err();
        return done;
    }
    bool terminate()
    {
        proc_.terminate(); // SIGTERM
        return waitEnd();
    }
    void signal(int sig) { ::kill(pid_t(proc_.processId()), sig); }
    int exitCode() const { return proc_.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return proc_.exitStatus(); }
    // A number from the summary line, e.g. summary("commands parsed").
    qint64 summary(const QString& label)
    {
        const QRegularExpression re(QRegularExpression::escape(label) + " (-?\\d+)");
        const auto m = re.match(err());
        return m.hasMatch() ? m.captured(1).toLongLong() : -999999;
    }
    ~Sim()
    {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.kill();
            proc_.waitForFinished(3000);
        }
    }

private:
    QProcess proc_;
    QString err_;
};

// The tool's side: navdata socket on 5554, AT socket on 5556.
class Peer {
public:
    bool bind()
    {
        for (auto [socket, port] : {std::pair{&nav, kNavPort}, std::pair{&at, kAtPort}}) {
            if (!socket->bind(kToolHost, port)) {
                error = QString("cannot bind %1:%2 (%3); is another test using the fixed ports?")
                            .arg(kToolHost.toString()).arg(port).arg(socket->errorString());
                return false;
            }
        }
        nav.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4 << 20);
        return true;
    }
    void wake() { QCOMPARE(nav.writeDatagram(QByteArray(1, char(at::kWakeByte)), kSimHost, kNavPort), 1); }
    // Sends from the AT socket (or the navdata socket) to the AT port and
    // remembers the datagram for the log check.
    void send(const std::string& datagram, bool fromNavdataSocket = false)
    {
        const QByteArray d = B(datagram);
        QUdpSocket& s = fromNavdataSocket ? nav : at;
        QCOMPARE(s.writeDatagram(d, kSimHost, kAtPort), qint64(d.size()));
        sent.push_back({d, fromNavdataSocket ? kNavPort : kAtPort});
    }
    // The numbered and composite paths of the tool; `commands` counts the
    // commands they carry.
    void numbered(std::string_view templ)
    {
        send(at::NumberedDatagram(templ, seq));
        ++commands;
    }
    void composite(std::string_view second)
    {
        send(at::ConfigIdsDatagram(second, seq));
        commands += second.empty() ? 1 : 2;
    }

    // Next navdata datagram within `ms`, or false.
    bool next(QByteArray& d, int ms = 2000)
    {
        QElapsedTimer t;
        t.start();
        while (!nav.hasPendingDatagrams()) {
            const int left = ms - int(t.elapsed());
            if (left <= 0 || !nav.waitForReadyRead(left))
                if (!nav.hasPendingDatagrams())
                    return false;
        }
        const qint64 size = nav.pendingDatagramSize();
        d.resize(qsizetype(std::max<qint64>(size, 0)));
        nav.readDatagram(d.data(), d.size());
        return true;
    }

    // Reads navdata until a well-decoded full packet satisfies `pred`, within
    // `ms`. The decoded records stay in `dec`.
    bool until(const std::function<bool(const NavdataState&)>& pred, int ms = 5000)
    {
        QElapsedTimer t;
        t.start();
        QByteArray d;
        while (t.elapsed() < ms) {
            if (!next(d, int(ms - t.elapsed())))
                return false;
            if (!wellFormed(d, allTags()))
                continue;
            const auto* p = reinterpret_cast<const uint8_t*>(d.constData());
            if (DecodeNavdataPacket({p, std::size_t(d.size())}, 0, dec) != int32_t(d.size()))
                return false;
            if (pred(dec.state))
                return true;
        }
        return false;
    }
    const NavdataState& st() const { return dec.state; }

    struct Sent {
        QByteArray bytes;
        quint16 sourcePort;
    };
    QUdpSocket nav, at;
    QString error;
    at::AtSequence seq;
    int commands = 0;
    NavdataDecoder dec;
    std::vector<Sent> sent;
};

struct LogLine {
    double ms;
    int local, source;
    QByteArray bytes;
};

std::vector<LogLine> readLog(const QString& path)
{
    std::vector<LogLine> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    const QByteArray all = f.readAll();
    for (const QByteArray& line : all.split('\n')) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() < 4)
            return {};
        LogLine l;
        l.ms = parts[0].toDouble();
        l.local = parts[1].toInt();
        l.source = parts[2].toInt();
        const QByteArray rest = line.mid(parts[0].size() + parts[1].size() + parts[2].size() + 3);
        std::string raw;
        if (!sim::UnescapeLogBytes(rest.toStdString(), raw))
            return {};
        l.bytes = B(raw);
        out.push_back(l);
    }
    return out;
}

uint32_t state(const NavdataState& s)
{
    return s.Demo.ctrl_state;
}

// A recording for the replay: `noise` bytes in front, then `count` packets
// numbered from 1, packet k timed at 1 s + k * stepMs (every third one
// without a time), a few stray bytes behind packet 2.
QByteArray replayFile(int count, int stepMs, int noise)
{
    QByteArray f(noise, char(0x21));
    for (int k = 0; k < count; ++k) {
        PacketBuilder b(0, uint32_t(k + 1));
        if (k % 3 != 1) {
            const uint32_t ms = 1000u + uint32_t(k * stepMs);
            const uint32_t word = MakeTimeWord(ms / 1000u, (ms % 1000u) * 1000u);
            b.option(1, {reinterpret_cast<const uint8_t*>(&word), 4});
        }
        const uint32_t watchdog = uint32_t(k);
        b.option(17, {reinterpret_cast<const uint8_t*>(&watchdog), 4}).checksum();
        f += QByteArray(reinterpret_cast<const char*>(b.data().data()), qsizetype(b.data().size()));
        if (k == 2)
            f += QByteArray(5, char(0x42));
    }
    return f;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

} // namespace

class TestSim : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;

private slots:
    void initTestCase()
    {
        // Plain loopback sockets: no system proxy lookup (and no helper thread for it).
        QNetworkProxyFactory::setUseSystemConfiguration(false);
        QVERIFY(QFile::exists(QStringLiteral(KESTRIX_SIM_PATH)));
        QVERIFY(dir_.isValid());
        QCOMPARE(kSimHost, QHostAddress("127.0.0.2"));
        QCOMPARE(kToolHost, QHostAddress("127.0.0.1"));
    }

    // --- refusals ---------------------------------------------------------

    void refusesAddressesOutsideLoopback_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("message");
        QTest::newRow("private") << "10.1.2.3" << "refusing address 10.1.2.3";
        QTest::newRow("link-local") << "169.254.1.1" << "refusing address 169.254.1.1";
        QTest::newRow("public") << "8.8.8.8" << "refusing address 8.8.8.8";
        QTest::newRow("any") << "0.0.0.0" << "refusing address 0.0.0.0";
        QTest::newRow("name") << "localhost" << "invalid address";
    }
    void refusesAddressesOutsideLoopback()
    {
        QFETCH(QString, address);
        QFETCH(QString, message);
        Peer peer;
        QVERIFY2(peer.bind(), qPrintable(peer.error)); // anything it sent to loopback would land here
        const QString log = dir_.filePath("refused-" + QString(QTest::currentDataTag()) + ".log");

        // Under strace when there is one: the run must not make a single
        // socket call, so nothing can leave for the refused address.
        const QString strace = QStandardPaths::findExecutable("strace");
        const QString trace = dir_.filePath("refused.trace");
        QProcess p;
        const QStringList simArgs{"--address", address, "--log", log, "--rate", "5000"};
        if (!strace.isEmpty()) {
            QFile::remove(trace);
            // LeakSanitizer cannot run under ptrace: off for the traced run
            // of a sanitizer build (nothing changes in a normal build).
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
            p.setProcessEnvironment(env);
            p.start(strace, QStringList{"-f", "-qq", "-e",
                                        "trace=socket,bind,connect,sendto,sendmsg,sendmmsg", "-o",
                                        trace, QStringLiteral(KESTRIX_SIM_PATH)} + simArgs);
        } else {
            p.start(QStringLiteral(KESTRIX_SIM_PATH), simArgs);
        }
        QVERIFY(p.waitForFinished(10000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 2);
        QVERIFY2(err.contains(message), qPrintable(err));
        QVERIFY2(err.contains("127.0.0.0/8") || err.contains("loopback"), qPrintable(err));
        QVERIFY(!err.contains("ready on"));
        QVERIFY(!QFile::exists(log));
        if (!strace.isEmpty()) {
            QFile f(trace);
            if (f.open(QIODevice::ReadOnly)) {
                const QByteArray calls = f.readAll();
                QVERIFY2(calls.trimmed().isEmpty(), calls.constData());
            } else {
                qInfo("strace could not trace here; syscall check skipped");
            }
        }
        QTest::qWait(100);
        QVERIFY(!peer.nav.hasPendingDatagrams());
        QVERIFY(!peer.at.hasPendingDatagrams());
    }

    void reportsABusyPort_data()
    {
        QTest::addColumn<int>("port");
        QTest::newRow("AT port") << int(kAtPort);
        QTest::newRow("navdata port") << int(kNavPort);
    }
    void reportsABusyPort()
    {
        QFETCH(int, port);
        QUdpSocket squatter;
        QVERIFY(squatter.bind(kSimHost, quint16(port)));
        QProcess p;
        p.start(QStringLiteral(KESTRIX_SIM_PATH), QStringList{});
        QVERIFY(p.waitForFinished(10000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 3);
        QVERIFY2(err.contains(QString("cannot bind 127.0.0.2:%1").arg(port)), qPrintable(err));
        QVERIFY(!err.contains("ready on"));
    }

    // --- navdata ----------------------------------------------------------

    void streamsReducedThenFull()
    {
        Sim sim;
        Peer peer;
        QVERIFY2(peer.bind(), qPrintable(peer.error));
        QVERIFY(sim.start({"--demo-rate", "40"}));
        QTest::qWait(300);
        QVERIFY(!peer.nav.hasPendingDatagrams()); // nothing before the wake datagram
        peer.wake();

        // Reduced navdata: Demo, Time, checksum; at most 500 bytes.
        QByteArray d;
        uint32_t lastNumber = 0;
        double lastTime = -1;
        for (int i = 0; i < 6; ++i) {
            QVERIFY(peer.next(d));
            QVERIFY(d.size() <= 500);
            QVERIFY(wellFormed(d, {0, 1}));
            NavdataDecoder dec;
            QCOMPARE(DecodeNavdataPacket({reinterpret_cast<const uint8_t*>(d.constData()),
                                          std::size_t(d.size())}, 0, dec), int32_t(d.size()));
            QCOMPARE(val(dec.state.Demo.ctrl_state), uint32_t(FlightState::Landed));
            QCOMPARE(val(dec.state.Demo.vbat_flying_percentage), 100u);
            QVERIFY(dec.headerWord & sim::kHeaderReducedNavdata);
            QCOMPARE(packetNumber(d), lastNumber + 1);
            QVERIFY(dec.recordTime > lastTime);
            lastNumber = packetNumber(d);
            lastTime = dec.recordTime;
        }
        QCOMPARE(lastNumber, 6u); // counted from 1

        // "FALSE" behind ConfigIdsPrefix: full navdata.
        peer.composite(at::kNavdataDemoFalse);
        QElapsedTimer t;
        t.start();
        int reducedAfter = 0;
        for (;;) {
            QVERIFY(peer.next(d));
            QCOMPARE(packetNumber(d), lastNumber + 1);
            lastNumber = packetNumber(d);
            if (d.size() > 500)
                break;
            QVERIFY(++reducedAfter < 5);
        }
        int full = 0;
        t.restart();
        while (full < 100) {
            QVERIFY(d.size() > 500);
            QCOMPARE(std::size_t(d.size()), kFullPacketSize);
            QVERIFY(wellFormed(d, allTags()));
            NavdataDecoder dec;
            QCOMPARE(DecodeNavdataPacket({reinterpret_cast<const uint8_t*>(d.constData()),
                                          std::size_t(d.size())}, 0, dec), int32_t(d.size()));
            QVERIFY(!(dec.headerWord & sim::kHeaderReducedNavdata));
            QCOMPARE(val(dec.state.Vision.time_capture), val(dec.state.Time.time));
            QVERIFY(dec.recordTime > lastTime);
            QCOMPARE(val(dec.state.Video_stream.atcmd_ref_seq), uint32_t(peer.seq.value()));
            lastTime = dec.recordTime;
            ++full;
            QVERIFY(peer.next(d));
            QCOMPARE(packetNumber(d), lastNumber + 1);
            lastNumber = packetNumber(d);
        }
        // 100 packets at 200 a second: about half a second, allow a loaded machine.
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));

        // Back to reduced with "TRUE", the tool's Stop: its first datagram
        // comes from the navdata socket with the fixed number 1.
        peer.send(std::string(at::kStopFirst), true);
        t.restart();
        for (;;) {
            QVERIFY(peer.next(d));
            QCOMPARE(packetNumber(d), lastNumber + 1);
            lastNumber = packetNumber(d);
            if (d.size() <= 500)
                break;
            QVERIFY(t.elapsed() < 2000);
        }
        QVERIFY(wellFormed(d, {0, 1}));

        QVERIFY(sim.terminate());
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY2(sim.summary("packets sent") >= lastNumber, qPrintable(sim.err()));
        QCOMPARE(sim.summary("commands parsed"), 3);
        QCOMPARE(sim.summary("unparsed"), 0);
        QCOMPARE(sim.summary("last sequence"), 1);
    }

    void commandsShowInNavdata()
    {
        Sim sim;
        Peer peer;
        QVERIFY2(peer.bind(), qPrintable(peer.error));
        QVERIFY(sim.start({}));
        peer.composite(at::kNavdataDemoFalse);
        peer.wake();
        QVERIFY(peer.until([](const NavdataState& s) { return s.Demo.ctrl_state == 1; }));
        QCOMPARE(val(peer.st().Demo.altitude), 0);
        QVERIFY(peer.st().Trims.euler_angles_trim_theta != 0.0f);

        // Take-off: taking off, climbing, then flying at about 1 m.
        peer.numbered(at::kRefTakeOff);
        QVERIFY(peer.until([](const NavdataState& s) {
            return state(s) == uint32_t(FlightState::TakingOff) && s.Demo.altitude > 100;
        }));
        QVERIFY(peer.st().Demo.vz > 0);
        QVERIFY(peer.st().Navdata_pwm.motor1 > 0);
        QVERIFY(peer.until([](const NavdataState& s) {
            return state(s) == uint32_t(FlightState::Flying) && std::abs(s.Demo.altitude - 1000) < 30;
        }));
        QVERIFY(std::abs(peer.st().Altitude.altitude_vision - 1000) < 30);

        // Forward: nose down, forward speed; the release levels it again.
        peer.numbered(at::kPcmdForward);
        QVERIFY(peer.until([](const NavdataState& s) { return s.Demo.theta < -3000 && s.Demo.vx > 300; }));
        QCOMPARE(val(peer.st().Rc_references.rc_ref_pitch), -300);
        peer.numbered(at::kPcmdRelease);
        QVERIFY(peer.until([](const NavdataState& s) {
            return std::abs(s.Demo.theta) < 100 && std::abs(s.Demo.vx) < 50;
        }));
        QCOMPARE(state(peer.st()), uint32_t(FlightState::Flying));

        // Up, then right turn: altitude and heading.
        peer.numbered(at::kPcmdUp);
        QVERIFY(peer.until([](const NavdataState& s) { return s.Demo.altitude > 1300 && s.Demo.vz > 200; }));
        peer.numbered(at::kPcmdYawRight);
        QVERIFY(peer.until([](const NavdataState& s) { return s.Demo.psi > 5000; }));
        peer.numbered(at::kPcmdRelease);
        QVERIFY(peer.until([](const NavdataState& s) { return std::abs(s.Demo.vz) < 20; }));
        const int32_t held = peer.st().Demo.altitude;
        QVERIFY(held > 1300);

        // Land: landing, then landed on the ground with the motors off.
        peer.numbered(at::kRefLand);
        QVERIFY(peer.until([](const NavdataState& s) { return state(s) == uint32_t(FlightState::Landing); }));
        QVERIFY(peer.until([](const NavdataState& s) {
            return state(s) == uint32_t(FlightState::Landed) && s.Demo.altitude == 0;
        }, 8000));
        QCOMPARE(int(peer.st().Navdata_pwm.motor1), 0);

        // Emergency in flight: motors stop at once, it drops to the ground.
        peer.numbered(at::kRefTakeOff);
        QVERIFY(peer.until([](const NavdataState& s) { return state(s) == uint32_t(FlightState::Flying); }));
        peer.numbered(at::kRefEmergency);
        QVERIFY(peer.until([](const NavdataState& s) { return state(s) == uint32_t(FlightState::Emergency); }));
        const auto& pwm = peer.st().Navdata_pwm;
        QCOMPARE(int(pwm.motor1) + pwm.motor2 + pwm.motor3 + pwm.motor4, 0);
        QVERIFY(peer.until([](const NavdataState& s) {
            return state(s) == uint32_t(FlightState::Emergency) && s.Demo.altitude == 0;
        }, 3000));
        QVERIFY(peer.dec.headerWord & sim::kHeaderEmergency);

        // The AT samples window: PWM values show, Stop All stops them.
        peer.seq.set(1);
        peer.numbered(at::PwmCommand(10, 20, 30, 40));
        QVERIFY(peer.until([](const NavdataState& s) {
            return s.Navdata_pwm.motor1 == 10 && s.Navdata_pwm.motor2 == 20 &&
                   s.Navdata_pwm.motor3 == 30 && s.Navdata_pwm.motor4 == 40;
        }));
        peer.numbered(at::LedCommand(12, 5.0, 3));
        QVERIFY(peer.until([](const NavdataState& s) { return s.Video_stream.data5 == 12; }));
        peer.numbered(at::kPwmStopAll);
        peer.numbered(at::kRefStopAll);
        QVERIFY(peer.until([](const NavdataState& s) {
            return s.Navdata_pwm.motor1 == 0 && s.Navdata_pwm.motor4 == 0;
        }));

        // Trim and the two settings of the main window.
        peer.numbered(at::kFtrim);
        peer.numbered(at::kOutdoorTrue);
        peer.numbered(at::kHullTrue);
        QVERIFY(peer.until([](const NavdataState& s) {
            return s.Trims.euler_angles_trim_theta == 0.0f && s.Trims.euler_angles_trim_phi == 0.0f &&
                   s.Trims.angular_rates_trim_r == 0.0f && s.Video_stream.data1 == 1 &&
                   s.Video_stream.data2 == 1;
        }));
        QVERIFY(peer.dec.headerWord & sim::kHeaderOutdoor);
        peer.numbered(at::kOutdoorFalse);
        QVERIFY(peer.until([](const NavdataState& s) { return s.Video_stream.data1 == 0; }));

        // Counters: every command parsed, the last number seen.
        const int32_t last = peer.seq.value();
        QCOMPARE(peer.commands, 19);
        QVERIFY(peer.until([&](const NavdataState& s) {
            return int32_t(s.Video_stream.atcmd_ref_seq) == last && s.Video_stream.data4 == 0 &&
                   s.Video_stream.data3 == peer.commands;
        }));
        QVERIFY(peer.st().Demo.vbat_flying_percentage <= 100 && peer.st().Demo.vbat_flying_percentage >= 95);

        QVERIFY(sim.terminate());
        QCOMPARE(sim.exitCode(), 0);
        QCOMPARE(sim.summary("commands parsed"), peer.commands);
        QCOMPARE(sim.summary("unparsed"), 0);
        QCOMPARE(sim.summary("last sequence"), last);
    }

    // --- the whole catalogue, and the log ---------------------------------

    void logHoldsTheExactBytes()
    {
        const QString log = dir_.filePath("catalogue.log");
        Sim sim;
        Peer peer;
        QVERIFY2(peer.bind(), qPrintable(peer.error));
        QVERIFY(sim.start({"--log", log}));

        // In the order the tool would send them: link up, start, flying,
        // settings, AT samples, stop.
        peer.send(std::string(at::kProbe));
        ++peer.commands;
        peer.numbered(at::kSessionId);
        peer.numbered(at::kApplicationId);
        peer.numbered(at::kProfileId);
        peer.numbered(at::kWatchdog);
        peer.composite(at::kNavdataDemoFalse);
        peer.wake();
        for (auto t : {at::kRefTakeOff, at::kPcmdUp, at::kPcmdDown, at::kPcmdYawLeft, at::kPcmdYawRight,
                       at::kPcmdForward, at::kPcmdBackward, at::kPcmdLeft, at::kPcmdRight,
                       at::kPcmdRelease, at::kFtrim, at::kRefLand, at::kRefEmergency,
                       at::kOutdoorFalse, at::kOutdoorTrue, at::kHullFalse, at::kHullTrue})
            peer.numbered(t);
        peer.send(at::ReceiveWatchdogDatagram(peer.seq), true);
        ++peer.commands;
        peer.composite("AT*REF=#,290718208"); // "Send" with a typed command
        peer.composite("");                   // "Send" with an empty edit: a second carriage return
        peer.composite(at::LedCommand(3, 5.0, 2)); // "Send" after the AT samples "Copy"
        peer.numbered(at::LedCommand(3, 5.0, 2));
        peer.seq.set(1);
        peer.numbered(at::PwmCommand(1, 2, 3, 255));
        peer.seq.set(1);
        peer.numbered(at::kPwmStopAll);
        peer.numbered(at::kRefStopAll);
        // A byte of every value, to see the escapes: its one carriage return
        // leaves two broken pieces.
        std::string every;
        for (int i = 0; i < 256; ++i)
            every += char(i);
        peer.send(every);
        const int unparsed = 2;
        QCOMPARE(peer.commands, 34);
        // The last command seen is "AT*REF=1,290717952": its fixed 1, although
        // the tool's counter has moved on to 3.
        QCOMPARE(peer.seq.value(), 3);
        const int lastSeen = 1;

        // The counters travel in full navdata: wait until all arrived.
        QVERIFY2(peer.until([&](const NavdataState& s) {
            return s.Video_stream.data3 == peer.commands && s.Video_stream.data4 == unparsed &&
                   int32_t(s.Video_stream.atcmd_ref_seq) == lastSeen;
        }), qPrintable(QString("parsed %1 unparsed %2 last %3")
                           .arg(peer.st().Video_stream.data3)
                           .arg(peer.st().Video_stream.data4)
                           .arg(int32_t(peer.st().Video_stream.atcmd_ref_seq))));

        // Stop, as the tool does it: back to reduced navdata.
        peer.send(std::string(at::kStopFirst), true);
        ++peer.commands;
        peer.composite(at::kNavdataDemoTrue);
        QByteArray d;
        QElapsedTimer t;
        t.start();
        do {
            QVERIFY(peer.next(d));
            QVERIFY(t.elapsed() < 3000);
        } while (d.size() > 500);

        QVERIFY(sim.terminate());
        QCOMPARE(sim.exitCode(), 0);
        QCOMPARE(sim.summary("commands parsed"), peer.commands);
        QCOMPARE(sim.summary("unparsed"), unparsed);
        QCOMPARE(sim.summary("last sequence"), peer.seq.value());

        // The log: the wake datagram and every AT datagram, exactly, in order.
        const std::vector<LogLine> lines = readLog(log);
        QCOMPARE(lines.size(), peer.sent.size() + 1);
        std::size_t atLine = 0;
        bool sawWake = false;
        double lastMs = 0;
        for (const LogLine& l : lines) {
            QVERIFY(l.ms >= lastMs);
            lastMs = l.ms;
            if (l.local == kNavPort) {
                QVERIFY(!sawWake);
                sawWake = true;
                QCOMPARE(l.source, int(kNavPort));
                QCOMPARE(l.bytes, QByteArray(1, '\x01'));
                continue;
            }
            QCOMPARE(l.local, int(kAtPort));
            QVERIFY(atLine < peer.sent.size());
            QCOMPARE(l.source, int(peer.sent[atLine].sourcePort));
            QCOMPARE(l.bytes, peer.sent[atLine].bytes);
            ++atLine;
        }
        QVERIFY(sawWake);
        QCOMPARE(atLine, peer.sent.size());

        // And literally, for one line: the watchdog numbered 4.
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(QRegularExpression("\\n\\d+\\.\\d{3} 5556 5556 AT\\*COMWDG=4\\\\r\\n")
                    .match(QString::fromLatin1(text)).hasMatch());
        QVERIFY(text.contains(" 5554 5554 \\x01\n"));
        QVERIFY(text.contains("\\x00\\x01"));
        QVERIFY(text.contains("[\\\\]"));
    }

    // --- robustness -------------------------------------------------------

    void garbageIsCountedNeverCrashes()
    {
        const QString log = dir_.filePath("garbage.log");
        Sim sim;
        Peer peer;
        QVERIFY2(peer.bind(), qPrintable(peer.error));
        QVERIFY(sim.start({"--log", log}));
        peer.composite(at::kNavdataDemoFalse);
        peer.wake();
        QVERIFY(peer.until([](const NavdataState&) { return true; }));

        // Hand-made faults, then random bytes; the pure parser tells how many
        // pieces each holds that are not commands.
        std::vector<std::string> garbage = {
            "", "\r", "AT*REF=1,290718208", "at*ref=1,2\r", "AT*PCMD=1,1,0,0\r",
            "AT*REF=99999999999,1\r", "AT*CONFIG=1,\"a\r", std::string("AT*\0\0\0\r", 7),
            "AT*COMWDG=5\rAT*NOPE\rAT*COMWDG=6\r", std::string(60000, 'A'),
            std::string(8000, '\r'), "\xff\xfe\xfd",
        };
        QRandomGenerator rng(1234);
        for (int i = 0; i < 300; ++i) {
            std::string d(rng.bounded(1, 1500), '\0');
            for (char& c : d)
                c = char(rng.bounded(256));
            garbage.push_back(d);
        }
        sim::AtParser reference;
        std::vector<sim::AtCommand> cmds;
        reference.feed(peer.sent.front().bytes.toStdString(), cmds); // the "FALSE" datagram
        for (const std::string& g : garbage) {
            peer.send(g);
            reference.feed(g, cmds);
            if (peer.sent.size() % 50 == 0)
                QTest::qWait(5); // keep well inside the receive buffer
        }
        // Datagrams on the navdata port only steer the stream.
        for (int i = 0; i < 20; ++i)
            QCOMPARE(peer.nav.writeDatagram(QByteArray(i * 37, char(i)), kSimHost, kNavPort), qint64(i * 37));
        QVERIFY(reference.unparsed() > 200);

        // Still alive and streaming full navdata, with the counts.
        const auto unparsed = int32_t(reference.unparsed());
        const auto parsed = int32_t(reference.parsed());
        QVERIFY(peer.until([&](const NavdataState& s) {
            return s.Video_stream.data4 == unparsed && s.Video_stream.data3 == parsed;
        }));
        QByteArray d;
        for (int i = 0; i < 20; ++i) {
            QVERIFY(peer.next(d));
            QVERIFY(wellFormed(d, allTags()));
        }
        QVERIFY(sim.terminate());
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QCOMPARE(sim.summary("unparsed"), unparsed);
        QCOMPARE(sim.summary("commands parsed"), parsed);
        QCOMPARE(sim.summary("last sequence"), reference.lastSequence());
        // One log line per datagram, the empty and the largest included.
        const std::vector<LogLine> lines = readLog(log);
        QCOMPARE(lines.size(), peer.sent.size() + 1 + 20);
        bool sawEmpty = false, saw60k = false;
        for (const LogLine& l : lines) {
            sawEmpty |= l.local == kAtPort && l.bytes.isEmpty();
            saw60k |= l.bytes.size() == 60000;
        }
        QVERIFY(sawEmpty && saw60k);
    }

    void hostileStreamKeepsEveryNumber()
    {
        constexpr int kPackets = 800;
        Sim sim;
        Peer peer;
        QVERIFY2(peer.bind(), qPrintable(peer.error));
        QVERIFY(sim.start({"--hostile", "0.3", "--seed", "5", "--rate", "1000", "--packets",
                           QString::number(kPackets)}));
        peer.composite(at::kNavdataDemoFalse);
        QTest::qWait(50);
        peer.wake();
        std::set<uint32_t> numbers;
        int good = 0, bad = 0;
        QByteArray d;
        QElapsedTimer t;
        t.start();
        while (int(numbers.size()) < kPackets && t.elapsed() < 10000) {
            if (!peer.next(d, 1000))
                break;
            QVERIFY(d.size() >= 12);
            const uint32_t n = packetNumber(d);
            QVERIFY2(numbers.insert(n).second, "a packet number came twice");
            if (wellFormed(d, allTags()))
                ++good;
            else
                ++bad;
            // The decoder takes hostile datagrams without harm.
            NavdataDecoder dec;
            DecodeNavdataPacket({reinterpret_cast<const uint8_t*>(d.constData()), std::size_t(d.size())},
                                0, dec);
        }
        QCOMPARE(int(numbers.size()), kPackets);
        QCOMPARE(*numbers.begin(), 1u);
        QCOMPARE(*numbers.rbegin(), uint32_t(kPackets));
        QVERIFY2(bad > kPackets * 0.2 && bad < kPackets * 0.4, qPrintable(QString::number(bad)));
        QVERIFY(sim.waitEnd());
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(sim.err().contains("packet count reached"));
        QCOMPARE(sim.summary("packets sent"), kPackets);
        QCOMPARE(sim.summary("(hostile"), bad);
        QCOMPARE(good + bad, kPackets);
    }

    // --- ending -----------------------------------------------------------

    void stopsCleanly_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("signal"); // 0: ends by itself
        QTest::addColumn<QString>("reason");
        QTest::newRow("duration") << QStringList{"--duration", "0.5"} << 0 << "duration reached";
        QTest::newRow("packets") << QStringList{"--packets", "5", "--demo-rate", "50"} << 0
                                 << "packet count reached";
        QTest::newRow("SIGINT") << QStringList{} << int(SIGINT) << "SIGINT";
        QTest::newRow("SIGTERM") << QStringList{} << int(SIGTERM) << "SIGTERM";
    }
    void stopsCleanly()
    {
        QFETCH(QStringList, args);
        QFETCH(int, signal);
        QFETCH(QString, reason);
        Sim sim;
        Peer peer;
        QVERIFY2(peer.bind(), qPrintable(peer.error));
        QElapsedTimer t;
        t.start();
        QVERIFY(sim.start(args));
        peer.wake();
        QByteArray d;
        QVERIFY(peer.next(d));
        if (signal)
            sim.signal(signal);
        QVERIFY(sim.waitEnd(5000));
        QVERIFY(t.elapsed() < 5000);
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        const QString err = sim.err();
        QVERIFY2(err.contains(reason + ": packets sent "), qPrintable(err));
        QVERIFY(err.contains("commands parsed 0, unparsed 0, last sequence 0"));
        if (reason == "packet count reached") {
            QCOMPARE(sim.summary("packets sent"), 5);
            int n = 1;
            while (peer.next(d, 300))
                ++n;
            QCOMPARE(n, 5);
        }
    }

    // --- replay of a recording ---------------------------------------------

    void replaySendsTheRecordingUnchanged()
    {
        const QByteArray file = replayFile(40, 5, 17);
        const QString path = writeFile(dir_, "replay.navdata", file);
        QVERIFY(!path.isEmpty());
        const std::vector<sim::ReplayDatagram> plan =
            sim::PlanReplay({reinterpret_cast<const uint8_t*>(file.constData()), std::size_t(file.size())});
        QCOMPARE(plan.size(), std::size_t(41)); // the noise in front, then one per packet

        Sim sim;
        Peer peer;
        QVERIFY2(peer.bind(), qPrintable(peer.error));
        QVERIFY(sim.start({"--replay", path, "--speed", "10"}));
        QTest::qWait(200);
        QVERIFY(!peer.nav.hasPendingDatagrams()); // nothing before the wake datagram
        peer.wake();
        // Reduced/full switches are taken, logged and ignored, with one notice.
        peer.composite(at::kNavdataDemoFalse);
        peer.composite(at::kNavdataDemoTrue);

        QByteArray all;
        QByteArray d;
        std::size_t k = 0;
        while (peer.next(d, 3000)) {
            QVERIFY2(k < plan.size(), "more datagrams than the recording holds");
            QCOMPARE(d, file.mid(qsizetype(plan[k].offset), qsizetype(plan[k].size)));
            all += d;
            ++k;
            if (k == plan.size())
                break;
        }
        QCOMPARE(k, plan.size());
        QCOMPARE(all, file);
        QVERIFY(sim.waitEnd(5000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        const QString err = sim.err();
        QVERIFY2(err.contains("replay finished: packets sent 41"), qPrintable(err));
        QCOMPARE(err.count("reduced/full navdata switches are ignored"), 1);
        QVERIFY2(err.contains("commands parsed 4"), qPrintable(err));
        QVERIFY(!peer.next(d, 200));
    }

    // Paced by the record times divided by the speed: 8 packets 100 ms apart
    // at speed 2 take 350 ms from the first datagram to the last.
    void replayKeepsTheRecordedPace()
    {
        const QByteArray file = replayFile(8, 100, 0);
        const QString path = writeFile(dir_, "pace.navdata", file);
        Sim sim;
        Peer peer;
        QVERIFY2(peer.bind(), qPrintable(peer.error));
        QVERIFY(sim.start({"--replay", path, "--speed", "2"}));
        peer.wake();
        QByteArray d;
        QVERIFY(peer.next(d));
        QElapsedTimer t;
        t.start();
        for (int k = 1; k < 8; ++k)
            QVERIFY(peer.next(d));
        const qint64 ms = t.elapsed();
        QVERIFY2(ms >= 250 && ms < 3000, qPrintable(QString::number(ms)));
        QVERIFY(sim.waitEnd(5000));
        QCOMPARE(sim.exitCode(), 0);
    }

    void replayLoops()
    {
        const QByteArray file = replayFile(3, 5, 0);
        const QString path = writeFile(dir_, "loop.navdata", file);
        Sim sim;
        Peer peer;
        QVERIFY2(peer.bind(), qPrintable(peer.error));
        QVERIFY(sim.start({"--replay", path, "--loop", "--speed", "100"}));
        peer.wake();
        QByteArray d;
        for (int k = 0; k < 10; ++k) {
            QVERIFY(peer.next(d));
            QCOMPARE(packetNumber(d), uint32_t(k % 3 + 1));
        }
        QVERIFY(sim.terminate());
        QCOMPARE(sim.exitCode(), 0);
    }

    void replayRefusesFile_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: no file at all
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << "cannot read";
        QTest::newRow("empty") << QByteArray("") << "is empty";
        QTest::newRow("no packet") << QByteArray(3000, char(0x33)) << "holds no navdata packet";
    }
    void replayRefusesFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString path = bytes.isNull() ? dir_.filePath("absent.navdata")
                                            : writeFile(dir_, "refused.navdata", bytes);
        QVERIFY(!path.isEmpty());
        QProcess p;
        p.start(QStringLiteral(KESTRIX_SIM_PATH), {"--replay", path});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 2);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains("cannot replay") && err.contains(message) && !err.contains("ready on"),
                 qPrintable(err));
    }
};

KESTRIX_GUILESS_TEST(TestSim)
#include "test_sim.moc"
