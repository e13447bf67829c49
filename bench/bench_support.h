// What the benchmarks share: the recordings they walk (a flight of full
// packets with moving values, in temporary files) and running the tools as
// child processes. Header only: each benchmark is one source file.
#pragma once

#include "kestrix/packet_builder.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

extern char** environ;

namespace kestrix::bench {

// The time word of packet i of a flight with one packet every `periodUs` of
// drone time from t = 1 s.
inline uint32_t FlightTimeWord(int i, uint32_t periodUs)
{
    const uint64_t us = 1000000ull + uint64_t(i) * periodUs;
    return MakeTimeWord(uint32_t(us / 1000000u) % 2048u, uint32_t(us % 1000000u));
}

// Packet i of that flight, numbered `number`: its times and a few values
// that move from packet to packet, the rest of `st` as the packet in front
// left it.
inline std::vector<uint8_t> FlightPacket(NavdataState& st, int i, uint32_t periodUs, uint32_t number)
{
    const uint32_t t = FlightTimeWord(i, periodUs);
    st.Time.time = t;
    st.Vision.time_capture = t;
    st.Demo.altitude = int32_t(i % 5000);
    st.Demo.theta = float(std::sin(i * 0.001));
    st.Demo.ctrl_state = uint32_t(i);
    st.Raw_meas.raw_accs[0] = uint16_t(i);
    st.Navdata_pwm.motor1 = uint8_t(i);
    st.Kalman_pressure.est_z = float(i) * 0.25f;
    return BuildFullPacket(st, 0x0F0000D4u, number);
}

// A new empty file under $TMPDIR (else /tmp) named after `name` (which ends
// in XXXXXX), open for writing; -1 when it cannot be made.
inline int CreateTempFile(const char* name, std::string& path)
{
    const char* tmp = std::getenv("TMPDIR");
    path = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name;
    return mkstemp(path.data());
}

// All of `bytes` to `fd`; false when a write fails.
inline bool WriteAll(int fd, std::span<const uint8_t> bytes)
{
    while (!bytes.empty()) {
        const ssize_t w = write(fd, bytes.data(), bytes.size());
        if (w <= 0)
            return false;
        bytes = bytes.subspan(std::size_t(w));
    }
    return true;
}

// Every file the benchmarks write is on disk before a figure is taken: the
// kernel's write-back of a few hundred dirty megabytes would otherwise run
// beside the measured programs and take a processor from them.
inline bool SyncFile(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

// `bytes` in a new temporary file (see CreateTempFile), on disk; its path, or
// empty when it cannot be written (nothing is left behind then).
inline std::string WriteTempFile(const char* name, std::span<const uint8_t> bytes)
{
    std::string path;
    const int fd = CreateTempFile(name, path);
    if (fd < 0)
        return {};
    const bool ok = WriteAll(fd, bytes) && fsync(fd) == 0;
    if (close(fd) != 0 || !ok) {
        unlink(path.c_str());
        return {};
    }
    return path;
}

// `count` packets of the flight (see FlightPacket), numbered from
// `firstNumber`, in a new temporary file (on disk), written a thousand packets at a
// time; its path, or empty when it cannot be written.
inline std::string WriteFlightFile(const char* name, int count, uint32_t periodUs, uint32_t firstNumber)
{
    std::string path;
    const int fd = CreateTempFile(name, path);
    if (fd < 0)
        return {};
    NavdataState st{};
    std::vector<uint8_t> chunk;
    chunk.reserve(1000 * kFullPacketSize);
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        const std::vector<uint8_t> p = FlightPacket(st, i, periodUs, firstNumber + uint32_t(i));
        chunk.insert(chunk.end(), p.begin(), p.end());
        if (chunk.size() >= 1000 * kFullPacketSize || i + 1 == count) {
            ok = WriteAll(fd, chunk);
            chunk.clear();
        }
    }
    ok = ok && fsync(fd) == 0;
    if (close(fd) != 0 || !ok) {
        unlink(path.c_str());
        return {};
    }
    return path;
}

// Starts the program args[0] with args, its standard output and error to
// /dev/null when asked; its process id, or -1.
inline pid_t Spawn(std::vector<std::string> args, bool quietOut, bool quietErr)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (quietOut)
        posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (quietErr)
        posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    return rc == 0 ? pid : -1;
}

// The exit code of the child `pid` once it has ended; -1 when it was not
// started or did not exit by itself.
inline int Wait(pid_t pid)
{
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The reference of the ratio targets: the file read from start to end with
// 1 MB reads into one buffer, with the sequential hint the loader gives. Its
// milliseconds, or NaN when it cannot be opened; `bytes`, when given, gets
// the number of bytes read.
inline double RawReadMs(const std::string& path, uint64_t* bytes = nullptr)
{
    static std::vector<uint8_t> buffer(std::size_t(1) << 20);
    const auto t0 = std::chrono::steady_clock::now();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return NAN;
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    uint64_t total = 0;
    for (;;) {
        const ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        total += uint64_t(n);
    }
    close(fd);
    if (bytes)
        *bytes = total;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// A figure and the reference in turn, `rounds` times, the reference read
// just before each figure: the median figure and the median of the ratios.
// On a shared host whose speed drifts during a run (a virtual machine beside
// busy neighbours), the ratio of neighbouring measurements holds where the
// ratio of figures taken a minute apart does not. NaN when a figure failed.
struct InRounds {
    double ms = NAN;
    double ratio = NAN;
};

template <class Figure>
InRounds MeasureInRounds(const std::string& file, int rounds, Figure figureMs)
{
    std::vector<double> ms, ratios;
    for (int k = 0; k < rounds; ++k) {
        const double raw = RawReadMs(file);
        const double t = figureMs();
        if (std::isnan(t) || std::isnan(raw))
            return {};
        ms.push_back(t);
        ratios.push_back(t / raw);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    return {median(ms), median(ratios)};
}

} // namespace kestrix::bench
