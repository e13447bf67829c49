// bench_find: find, link and the simulator's replay on recordings of full
// packets, each figure beside its target.
//
//   info      kestrix_navdata info FILE (the reference, measured in this run)
//   find      kestrix_navdata find FILE "Demo.altitude < -1" (never holds: the
//             whole file is searched), and the same with a link key
//   link      kestrix_navdata link FILE
//   replay    kestrix_sim --replay at --speed 10 of a recording at 200
//             packets a second (2000 datagrams/s), received on 127.0.0.1:5554
//
// Targets: find <= 2 x info; link <= 1.2 x info; the replay holds 2000
// datagrams/s with every datagram received, in order.
//
// The replay binds the fixed navdata port: run it under the port lock
// (flock /tmp/kestrix_ports.lock build-bench/bench/bench_find), with
// KESTRIX_DRONE_ADDRESS=127.0.0.2 and KESTRIX_BIND_ADDRESS=127.0.0.1.
#include "bench_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace kestrix;
using namespace kestrix::bench;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPackets = 200000;
constexpr int kReplayPackets = 20000; // 100 s of flight at 200 a second: 10 s at --speed 10
constexpr int kRuns = 15;
constexpr double kFindRatioTarget = 2.0;
constexpr double kLinkRatioTarget = 1.2;
constexpr double kReplayRateTarget = 2000.0;

// Wall time in ms of one run of kestrix_navdata ARGS, or NaN when its exit
// code is not `expected`.
double TimeTool(const std::vector<std::string>& args, int expected)
{
    std::vector<std::string> full = {KESTRIX_NAVDATA_EXE};
    full.insert(full.end(), args.begin(), args.end());
    const auto t0 = Clock::now();
    const int rc = Wait(Spawn(full, true, true));
    const auto t1 = Clock::now();
    if (rc != expected) {
        std::fprintf(stderr, "kestrix_navdata %s exited with %d\n", args[0].c_str(), rc);
        return NAN;
    }
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

// The commands run in turn, kRuns rounds, so that a machine whose load
// changes meanwhile weighs on all of them alike; the median of each.
std::vector<double> TimeInTurn(const std::vector<std::pair<std::vector<std::string>, int>>& commands)
{
    std::vector<std::vector<double>> ms(commands.size());
    for (int r = 0; r < kRuns; ++r)
        for (std::size_t c = 0; c < commands.size(); ++c)
            ms[c].push_back(TimeTool(commands[c].first, commands[c].second));
    std::vector<double> medians;
    for (std::vector<double>& m : ms) {
        std::sort(m.begin(), m.end());
        medians.push_back(std::any_of(m.begin(), m.end(), [](double v) { return std::isnan(v); }) ? NAN
                                                                                                   : m[m.size() / 2]);
    }
    return medians;
}

const char* Verdict(bool ok)
{
    return ok ? "met" : "NOT MET";
}

struct ReplayResult {
    bool ran = false;
    uint64_t received = 0;
    uint64_t outOfOrder = 0; // numbers not one more than the one before
    double seconds = 0;      // first to last datagram
    int simExit = -1;
};

ReplayResult RunReplay(const std::string& path)
{
    ReplayResult r;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int buf = 4 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buf, sizeof buf);
    sockaddr_in me{};
    me.sin_family = AF_INET;
    me.sin_port = htons(5554);
    me.sin_addr.s_addr = htonl(0x7F000001u);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&me), sizeof me) != 0) {
        std::fprintf(stderr, "cannot bind 127.0.0.1:5554: %s (run under the port lock)\n", std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return r;
    }
    const pid_t sim = Spawn({KESTRIX_SIM_EXE, "--replay", path, "--speed", "10"}, true, true);
    if (sim < 0) {
        ::close(fd);
        return r;
    }
    usleep(300000); // its sockets bound
    sockaddr_in drone{};
    drone.sin_family = AF_INET;
    drone.sin_port = htons(5554);
    drone.sin_addr.s_addr = htonl(0x7F000002u);
    const uint8_t wake = 1;
    ::sendto(fd, &wake, 1, 0, reinterpret_cast<const sockaddr*>(&drone), sizeof drone);

    std::vector<uint8_t> d(65536);
    uint32_t last = 0;
    Clock::time_point first, lastAt;
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (r.received < uint64_t(kReplayPackets) && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0)
            break;
        const ssize_t n = ::recv(fd, d.data(), d.size(), 0);
        if (n < 12)
            continue;
        uint32_t number;
        std::memcpy(&number, d.data() + 8, 4);
        lastAt = Clock::now();
        if (r.received == 0)
            first = lastAt;
        else if (number != last + 1)
            ++r.outOfOrder;
        last = number;
        ++r.received;
    }
    r.seconds = std::chrono::duration<double>(lastAt - first).count();
    if (r.received < uint64_t(kReplayPackets))
        ::kill(sim, SIGTERM);
    r.simExit = Wait(sim);
    ::close(fd);
    r.ran = true;
    return r;
}

} // namespace

int main()
{
    std::printf("Writing %d full packets (1000 a second of drone time) and %d for the replay (200 a second)...\n",
                kPackets, kReplayPackets);
    // Numbered from 1, as a drone numbers its datagrams.
    const std::string file = WriteFlightFile("kestrix_bench_find_XXXXXX", kPackets, 1000, 1);
    const std::string replayFile = WriteFlightFile("kestrix_bench_replay_XXXXXX", kReplayPackets, 5000, 1);
    if (file.empty() || replayFile.empty()) {
        std::fprintf(stderr, "cannot write the streams\n");
        if (!file.empty())
            unlink(file.c_str());
        return 1;
    }
    std::printf("  %s: %.1f MB; median of %d rounds, the commands in turn, the file in the page cache\n\n", file.c_str(),
                double(kPackets) * double(kFullPacketSize) / 1e6, kRuns);

    const std::vector<double> t = TimeInTurn({{{"info", file}, 0},
                                              {{"find", file, "Demo.altitude < -1"}, 1},
                                              {{"find", file, "Demo.altitude < -1 and Link.gap > 0"}, 1},
                                              {{"find", file, "Demo.altitude == 4999", "--all"}, 0},
                                              {{"link", file}, 0}});
    const double info = t[0], find = t[1], findLink = t[2], findAll = t[3], link = t[4];

    std::printf("  kestrix_navdata info                       %8.1f ms     (reference)\n", info);
    std::printf("  find, never true                           %8.1f ms     %.2f x info, target <= %.1f x: %s\n", find,
                find / info, kFindRatioTarget, Verdict(find <= kFindRatioTarget * info));
    std::printf("  find, never true, with a link key          %8.1f ms     %.2f x info, target <= %.1f x: %s\n",
                findLink, findLink / info, kFindRatioTarget, Verdict(findLink <= kFindRatioTarget * info));
    std::printf("  find --all, 40 matches                     %8.1f ms     %.2f x info\n", findAll, findAll / info);
    std::printf("  kestrix_navdata link                       %8.1f ms     %.2f x info, target <= %.1f x: %s\n", link,
                link / info, kLinkRatioTarget, Verdict(link <= kLinkRatioTarget * info));

    std::printf("\nReplay of %d full packets at --speed 10 (due: %.0f datagrams/s)...\n", kReplayPackets,
                kReplayRateTarget);
    const ReplayResult r = RunReplay(replayFile);
    if (!r.ran) {
        std::printf("  replay                                     not run\n");
    } else {
        const double rate = r.seconds > 0 ? double(r.received - 1) / r.seconds : 0;
        const bool all = r.received == uint64_t(kReplayPackets) && r.outOfOrder == 0;
        std::printf("  received                                   %8llu of %d, %llu out of order: %s\n",
                    static_cast<unsigned long long>(r.received), kReplayPackets,
                    static_cast<unsigned long long>(r.outOfOrder), Verdict(all));
        std::printf("  rate                                       %8.1f datagrams/s, target >= %.0f (within 2 %%): %s\n",
                    rate, kReplayRateTarget, Verdict(rate >= kReplayRateTarget * 0.98));
        std::printf("  simulator exit status                      %8d (0: ended by itself after the last datagram)\n",
                    r.simExit);
    }
    unlink(file.c_str());
    unlink(replayFile.c_str());
    return 0;
}
