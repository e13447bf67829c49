#include "sim_options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kestrix::sim {

namespace {

constexpr double kMaxRate = 100000.0;

bool parseDouble(std::string_view text, double& out)
{
    if (text.empty())
        return false;
    const std::string copy(text);
    char* end = nullptr;
    const double v = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool parseUnsigned(std::string_view text, uint64_t& out)
{
    if (text.empty())
        return false;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && ptr == text.data() + text.size();
}

} // namespace

bool ParseIpv4(std::string_view text, uint32_t& out)
{
    uint32_t value = 0;
    int parts = 0;
    while (parts < 4) {
        std::size_t len = 0;
        while (len < text.size() && len < 4 && text[len] >= '0' && text[len] <= '9')
            ++len;
        if (len == 0 || len > 3 || (len > 1 && text[0] == '0'))
            return false;
        unsigned part = 0;
        for (std::size_t i = 0; i < len; ++i)
            part = part * 10 + unsigned(text[i] - '0');
        if (part > 255)
            return false;
        value = (value << 8) | part;
        text.remove_prefix(len);
        ++parts;
        if (parts < 4) {
            if (text.empty() || text.front() != '.')
                return false;
            text.remove_prefix(1);
        }
    }
    if (!text.empty())
        return false;
    out = value;
    return true;
}

bool ParseSimOptions(int argc, const char* const* argv, SimOptions& out, std::string& error)
{
    out = SimOptions{};
    bool speedGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            out.help = true;
            continue;
        }
        if (arg == "--version") {
            out.version = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            error = "unexpected argument \"" + std::string(arg) + "\"";
            return false;
        }
        if (arg == "--loop") {
            out.loop = true;
            continue;
        }
        std::string_view name = arg;
        std::string_view value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        static constexpr std::string_view kKnown[] = {"--address", "--rate",  "--demo-rate",
                                                      "--packets", "--duration", "--seed",
                                                      "--hostile", "--log", "--replay", "--speed"};
        bool known = false;
        for (std::string_view k : kKnown)
            known = known || k == name;
        if (!known) {
            error = "unknown option \"" + std::string(name) + "\"";
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                error = "option " + std::string(name) + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        const std::string shown = std::string(name) + " " + std::string(value);

        if (name == "--address") {
            uint32_t a = 0;
            if (!ParseIpv4(value, a)) {
                error = "invalid address \"" + std::string(value) +
                        "\": give an IPv4 loopback address such as 127.0.0.2";
                return false;
            }
            if ((a >> 24) != 127) {
                error = "refusing address " + std::string(value) +
                        ": the simulator serves loopback addresses only (127.0.0.0/8)";
                return false;
            }
            out.address = std::string(value);
            out.addressValue = a;
        } else if (name == "--rate" || name == "--demo-rate") {
            double r = 0;
            if (!parseDouble(value, r) || !(r > 0.0) || r > kMaxRate) {
                error = "invalid " + shown + ": give datagrams per second, above 0 and at most 100000";
                return false;
            }
            (name == "--rate" ? out.rate : out.demoRate) = r;
        } else if (name == "--packets") {
            if (!parseUnsigned(value, out.packets) || out.packets == 0) {
                error = "invalid " + shown + ": give a whole number of at least 1";
                return false;
            }
        } else if (name == "--duration") {
            if (!parseDouble(value, out.duration) || !(out.duration > 0.0) || out.duration > 1e7) {
                error = "invalid " + shown + ": give seconds, above 0";
                return false;
            }
        } else if (name == "--seed") {
            if (!parseUnsigned(value, out.seed)) {
                error = "invalid " + shown + ": give a whole number";
                return false;
            }
        } else if (name == "--hostile") {
            if (!parseDouble(value, out.hostile) || out.hostile < 0.0 || out.hostile > 1.0) {
                error = "invalid " + shown + ": give a probability from 0 to 1";
                return false;
            }
        } else if (name == "--log") {
            if (value.empty()) {
                error = "option --log needs a file name";
                return false;
            }
            out.logPath = std::string(value);
        } else if (name == "--replay") {
            if (value.empty()) {
                error = "option --replay needs a recording file";
                return false;
            }
            out.replayPath = std::string(value);
        } else if (name == "--speed") {
            if (!parseDouble(value, out.speed) || !(out.speed > 0.0) || out.speed > 1e6) {
                error = "invalid " + shown + ": give a factor above 0 and at most 1000000";
                return false;
            }
            speedGiven = true;
        }
    }
    if (!out.replayPath.empty() && out.hostile > 0.0) {
        error = "--hostile does not apply to --replay: a replay sends the recording as it is";
        return false;
    }
    if (out.replayPath.empty() && (speedGiven || out.loop)) {
        error = std::string(speedGiven ? "--speed" : "--loop") + " needs --replay FILE";
        return false;
    }
    return true;
}

const char* SimHelpText()
{
    return R"(Usage: kestrix_sim [options]

A simulated Kestrix on loopback, standing in for the drone: it takes AT
commands on UDP port 5556 and sends navdata from UDP port 5554, both bound on
one loopback address. Point the tool at it with KESTRIX_DRONE_ADDRESS=127.0.0.2
and KESTRIX_BIND_ADDRESS=127.0.0.1.

Options:
  --address A     bind both ports on A (default 127.0.0.2); only addresses in
                  127.0.0.0/8 are accepted
  --rate R        full navdata, datagrams per second (default 200)
  --demo-rate R   reduced navdata, datagrams per second (default 15)
  --packets N     stop after sending N navdata datagrams
  --duration S    stop after S seconds
  --seed N        seed of the hostile datagrams (default 1)
  --hostile P     replace each navdata datagram by a malformed one with
                  probability P (default 0)
  --log FILE      log every datagram received (format below)
  --replay FILE   send the datagrams of a recording (the recorder's file
                  format) instead of the synthetic flight (see Replay below);
                  --rate and --demo-rate then have no effect
  --speed X       replay: record times divided by X (default 1)
  --loop          replay: start over at the end instead of exiting
  -h, --help      this text
  --version       the version number
SIGINT and SIGTERM end it cleanly (exit status 0). On exit it prints one
summary line to stderr: packets sent, commands parsed, unparsed, last sequence.
Exit status 2: bad command line, refused address or replay file; 3: a port
or the log file could not be opened; 4: the sockets failed while running.

Navdata. Any datagram arriving on port 5554 (the wake datagram is the single
byte 0x01) starts the stream to that datagram's source address and port; a
later one moves the stream to its source (sources outside 127.0.0.0/8 are
ignored). One packet per datagram, until the simulator stops. Reduced navdata
at the start and after AT*CONFIG=n,"general:navdata_demo","TRUE": Demo, Time
and the checksum option, 180 bytes, at --demo-rate. After
..."general:navdata_demo","FALSE": all 28 options in tag order with their
exact sizes, then the checksum option, 1914 bytes, at --rate. Time.time and
Vision.time_capture hold the time since the simulator started (upper 11 bits
seconds, modulo 2048; lower 21 bits microseconds).
Header: bytes 4..7, the header word, hold state bits: 0 motors on, 1 reduced
navdata, 2 emergency, 3 outdoor, 4 flight without shell, 5 battery below 20 %.
Bytes 8..11 hold the packet number, little-endian: 1 for the first datagram
sent, one more for each further datagram, hostile ones included. Every
datagram the simulator sends is at least 12 bytes long and carries its number
there, so a receiver sees any loss as a gap. Bytes 12..15 are 0.

Replay (--replay FILE). When the stream starts, the datagrams of the
recording go out from its first one, each byte for byte as recorded (a
datagram runs from one packet to the next; bytes in front of the first packet
go out on their own), paced by their record times divided by X; packets
without a time go out with the one in front. Commands are still parsed and
logged, but "general:navdata_demo" does not change what is sent (a notice
says so once). Without --loop the simulator exits 0 after the last
datagram. A file that is missing, not a regular file, empty or holds no
packet is refused (exit status 2); only its first packet is looked for then.
The recording is read as the replay goes, never held whole in memory; a
file that changes or cannot be read during the replay ends it (exit status
2).

Hostile datagrams (--hostile P), chosen evenly from: noise (12..1500 random
bytes, not starting with the magic), wrong size (one option's size field set
to 0..3, shorter, longer or 0xFFFF; this may hit Gyros_offsets), truncated (cut
to 12 bytes or more), no checksum (the checksum option left off), oversize (a
good packet followed by random bytes, 8193..9216 bytes in all). Each one takes
the packet number of the datagram it replaces and keeps it in bytes 8..11.

Commands (port 5556). Several per datagram, each ended by a carriage return.
Every command text of the tool is understood; anything else is counted as
unparsed and ignored. The last sequence number seen is kept.
  AT*REF word     bit 8 (0x100): emergency, motors stop, an airborne drone
                  falls; bit 9 (0x200): take off, climb to about 1000 mm;
                  neither: land (down to 0 mm), or clear an emergency on the
                  ground. Ends a motor override of AT*PWM.
  AT*PCMD=n,f,roll,pitch,gaz,yaw   f bit 0 set: movement, held until the next
                  AT*PCMD; in flight roll and pitch tilt the drone (up to
                  20000 mdeg at 1) and drive the speeds (0.25 mm/s per mdeg),
                  gaz moves the altitude set point (1000 mm/s at 1, kept in
                  200..5000 mm), yaw turns it (100000 mdeg/s at 1). f = 0:
                  hold position (level, speeds to 0, altitude kept).
  AT*FTRIM        the three Trims fields become 0 (they start non-zero).
  AT*PWM=1,a,b,c,d   Navdata_pwm.motor1..4 show a..d until the next AT*REF.
  AT*LED=1,t,f,d  the animation type t shows in Video_stream.data5 (-1 before).
  AT*CONFIG "control:outdoor" / "control:flight_without_shell" "TRUE"/"FALSE":
                  kept, shown in Video_stream.data1 / data2 (1 = TRUE) and in
                  the header word; outdoors Wind_speed shows 2 m/s from 45 deg.
  AT*CONFIG "general:navdata_demo": reduced ("TRUE") or full ("FALSE").
  AT*CONFIG_IDS, the custom:* keys: accepted and kept.
  AT*COMWDG (all forms): counted in Watchdog.watchdog.

Navdata fields worth watching:
  Demo.ctrl_state   1 landed, 2 taking off, 3 flying, 4 landing, 5 emergency
  Demo.altitude (mm); Demo.theta/phi/psi (mdeg; theta < 0 nose down, phi > 0
                    right roll, psi > 0 turned right, in -180000..180000);
  Demo.vx/vy/vz (mm/s; forward, right, up);
  Altitude.altitude_vision (mm), Altitude.altitude_ref (set point, mm)
  Demo.vbat_flying_percentage   100 at start, -0.01 %/s with motors off,
                    -0.25 %/s with motors on; empty in flight: it lands
  Video_stream.atcmd_ref_seq    last AT sequence number seen
  Video_stream.data3 / data4    commands parsed / unparsed so far
  References.ui_seq             AT*PCMD commands received
  Rc_references.rc_ref_*        last movement (value x 1000), rc_ref_ag = flag

Log (--log FILE): one line per datagram received on either port, written
and flushed at once:
  TIME LOCALPORT SOURCEPORT BYTES
TIME: the monotonic clock (CLOCK_MONOTONIC) in milliseconds, three decimals;
LOCALPORT: 5554 or 5556; SOURCEPORT: the sender's port; BYTES: the datagram,
printable ASCII as is, backslash as \\, carriage return as \r, any other byte
as \xHH (upper-case hex). Example:
  12345.678 5556 5556 AT*COMWDG=4\r
)";
}

} // namespace kestrix::sim
