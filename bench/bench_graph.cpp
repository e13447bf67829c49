// bench_graph: the Graph window with 10 plotted fields.
//
//   BM_DecodeOnly   the decode walk over the 200,000-packet recording alone
//                   (about 380 MB; the floor under "Draw Graph")
//   BM_DrawGraph    "Draw Graph": the whole recording read from its file
//                   on demand and decoded, every series filled
//                                          target <= 1.5 x BM_CsvSameKeys
//   BM_CsvSameKeys  the reference: kestrix_navdata csv of the same 10 keys
//                   over the same file, output to /dev/null (in process)
//   BM_Replot       one full repaint of that chart, 1000 x 600 pixels,
//                   10 x 200,000 points                     target <= 30 ms
//   BM_WheelZoom    one wheel step over the plot area of that chart, with
//                   its replot (in and out in turn)         target <= 16 ms
//   BM_CrosshairMove the crosshair moved: readout, overlay layer and the
//                   widget's repaint, no replot of the series target <= 2 ms
//   BM_CursorStatistics min, max, mean and RMS between A and B over all
//                   10 x 200,000 points                     target <= 10 ms
//   BM_ExportCsv    "Export CSV..." of the 10 x 200,000 points target <= 500 ms
//   BM_ExportPng    "Export image..." as PNG                target <= 500 ms
//   BM_LiveStream   kestrix_sim --rate 2000 for 5 s, record divisor "each",
//                   "live" ticked: passes vs points, repaints and field
//                   refreshes per second (<= 60), datagrams lost (0), and the
//                   longest wait of an event posted to the user-interface
//                   thread every 5 ms (<= 50 ms)
//
// BM_LiveStream binds the navdata and AT ports on 127.0.0.1 and talks to the
// simulator on 127.0.0.2 (set KESTRIX_DRONE_ADDRESS=127.0.0.2 and
// KESTRIX_BIND_ADDRESS=127.0.0.1 as for every run); it waits for the port
// lock of the window tests.
#include "support.h"

#include "plot/graph.h"
#include "plot/chart_stats.h"
#include "plot/chart_tools.h"
#include "plot/graph_series.h"
#include "session/loaded_stream.h"
#include "control/main.h"
#include "kit/shared_state.h"
#include "navdata/tags.h"
#include "session/thread.h"
#include "kit/ui_thread.h"
#include "kit/widgets.h"

#include "cli.h"

#include "kestrix/decoder.h"
#include "kestrix/packet_builder.h"
#include "kestrix/stream_reader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QEventLoop>
#include <QTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <qcustomplot.h>

#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

using namespace kestrix;
using namespace kestrix::gui;

namespace {

constexpr int kPackets = 200000;

const char* const kKeys[10] = {"Demo.altitude",   "Demo.theta",           "Demo.phi",
                               "Demo.psi",        "Demo.vx",              "Demo.vbat_flying_percentage",
                               "Raw_meas.raw_accs_0", "Phys_meas.phys_accs_2", "Navdata_pwm.motor1",
                               "Altitude.altitude_vz"};

// 200,000 full packets at the drone's 200 per second, every plotted field
// moving.
const std::vector<uint8_t>& Recording()
{
    static const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> out;
        out.reserve(std::size_t(kPackets) * kFullPacketSize);
        NavdataState s{};
        for (int i = 0; i < kPackets; ++i) {
            const int tick = i + 1;
            s.Time.time = MakeTimeWord(uint32_t(tick / 200), uint32_t(tick % 200) * 5000u);
            s.Demo.altitude = 1000 + int32_t(400 * std::sin(i * 0.001));
            s.Demo.theta = float(20 * std::sin(i * 0.01));
            s.Demo.phi = float(20 * std::cos(i * 0.013));
            s.Demo.psi = float((i % 3600) / 10.0);
            s.Demo.vx = float(std::sin(i * 0.002) * 500);
            s.Demo.vbat_flying_percentage = uint32_t(100 - i / 2000);
            s.Raw_meas.raw_accs[0] = uint16_t(2000 + (i * 7) % 100);
            s.Phys_meas.phys_accs[2] = float(-1000 + (i % 50));
            s.Navdata_pwm.motor1 = uint8_t(i % 256);
            s.Altitude.altitude_vz = float(std::cos(i * 0.0005) * 300);
            const auto p = BuildFullPacket(s, 0, uint32_t(i));
            out.insert(out.end(), p.begin(), p.end());
        }
        return out;
    }();
    return bytes;
}

// The recording written to a file of its own (deleted at the end).
const std::string& RecordingPath()
{
    static QTemporaryDir dir;
    static const std::string path = [] {
        const std::string p = dir.filePath(QStringLiteral("graph.navdata")).toStdString();
        std::ofstream f(p, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(Recording().data()), std::streamsize(Recording().size()));
        f.close();
        if (!f || !bench::SyncFile(p)) {
            std::fprintf(stderr, "cannot write %s\n", p.c_str());
            std::exit(1);
        }
        return p;
    }();
    return path;
}

// The Graph window with the 10 fields in its list and the recording loaded.
TForm5& GraphWindow()
{
    if (!Form5) {
        ResetSharedState();
        auto* w = new TForm5;
        w->SCCheckbox1->setChecked(false); // no redraw per drop
        for (const char* key : kKeys) {
            const QString k = QString::fromLatin1(key);
            w->series().add(k);
            w->SCCombobox1->addItemWithValue(k, QStringLiteral("1"));
        }
        // The recording as the window loads it: a file read on demand.
        std::string error;
        auto file = StreamFile::Open(RecordingPath(), error);
        if (!file) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
        auto rec = std::make_shared<LoadedRecording>();
        rec->file = file;
        StreamReader pass = rec->reader();
        rec->index = StreamIndex::Build(pass);
        LoadedStream = std::move(rec);
    }
    return *Form5;
}

int64_t TotalPoints()
{
    int64_t n = 0;
    for (QCPGraph* g : SeriesList) {
        n += PointCount(g);
    }
    return n;
}

void BM_DecodeOnly(benchmark::State& state)
{
    const ByteSpan stream(Recording().data(), Recording().size());
    NavdataDecoder d;
    int64_t packets = 0;
    for (auto _ : state) {
        packets = 0;
        for (int32_t cursor = 0; cursor >= 0;) {
            cursor = DecodeNavdataPacket(stream, cursor, d);
            ++packets;
        }
        benchmark::DoNotOptimize(d.state);
    }
    state.counters["packets"] = double(packets - 1);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size()));
}

void BM_DrawGraph(benchmark::State& state)
{
    TForm5& w = GraphWindow();
    for (auto _ : state) {
        w.SCButton3Click();
    }
    state.counters["series"] = double(SeriesList.size());
    state.counters["points"] = double(TotalPoints());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Recording().size()));
}

// The same keys through the command-line tool's csv, in this process.
void BM_CsvSameKeys(benchmark::State& state)
{
    std::vector<std::string> args = {"csv", RecordingPath()};
    for (const char* key : kKeys) {
        args.emplace_back(key);
    }
    for (auto _ : state) {
        std::ofstream devnull("/dev/null");
        std::ostringstream err;
        if (RunNavdataCli(args, devnull, err) != 0) {
            state.SkipWithError(err.str().c_str());
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Recording().size()));
}

// Shows the window with its chart at 1000 x 600 (the readout line under
// the chart included in the window).
void ChartSize(TForm5& w)
{
    w.show();
    for (int i = 0; i < 3 && w.Chart1->size() != QSize(1000, 600); ++i) {
        w.resize(w.width() + 1000 - w.Chart1->width(), w.height() + 600 - w.Chart1->height());
        QApplication::processEvents();
    }
}

void BM_Replot(benchmark::State& state)
{
    TForm5& w = GraphWindow();
    if (SeriesList.empty() || PointCount(SeriesList[0]) < kPackets) {
        w.SCButton3Click();
    }
    ChartSize(w);
    w.Chart1->replot(QCustomPlot::rpImmediateRefresh);
    for (auto _ : state) {
        w.Chart1->replot(QCustomPlot::rpImmediateRefresh);
    }
    state.counters["width"] = w.Chart1->width();
    state.counters["height"] = w.Chart1->height();
    state.counters["points"] = double(TotalPoints());
    w.hide();
}

// ------------------------------------------------------------ chart tools

// The drawn recording in a 1000 x 600 chart, whole view.
TForm5& ShownChart()
{
    TForm5& w = GraphWindow();
    if (SeriesList.empty() || PointCount(SeriesList[0]) < kPackets) {
        w.SCButton3Click();
    }
    ChartSize(w);
    w.tools().resetView();
    w.Chart1->replot(QCustomPlot::rpImmediateRefresh);
    return w;
}

void Targets(benchmark::State& state, double targetMs)
{
    state.counters["target_ms"] = targetMs;
}

void BM_WheelZoom(benchmark::State& state)
{
    TForm5& w = ShownChart();
    const QPoint centre = w.Chart1->axisRect()->rect().center();
    int step = 0;
    for (auto _ : state) {
        const int delta = (step++ % 2 == 0) ? 120 : -120;
        QWheelEvent wheel(QPointF(centre), QPointF(w.Chart1->mapToGlobal(centre)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.Chart1, &wheel);
        w.Chart1->replot(QCustomPlot::rpImmediateRefresh);
    }
    Targets(state, 16);
    state.counters["points"] = double(TotalPoints());
    w.tools().resetView();
}

void BM_CrosshairMove(benchmark::State& state)
{
    TForm5& w = ShownChart();
    const QCPRange t = w.Chart1->xAxis->range();
    int step = 0;
    for (auto _ : state) {
        w.tools().setCrosshair(t.lower + t.size() * double(step++ % 997) / 997);
        w.Chart1->repaint();
    }
    Targets(state, 2);
    w.tools().setCrosshair(std::nullopt);
}

void BM_CursorStatistics(benchmark::State& state)
{
    ShownChart();
    const ViewRange all{-1e300, 1e300};
    double sink = 0;
    int64_t points = 0;
    for (auto _ : state) {
        points = 0;
        for (QCPGraph* g : SeriesList) {
            const IntervalStatistics s = StatisticsBetween(SeriesPoints(g), all);
            sink += s.rms;
            points += s.count;
        }
        benchmark::DoNotOptimize(sink);
    }
    Targets(state, 10);
    state.counters["points"] = double(points);
}

void BM_ExportCsv(benchmark::State& state)
{
    TForm5& w = ShownChart();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chart.csv"));
    for (auto _ : state) {
        if (!w.tools().exportCsvTo(path).isEmpty()) {
            state.SkipWithError("export failed");
            return;
        }
    }
    Targets(state, 500);
    state.counters["bytes"] = double(QFileInfo(path).size());
}

void BM_ExportPng(benchmark::State& state)
{
    TForm5& w = ShownChart();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chart.png"));
    for (auto _ : state) {
        if (!w.tools().exportImageTo(path).isEmpty()) {
            state.SkipWithError("export failed");
            return;
        }
    }
    Targets(state, 500);
    state.counters["bytes"] = double(QFileInfo(path).size());
    w.hide();
}

// ------------------------------------------------------------ live

void BM_LiveStream(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    constexpr int kRate = 2000;
    constexpr int kSeconds = 5;
    constexpr int kSent = kRate * kSeconds;

    kestrix::gui::test::HoldPortLock();
    if (!kestrix::gui::test::WaitForFreePorts(60000)) {
        state.SkipWithError("ports 5554/5556 stay taken");
        return;
    }
    delete Form5;
    ResetSharedState();
    kestrix::gui::test::SimProcess sim({QStringLiteral("--rate"), QString::number(kRate), QStringLiteral("--packets"),
                          QString::number(kSent)});
    if (!sim.started()) {
        state.SkipWithError(sim.errorText().toStdString().c_str());
        return;
    }
    auto main = std::make_unique<TForm1>(kestrix::gui::test::LoopbackConfig());
    auto navdata = std::make_unique<TForm4>();
    auto graph = std::make_unique<TForm5>();
    if (!QTest::qWaitFor([&] { return main->linkConnected(); }, 3000)) {
        state.SkipWithError("the link did not come up");
        return;
    }
    main->SCComboboxEx1->setCurrentIndex(0); // "each"
    main->SCCheckbox2->setChecked(true);
    main->SCRadioGroup3->setItemIndex(0); // live
    graph->setStreamSource(true);
    navdata->SCCheckbox2->setEnabled(true);
    navdata->SCCheckbox2->setChecked(true);
    for (const char* key : kKeys) {
        graph->series().add(QString::fromLatin1(key));
    }
    navdata->show();
    graph->move(400, 0);
    graph->show();
    ResetLivePlotStatistics();
    uint64_t replotsSeen = 0;
    QObject::connect(graph->Chart1, &QCustomPlot::afterReplot, [&replotsSeen] { ++replotsSeen; });

    // The probe: an event posted every 5 ms, its wait noted on arrival. It
    // starts after Start, whose own 100 ms wait is part of its steps.
    std::atomic<bool> probing{true};
    int64_t worstWaitUs = 0;
    auto probeBody = [&] {
        while (probing) {
            const auto posted = Clock::now();
            PostToUi([posted, &worstWaitUs] {
                const auto us =
                    std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - posted).count();
                worstWaitUs = std::max<int64_t>(worstWaitUs, us);
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    std::thread probe;

    QElapsedTimer elapsed;
    for (auto _ : state) {
        main->SCButton1Click(); // Start
        elapsed.start();
        probe = std::thread(probeBody);
        // A plain event loop, as the program runs it (QTest's waits sleep
        // between turns).
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (PacketCounter >= kSent || elapsed.elapsed() > (kSeconds + 5) * 1000) {
                loop.quit();
            }
        });
        check.start(20);
        loop.exec();
    }
    const double seconds = double(elapsed.elapsed()) / 1000.0;
    probing = false;
    probe.join();
    QTest::qWait(20);
    main->SCButton2Click(); // Stop

    const LivePlotCounts c = LivePlotStatistics();
    bool everyPassPlotted = true;
    for (QCPGraph* g : SeriesList) {
        everyPassPlotted = everyPassPlotted && uint64_t(PointCount(g)) == c.passes + 1;
    }
    state.counters["datagrams_sent"] = kSent;
    state.counters["datagrams_handled"] = PacketCounter;
    state.counters["passes"] = double(c.passes);
    state.counters["failed_passes"] = double(c.failedPasses);
    state.counters["every_pass_in_every_series"] = everyPassPlotted ? 1 : 0;
    state.counters["repaints_per_s"] = double(c.repaints) / seconds;
    state.counters["chart_replots_per_s"] = double(replotsSeen) / seconds;
    state.counters["field_refreshes_per_s"] = double(c.fieldRefreshes) / seconds;
    state.counters["worst_ui_wait_ms"] = double(worstWaitUs) / 1000.0;
    graph.reset();
    navdata.reset();
    main.reset();
    ResetSharedState();
}

} // namespace

BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DrawGraph)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_CsvSameKeys)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_Replot)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_WheelZoom)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_CrosshairMove)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_CursorStatistics)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportPng)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LiveStream)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv)
{
    kestrix::gui::test::PrepareEnvironment();
    KestrixApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // Keeps the times of the runs for the ratio printed at the end.
    class Reporter : public benchmark::ConsoleReporter {
    public:
        std::map<std::string, double> ms;
        void ReportRuns(const std::vector<Run>& reports) override
        {
            for (const Run& r : reports) {
                if (!r.error_occurred) {
                    ms[r.run_name.function_name] =
                        r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit) * 1e3;
                }
            }
            ConsoleReporter::ReportRuns(reports);
        }
    } reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto draw = reporter.ms.find("BM_DrawGraph");
    const auto csv = reporter.ms.find("BM_CsvSameKeys");
    if (draw != reporter.ms.end() && csv != reporter.ms.end()) {
        std::printf("\n\"Draw Graph\", 10 fields       %8.1f ms\n"
                    "csv of the same keys          %8.1f ms\n"
                    "ratio                         %8.2f     target <= 1.5: %s\n",
                    draw->second, csv->second, draw->second / csv->second,
                    draw->second <= 1.5 * csv->second ? "MET" : "MISSED");
    }
    benchmark::Shutdown();
    StopWorkers();
    delete Form5;
    return 0;
}
