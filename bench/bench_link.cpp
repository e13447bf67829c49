// bench_link: what one navdata datagram costs between the socket and the
// handler, and how many the link takes per second over loopback.
//
//   BM_QueuePushPop      copy out of the receive buffer, push, pop (one thread)
//   BM_HandOff           a queued backlog drained through the handler on the
//                        user-interface thread (event-loop turns included)
//   BM_SustainedReceive  a sender thread sends 200,000 datagrams of 1.9 kB at
//                        full speed, then paced at 100,000/s; and 100,000 at
//                        20,000/s (some 60 times the drone's rate); prints
//                        datagrams/s and loss
//
// Loopback only: KESTRIX_BIND_ADDRESS / KESTRIX_DRONE_ADDRESS when set (they
// must be loopback addresses), else 127.0.0.1 / 127.0.0.2. Binds port 5554.
#include "datagram_queue.h"
#include "kestrix/link/navdata_channel.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using kestrix::link::LinkConfig;
using kestrix::link::NavdataChannel;
using kestrix::link::NavdataPort;

namespace {

constexpr int kDatagramSize = 1900;
LinkConfig gConfig;

sockaddr_in sockaddrOf(const QHostAddress& a, quint16 port)
{
    sockaddr_in s{};
    s.sin_family = AF_INET;
    s.sin_port = htons(port);
    s.sin_addr.s_addr = htonl(a.toIPv4Address());
    return s;
}

// The drone's side: a socket bound to the drone address, port 5554.
class Sender {
public:
    Sender()
    {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        const sockaddr_in local = sockaddrOf(gConfig.droneAddress, NavdataPort);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            std::perror("bench_link: drone-side socket");
            std::exit(2);
        }
        to_ = sockaddrOf(gConfig.bindAddress, NavdataPort);
    }
    ~Sender() { ::close(fd_); }
    bool send(const char* data, size_t n) const
    {
        return ::sendto(fd_, data, n, 0, reinterpret_cast<const sockaddr*>(&to_), sizeof to_) ==
               ssize_t(n);
    }

private:
    int fd_ = -1;
    sockaddr_in to_{};
};

void BM_QueuePushPop(benchmark::State& state)
{
    kestrix::link::detail::DatagramQueue queue;
    std::vector<char> buffer(kDatagramSize, 'n');
    QByteArray out;
    for (auto _ : state) {
        queue.push(QByteArray(buffer.data(), kDatagramSize));
        queue.beginTurn();
        queue.pop(&out);
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QueuePushPop);

// Per iteration: a backlog of `batch` datagrams is built while the event loop
// does not run; only the drain through the handler is timed.
void BM_HandOff(benchmark::State& state)
{
    const int batch = int(state.range(0));
    NavdataChannel channel(gConfig);
    qint64 handled = 0;
    qint64 bytes = 0;
    channel.setHandler([&](const QByteArray& d) {
        ++handled;
        bytes += d.size();
        return true;
    });
    QString error;
    if (!channel.open(&error)) {
        state.SkipWithError(error.toLocal8Bit().constData());
        return;
    }
    Sender sender;
    std::vector<char> datagram(kDatagramSize, 'h');
    qint64 queuedTotal = 0;
    qint64 drainNs = 0;
    for (auto _ : state) {
        const qint64 before = channel.receivedCount();
        for (int i = 0; i < batch; ++i) {
            sender.send(datagram.data(), datagram.size());
            if (i % 256 == 255) // let the receiving thread keep up: no kernel loss
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        QElapsedTimer wait;
        wait.start();
        qint64 queued = 0;
        while ((queued = channel.receivedCount() - before) < batch && wait.elapsed() < 2000)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        const qint64 target = handled + queued;
        QElapsedTimer t;
        t.start();
        while (handled < target)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        const qint64 ns = t.nsecsElapsed();
        state.SetIterationTime(double(ns) * 1e-9);
        drainNs += ns;
        queuedTotal += queued;
    }
    channel.close();
    state.SetItemsProcessed(queuedTotal);
    state.counters["per_datagram_ns"] = queuedTotal ? double(drainNs) / double(queuedTotal) : 0.0;
    state.counters["kernel_loss"] = double(qint64(batch) * state.iterations() - queuedTotal);
    state.counters["peak_queue"] = channel.peakQueueLength();
    benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_HandOff)->Arg(20000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// range(0) datagrams; range(1) datagrams per second, 0 for full speed.
void BM_SustainedReceive(benchmark::State& state)
{
    const int count = int(state.range(0));
    const int rate = int(state.range(1));
    for (auto _ : state) {
        NavdataChannel channel(gConfig);
        qint64 handled = 0;
        channel.setHandler([&](const QByteArray&) {
            ++handled;
            return true;
        });
        QString error;
        if (!channel.open(&error)) {
            state.SkipWithError(error.toLocal8Bit().constData());
            return;
        }
        Sender sender;
        std::atomic<bool> done{false};
        std::atomic<int> sent{0};
        QElapsedTimer t;
        t.start();
        std::thread thread([&] {
            std::vector<char> datagram(kDatagramSize, 's');
            int ok = 0;
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < count; ++i) {
                if (rate > 0 && i % 16 == 0) {
                    const auto due = start + std::chrono::nanoseconds(qint64(i) * 1000000000 / rate);
                    std::this_thread::sleep_until(due);
                }
                std::memcpy(datagram.data(), &i, sizeof i);
                ok += sender.send(datagram.data(), datagram.size());
            }
            sent = ok;
            done = true;
        });
        // Run the event loop until the sender is done and nothing more comes
        // in for 200 ms (bounded to 60 s).
        qint64 lastHandled = -1;
        QElapsedTimer quiet;
        quiet.start();
        while (t.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (handled != lastHandled) {
                lastHandled = handled;
                quiet.restart();
            } else if (done && quiet.elapsed() > 200 && channel.queueLength() == 0) {
                break;
            }
        }
        const double seconds = double(t.nsecsElapsed() - quiet.nsecsElapsed()) * 1e-9;
        thread.join();
        state.SetIterationTime(seconds);
        const qint64 lost = sent.load() - handled;
        state.counters["sent"] = sent.load();
        state.counters["handled"] = double(handled);
        state.counters["lost"] = double(lost);
        state.counters["loss_pct"] = 100.0 * double(lost) / double(count);
        state.counters["datagrams_per_s"] = double(handled) / seconds;
        state.counters["MB_per_s"] = double(handled) * kDatagramSize / seconds / 1e6;
        state.counters["peak_queue"] = channel.peakQueueLength();
        std::printf("receive at %s: %d sent, %lld handled in %.3f s: %.0f datagrams/s, "
                    "%lld lost (%.2f %%), peak queue %d\n",
                    rate ? (std::to_string(rate) + "/s").c_str() : "full speed", sent.load(),
                    static_cast<long long>(handled), seconds,
                    double(handled) / seconds, static_cast<long long>(lost),
                    100.0 * double(lost) / double(count), channel.peakQueueLength());
    }
}
BENCHMARK(BM_SustainedReceive)
    ->Args({200000, 0})
    ->Args({200000, 100000})
    ->Args({100000, 20000})
    ->ArgNames({"count", "rate"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool fromEnv = qEnvironmentVariableIsSet("KESTRIX_DRONE_ADDRESS") &&
                         qEnvironmentVariableIsSet("KESTRIX_BIND_ADDRESS");
    if (fromEnv) {
        QString error;
        gConfig = LinkConfig::fromEnvironment(&error);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "bench_link: %s\n", error.toLocal8Bit().constData());
            return 2;
        }
    } else {
        gConfig.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
        gConfig.droneAddress = QHostAddress(QStringLiteral("127.0.0.2"));
    }
    if (!gConfig.bindAddress.isLoopback() || !gConfig.droneAddress.isLoopback()) {
        std::fprintf(stderr, "bench_link: both addresses must be loopback addresses\n");
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
