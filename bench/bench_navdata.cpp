// bench_navdata: the NavData window on a recording of 200,000 full packets
// (about 380 MB): loading it (read + navigation index, until the first record
// is shown), a navigation step with every field text written, at record 10
// and at record 199,990, and the seek alone. Peak memory of the load is
// reported as a counter.
//
// Targets: load <= 500 ms with peak memory <= file + 64 MB; a step <= 15 ms,
// the step at 199,990 at most twice the step at 10; a seek <= 1 ms.
#include "session/loaded_stream.h"
#include "kit/shared_state.h"
#include "navdata/tags.h"
#include "kit/ui_thread.h"
#include "kit/widgets.h"

#include "kestrix/packet_builder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

using namespace kestrix;
using namespace kestrix::gui;

namespace {

constexpr int kPackets = 200000;

QTemporaryDir* tempDir = nullptr;
QString streamPath;
qint64 streamBytes = 0;
TForm4* window = nullptr;

// A flight at 1000 packets a second from t = 1 s, with moving values.
void WriteStream()
{
    tempDir = new QTemporaryDir;
    streamPath = tempDir->filePath(QStringLiteral("flight.navdata"));
    QFile f(streamPath);
    if (!f.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(streamPath));
        std::exit(1);
    }
    NavdataState st{};
    std::vector<uint8_t> chunk;
    chunk.reserve(1000 * kFullPacketSize);
    for (int i = 0; i < kPackets; ++i) {
        const uint32_t t = MakeTimeWord(1u + uint32_t(i) / 1000u, (uint32_t(i) % 1000u) * 1000u);
        st.Time.time = t;
        st.Vision.time_capture = t;
        st.Demo.altitude = int32_t(i % 5000);
        st.Demo.theta = float(std::sin(i * 0.001));
        st.Demo.ctrl_state = uint32_t(i);
        st.Raw_meas.raw_accs[0] = uint16_t(i);
        st.Navdata_pwm.motor1 = uint8_t(i);
        st.Kalman_pressure.est_z = float(i) * 0.25f;
        const std::vector<uint8_t> p = BuildFullPacket(st, 0x0F0000D4u, uint32_t(i));
        chunk.insert(chunk.end(), p.begin(), p.end());
        if (chunk.size() >= 1000 * kFullPacketSize || i + 1 == kPackets) {
            f.write(reinterpret_cast<const char*>(chunk.data()), qint64(chunk.size()));
            chunk.clear();
        }
    }
    streamBytes = f.size();
}

// Peak resident memory (VmHWM) in bytes, and its reset to the current use.
void ResetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}
double PeakMemoryBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) * 1024.0;
        }
    }
    return 0;
}

void LoadOnce()
{
    window->startLoad(streamPath);
    while (window->isLoading()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// "Open" up to the first record shown, the file in the page cache.
void BM_Load(benchmark::State& state)
{
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        LoadedStream.reset();
        ResetPeakMemory();
        state.ResumeTiming();
        LoadOnce();
        state.PauseTiming();
        peak = std::max(peak, PeakMemoryBytes());
        state.ResumeTiming();
    }
    if (!LoadedStream || LoadedStream->index.recordCount() != kPackets) {
        state.SkipWithError("the load did not find every record");
    }
    state.counters["file_MB"] = double(streamBytes) / 1e6;
    state.counters["peak_MB"] = peak / 1e6;
    state.counters["peak_over_file_MB"] = (peak - double(streamBytes)) / 1e6;
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// "go" by record with the field texts written; alternating between two
// neighbours so every step really rewrites the edits.
void BM_Step(benchmark::State& state)
{
    if (!LoadedStream) {
        LoadOnce();
    }
    const int32_t n = int32_t(state.range(0));
    int32_t k = 0;
    for (auto _ : state) {
        window->SCEditRecordsCount->setValue(n + (k++ & 1));
        window->SCButton6Click();
    }
    if (window->SCEditRecordsCount->value() < n) {
        state.SkipWithError("step failed");
    }
}
BENCHMARK(BM_Step)->Arg(10)->Arg(kPackets - 10)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The seek alone, as the window calls it.
void BM_Seek(benchmark::State& state)
{
    if (!LoadedStream) {
        LoadOnce();
    }
    const int32_t n = int32_t(state.range(0));
    int32_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(SeekRecordByIndex(n + (k++ & 1)));
    }
}
BENCHMARK(BM_Seek)->Arg(10)->Arg(kPackets - 10)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    std::printf("Writing %d full packets...\n", kPackets);
    WriteStream();
    std::printf("%s: %.1f MB\n", qPrintable(streamPath), double(streamBytes) / 1e6);
    std::printf("Targets: BM_Load <= 500 ms, peak_over_file_MB <= 64; BM_Step <= 15000 us, "
                "BM_Step/%d <= 2 x BM_Step/10; BM_Seek <= 1000 us\n",
                kPackets - 10);
    ResetSharedState();
    window = new TForm4;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    StopWorkers();
    delete window;
    ResetSharedState();
    delete tempDir;
    return 0;
}
