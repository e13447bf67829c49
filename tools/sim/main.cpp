// kestrix_sim: a simulated Kestrix on loopback (see --help).
//
// One thread, plain POSIX sockets and ppoll(): the send loop is paced by
// absolute deadlines on the monotonic clock (slot k is due at start + k *
// period), so it holds thousands of datagrams a second without drift, and the
// same loop serves both receiving sockets and the signals between two slots.
// Nothing is allocated per datagram sent.
#include "at_parser.h"
#include "flight_model.h"
#include "packet_writer.h"
#include "replay_plan.h"
#include "sim_log.h"
#include "sim_options.h"

#include "kestrix/packet_builder.h"
#include "kestrix/version.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace kestrix;
using namespace kestrix::sim;
using Clock = std::chrono::steady_clock;
using Nanos = std::chrono::nanoseconds;

constexpr int kMaxBurst = 32; // slots sent back to back before polling again
// After a stall, due slots are caught up back to back, but never more than
// kMaxLagSlots of them (and never older than kMaxLag): 64 full packets are
// about 120 kB, which a receiver's default socket buffer (212 kB) still holds.
// Older slots are given up and counted as skipped.
constexpr int64_t kMaxLagSlots = 64;
constexpr Nanos kMaxLag = std::chrono::milliseconds(100);
constexpr int kMaxReadsPerWake = 64;               // per socket, so a flood cannot starve sending

void say(const std::string& text)
{
    std::fprintf(stderr, "kestrix_sim: %s\n", text.c_str());
    std::fflush(stderr);
}

std::string addressText(uint32_t hostOrder)
{
    char buf[INET_ADDRSTRLEN];
    const in_addr a{htonl(hostOrder)};
    inet_ntop(AF_INET, &a, buf, sizeof buf);
    return buf;
}

int bindUdp(uint32_t address, uint16_t port, const char* role, std::string& error)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("cannot create the ") + role + " socket: " + std::strerror(errno);
        return -1;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(address);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        error = "cannot bind " + addressText(address) + ":" + std::to_string(port) + " (" + role +
                " port): " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    const int buf = 4 << 20; // the kernel caps it at its limit
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buf, sizeof buf);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buf, sizeof buf);
    return fd;
}

class Simulator {
public:
    Simulator(const SimOptions& o, ReplayCutter* replay) : opt_(o), hostile_(o.seed), replay_(replay)
    {
        if (replay_)
            replayBytes_.resize(kMaxDatagramSize);
    }

    int run();

private:
    Nanos elapsed(Clock::time_point now) const { return now - t0_; }
    void advanceModel(Clock::time_point now) { model_.advanceToNs(elapsed(now).count()); }
    Nanos period() const
    {
        const double hz = reduced_ ? opt_.demoRate : opt_.rate;
        return std::chrono::duration_cast<Nanos>(std::chrono::duration<double>(1.0 / hz));
    }
    void restartPacing(Clock::time_point now)
    {
        slotBase_ = now;
        slotIndex_ = 0;
        period_ = period();
    }
    Clock::time_point nextSlot() const { return slotBase_ + period_ * slotIndex_; }

    bool sendOne(Clock::time_point now);
    // Replay: sends the datagram at hand and takes the next one of the
    // recording. False when it could not be sent now and is to be tried
    // again. Throws StreamReadError when the recording can no longer be read.
    bool sendReplayed();
    // The next datagram of the recording into replayBytes_; behind the last
    // one, the first again with --loop, else the replay is done.
    void takeReplayed();
    Clock::time_point replayDue() const;
    void drain(int fd, uint16_t localPort, Clock::time_point now);
    void handleAt(std::string_view datagram, Clock::time_point now);
    void applyConfig(const AtCommand& cmd, Clock::time_point now);
    void logDatagram(uint16_t localPort, uint16_t sourcePort, const uint8_t* data, std::size_t n,
                     Clock::time_point now);
    bool limitReached() const { return opt_.packets && sent_ >= opt_.packets; }

    SimOptions opt_;
    FlightModel model_;
    AtParser parser_;
    HostileMaker hostile_;
    LinkReport link_;
    alignas(8) NavdataState state_{}; // its float arrays then sit on 4-byte boundaries

    int atFd_ = -1, navFd_ = -1, sigFd_ = -1, logFd_ = -1;
    Clock::time_point t0_;
    bool streaming_ = false;
    bool reduced_ = true;
    sockaddr_in target_{};
    Clock::time_point slotBase_, firstSend_, lastSend_;
    int64_t slotIndex_ = 0;
    Nanos period_{};

    uint32_t packetNumber_ = 0;
    uint64_t sent_ = 0, hostileSent_ = 0, sendErrors_ = 0, skippedSlots_ = 0, wakes_ = 0,
             ignoredWakes_ = 0;
    std::string sessionId_, profileId_, applicationId_;

    alignas(8) uint8_t tx_[kHostileMaxSize]{};
    alignas(8) uint8_t rx_[65536]{};
    std::vector<AtCommand> commands_;
    std::string logLine_;

    ReplayCutter* replay_ = nullptr;   // null: the synthetic flight
    ReplayDatagram replayAt_;          // the datagram to send next
    std::vector<uint8_t> replayBytes_; // its bytes
    std::size_t replayNext_ = 0;       // datagrams of this pass sent
    Clock::time_point replayBase_;     // when the recording's time 0 went out
    uint64_t replayLoops_ = 0;
    bool replayDone_ = false;
    bool replayNoticeGiven_ = false;
};

Clock::time_point Simulator::replayDue() const
{
    const double due = replayAt_.due / opt_.speed;
    return replayBase_ + std::chrono::duration_cast<Nanos>(std::chrono::duration<double>(due));
}

void Simulator::takeReplayed()
{
    if (!replay_->next(replayAt_)) {
        if (!opt_.loop) {
            replayDone_ = true;
            return;
        }
        replay_->rewind();
        replayNext_ = 0;
        replayBase_ = Clock::now();
        ++replayLoops_;
        if (!replay_->next(replayAt_)) { // it held a packet when it was opened
            replayDone_ = true;
            return;
        }
    }
    replay_->copy(replayAt_, replayBytes_.data());
}

bool Simulator::sendReplayed()
{
    const ssize_t n = ::sendto(navFd_, replayBytes_.data(), replayAt_.size, 0,
                               reinterpret_cast<const sockaddr*>(&target_), sizeof target_);
    if (n != ssize_t(replayAt_.size)) {
        // A full send buffer is waited out: every datagram of the file goes.
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS || errno == EINTR))
            return false;
        ++sendErrors_;
    } else {
        const Clock::time_point now = Clock::now();
        if (sent_ == 0)
            firstSend_ = now;
        lastSend_ = now;
        ++sent_;
    }
    ++replayNext_;
    takeReplayed();
    return true;
}

bool Simulator::sendOne(Clock::time_point now)
{
    advanceModel(now);
    const uint32_t number = packetNumber_ + 1;
    link_.lastSequence = parser_.lastSequence();
    link_.parsed = uint32_t(parser_.parsed());
    link_.unparsed = uint32_t(parser_.unparsed());
    model_.fill(state_, link_);
    const uint32_t header = model_.headerWord() | (reduced_ ? kHeaderReducedNavdata : 0u);
    std::size_t len = reduced_ ? WriteDemoPacket(state_, header, number, tx_)
                               : WriteFullPacket(state_, header, number, tx_);
    bool bad = false;
    if (opt_.hostile > 0.0 && hostile_.roll(opt_.hostile)) {
        HostileKind kind;
        len = hostile_.corrupt(tx_, len, sizeof tx_, number, kind);
        bad = true;
    }
    const ssize_t n = ::sendto(navFd_, tx_, len, 0, reinterpret_cast<const sockaddr*>(&target_),
                               sizeof target_);
    if (n != ssize_t(len)) {
        // Not sent: the number is given to the next datagram, so the numbers
        // a receiver sees stay those of datagrams really sent.
        ++sendErrors_;
        return false;
    }
    packetNumber_ = number;
    if (sent_ == 0)
        firstSend_ = now;
    lastSend_ = now;
    ++sent_;
    if (bad)
        ++hostileSent_;
    return true;
}

void Simulator::logDatagram(uint16_t localPort, uint16_t sourcePort, const uint8_t* data,
                            std::size_t n, Clock::time_point now)
{
    if (logFd_ < 0)
        return;
    logLine_.clear();
    const int64_t ns = std::chrono::duration_cast<Nanos>(now.time_since_epoch()).count();
    FormatLogLine(logLine_, ns, localPort, sourcePort, data, n);
    // One write per line: a reader never sees half a line from us.
    const char* p = logLine_.data();
    std::size_t left = logLine_.size();
    while (left > 0) {
        const ssize_t w = ::write(logFd_, p, left);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            say(std::string("log write failed, log closed: ") + std::strerror(errno));
            ::close(logFd_);
            logFd_ = -1;
            return;
        }
        p += w;
        left -= std::size_t(w);
    }
}

void Simulator::applyConfig(const AtCommand& cmd, Clock::time_point now)
{
    const std::string& key = cmd.texts[0];
    const std::string& value = cmd.texts[1];
    const bool isTrue = value == "TRUE", isFalse = value == "FALSE";
    if (key == "general:navdata_demo" && (isTrue || isFalse) && replay_) {
        if (!replayNoticeGiven_)
            say("a replay sends the recording as it is: reduced/full navdata switches are ignored");
        replayNoticeGiven_ = true;
    } else if (key == "general:navdata_demo" && (isTrue || isFalse)) {
        if (reduced_ != isTrue) {
            reduced_ = isTrue;
            if (streaming_)
                restartPacing(now); // first packet of the new kind at once
        }
    } else if (key == "control:outdoor" && (isTrue || isFalse)) {
        model_.setOutdoor(isTrue);
    } else if (key == "control:flight_without_shell" && (isTrue || isFalse)) {
        model_.setFlightWithoutShell(isTrue);
    } else if (key == "custom:session_id") {
        sessionId_ = value;
    } else if (key == "custom:profile_id") {
        profileId_ = value;
    } else if (key == "custom:application_id") {
        applicationId_ = value;
    }
}

void Simulator::handleAt(std::string_view datagram, Clock::time_point now)
{
    advanceModel(now);
    parser_.feed(datagram, commands_);
    for (const AtCommand& c : commands_) {
        switch (c.kind) {
        case AtKind::Ref:
            model_.ref(c.ints[0]);
            break;
        case AtKind::Pcmd:
            model_.pcmd(c.ints[0], std::bit_cast<float>(c.ints[1]), std::bit_cast<float>(c.ints[2]),
                        std::bit_cast<float>(c.ints[3]), std::bit_cast<float>(c.ints[4]));
            break;
        case AtKind::Ftrim:
            model_.ftrim();
            break;
        case AtKind::Config:
            applyConfig(c, now);
            break;
        case AtKind::ConfigIds:
            sessionId_ = c.texts[0];
            profileId_ = c.texts[1];
            applicationId_ = c.texts[2];
            break;
        case AtKind::Comwdg:
            ++link_.watchdogs;
            break;
        case AtKind::Led:
            model_.led(c.ints[0], std::bit_cast<float>(c.ints[1]), c.ints[2]);
            break;
        case AtKind::Pwm:
            model_.pwm(c.ints[0], c.ints[1], c.ints[2], c.ints[3]);
            break;
        }
    }
}

void Simulator::drain(int fd, uint16_t localPort, Clock::time_point now)
{
    for (int i = 0; i < kMaxReadsPerWake; ++i) {
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = ::recvfrom(fd, rx_, sizeof rx_, MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return; // EAGAIN, or an error report that carries no datagram
        }
        now = Clock::now();
        const auto size = std::size_t(n);
        logDatagram(localPort, ntohs(from.sin_port), rx_, size, now);
        if (localPort == kSimNavdataPort) {
            // A test stand-in never sends off loopback, whoever asks.
            if ((ntohl(from.sin_addr.s_addr) >> 24) != 127) {
                if (ignoredWakes_++ == 0)
                    say("ignoring a wake datagram from " + addressText(ntohl(from.sin_addr.s_addr)) +
                        ": navdata goes to loopback addresses only");
                continue;
            }
            ++wakes_;
            target_ = from;
            if (!streaming_) {
                streaming_ = true;
                restartPacing(now);
                replayBase_ = now;
            }
        } else {
            handleAt({reinterpret_cast<const char*>(rx_), size}, now);
        }
    }
}

int Simulator::run()
{
    std::string error;
    atFd_ = bindUdp(opt_.addressValue, kSimAtPort, "AT", error);
    if (atFd_ < 0) {
        say(error);
        return 3;
    }
    navFd_ = bindUdp(opt_.addressValue, kSimNavdataPort, "navdata", error);
    if (navFd_ < 0) {
        say(error);
        return 3;
    }
    if (!opt_.logPath.empty()) {
        logFd_ = ::open(opt_.logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC,
                        0644);
        if (logFd_ < 0) {
            say("cannot open the log " + opt_.logPath + ": " + std::strerror(errno));
            return 3;
        }
    }

    // Taken through a signalfd. A shell's "&" leaves SIGINT ignored, and an
    // ignored signal never reaches the fd: restore the defaults first (they
    // are blocked right after, so they cannot kill).
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    sigFd_ = ::signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    if (sigFd_ < 0) {
        say(std::string("cannot watch signals: ") + std::strerror(errno));
        return 3;
    }
    // Wake-ups within a microsecond of the deadline, not the default 50 us.
    ::prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);

    if (replay_) {
        // The first datagram at hand before the stream starts.
        try {
            takeReplayed();
        } catch (const StreamReadError& e) {
            say(std::string("cannot replay: ") + e.what());
            return 2;
        }
    }
    commands_.reserve(16);
    logLine_.reserve(4096);
    t0_ = Clock::now();
    const Clock::time_point end =
        opt_.duration > 0.0
            ? t0_ + std::chrono::duration_cast<Nanos>(std::chrono::duration<double>(opt_.duration))
            : Clock::time_point::max();

    say("ready on " + opt_.address + ", AT port " + std::to_string(kSimAtPort) +
        ", navdata port " + std::to_string(kSimNavdataPort));

    pollfd fds[3] = {{sigFd_, POLLIN, 0}, {atFd_, POLLIN, 0}, {navFd_, POLLIN, 0}};
    const char* why = "stopped";
    int status = 0;
    for (;;) {
        Clock::time_point now = Clock::now();
        if (now >= end) {
            why = "duration reached";
            break;
        }
        if (limitReached()) {
            why = "packet count reached";
            break;
        }
        if (replayDone_) {
            why = "replay finished";
            break;
        }
        bool behind = false;
        Clock::time_point retryAt = Clock::time_point::max();
        if (streaming_ && replay_) {
            // Every datagram goes, however late: a stall sends the due ones
            // back to back, kMaxBurst at a time between polls.
            int burst = 0;
            try {
                while (!replayDone_ && replayDue() <= now && burst < kMaxBurst && !limitReached()) {
                    if (!sendReplayed()) {
                        retryAt = now + std::chrono::milliseconds(1);
                        break;
                    }
                    ++burst;
                    now = Clock::now();
                }
            } catch (const StreamReadError& e) {
                say(std::string("cannot replay: ") + e.what());
                why = "replay failed";
                status = 2;
                break;
            }
            behind = retryAt == Clock::time_point::max() && !replayDone_ && replayDue() <= now;
            if (replayDone_ || limitReached())
                continue;
        } else if (streaming_) {
            // Send the slots that are due, and no more; a long stall gives up
            // the oldest slots instead of bursting them all.
            const Nanos lagLimit = std::min(kMaxLag, period_ * kMaxLagSlots);
            if (now - nextSlot() > lagLimit) {
                const int64_t late = (now - nextSlot() - lagLimit) / period_ + 1;
                slotIndex_ += late;
                skippedSlots_ += uint64_t(late);
            }
            int burst = 0;
            while (nextSlot() <= now && burst < kMaxBurst && !limitReached()) {
                sendOne(now);
                ++slotIndex_;
                ++burst;
                now = Clock::now();
            }
            behind = nextSlot() <= now;
            if (limitReached())
                continue;
        }

        Clock::time_point wake = std::min(end, retryAt);
        if (streaming_ && retryAt == Clock::time_point::max())
            wake = std::min(wake, replay_ ? replayDue() : nextSlot());
        timespec ts{};
        timespec* tsp = nullptr;
        if (behind) {
            tsp = &ts; // poll without waiting, then carry on sending
        } else if (wake != Clock::time_point::max()) {
            const auto wait = std::max(Nanos(0), wake - now);
            ts.tv_sec = time_t(wait.count() / 1000000000);
            ts.tv_nsec = long(wait.count() % 1000000000);
            tsp = &ts;
        }
        const int r = ::ppoll(fds, 3, tsp, nullptr);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            say(std::string("poll failed: ") + std::strerror(errno));
            why = "poll failed";
            status = 4;
            break;
        }
        if (r == 0)
            continue;
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo si{};
            if (::read(sigFd_, &si, sizeof si) == ssize_t(sizeof si)) {
                why = si.ssi_signo == SIGINT ? "SIGINT" : "SIGTERM";
                break;
            }
        }
        now = Clock::now();
        if (fds[1].revents)
            drain(atFd_, kSimAtPort, now);
        if (fds[2].revents)
            drain(navFd_, kSimNavdataPort, now);
    }

    const double span =
        sent_ > 1 ? std::chrono::duration<double>(lastSend_ - firstSend_).count() : 0.0;
    const double rate = span > 0.0 ? double(sent_ - 1) / span : 0.0;
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s: packets sent %llu (hostile %llu, send errors %llu, slots skipped %llu, "
                  "mean %.1f/s); commands parsed %llu, unparsed %llu, last sequence %d",
                  why, static_cast<unsigned long long>(sent_),
                  static_cast<unsigned long long>(hostileSent_),
                  static_cast<unsigned long long>(sendErrors_),
                  static_cast<unsigned long long>(skippedSlots_), rate,
                  static_cast<unsigned long long>(parser_.parsed()),
                  static_cast<unsigned long long>(parser_.unparsed()), parser_.lastSequence());
    say(line);
    if (replay_) {
        std::snprintf(line, sizeof line, "replay at speed %g: datagrams of this pass sent %zu, loops completed %llu",
                      opt_.speed, replayNext_,
                      static_cast<unsigned long long>(replayLoops_));
        say(line);
    }
    if (logFd_ >= 0)
        ::close(logFd_);
    ::close(navFd_);
    ::close(atFd_);
    ::close(sigFd_);
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    SimOptions opt;
    std::string error;
    if (!ParseSimOptions(argc, argv, opt, error)) {
        say(error);
        std::fprintf(stderr, "Try 'kestrix_sim --help'.\n");
        return 2;
    }
    if (opt.help) {
        std::fputs(SimHelpText(), stdout);
        return 0;
    }
    if (opt.version) {
        std::printf("kestrix_sim %s\n", kestrix::kVersion);
        return 0;
    }
    // The recording is read as the replay goes; only its first packet is
    // looked for here, so that a file without one is refused at once.
    std::unique_ptr<ReplayCutter> replay;
    if (!opt.replayPath.empty()) {
        replay = OpenReplay(opt.replayPath, error);
        if (!replay) {
            say("cannot replay: " + error);
            return 2;
        }
        say("replaying " + opt.replayPath);
    }
    // The buffers are large: keep the simulator off the stack.
    static Simulator sim(opt, replay.get());
    return sim.run();
}
