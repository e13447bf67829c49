// The simulator's parts without sockets: AT parser, flight model, packet
// writer, hostile datagrams, log format and command line.
#include "at_parser.h"
#include "flight_model.h"
#include "packet_writer.h"
#include "sim_log.h"
#include "sim_options.h"
#include "replay_plan.h"

#include "kestrix/at_commands.h"
#include "kestrix/decoder.h"
#include "kestrix/packet_builder.h"
#include "kestrix/stream_reader.h"

#include "suite_main.h"

#include <QtTest>

#include <bit>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace kestrix;
using namespace kestrix::sim;

namespace {

// Packed record fields may sit at odd addresses: compare copies, never
// references to them.
template <class T>
T val(T v)
{
    return v;
}

std::string S(const QByteArray& b)
{
    return std::string(b.constData(), std::size_t(b.size()));
}
QByteArray B(std::string_view s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

// Writes (or with Append adds) `n` bytes to the file at `path`.
bool WriteBytes(const QString& path, const void* data, std::size_t n,
                QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile out(path);
    return out.open(mode) && out.write(static_cast<const char*>(data), qint64(n)) == qint64(n);
}

// Feeds one datagram to the model the way the simulator does.
void apply(FlightModel& m, AtParser& p, std::string_view datagram)
{
    std::vector<AtCommand> cmds;
    p.feed(datagram, cmds);
    for (const AtCommand& c : cmds) {
        switch (c.kind) {
        case AtKind::Ref: m.ref(c.ints[0]); break;
        case AtKind::Pcmd:
            m.pcmd(c.ints[0], std::bit_cast<float>(c.ints[1]), std::bit_cast<float>(c.ints[2]),
                   std::bit_cast<float>(c.ints[3]), std::bit_cast<float>(c.ints[4]));
            break;
        case AtKind::Ftrim: m.ftrim(); break;
        case AtKind::Pwm: m.pwm(c.ints[0], c.ints[1], c.ints[2], c.ints[3]); break;
        case AtKind::Led: m.led(c.ints[0], std::bit_cast<float>(c.ints[1]), c.ints[2]); break;
        case AtKind::Config:
            if (c.texts[0] == "control:outdoor")
                m.setOutdoor(c.texts[1] == "TRUE");
            if (c.texts[0] == "control:flight_without_shell")
                m.setFlightWithoutShell(c.texts[1] == "TRUE");
            break;
        default: break;
        }
    }
}

std::string numbered(std::string_view templ, int32_t n)
{
    return at::NumberTemplate(templ, n) + "\r";
}

// Runs the model in 20 ms steps until `pred` holds or `limit` seconds pass;
// returns the time it took, or -1.
template <class Pred>
double runUntil(FlightModel& m, Pred pred, double limit)
{
    const double start = m.time();
    while (m.time() - start < limit) {
        if (pred())
            return m.time() - start;
        m.advance(0.02);
    }
    return pred() ? m.time() - start : -1.0;
}

FlightModel flyingModel()
{
    FlightModel m;
    m.ref(at::kRefWordTakeOff);
    runUntil(m, [&] { return m.state() == FlightState::Flying; }, 10.0);
    m.advance(2.0); // settle at the take-off height
    return m;
}

// The simulator's options parsed from `args` (the program name put in front).
bool Parse(const QStringList& args, SimOptions& o, std::string& error)
{
    std::vector<std::string> store{"kestrix_sim"};
    for (const QString& a : args)
        store.push_back(a.toStdString());
    std::vector<const char*> argv;
    for (const std::string& s : store)
        argv.push_back(s.c_str());
    return ParseSimOptions(int(argv.size()), argv.data(), o, error);
}

} // namespace

class TestSimModel : public QObject {
    Q_OBJECT
private slots:
    // --- AT parser --------------------------------------------------------

    void parsesCatalogue_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("kinds"); // parsed commands, in order
        QTest::addColumn<int>("lastSeq");

        auto row = [](const char* name, std::string d, const char* kinds, int seq) {
            QTest::newRow(name) << B(d) << QString(kinds) << seq;
        };
        row("1 take off", numbered(at::kRefTakeOff, 7), "REF", 7);
        row("2 land", numbered(at::kRefLand, 8), "REF", 8);
        row("3 emergency", numbered(at::kRefEmergency, 9), "REF", 9);
        row("4 up", numbered(at::kPcmdUp, 10), "PCMD", 10);
        row("5 down", numbered(at::kPcmdDown, 11), "PCMD", 11);
        row("6 yaw left", numbered(at::kPcmdYawLeft, 12), "PCMD", 12);
        row("7 yaw right", numbered(at::kPcmdYawRight, 13), "PCMD", 13);
        row("8 forward", numbered(at::kPcmdForward, 14), "PCMD", 14);
        row("9 backward", numbered(at::kPcmdBackward, 15), "PCMD", 15);
        row("10 left", numbered(at::kPcmdLeft, 16), "PCMD", 16);
        row("11 right", numbered(at::kPcmdRight, 17), "PCMD", 17);
        row("12 release", numbered(at::kPcmdRelease, 18), "PCMD", 18);
        row("13 trim", numbered(at::kFtrim, 19), "FTRIM", 19);
        row("14 outdoor false", numbered(at::kOutdoorFalse, 20), "CONFIG", 20);
        row("14 outdoor true", numbered(at::kOutdoorTrue, 21), "CONFIG", 21);
        row("15 hull false", numbered(at::kHullFalse, 22), "CONFIG", 22);
        row("15 hull true", numbered(at::kHullTrue, 23), "CONFIG", 23);
        row("16 session", numbered(at::kSessionId, 1), "CONFIG", 1);
        row("17 application", numbered(at::kApplicationId, 2), "CONFIG", 2);
        row("18 profile", numbered(at::kProfileId, 3), "CONFIG", 3);
        row("19 watchdog", numbered(at::kWatchdog, 4), "COMWDG", 4);
        row("20 probe", std::string(at::kProbe), "COMWDG", 0);
        at::AtSequence seq;
        seq.set(41);
        row("21 receive watchdog", at::ReceiveWatchdogDatagram(seq), "COMWDG", 42);
        seq.set(41);
        row("22 start", at::ConfigIdsDatagram(at::kNavdataDemoFalse, seq), "CONFIG_IDS CONFIG", 43);
        row("23 stop first", std::string(at::kStopFirst), "CONFIG", 1);
        seq.set(7);
        row("24 stop second", at::ConfigIdsDatagram(at::kNavdataDemoTrue, seq), "CONFIG_IDS CONFIG", 9);
        seq.set(4);
        row("25 send typed", at::ConfigIdsDatagram("AT*REF=#,290718208", seq), "CONFIG_IDS REF", 6);
        seq.set(4);
        row("25 send empty edit", at::ConfigIdsDatagram("", seq), "CONFIG_IDS", 5);
        seq.set(4);
        row("25 send copied LED", at::ConfigIdsDatagram(at::LedCommand(3, 5.0, 2), seq), "CONFIG_IDS LED", 1);
        row("26 LED", numbered(at::LedCommand(100, 100.0, 100), 30), "LED", 1);
        row("27 PWM", numbered(at::PwmCommand(255, 0, 128, 7), 2), "PWM", 1);
        row("28 PWM stop all", numbered(at::kPwmStopAll, 1), "PWM", 1);
        row("29 REF stop all", numbered(at::kRefStopAll, 2), "REF", 1);
        row("negative sequence", numbered(at::kWatchdog, -5), "COMWDG", -5);
        row("int32 extremes", "AT*PCMD=-2147483648,1,2147483647,-2147483648,0,0\r", "PCMD", INT32_MIN);
    }
    void parsesCatalogue()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, kinds);
        QFETCH(int, lastSeq);
        AtParser p;
        std::vector<AtCommand> cmds;
        p.feed(S(datagram), cmds);
        QStringList got;
        for (const AtCommand& c : cmds)
            got << QString::fromLatin1(AtKindName(c.kind).data(), qsizetype(AtKindName(c.kind).size()));
        QCOMPARE(got.join(' '), kinds);
        QCOMPARE(p.unparsed(), 0u);
        QCOMPARE(p.parsed(), uint64_t(cmds.size()));
        QCOMPARE(p.lastSequence(), lastSeq);
    }

    void parsesArguments()
    {
        AtParser p;
        std::vector<AtCommand> cmds;
        p.feed(numbered(at::kPcmdYawLeft, 12), cmds);
        QCOMPARE(cmds.size(), std::size_t(1));
        QCOMPARE(cmds[0].argCount, 5);
        QCOMPARE(cmds[0].ints[0], 1);
        QCOMPARE(std::bit_cast<float>(cmds[0].ints[4]), -0.3f);
        QCOMPARE(std::bit_cast<float>(cmds[0].ints[1]), 0.0f);

        at::AtSequence seq;
        p.feed(at::ConfigIdsDatagram(at::kNavdataDemoFalse, seq), cmds);
        QCOMPARE(cmds.size(), std::size_t(2));
        QCOMPARE(cmds[0].sequence, 1);
        QCOMPARE(cmds[0].texts[0], std::string("a0000aa1"));
        QCOMPARE(cmds[0].texts[1], std::string("a0000aa3"));
        QCOMPARE(cmds[0].texts[2], std::string("a0000aa2"));
        QCOMPARE(cmds[1].sequence, 2);
        QCOMPARE(cmds[1].texts[0], std::string("general:navdata_demo"));
        QCOMPARE(cmds[1].texts[1], std::string("FALSE"));

        p.feed(numbered(at::LedCommand(4, 5.0, 9), 1), cmds);
        QCOMPARE(cmds[0].ints[0], 4);
        QCOMPARE(std::bit_cast<float>(cmds[0].ints[1]), 5.0f);
        QCOMPARE(cmds[0].ints[2], 9);

        p.feed(std::string(at::kProbe), cmds);
        QVERIFY(!cmds[0].hasSequence);
        QCOMPARE(p.lastSequence(), 1); // the probe has no number: the last one stays
        QCOMPARE(p.unparsed(), 0u);
    }

    void countsWhatItCannotParse_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("parsed");
        QTest::addColumn<int>("unparsed");
        auto row = [](const char* name, std::string d, int parsed, int unparsed) {
            QTest::newRow(name) << B(d) << parsed << unparsed;
        };
        row("no carriage return", "AT*REF=1,290718208", 0, 1);
        row("probe without carriage return", "AT*COMWDG", 0, 1);
        row("lower case", "at*ref=1,290718208\r", 0, 1);
        row("unknown name", "AT*XYZ=1\r", 0, 1);
        row("name with suffix", "AT*REFX=1,5\r", 0, 1);
        row("ids with suffix", "AT*CONFIG_IDSX=1,\"a\",\"b\",\"c\"\r", 0, 1);
        row("REF without argument", "AT*REF=1\r", 0, 1);
        row("REF with two arguments", "AT*REF=1,2,3\r", 0, 1);
        row("PCMD with four arguments", "AT*PCMD=1,1,0,0,0\r", 0, 1);
        row("PCMD with six arguments", "AT*PCMD=1,1,0,0,0,0,0\r", 0, 1);
        row("PWM with five motors", "AT*PWM=1,0,0,0,0,0\r", 0, 1);
        row("LED with two arguments", "AT*LED=1,2,3\r", 0, 1);
        row("FTRIM with an argument", "AT*FTRIM=1,2\r", 0, 1);
        row("FTRIM trailing comma", "AT*FTRIM=1,\r", 0, 1);
        row("empty sequence", "AT*COMWDG=\r", 0, 1);
        row("plus sign", "AT*REF=+1,5\r", 0, 1);
        row("sequence overflow", "AT*REF=2147483648,5\r", 0, 1);
        row("argument underflow", "AT*REF=1,-2147483649\r", 0, 1);
        row("eleven digits", "AT*REF=1,00000000001\r", 0, 1);
        row("bare minus", "AT*REF=-,5\r", 0, 1);
        row("space before equals", "AT*REF =1,5\r", 0, 1);
        row("space in arguments", "AT*REF=1, 5\r", 0, 1);
        row("real instead of integer", "AT*PCMD=1,1,0.5,0,0,0\r", 0, 1);
        row("unquoted config", "AT*CONFIG=1,general:navdata_demo,TRUE\r", 0, 1);
        row("open quote", "AT*CONFIG=1,\"general:navdata_demo\",\"TRUE\r", 0, 1);
        row("config with integer", "AT*CONFIG=1,\"k\",5\r", 0, 1);
        row("ids with two ids", "AT*CONFIG_IDS=1,\"a\",\"b\"\r", 0, 1);
        row("NUL inside", std::string("AT*REF=1,29\0" "0718208\r", 19), 0, 1);
        row("control byte in string", "AT*CONFIG=1,\"a\x01\",\"b\"\r", 0, 1);
        row("line feed ending", "AT*REF=1,290718208\n", 0, 1);
        row("only carriage returns", "\r\r\r", 0, 0);
        row("empty datagram", "", 0, 0);
        row("mixed", "AT*REF=5,290718208\rgarbage\rAT*COMWDG=6\r", 2, 1);
        row("good then unterminated", "AT*COMWDG=6\rAT*COMWDG=7", 1, 1);
        row("binary", std::string("\xff\xfe\x00\x01\r\x80\x81", 7), 0, 2);
    }
    void countsWhatItCannotParse()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(int, parsed);
        QFETCH(int, unparsed);
        AtParser p;
        std::vector<AtCommand> cmds;
        p.feed(S(datagram), cmds);
        QCOMPARE(int(p.parsed()), parsed);
        QCOMPARE(int(p.unparsed()), unparsed);
        QCOMPARE(int(cmds.size()), parsed);
    }

    void lastSequenceFollowsTheLastParsedCommand()
    {
        AtParser p;
        std::vector<AtCommand> cmds;
        p.feed("AT*REF=5,290718208\rAT*REF=99,x\rAT*COMWDG=6\r", cmds);
        QCOMPARE(p.lastSequence(), 6);
        p.feed("AT*COMWDG=900\r", cmds);
        p.feed("AT*COMWDG=1000", cmds); // unterminated: not seen
        QCOMPARE(p.lastSequence(), 900);
        p.feed(std::string(at::kStopFirst), cmds);
        QCOMPARE(p.lastSequence(), 1);
        QCOMPARE(p.datagrams(), 4u);
        QCOMPARE(p.parsed(), 4u);
        QCOMPARE(p.unparsed(), 2u);
    }

    void survivesRandomBytes()
    {
        std::mt19937 rng(42);
        AtParser p;
        std::vector<AtCommand> cmds;
        uint64_t crs = 0, datagrams = 0;
        const std::string alphabet = "AT*REFPCMDWGONIL_=,\"-0123456789\r#";
        for (int i = 0; i < 20000; ++i) {
            std::string d(rng() % 200, '\0');
            const bool text = i % 2;
            for (char& c : d)
                c = text ? alphabet[rng() % alphabet.size()] : char(rng());
            crs += uint64_t(std::count(d.begin(), d.end(), '\r'));
            p.feed(d, cmds);
            ++datagrams;
            QVERIFY(cmds.size() <= d.size() / 3 + 1);
        }
        QCOMPARE(p.datagrams(), datagrams);
        // Every command piece is counted once at most: pieces <= CRs + one tail each.
        QVERIFY(p.parsed() + p.unparsed() <= crs + datagrams);
        QVERIFY(p.unparsed() > 0);
    }

    // --- flight model -----------------------------------------------------

    void startsLanded()
    {
        FlightModel m;
        NavdataState s{};
        m.fill(s, {});
        QCOMPARE(val(s.Demo.ctrl_state), uint32_t(FlightState::Landed));
        QCOMPARE(val(s.Demo.altitude), 0);
        QCOMPARE(val(s.Demo.vbat_flying_percentage), 100u);
        QCOMPARE(int(s.Navdata_pwm.motor1), 0);
        QVERIFY(!m.motorsOn());
        QCOMPARE(val(s.Video_stream.data5), -1);
    }

    void takeOffClimbsToOneMetre()
    {
        FlightModel m;
        m.ref(at::kRefWordTakeOff);
        QCOMPARE(m.state(), FlightState::TakingOff);
        m.advance(0.5);
        QCOMPARE(m.state(), FlightState::TakingOff);
        QVERIFY(m.altitudeMm() > 100 && m.altitudeMm() < 900);
        QVERIFY(m.vzMm() > 300);
        QVERIFY(m.motorsOn());
        const double t = runUntil(m, [&] { return m.state() == FlightState::Flying; }, 10.0);
        QVERIFY2(t > 0.5 && t < 3.0, qPrintable(QString::number(t)));
        m.advance(3.0);
        QCOMPARE(m.state(), FlightState::Flying);
        QVERIFY(std::abs(m.altitudeMm() - 1000.0) < 5.0);
        QVERIFY(std::abs(m.vzMm()) < 10.0);
        NavdataState s{};
        m.fill(s, {});
        QCOMPARE(val(s.Demo.ctrl_state), uint32_t(FlightState::Flying));
        QCOMPARE(val(s.Altitude.altitude_vision), val(s.Demo.altitude));
        QCOMPARE(val(s.Altitude.altitude_ref), 1000);
        QVERIFY(std::abs(s.Demo.altitude - 1000) < 5);
        for (uint8_t motor : {s.Navdata_pwm.motor1, s.Navdata_pwm.motor2, s.Navdata_pwm.motor3,
                              s.Navdata_pwm.motor4})
            QCOMPARE(int(motor), 160); // level hover: all motors alike
        // A second take-off in flight changes nothing.
        m.ref(at::kRefWordTakeOff);
        QCOMPARE(m.state(), FlightState::Flying);
    }

    void movementShowsInTheMatchingField_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("theta"); // expected sign after 1 s: -1, 0, +1
        QTest::addColumn<int>("phi");
        QTest::addColumn<int>("psi");
        QTest::addColumn<int>("vx");
        QTest::addColumn<int>("vy");
        QTest::addColumn<int>("vz");
        auto row = [](const char* name, std::string_view templ, int th, int ph, int ps, int vx, int vy,
                      int vz) { QTest::newRow(name) << B(numbered(templ, 50)) << th << ph << ps << vx << vy << vz; };
        row("forward", at::kPcmdForward, -1, 0, 0, +1, 0, 0);
        row("backward", at::kPcmdBackward, +1, 0, 0, -1, 0, 0);
        row("left", at::kPcmdLeft, 0, -1, 0, 0, -1, 0);
        row("right", at::kPcmdRight, 0, +1, 0, 0, +1, 0);
        row("up", at::kPcmdUp, 0, 0, 0, 0, 0, +1);
        row("down", at::kPcmdDown, 0, 0, 0, 0, 0, -1);
        row("yaw left", at::kPcmdYawLeft, 0, 0, -1, 0, 0, 0);
        row("yaw right", at::kPcmdYawRight, 0, 0, +1, 0, 0, 0);
    }
    void movementShowsInTheMatchingField()
    {
        QFETCH(QByteArray, command);
        QFETCH(int, theta);
        QFETCH(int, phi);
        QFETCH(int, psi);
        QFETCH(int, vx);
        QFETCH(int, vy);
        QFETCH(int, vz);
        FlightModel m = flyingModel();
        AtParser p;
        const double alt0 = m.altitudeMm();
        apply(m, p, S(command));
        m.advance(1.0);
        NavdataState s{};
        m.fill(s, {});
        auto sign = [](double v, double dead) { return v > dead ? 1 : v < -dead ? -1 : 0; };
        QCOMPARE(sign(s.Demo.theta, 100), theta);
        QCOMPARE(sign(s.Demo.phi, 100), phi);
        QCOMPARE(sign(s.Demo.psi, 1000), psi);
        QCOMPARE(sign(s.Demo.vx, 50), vx);
        QCOMPARE(sign(s.Demo.vy, 50), vy);
        QCOMPARE(sign(s.Demo.vz, 50), vz);
        QCOMPARE(sign(s.Demo.altitude - alt0, 100), vz);
        QCOMPARE(val(s.Euler_angles.theta), val(s.Demo.theta));
        QCOMPARE(val(s.References.ui_seq), 1);
        // Magnitudes of the documented response: 0.3 tilt -> 6000 mdeg,
        // 0.5 gaz -> 500 mm/s, 0.3 yaw -> 30000 mdeg/s.
        if (theta)
            QVERIFY(std::abs(std::abs(s.Demo.theta) - 6000.0) < 50.0);
        if (phi)
            QVERIFY(std::abs(std::abs(s.Demo.phi) - 6000.0) < 50.0);
        if (vz)
            QVERIFY(std::abs(std::abs(s.Demo.vz) - 500.0) < 30.0);
        if (psi)
            QVERIFY(std::abs(std::abs(s.Demo.psi) - 27000.0) < 1500.0); // 1 s at 30 deg/s less the lag
        if (theta || phi)
            QVERIFY(std::abs(s.Demo.vx) + std::abs(s.Demo.vy) > 500.0);

        // The release holds position: level, still, at the height reached.
        const double heading = m.psiMdeg();
        const double altReached = m.altitudeMm();
        apply(m, p, numbered(at::kPcmdRelease, 51));
        m.advance(4.0);
        QVERIFY(std::abs(m.thetaMdeg()) < 1.0);
        QVERIFY(std::abs(m.phiMdeg()) < 1.0);
        QVERIFY(std::abs(m.vxMm()) < 5.0);
        QVERIFY(std::abs(m.vyMm()) < 5.0);
        QVERIFY(std::abs(m.vzMm()) < 5.0);
        QVERIFY(std::abs(m.psiMdeg() - heading) < 3000.0); // the turn stops quickly
        QVERIFY(std::abs(m.altitudeMm() - altReached) < 150.0);
        QCOMPARE(m.state(), FlightState::Flying);
    }

    void movementOnTheGroundMovesNothing()
    {
        FlightModel m;
        AtParser p;
        apply(m, p, numbered(at::kPcmdForward, 1));
        apply(m, p, numbered(at::kPcmdUp, 2));
        m.advance(1.0);
        QCOMPARE(m.altitudeMm(), 0.0);
        QCOMPARE(m.thetaMdeg(), 0.0);
        NavdataState s{};
        m.fill(s, {});
        QCOMPARE(val(s.Rc_references.rc_ref_gaz), 500); // recorded all the same
        QCOMPARE(val(s.Rc_references.rc_ref_ag), 1);
        QCOMPARE(val(s.References.ui_seq), 2);
    }

    void landDescendsToTheGround()
    {
        FlightModel m = flyingModel();
        m.ref(at::kRefWordLand);
        QCOMPARE(m.state(), FlightState::Landing);
        m.advance(0.3);
        QVERIFY(m.vzMm() < -200);
        QVERIFY(m.altitudeMm() < 1000);
        const double t = runUntil(m, [&] { return m.state() == FlightState::Landed; }, 10.0);
        QVERIFY2(t > 0.5 && t < 3.0, qPrintable(QString::number(t)));
        QCOMPARE(m.altitudeMm(), 0.0);
        QCOMPARE(m.vzMm(), 0.0);
        QVERIFY(!m.motorsOn());
        // Land on the ground: nothing; take off from Landing: climbs back.
        m.ref(at::kRefWordLand);
        QCOMPARE(m.state(), FlightState::Landed);
        m = flyingModel();
        m.ref(at::kRefWordLand);
        m.advance(0.5);
        m.ref(at::kRefWordTakeOff);
        QCOMPARE(m.state(), FlightState::TakingOff);
    }

    void emergencyStopsTheMotors()
    {
        FlightModel m = flyingModel();
        AtParser p;
        apply(m, p, numbered(at::kRefEmergency, 60));
        QCOMPARE(m.state(), FlightState::Emergency);
        QVERIFY(!m.motorsOn());
        NavdataState s{};
        m.fill(s, {});
        QCOMPARE(val(s.Demo.ctrl_state), uint32_t(FlightState::Emergency));
        QCOMPARE(int(s.Navdata_pwm.motor1) + s.Navdata_pwm.motor2 + s.Navdata_pwm.motor3 +
                     s.Navdata_pwm.motor4, 0);
        QVERIFY(m.headerWord() & kHeaderEmergency);
        // It falls: 1 m in about 0.45 s.
        m.advance(0.2);
        QVERIFY(m.altitudeMm() < 900 && m.altitudeMm() > 0);
        QVERIFY(m.vzMm() < -1500);
        // Clearing while it falls is ignored.
        m.ref(at::kRefWordLand);
        QCOMPARE(m.state(), FlightState::Emergency);
        m.advance(0.5);
        QCOMPARE(m.altitudeMm(), 0.0);
        QCOMPARE(m.state(), FlightState::Emergency);
        // A second emergency word keeps it; on the ground the land word
        // clears it, and a take-off word clears it and takes off at once.
        apply(m, p, std::string(at::kRefStopAll) + "\r");
        QCOMPARE(m.state(), FlightState::Emergency);
        m.ref(at::kRefWordLand);
        QCOMPARE(m.state(), FlightState::Landed);
        m.ref(at::kRefWordEmergency);
        m.ref(at::kRefWordTakeOff);
        QCOMPARE(m.state(), FlightState::TakingOff);
    }

    void trimPwmLedAndConfigShow()
    {
        FlightModel m;
        AtParser p;
        NavdataState s{};
        m.fill(s, {});
        QVERIFY(s.Trims.euler_angles_trim_theta != 0.0f);
        QVERIFY(s.Trims.euler_angles_trim_phi != 0.0f);
        QVERIFY(s.Trims.angular_rates_trim_r != 0.0f);
        apply(m, p, numbered(at::kFtrim, 1));
        m.fill(s, {});
        QCOMPARE(val(s.Trims.euler_angles_trim_theta), 0.0f);
        QCOMPARE(val(s.Trims.euler_angles_trim_phi), 0.0f);
        QCOMPARE(val(s.Trims.angular_rates_trim_r), 0.0f);

        apply(m, p, numbered(at::PwmCommand(10, 20, 300, -4), 1));
        m.advance(0.1);
        m.fill(s, {});
        QCOMPARE(int(s.Navdata_pwm.motor1), 10);
        QCOMPARE(int(s.Navdata_pwm.motor2), 20);
        QCOMPARE(int(s.Navdata_pwm.motor3), 255); // clamped
        QCOMPARE(int(s.Navdata_pwm.motor4), 0);
        QVERIFY(m.motorsOn());
        apply(m, p, numbered(at::kPwmStopAll, 1));
        m.fill(s, {});
        QCOMPARE(int(s.Navdata_pwm.motor1) + s.Navdata_pwm.motor3, 0);
        apply(m, p, numbered(at::PwmCommand(1, 2, 3, 4), 1));
        apply(m, p, numbered(at::kRefStopAll, 1)); // any REF ends the override
        m.fill(s, {});
        QCOMPARE(int(s.Navdata_pwm.motor4), 0);

        apply(m, p, numbered(at::LedCommand(7, 5.0, 3), 1));
        m.fill(s, {});
        QCOMPARE(val(s.Video_stream.data5), 7);

        QCOMPARE(val(s.Video_stream.data1), 0);
        QCOMPARE(val(s.Video_stream.data2), 0);
        apply(m, p, numbered(at::kOutdoorTrue, 5));
        m.fill(s, {});
        QCOMPARE(val(s.Video_stream.data1), 1);
        QCOMPARE(val(s.Video_stream.data2), 0);
        QCOMPARE(val(s.Wind_speed.wind_speed), 2.0f);
        QVERIFY(m.headerWord() & kHeaderOutdoor);
        apply(m, p, numbered(at::kHullTrue, 6));
        apply(m, p, numbered(at::kOutdoorFalse, 7));
        m.fill(s, {});
        QCOMPARE(val(s.Video_stream.data1), 0);
        QCOMPARE(val(s.Video_stream.data2), 1);
        QVERIFY(!(m.headerWord() & kHeaderOutdoor));
        QVERIFY(m.headerWord() & kHeaderWithoutShell);
    }

    void linkReportShows()
    {
        FlightModel m;
        NavdataState s{};
        m.fill(s, LinkReport{-7, 12, 3, 9});
        QCOMPARE(int32_t(s.Video_stream.atcmd_ref_seq), -7);
        QCOMPARE(val(s.Video_stream.data3), 12);
        QCOMPARE(val(s.Video_stream.data4), 3);
        QCOMPARE(val(s.Watchdog.watchdog), 9);
    }

    void batteryDrains()
    {
        FlightModel m;
        m.advance(99.0);
        QCOMPARE(m.batteryPercent() > 99.0, true);
        NavdataState s{};
        m.fill(s, {});
        QCOMPARE(val(s.Demo.vbat_flying_percentage), 100u);
        m.advance(2.0);
        m.fill(s, {});
        QCOMPARE(val(s.Demo.vbat_flying_percentage), 99u); // 0.01 %/s on the ground
        const double before = m.batteryPercent();
        m.ref(at::kRefWordTakeOff);
        m.advance(10.0);
        QVERIFY(std::abs((before - m.batteryPercent()) - 2.5) < 0.1); // 0.25 %/s in flight
        QVERIFY(s.Raw_meas.vbat_raw > 12000);

        // Empty in flight: it lands by itself and stays down.
        m.setBatteryPercent(0.5);
        m.advance(3.0);
        QVERIFY(m.state() == FlightState::Landing || m.state() == FlightState::Landed);
        runUntil(m, [&] { return m.state() == FlightState::Landed; }, 10.0);
        QCOMPARE(m.state(), FlightState::Landed);
        m.ref(at::kRefWordTakeOff);
        QCOMPARE(m.state(), FlightState::Landed);
        QVERIFY(m.headerWord() & kHeaderLowBattery);
    }

    void timeWordsAndDeterminism()
    {
        // The same commands at the same times give the same bytes, however
        // the time is cut into steps.
        FlightModel a, b;
        AtParser pa, pb;
        auto script = [](FlightModel& m, AtParser& p, double step) {
            auto run = [&](double seconds) {
                for (double t = 0; t + 1e-9 < seconds; t += step)
                    m.advance(step);
            };
            apply(m, p, numbered(at::kRefTakeOff, 1));
            run(2.5);
            apply(m, p, numbered(at::kPcmdRight, 2));
            run(1.0);
            apply(m, p, numbered(at::kPcmdYawLeft, 3));
            run(0.5);
            apply(m, p, numbered(at::kRefEmergency, 4));
            run(1.0);
        };
        script(a, pa, 0.0002); // 5 kHz
        script(b, pb, 0.05);
        QCOMPARE(a.timeNs(), b.timeNs());
        NavdataState sa{}, sb{};
        a.fill(sa, {});
        b.fill(sb, {});
        QVERIFY(std::memcmp(&sa, &sb, sizeof sa) == 0);

        FlightModel m;
        m.advance(5.123456);
        NavdataState s{};
        m.fill(s, {});
        QCOMPARE(val(s.Time.time), MakeTimeWord(5, 123456));
        QCOMPARE(val(s.Vision.time_capture), val(s.Time.time));
        QCOMPARE(NavdataTimeToSeconds(s.Time.time), 5.123456);
        m.advance(2048.0); // the seconds field wraps at 2048
        m.fill(s, {});
        QCOMPARE(val(s.Time.time), MakeTimeWord(5, 123456));
    }

    void ignoresBadNumbers()
    {
        FlightModel m = flyingModel();
        m.pcmd(1, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
               1e30f, -1e30f);
        m.advance(1.0);
        QVERIFY(std::isfinite(m.thetaMdeg()) && std::isfinite(m.phiMdeg()) &&
                std::isfinite(m.altitudeMm()) && std::isfinite(m.psiMdeg()));
        QCOMPARE(m.phiMdeg(), 0.0);
        QVERIFY(m.thetaMdeg() == 0.0);
        QVERIFY(m.altitudeMm() <= FlightModel::kMaxFlightAltitudeMm);
        m.advance(-1.0);
        m.advance(std::numeric_limits<double>::quiet_NaN());
        QVERIFY(std::isfinite(m.time()));
    }

    // --- packet writer and hostile datagrams ------------------------------

    void writerMatchesTheCoreBuilder()
    {
        FlightModel m = flyingModel();
        m.setOutdoor(true);
        NavdataState s{};
        m.fill(s, LinkReport{5, 6, 7, 8});
        std::vector<uint8_t> buf(kFullPacketSize);
        const std::size_t full = WriteFullPacket(s, 0xA5, 77, buf.data());
        QCOMPARE(full, kFullPacketSize);
        QCOMPARE(full, std::size_t(1914));
        QVERIFY(std::vector<uint8_t>(buf.begin(), buf.begin() + long(full)) ==
                BuildFullPacket(s, 0xA5, 77));
        const std::size_t demo = WriteDemoPacket(s, 0xA5, 78, buf.data());
        QCOMPARE(demo, kDemoPacketSize);
        QVERIFY(demo <= 500);
        QVERIFY(std::vector<uint8_t>(buf.begin(), buf.begin() + long(demo)) ==
                BuildDemoPacket(s, 0xA5, 78));

        // What the core decoder reads back is the model's state.
        WriteFullPacket(s, 0xA5, 77, buf.data());
        NavdataDecoder d;
        QCOMPARE(DecodeNavdataPacket({buf.data(), full}, 0, d), int32_t(full));
        QVERIFY(std::memcmp(&d.state, &s, sizeof s) == 0);
        QCOMPARE(d.headerWord, 0xA5u);
        QCOMPARE(d.recordTime, NavdataTimeToSeconds(s.Vision.time_capture));
        uint32_t number;
        std::memcpy(&number, buf.data() + kPacketNumberOffset, 4);
        QCOMPARE(number, 77u);
    }

    void hostileDatagramsKeepTheirNumber()
    {
        HostileMaker h(7);
        FlightModel m;
        NavdataState s{};
        m.fill(s, {});
        std::vector<uint8_t> buf(kHostileMaxSize);
        int kinds[kHostileKindCount] = {};
        for (uint32_t i = 1; i <= 3000; ++i) {
            const bool full = i % 2;
            const std::size_t good = full ? WriteFullPacket(s, 0, i, buf.data())
                                          : WriteDemoPacket(s, 0, i, buf.data());
            const std::vector<uint8_t> original(buf.begin(), buf.begin() + long(good));
            HostileKind kind;
            const std::size_t len = h.corrupt(buf.data(), good, buf.size(), i, kind);
            ++kinds[int(kind)];
            QVERIFY(len >= 12 && len <= kHostileMaxSize);
            uint32_t number;
            std::memcpy(&number, buf.data() + kPacketNumberOffset, 4);
            QCOMPARE(number, i);
            switch (kind) {
            case HostileKind::Noise:
                QVERIFY(len <= 1500);
                QVERIFY(std::memcmp(buf.data(), kNavdataMagic, 4) != 0);
                break;
            case HostileKind::WrongSize:
                QCOMPARE(len, good);
                QVERIFY(std::memcmp(buf.data(), original.data(), len) != 0);
                break;
            case HostileKind::Truncated:
                QVERIFY(len < good);
                QVERIFY(std::memcmp(buf.data(), original.data(), len) == 0);
                break;
            case HostileKind::NoChecksum:
                QCOMPARE(len, good - 8);
                QVERIFY(std::memcmp(buf.data(), original.data(), len) == 0);
                break;
            case HostileKind::Oversize:
                QVERIFY(len > 8192);
                QVERIFY(std::memcmp(buf.data(), original.data(), good) == 0);
                break;
            }
            // The core decoder takes every one of them without harm.
            NavdataDecoder d;
            const int32_t end = DecodeNavdataPacket({buf.data(), len}, 0, d);
            QVERIFY(end == -1 || end >= 0);
        }
        for (int k = 0; k < kHostileKindCount; ++k)
            QVERIFY2(kinds[k] > 400, HostileKindName(HostileKind(k)));

        // Same seed, same datagrams.
        HostileMaker x(99), y(99);
        std::vector<uint8_t> bx(kHostileMaxSize), by(kHostileMaxSize);
        for (uint32_t i = 0; i < 200; ++i) {
            const std::size_t g = WriteFullPacket(s, 0, i, bx.data());
            WriteFullPacket(s, 0, i, by.data());
            HostileKind kx, ky;
            const std::size_t lx = x.corrupt(bx.data(), g, bx.size(), i, kx);
            const std::size_t ly = y.corrupt(by.data(), g, by.size(), i, ky);
            QCOMPARE(lx, ly);
            QVERIFY(std::memcmp(bx.data(), by.data(), lx) == 0);
        }
    }

    void hostileProbability()
    {
        HostileMaker h(3);
        int hits = 0;
        for (int i = 0; i < 20000; ++i)
            hits += h.roll(0.3);
        QVERIFY2(hits > 5700 && hits < 6300, qPrintable(QString::number(hits)));
        for (int i = 0; i < 1000; ++i) {
            QVERIFY(!h.roll(0.0));
            QVERIFY(h.roll(1.0));
        }
    }

    // --- log format -------------------------------------------------------

    void escapesLogBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("watchdog") << QByteArray("AT*COMWDG=4\r") << "AT*COMWDG=4\\r";
        QTest::newRow("wake") << QByteArray("\x01", 1) << "\\x01";
        QTest::newRow("backslash") << QByteArray("a\\b") << "a\\\\b";
        QTest::newRow("line feed") << QByteArray("\n") << "\\x0A";
        QTest::newRow("NUL and DEL") << QByteArray("\x00\x7f", 2) << "\\x00\\x7F";
        QTest::newRow("high byte") << QByteArray("\xff\x80", 2) << "\\xFF\\x80";
        QTest::newRow("quotes and space") << QByteArray("\"a b\"~") << "\"a b\"~";
        QTest::newRow("empty") << QByteArray() << "";
    }
    void escapesLogBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, escaped);
        std::string out;
        AppendEscaped(out, reinterpret_cast<const uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
        QCOMPARE(QString::fromStdString(out), escaped);
        std::string back;
        QVERIFY(UnescapeLogBytes(out, back));
        QCOMPARE(B(back), bytes);
    }

    void logLineFormat()
    {
        std::string line;
        const std::string_view d = "AT*COMWDG=4\r";
        FormatLogLine(line, 12345678901LL, 5556, 5556, reinterpret_cast<const uint8_t*>(d.data()), d.size());
        QCOMPARE(QString::fromStdString(line), QString("12345.678 5556 5556 AT*COMWDG=4\\r\n"));
        line.clear();
        FormatLogLine(line, 5000000LL, 5554, 40000, nullptr, 0);
        QCOMPARE(QString::fromStdString(line), QString("5.000 5554 40000 \n"));

        std::string all;
        uint8_t bytes[256];
        for (int i = 0; i < 256; ++i)
            bytes[i] = uint8_t(i);
        AppendEscaped(all, bytes, 256);
        QVERIFY(all.find('\n') == std::string::npos);
        QVERIFY(all.find('\r') == std::string::npos);
        std::string back;
        QVERIFY(UnescapeLogBytes(all, back));
        QVERIFY(back.size() == 256 && std::memcmp(back.data(), bytes, 256) == 0);
        QVERIFY(!UnescapeLogBytes("\\x4", back));
        QVERIFY(!UnescapeLogBytes("\\q", back));
    }

    // --- command line -----------------------------------------------------

    void addresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("message"); // part of the error
        QTest::newRow("default peer") << "127.0.0.2" << true << "";
        QTest::newRow("loopback top") << "127.255.255.254" << true << "";
        QTest::newRow("loopback one") << "127.0.0.1" << true << "";
        QTest::newRow("private") << "10.1.2.3" << false << "127.0.0.0/8";
        QTest::newRow("any") << "0.0.0.0" << false << "127.0.0.0/8";
        QTest::newRow("just above") << "128.0.0.1" << false << "127.0.0.0/8";
        QTest::newRow("just below") << "126.255.255.255" << false << "127.0.0.0/8";
        QTest::newRow("link-local") << "169.254.1.1" << false << "127.0.0.0/8";
        QTest::newRow("name") << "localhost" << false << "invalid address";
        QTest::newRow("leading zero") << "127.0.0.02" << false << "invalid address";
        QTest::newRow("three parts") << "127.0.1" << false << "invalid address";
        QTest::newRow("octet too big") << "127.0.0.256" << false << "invalid address";
        QTest::newRow("ipv6") << "::1" << false << "invalid address";
        QTest::newRow("trailing dot") << "127.0.0.2." << false << "invalid address";
        QTest::newRow("empty") << "" << false << "invalid address";
    }
    void addresses()
    {
        QFETCH(QString, address);
        QFETCH(bool, accepted);
        QFETCH(QString, message);
        const std::string a = address.toStdString();
        const char* argv[] = {"kestrix_sim", "--address", a.c_str()};
        SimOptions o;
        std::string error;
        QCOMPARE(ParseSimOptions(3, argv, o, error), accepted);
        if (accepted) {
            QCOMPARE(QString::fromStdString(o.address), address);
            QCOMPARE(o.addressValue >> 24, 127u);
        } else {
            QVERIFY2(QString::fromStdString(error).contains(message), error.c_str());
        }
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ok");
        QTest::newRow("none") << QStringList{} << true;
        QTest::newRow("all") << QStringList{"--address", "127.0.0.3", "--rate=5000", "--demo-rate", "30",
                                            "--packets", "10", "--duration", "2.5", "--seed", "9",
                                            "--hostile", "0.25", "--log", "/tmp/x.log"}
                             << true;
        QTest::newRow("rate zero") << QStringList{"--rate", "0"} << false;
        QTest::newRow("rate too high") << QStringList{"--rate", "200000"} << false;
        QTest::newRow("rate text") << QStringList{"--rate", "fast"} << false;
        QTest::newRow("hostile above one") << QStringList{"--hostile", "1.5"} << false;
        QTest::newRow("packets zero") << QStringList{"--packets", "0"} << false;
        QTest::newRow("packets negative") << QStringList{"--packets", "-3"} << false;
        QTest::newRow("duration negative") << QStringList{"--duration", "-1"} << false;
        QTest::newRow("missing value") << QStringList{"--rate"} << false;
        QTest::newRow("unknown") << QStringList{"--drone", "1"} << false;
        QTest::newRow("stray") << QStringList{"fast"} << false;
    }
    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, ok);
        SimOptions o;
        std::string error;
        QCOMPARE(Parse(args, o, error), ok);
        QCOMPARE(error.empty(), ok);
        if (args.isEmpty()) {
            QCOMPARE(QString::fromStdString(o.address), QString("127.0.0.2"));
            QCOMPARE(o.rate, 200.0);
            QCOMPARE(o.demoRate, 15.0);
            QCOMPARE(o.packets, 0u);
            QCOMPARE(o.hostile, 0.0);
        } else if (ok) {
            QCOMPARE(o.addressValue, 0x7F000003u);
            QCOMPARE(o.rate, 5000.0);
            QCOMPARE(o.demoRate, 30.0);
            QCOMPARE(o.packets, 10u);
            QCOMPARE(o.duration, 2.5);
            QCOMPARE(o.seed, 9u);
            QCOMPARE(o.hostile, 0.25);
            QCOMPARE(QString::fromStdString(o.logPath), QString("/tmp/x.log"));
        }
    }

    void replayOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error"); // empty: accepted
        QTest::addColumn<double>("speed");
        QTest::addColumn<bool>("loop");
        QTest::newRow("replay") << QStringList{"--replay", "f.navdata"} << "" << 1.0 << false;
        QTest::newRow("speed and loop") << QStringList{"--replay=f.navdata", "--speed", "10", "--loop"} << "" << 10.0 << true;
        QTest::newRow("slower") << QStringList{"--loop", "--speed=0.25", "--replay", "f"} << "" << 0.25 << true;
        QTest::newRow("speed without replay") << QStringList{"--speed", "2"} << "needs --replay" << 1.0 << false;
        QTest::newRow("loop without replay") << QStringList{"--loop"} << "needs --replay" << 1.0 << false;
        QTest::newRow("speed zero") << QStringList{"--replay", "f", "--speed", "0"} << "invalid --speed" << 1.0 << false;
        QTest::newRow("speed text") << QStringList{"--replay", "f", "--speed", "x"} << "invalid --speed" << 1.0 << false;
        QTest::newRow("empty file name") << QStringList{"--replay="} << "needs a recording" << 1.0 << false;
        QTest::newRow("hostile replay") << QStringList{"--replay", "f", "--hostile", "0.5"} << "does not apply" << 1.0 << false;
    }
    void replayOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        QFETCH(double, speed);
        QFETCH(bool, loop);
        SimOptions o;
        std::string message;
        QCOMPARE(Parse(args, o, message), error.isEmpty());
        QVERIFY2(QString::fromStdString(message).contains(error), message.c_str());
        if (error.isEmpty()) {
            QVERIFY(!o.replayPath.empty());
            QCOMPARE(o.speed, speed);
            QCOMPARE(o.loop, loop);
        }
    }

    // The recording cut back into datagrams: the bytes in front of the first
    // packet on their own, then one per packet up to the next; each due at
    // its packet's time from the first, untimed packets with the one in
    // front, time going backwards adding nothing.
    void replayPlan()
    {
        auto packet = [](uint32_t ms, bool timed) {
            PacketBuilder b(0, ms);
            if (timed) {
                const uint32_t w = MakeTimeWord(ms / 1000, (ms % 1000) * 1000);
                b.option(1, {reinterpret_cast<const uint8_t*>(&w), 4});
            }
            return b.checksum().take();
        };
        std::vector<uint8_t> f(10, 0x11);
        std::vector<std::size_t> starts;
        const std::pair<uint32_t, bool> packets[] = {{2000, false}, {2000, true}, {2100, true}, {2150, false},
                                                     {2300, true},  {1000, true}, {1200, true}};
        for (const auto& [ms, timed] : packets) {
            starts.push_back(f.size());
            const auto p = packet(ms, timed);
            f.insert(f.end(), p.begin(), p.end());
            if (ms == 2100)
                f.insert(f.end(), 3, 0x22); // stray bytes stay with their packet
        }
        const std::vector<sim::ReplayDatagram> plan = sim::PlanReplay(f);
        const double dues[] = {0, 0, 0, 0.1, 0.1, 0.3, 0.3, 0.5};
        QCOMPARE(plan.size(), std::size(dues));
        std::size_t covered = 0;
        for (std::size_t k = 0; k < plan.size(); ++k) {
            QCOMPARE(plan[k].offset, covered);
            QCOMPARE(plan[k].offset, k == 0 ? std::size_t(0) : starts[k - 1]);
            QVERIFY2(std::abs(plan[k].due - dues[k]) < 1e-9, qPrintable(QString::number(plan[k].due)));
            covered += plan[k].size;
        }
        QCOMPARE(covered, f.size());
        QVERIFY(sim::PlanReplay(std::vector<uint8_t>(100, 0x11)).empty());

        // A piece above the largest datagram goes out in several.
        std::vector<uint8_t> big = packet(1000, true);
        big.resize(sim::kMaxDatagramSize + 100, 0x33);
        const auto pieces = sim::PlanReplay(big);
        QCOMPARE(pieces.size(), std::size_t(2));
        QCOMPARE(pieces[0].size, sim::kMaxDatagramSize);
        QCOMPARE(pieces[1].size, std::size_t(100));
    }

    // The replay reads its recording on demand: the same datagrams as the
    // cut of the bytes held in memory, with the same bytes, whatever the
    // reads' chunk size, and the same again after a rewind.
    void replayCutterReadsTheFile_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::newRow("chunk 7") << 7;
        QTest::newRow("chunk 4096") << 4096;
        QTest::newRow("chunk 1 MiB") << int(StreamReader::kDefaultChunk);
    }
    void replayCutterReadsTheFile()
    {
        QFETCH(int, chunk);
        std::vector<uint8_t> f(30, 0x11); // noise in front
        for (uint32_t k = 0; k < 40; ++k) {
            PacketBuilder b(0, k + 1);
            const uint32_t w = MakeTimeWord(1 + k / 10, (k % 10) * 100000);
            if (k % 3 != 1)
                b.option(1, {reinterpret_cast<const uint8_t*>(&w), 4});
            const auto p = b.checksum().take();
            f.insert(f.end(), p.begin(), p.end());
            if (k == 20)
                f.resize(f.size() + kMaxDatagramSize + 500, 0x44); // a stretch cut in two
        }
        const std::vector<ReplayDatagram> plan = PlanReplay(f);
        QVERIFY(plan.size() > 40);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("cut.navdata"));
        QVERIFY(WriteBytes(path, f.data(), f.size()));
        std::string error;
        const std::shared_ptr<StreamFile> file = StreamFile::Open(path.toStdString(), error);
        QVERIFY2(file, error.c_str());
        ReplayCutter cutter{StreamReader(file, std::size_t(chunk)), StreamReader(file, std::size_t(chunk))};
        std::vector<uint8_t> bytes(kMaxDatagramSize);
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<uint8_t> all;
            ReplayDatagram g;
            std::size_t k = 0;
            while (cutter.next(g)) {
                QVERIFY(k < plan.size());
                QCOMPARE(g.offset, plan[k].offset);
                QCOMPARE(g.size, plan[k].size);
                QCOMPARE(g.due, plan[k].due);
                cutter.copy(g, bytes.data());
                all.insert(all.end(), bytes.begin(), bytes.begin() + std::ptrdiff_t(g.size));
                ++k;
            }
            QCOMPARE(k, plan.size());
            QVERIFY(all == f);
            cutter.rewind();
        }
    }

    // A recording cut short while it is replayed ends the replay with the
    // reader's error instead of sending what is no longer there.
    void replayOfAFileCutShortStops()
    {
        std::vector<uint8_t> f;
        for (uint32_t k = 0; k < 2000; ++k) {
            const auto p = PacketBuilder(0, k + 1).checksum().take();
            f.insert(f.end(), p.begin(), p.end());
        }
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("short.navdata"));
        QVERIFY(WriteBytes(path, f.data(), f.size()));
        std::string error;
        const std::unique_ptr<ReplayCutter> cutter = OpenReplay(path.toStdString(), error);
        QVERIFY2(cutter, error.c_str());
        QVERIFY(QFile::resize(path, qint64(f.size() / 2)));
        std::vector<uint8_t> bytes(kMaxDatagramSize);
        auto replayAll = [&] {
            ReplayDatagram g;
            while (cutter->next(g))
                cutter->copy(g, bytes.data());
        };
        QVERIFY_THROWS_EXCEPTION(StreamReadError, replayAll());
    }

    // Refused before the stream starts, after a look for the first packet.
    void openReplayRefuses_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: no file at all
        QTest::addColumn<QString>("path");     // instead of a file written here
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << QString() << "cannot read";
        QTest::newRow("empty") << QByteArray("") << QString() << "is empty";
        QTest::newRow("no packet") << QByteArray(3000, char(0x33)) << QString() << "holds no navdata packet";
        // Longer than the reader's chunks: the look goes on to the end.
        QTest::newRow("no packet, 3 MiB") << QByteArray(3 << 20, char(0x88)) << QString()
                                          << "holds no navdata packet";
        QTest::newRow("not a regular file") << QByteArray() << "/dev/null" << "is not a regular file";
    }
    void openReplayRefuses()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, path);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        if (path.isEmpty()) {
            path = dir.filePath(QStringLiteral("refused.navdata"));
            if (!bytes.isNull())
                QVERIFY(WriteBytes(path, bytes.constData(), std::size_t(bytes.size())));
        }
        std::string error;
        QVERIFY(!OpenReplay(path.toStdString(), error));
        QVERIFY2(QString::fromStdString(error).contains(message), error.c_str());

        // One packet anywhere is enough.
        if (!bytes.isEmpty()) {
            const std::vector<uint8_t> p = PacketBuilder(0, 1).checksum().take();
            QVERIFY(WriteBytes(path, p.data(), p.size(), QIODevice::Append));
            QVERIFY2(OpenReplay(path.toStdString(), error), error.c_str());
        }
    }
};

KESTRIX_APPLESS_TEST(TestSimModel)
#include "test_sim_model.moc"
