// Throughput of the navdata core on recorded-stream sized input.
//
//   decode_full_stream   DecodeNavdataPacket walking 200,000 full packets
//   memcpy_full_stream   memcpy of the same bytes (the reference rate)
//   memcpy_per_packet    the same bytes copied packet by packet into one
//                        cache-resident buffer (what the decoder's writes are)
//   decode_noisy_stream  the same packets with 30 % noise bytes between them
//   skip_pure_noise      FindPacketStart over the noise bytes alone
//   seek_last_record     SeekRecordByIndex to the last record of the noisy stream
//   raw_read_1mb         the reference: the stream file read from start to
//                        end with 1 MB reads into one buffer
//   load_read_file       ReadStreamFile: the whole file copied into memory
//   load_build_index     StreamIndex::Build over the stream in memory
//   load_on_demand       what the window's load does: the file opened, the
//                        index built in one pass of 1 MB reads, record 0
//                        decoded -- no copy of the file
//   seek_indexed_10      SeekRecordByIndex(10) through the index, the file
//                        read on demand (warm: the reader's window kept)
//   seek_indexed_199990  SeekRecordByIndex(199990), the same
//   seek_cold_anywhere   a seek to a record anywhere in the file with the
//                        reader's window dropped first (first touch)
//   seek_indexed_steps   ">>" steps through the last 20,000 records, one per seek
//   seek_time_indexed    SeekRecordByTime to the time of record 199,990
//   index_spacing/N      snapshots every N bytes: seeks across the last
//                        records (mean per seek) with the build time, the
//                        slowest seek and the index memory as counters
//   cli_csv_10_keys      kestrix_navdata csv FILE KEY x10, output to /dev/null
//   cli_info             kestrix_navdata info FILE, output to /dev/null
//
// Before the table, the peak memory of one on-demand load and of the CLI's
// info (in this process, above its idle size) is measured. The stream file
// lies in the page cache (it was just written): the load figures are those
// of a file read recently, not of a cold disk, and so is the reference read.
// A summary with the targets follows the benchmark table, every time beside
// its ratio to the reference read of the same run; the load, info and csv
// are then measured again in rounds, each right behind a reference read,
// and judged by the median ratio (the host's speed may drift over a run of
// a minute, and moves neighbouring figures alike). Then the same stream is
// written 12 times over into one file of about 4.6 GB (when the disk has room
// for it; deleted afterwards) for the load, a seek to its last record and
// info over a recording of that size.

#include "kestrix/decoder.h"
#include "bench_support.h"
#include "kestrix/packet_builder.h"
#include "kestrix/plot_fields.h"
#include "kestrix/records.h"
#include "kestrix/stream_file.h"
#include "kestrix/stream_index.h"
#include "kestrix/stream_nav.h"
#include "kestrix/stream_reader.h"

#ifdef KESTRIX_NAVDATA_EXE
#include "cli.h"
#endif

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace kestrix;

namespace {

constexpr int kPackets = 200000;
constexpr double kNoiseShare = 0.30; // of all bytes of the noisy stream
constexpr double kDecodeTargetMBs = 1500.0;
constexpr double kNoiseTargetMBs = 1000.0;
constexpr double kLoadTargetRatio = 3.0;      // on-demand load / reference read
constexpr double kInfoTargetRatio = 3.0;      // kestrix_navdata info / reference read
constexpr double kCsvTargetRatio = 5.0;       // kestrix_navdata csv, 10 keys / reference read
constexpr double kSeekTargetMs = 1.0;         // one indexed seek, any record
constexpr double kStepRatioTarget = 2.0;      // step to 199,990 / step to 10
constexpr double kLoadPeakTargetMB = 64.0;    // load peak above the idle size
constexpr double kInfoPeakTargetMB = 32.0;    // CLI info peak above the idle size
constexpr int kLargeCopies = 12;              // the large file: the stream 12 times
constexpr int32_t kFarRecord = 199990;
constexpr int32_t kNearRecord = 10;

struct SplitMix {
    uint64_t s;
    uint64_t next()
    {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
};

struct Streams {
    std::vector<uint8_t> full;      // kPackets full packets back to back
    std::vector<uint8_t> noisy;     // the same packets, noise in front of each
    std::vector<uint8_t> noiseOnly; // every noise byte of `noisy`, nothing else
    size_t noise88 = 0;             // 0x88 bytes in the noise
    size_t partialMagics = 0;       // 0x88 0x77 [0x66] runs in the noise
    std::string file;               // `full` written to a temporary file
};

// Random bytes with lone 0x88 bytes and partial magics mixed in, as line noise
// that cut packets leave behind; never a whole magic.
void AppendNoise(std::vector<uint8_t>& out, size_t n, SplitMix& rng, Streams& s)
{
    const size_t from = out.size();
    for (size_t i = 0; i < n; ++i) {
        const uint64_t r = rng.next();
        uint8_t b = uint8_t(r);
        if ((r >> 8) % 64 == 0)
            b = 0x88; // about 1.6 % on top of the 1/256 of plain random bytes
        out.push_back(b);
        if (b == 0x88 && (r >> 16) % 4 == 0 && i + 1 < n) {
            out.push_back(0x77);
            ++i;
            ++s.partialMagics;
            if ((r >> 24) % 2 == 0 && i + 1 < n) {
                out.push_back(0x66);
                ++i;
            }
        }
    }
    for (size_t i = from; i + 4 <= out.size(); ++i)
        if (std::memcmp(&out[i], kNavdataMagic, 4) == 0)
            out[i + 3] = 0x54;
}

size_t CountPackets(ByteSpan stream, int32_t* lastEnd = nullptr)
{
    NavdataDecoder d;
    size_t n = 0;
    int32_t off = 0;
    for (;;) {
        const int32_t next = DecodeNavdataPacket(stream, off, d);
        if (next < 0)
            break;
        ++n;
        off = next;
    }
    if (lastEnd)
        *lastEnd = off;
    return n;
}

Streams BuildStreams()
{
    Streams s;
    SplitMix rng{0x6B657374726978ull};

    NavdataState st{};
    auto* raw = reinterpret_cast<uint8_t*>(&st);
    for (size_t i = 0; i < sizeof st; ++i)
        raw[i] = uint8_t(rng.next());

    s.full.reserve(size_t(kPackets) * kFullPacketSize);
    const double meanGap = double(kFullPacketSize) * kNoiseShare / (1.0 - kNoiseShare);
    s.noisy.reserve(size_t(double(kPackets) * (double(kFullPacketSize) + meanGap) * 1.01));
    for (int i = 0; i < kPackets; ++i) {
        // A flight at 1000 packets a second from t = 1 s, with moving values.
        const uint32_t t = bench::FlightTimeWord(i, 1000);
        st.Time.time = t;
        st.Vision.time_capture = t;
        st.Demo.altitude = int32_t(i % 5000);
        st.Demo.theta = float(std::sin(i * 0.001));
        st.Demo.phi = float(std::cos(i * 0.002));
        st.Demo.psi = float(i % 360);
        st.Demo.vx = float(i) * 0.01f;
        st.Raw_meas.raw_accs[0] = uint16_t(i);
        st.Magneto.magneto_state = uint32_t(i * 7);
        for (int k = 0; k < 8; ++k)
            raw[rng.next() % sizeof st] = uint8_t(rng.next());
        st.Time.time = t; // the random bytes may have hit the times
        st.Vision.time_capture = t;

        const std::vector<uint8_t> p = BuildFullPacket(st, 0x0F0000D4u, uint32_t(i));
        s.full.insert(s.full.end(), p.begin(), p.end());

        const size_t gap = size_t(rng.next() % uint64_t(2 * meanGap + 1));
        const size_t before = s.noiseOnly.size();
        AppendNoise(s.noiseOnly, gap, rng, s);
        s.noisy.insert(s.noisy.end(), s.noiseOnly.begin() + long(before), s.noiseOnly.end());
        s.noisy.insert(s.noisy.end(), p.begin(), p.end());
    }
    // Gaps joined end to end could form a magic at their seams.
    for (size_t i = 0; i + 4 <= s.noiseOnly.size(); ++i)
        if (std::memcmp(&s.noiseOnly[i], kNavdataMagic, 4) == 0)
            s.noiseOnly[i + 3] = 0x54;
    for (uint8_t b : s.noiseOnly)
        s.noise88 += b == 0x88;
    return s;
}

Streams& GetStreams()
{
    static Streams s = BuildStreams();
    return s;
}

// Walks the whole stream from offset 0 until the decoder finds no more packets.
void BM_DecodeStream(benchmark::State& state, bool noisy)
{
    const Streams& s = GetStreams();
    const ByteSpan stream(noisy ? s.noisy : s.full);
    NavdataDecoder d;
    int64_t packets = 0;
    for (auto _ : state) {
        packets = 0;
        int32_t off = 0;
        while ((off = DecodeNavdataPacket(stream, off, d)) >= 0)
            ++packets;
        benchmark::DoNotOptimize(d.state);
        benchmark::ClobberMemory();
    }
    if (packets != kPackets)
        state.SkipWithError("wrong packet count");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size()));
    if (noisy)
        state.counters["noise_share"] = double(s.noiseOnly.size()) / double(s.noisy.size());
    else
        state.counters["packets"] = double(packets);
    state.counters["packets/s"] = benchmark::Counter(double(packets), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_MemcpyFullStream(benchmark::State& state)
{
    const Streams& s = GetStreams();
    std::vector<uint8_t> dst(s.full.size(), 1); // touched: no page faults while timing
    for (auto _ : state) {
        std::memcpy(dst.data(), s.full.data(), s.full.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.full.size()));
}

void BM_MemcpyPerPacket(benchmark::State& state)
{
    const Streams& s = GetStreams();
    alignas(64) static uint8_t dst[kFullPacketSize];
    for (auto _ : state) {
        for (size_t off = 0; off < s.full.size(); off += kFullPacketSize) {
            std::memcpy(dst, s.full.data() + off, kFullPacketSize);
            benchmark::ClobberMemory();
        }
        benchmark::DoNotOptimize(dst);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.full.size()));
}


void BM_SkipPureNoise(benchmark::State& state)
{
    const Streams& s = GetStreams();
    const ByteSpan stream(s.noiseOnly);
    int32_t r = 0;
    for (auto _ : state) {
        r = FindPacketStart(stream, 0);
        benchmark::DoNotOptimize(r);
    }
    if (r != -1)
        state.SkipWithError("noise holds a magic");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size()));
}

void BM_SeekLastRecord(benchmark::State& state)
{
    const Streams& s = GetStreams();
    NavdataDecoder d;
    int32_t cursor = 0;
    int32_t got = -1;
    for (auto _ : state) {
        got = SeekRecordByIndex({ByteSpan(s.noisy), d, cursor}, kPackets - 1);
        benchmark::DoNotOptimize(got);
    }
    if (got != kPackets - 1)
        state.SkipWithError("last record not reached");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.noisy.size()));
    state.counters["record"] = double(got);
}

// ---------------------------------------------------------------------------
// Loading a recording and seeking through its index.

bool WriteStreamFile(Streams& s)
{
    s.file = bench::WriteTempFile("kestrix_bench_core_XXXXXX", s.full);
    return !s.file.empty();
}

void BM_LoadReadFile(benchmark::State& state)
{
    const Streams& s = GetStreams();
    for (auto _ : state) {
        StreamBuffer b;
        std::string error;
        if (!ReadStreamFile(s.file, b, error) || b.size() != s.full.size()) {
            state.SkipWithError(("read failed: " + error).c_str());
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.full.size()));
}

void BM_LoadBuildIndex(benchmark::State& state)
{
    const Streams& s = GetStreams();
    std::size_t snapshots = 0;
    for (auto _ : state) {
        const StreamIndex index = StreamIndex::Build(s.full);
        snapshots = index.snapshotCount();
        if (index.recordCount() != kPackets) {
            state.SkipWithError("wrong record count");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.full.size()));
    state.counters["snapshots"] = double(snapshots);
}

using bench::RawReadMs;

void BM_RawRead(benchmark::State& state)
{
    const Streams& s = GetStreams();
    for (auto _ : state) {
        uint64_t bytes = 0;
        if (std::isnan(RawReadMs(s.file, &bytes)) || bytes != s.full.size()) {
            state.SkipWithError("reference read failed");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.full.size()));
}

// A recording loaded on demand: the open file, its index, and the reader the
// seeks use (64 kB reads: a seek reads from its snapshot on, a few dozen kB).
struct OnDemand {
    std::shared_ptr<StreamFile> file;
    StreamIndex index;
    std::unique_ptr<StreamReader> nav;
    NavdataDecoder decoder;
    int64_t cursor = 0;
};

// What the window's load does, up to record 0 decoded. Null on failure.
std::unique_ptr<OnDemand> LoadOnDemand(const std::string& path, std::string& error)
{
    auto r = std::make_unique<OnDemand>();
    r->file = StreamFile::Open(path, error);
    if (!r->file)
        return nullptr;
    try {
        StreamReader pass(r->file);
        r->index = StreamIndex::Build(pass);
        r->nav = std::make_unique<StreamReader>(r->file, std::size_t(64) << 10);
        if (SeekRecordByIndex(RecordNavigation{*r->nav, r->decoder, r->cursor}, &r->index, 0) != 0) {
            error = "record 0 not found";
            return nullptr;
        }
    } catch (const StreamReadError& e) {
        error = e.what();
        return nullptr;
    }
    return r;
}

void BM_LoadOnDemand(benchmark::State& state)
{
    const Streams& s = GetStreams();
    for (auto _ : state) {
        std::string error;
        const std::unique_ptr<OnDemand> r = LoadOnDemand(s.file, error);
        if (!r || r->index.recordCount() != kPackets) {
            state.SkipWithError(("load failed: " + error).c_str());
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.full.size()));
}

OnDemand& FullRecording()
{
    static std::unique_ptr<OnDemand> r = [] {
        std::string error;
        auto loaded = LoadOnDemand(GetStreams().file, error);
        if (!loaded) {
            std::fprintf(stderr, "cannot load the stream file: %s\n", error.c_str());
            std::exit(1);
        }
        return loaded;
    }();
    return *r;
}

double RecordTimeOf(int32_t record)
{
    return NavdataTimeToSeconds(bench::FlightTimeWord(record, 1000));
}

// Seeks to record n, or to its time, on one decoder, as the window does: each
// starts from what the last left.
void BM_SeekIndexed(benchmark::State& state, int32_t n, bool byTime)
{
    OnDemand& r = FullRecording();
    const double t = RecordTimeOf(n);
    int32_t got = -1;
    for (auto _ : state) {
        const RecordNavigation nav{*r.nav, r.decoder, r.cursor};
        got = byTime ? SeekRecordByTime(nav, &r.index, t) : SeekRecordByIndex(nav, &r.index, n);
        benchmark::DoNotOptimize(got);
    }
    if (got != n)
        state.SkipWithError("record not reached");
}

// First touch: the reader's window dropped before every seek, to a record
// anywhere in the file.
void BM_SeekCold(benchmark::State& state)
{
    OnDemand& r = FullRecording();
    SplitMix rng{42};
    for (auto _ : state) {
        const int32_t n = int32_t(rng.next() % uint64_t(kPackets));
        r.nav->drop();
        if (SeekRecordByIndex(RecordNavigation{*r.nav, r.decoder, r.cursor}, &r.index, n) != n) {
            state.SkipWithError("record not reached");
            break;
        }
    }
}

void BM_SeekIndexedSteps(benchmark::State& state)
{
    OnDemand& r = FullRecording();
    int32_t n = kPackets - 20000;
    for (auto _ : state) {
        if (SeekRecordByIndex(RecordNavigation{*r.nav, r.decoder, r.cursor}, &r.index, n) != n) {
            state.SkipWithError("record not reached");
            break;
        }
        n = n + 1 < kPackets ? n + 1 : kPackets - 20000;
    }
}

// One spacing: seeks over the last 2,000 records. Counters: the build time,
// the slowest seek (each timed three times, the fastest of the three kept, so
// that a stray interrupt is not taken for a slow seek), the snapshot memory.
void BM_IndexSpacing(benchmark::State& state)
{
    const Streams& s = GetStreams();
    const int32_t spacing = int32_t(state.range(0));
    const auto t0 = std::chrono::steady_clock::now();
    const StreamIndex index = StreamIndex::Build(s.full, nullptr, spacing);
    const double buildMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();

    NavdataDecoder d;
    int32_t cursor = 0;
    constexpr int32_t kFirst = kPackets - 2000;
    std::vector<double> fastestUs(kPackets - kFirst, INFINITY);
    for (int round = 0; round < 3; ++round)
        for (int32_t n = kFirst; n < kPackets; ++n) {
            const auto a = std::chrono::steady_clock::now();
            SeekRecordByIndex({ByteSpan(s.full), d, cursor}, &index, n);
            const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - a).count();
            fastestUs[size_t(n - kFirst)] = std::min(fastestUs[size_t(n - kFirst)], us);
        }
    const double slowestUs = *std::max_element(fastestUs.begin(), fastestUs.end());
    for (auto _ : state) {
        for (int32_t n = kFirst; n < kPackets; ++n)
            benchmark::DoNotOptimize(SeekRecordByIndex({ByteSpan(s.full), d, cursor}, &index, n));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * (kPackets - kFirst));
    state.counters["build_ms"] = buildMs;
    state.counters["slowest_seek_us"] = slowestUs;
    state.counters["index_MB"] = double(index.memoryBytes()) / 1e6;
    state.counters["snapshots"] = double(index.snapshotCount());
}

// Peak resident memory of one read + index build above what the process held
// before, from VmHWM after resetting it (clear_refs 5).
struct LoadPeak {
    double peakMB = NAN;
    double indexMB = NAN;
};

double StatusKB(const char* field)
{
    std::ifstream f("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(f, line))
        if (line.starts_with(key))
            return std::strtod(line.c_str() + key.size(), nullptr);
    return NAN;
}

// Resets the high-water mark to the present use; false when it does not take.
bool ResetPeak(double& beforeKB)
{
    std::ofstream("/proc/self/clear_refs") << "5";
    beforeKB = StatusKB("VmRSS");
    return !(StatusKB("VmHWM") > beforeKB + 1024);
}

double PeakAboveMB(double beforeKB)
{
    return (StatusKB("VmHWM") - beforeKB) * 1024 / 1e6;
}

LoadPeak MeasureLoadPeak(const std::string& path)
{
    LoadPeak r;
    double before = 0;
    if (!ResetPeak(before))
        return r;
    {
        std::string error;
        const std::unique_ptr<OnDemand> loaded = LoadOnDemand(path, error);
        if (!loaded)
            return r;
        r.indexMB = double(loaded->index.memoryBytes()) / 1e6;
    }
    r.peakMB = PeakAboveMB(before);
    return r;
}

#ifdef KESTRIX_NAVDATA_EXE
const char* const kCsvKeys[] = {
    "Demo.altitude", "Demo.theta",  "Demo.phi",           "Demo.psi",           "Demo.vx",
    "Time.time",     "Raw_meas.raw_accs_0", "Euler_angles.theta1", "Vision.time_capture", "Magneto.magneto_state",
};

// Runs the tool with its output to /dev/null; the exit code, or -1. (Its peak
// memory is not taken from wait4: a spawned child inherits the high-water
// mark of this large process across exec.)
int RunTool(std::vector<std::string> args)
{
    args.insert(args.begin(), KESTRIX_NAVDATA_EXE);
    return bench::Wait(bench::Spawn(std::move(args), true, false));
}

// The command library in this process, output to /dev/null: its peak memory
// above this process's idle size; NaN when it fails.
double CliPeakMB(std::vector<std::string> args)
{
    double before = 0;
    if (!ResetPeak(before))
        return NAN;
    std::ofstream devnull("/dev/null");
    std::ostringstream err;
    if (RunNavdataCli(args, devnull, err) != 0)
        return NAN;
    return PeakAboveMB(before);
}

// Milliseconds of one run of the tool, or NaN.
double ToolMs(std::vector<std::string> args)
{
    const auto t0 = std::chrono::steady_clock::now();
    if (RunTool(std::move(args)) != 0)
        return NAN;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// kestrix_navdata with `args` over the stream file, output to /dev/null.
void BM_Cli(benchmark::State& state, std::vector<std::string> args)
{
    const Streams& s = GetStreams();
    args.insert(args.begin() + 1, s.file);
    for (auto _ : state) {
        const int rc = RunTool(args);
        if (rc != 0) {
            state.SkipWithError(("kestrix_navdata " + args[0] + " exited with " + std::to_string(rc)).c_str());
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.full.size()));
}
#endif

using bench::InRounds;
using bench::MeasureInRounds;

// Remembers every run for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    std::map<std::string, Run> runs; // by function name

    void ReportRuns(const std::vector<Run>& reports) override
    {
        for (const Run& r : reports)
            if (r.run_type == Run::RT_Iteration)
                runs[r.run_name.function_name] = r;
        ConsoleReporter::ReportRuns(reports);
    }

    const Run* find(const std::string& name) const
    {
        auto it = runs.find(name);
        return it == runs.end() || it->second.error_occurred ? nullptr : &it->second;
    }
    double mbs(const std::string& name) const
    {
        const Run* r = find(name);
        if (!r)
            return NAN;
        auto c = r->counters.find("bytes_per_second");
        return c == r->counters.end() ? NAN : c->second.value / 1e6;
    }
    double counter(const std::string& name, const char* key) const
    {
        const Run* r = find(name);
        if (!r)
            return NAN;
        auto c = r->counters.find(key);
        return c == r->counters.end() ? NAN : c->second.value;
    }
    double seconds(const std::string& name) const
    {
        const Run* r = find(name);
        return r ? r->GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r->time_unit) : NAN;
    }
};

const char* Verdict(bool ok) { return ok ? "MET" : "MISSED"; }
// The same for a figure that may be missing (filtered out or failed).
const char* Verdict(double figure, bool ok) { return std::isnan(figure) ? "not run" : Verdict(ok); }

// "   1234 MB/s" or "not run" (filtered out or failed).
std::string Rate(double mbs)
{
    char buf[32];
    if (std::isnan(mbs))
        return "    not run";
    std::snprintf(buf, sizeof buf, "%6.0f MB/s", mbs);
    return buf;
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    std::printf("Building streams: %d full packets of %zu bytes...\n", kPackets, kFullPacketSize);
    Streams& s = GetStreams();
    int32_t lastEnd = 0;
    const size_t fullPackets = CountPackets(s.full, &lastEnd);
    const size_t noisyPackets = CountPackets(s.noisy);
    std::printf("  full stream   %zu bytes (%.1f MB), %zu packets decoded, walk ends at %d\n", s.full.size(),
                s.full.size() / 1e6, fullPackets, lastEnd);
    std::printf("  noisy stream  %zu bytes (%.1f MB), %zu packets decoded, noise %zu bytes = %.1f %% "
                "(0x88 bytes in it: %zu = %.2f %%, 0x88 0x77 runs: %zu)\n",
                s.noisy.size(), s.noisy.size() / 1e6, noisyPackets, s.noiseOnly.size(),
                100.0 * double(s.noiseOnly.size()) / double(s.noisy.size()), s.noise88,
                100.0 * double(s.noise88) / double(s.noiseOnly.size()), s.partialMagics);
    if (fullPackets != size_t(kPackets) || noisyPackets != size_t(kPackets)) {
        std::fprintf(stderr, "stream check failed: expected %d packets\n", kPackets);
        return 1;
    }

    using benchmark::kMillisecond;
    benchmark::RegisterBenchmark("decode_full_stream", BM_DecodeStream, false)->Unit(kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("memcpy_full_stream", BM_MemcpyFullStream)->Unit(kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("memcpy_per_packet", BM_MemcpyPerPacket)->Unit(kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("decode_noisy_stream", BM_DecodeStream, true)->Unit(kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("skip_pure_noise", BM_SkipPureNoise)->Unit(kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("seek_last_record", BM_SeekLastRecord)->Unit(kMillisecond)->UseRealTime();

    if (!WriteStreamFile(s)) {
        std::fprintf(stderr, "cannot write the temporary stream file\n");
        return 1;
    }
    std::printf("  stream file   %s (%zu bytes)\n", s.file.c_str(), s.full.size());
    RawReadMs(s.file); // into the page cache, as the runs below find it
    const LoadPeak peak = MeasureLoadPeak(s.file);
    double infoPeakMB = NAN;
#ifdef KESTRIX_NAVDATA_EXE
    infoPeakMB = CliPeakMB({"info", s.file});
#endif

    using benchmark::kMicrosecond;
    benchmark::RegisterBenchmark("raw_read_1mb", BM_RawRead)->Unit(kMillisecond)->UseRealTime()->Iterations(10);
    benchmark::RegisterBenchmark("load_read_file", BM_LoadReadFile)->Unit(kMillisecond)->UseRealTime()->Iterations(5);
    benchmark::RegisterBenchmark("load_build_index", BM_LoadBuildIndex)->Unit(kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("load_on_demand", BM_LoadOnDemand)->Unit(kMillisecond)->UseRealTime()->Iterations(10);
    benchmark::RegisterBenchmark("seek_indexed_10", BM_SeekIndexed, kNearRecord, false)
        ->Unit(kMicrosecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("seek_indexed_199990", BM_SeekIndexed, kFarRecord, false)
        ->Unit(kMicrosecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("seek_cold_anywhere", BM_SeekCold)->Unit(kMicrosecond)->UseRealTime();
    benchmark::RegisterBenchmark("seek_indexed_steps", BM_SeekIndexedSteps)->Unit(kMicrosecond)->UseRealTime();
    benchmark::RegisterBenchmark("seek_time_indexed", BM_SeekIndexed, kFarRecord, true)
        ->Unit(kMicrosecond)
        ->UseRealTime();
    for (const int spacing : {4096, 8192, 16384, 32768, 65536, 262144})
        benchmark::RegisterBenchmark(("index_spacing_" + std::to_string(spacing)).c_str(), BM_IndexSpacing)
            ->Arg(spacing)
            ->Unit(kMillisecond)
            ->UseRealTime();

    std::string cliNote;
    std::vector<std::string> csv = {"csv"};
#ifdef KESTRIX_NAVDATA_EXE
    for (const char* k : kCsvKeys)
        if (!FindPlotField(k)) {
            std::fprintf(stderr, "unknown plot key %s\n", k);
            return 1;
        }
    std::printf("  tool          %s\n", KESTRIX_NAVDATA_EXE);
    csv.insert(csv.end(), std::begin(kCsvKeys), std::end(kCsvKeys));
    benchmark::RegisterBenchmark("cli_csv_10_keys", BM_Cli, csv)->Unit(kMillisecond)->UseRealTime()->Iterations(3);
    benchmark::RegisterBenchmark("cli_info", BM_Cli, std::vector<std::string>{"info"})
        ->Unit(kMillisecond)
        ->UseRealTime()
        ->Iterations(5);
#else
    cliNote = "skipped: target kestrix_navdata was not configured (tools/navdata)";
    std::printf("cli_csv_10_keys, cli_info %s\n", cliNote.c_str());
#endif

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const double decode = reporter.mbs("decode_full_stream");
    const double memcpyRate = reporter.mbs("memcpy_full_stream");
    const double perPacket = reporter.mbs("memcpy_per_packet");
    const double noisy = reporter.mbs("decode_noisy_stream");
    const double pureNoise = reporter.mbs("skip_pure_noise");
    const double seek = reporter.seconds("seek_last_record");
    const double rawMs = reporter.seconds("raw_read_1mb") * 1e3;
    const double cliMs = reporter.seconds("cli_csv_10_keys") * 1e3;
    const double readMs = reporter.seconds("load_read_file") * 1e3;
    const double indexMs = reporter.seconds("load_build_index") * 1e3;
    const double loadMs = reporter.seconds("load_on_demand") * 1e3;
    const double nearUs = reporter.seconds("seek_indexed_10") * 1e6;
    const double farUs = reporter.seconds("seek_indexed_199990") * 1e6;
    const double coldUs = reporter.seconds("seek_cold_anywhere") * 1e6;
    const double stepsUs = reporter.seconds("seek_indexed_steps") * 1e6;
    const double timeUs = reporter.seconds("seek_time_indexed") * 1e6;
    const double infoMs = reporter.seconds("cli_info") * 1e3;
    const std::string spacingRun = "index_spacing_" + std::to_string(StreamIndex::kDefaultSnapshotSpacing);
    const double slowestUs = reporter.counter(spacingRun, "slowest_seek_us");
    const double fileMB = double(s.full.size()) / 1e6;

    std::printf("\nSummary (MB = 10^6 bytes)\n");
    std::printf("  decode, 200,000 full packets   %s   target >= %.0f MB/s: %s; >= memcpy/4 = %.0f MB/s: %s\n",
                Rate(decode).c_str(), kDecodeTargetMBs, Verdict(decode >= kDecodeTargetMBs), memcpyRate / 4,
                Verdict(decode >= memcpyRate / 4));
    std::printf("  memcpy, same bytes             %s   (%.2f x decode)\n", Rate(memcpyRate).c_str(),
                memcpyRate / decode);
    std::printf("  memcpy packet by packet        %s   (into one cache-resident buffer)\n", Rate(perPacket).c_str());
    std::printf("  decode, 30 %% noise between     %s   target >= %.0f MB/s: %s\n", Rate(noisy).c_str(),
                kNoiseTargetMBs, Verdict(noisy >= kNoiseTargetMBs));
    std::printf("  FindPacketStart, noise alone   %s\n", Rate(pureNoise).c_str());
    if (std::isnan(seek))
        std::printf("  SeekRecordByIndex(%d)      not run\n", kPackets - 1);
    else
        std::printf("  SeekRecordByIndex(%d)    %6.1f ms     (noisy stream, from offset 0)\n", kPackets - 1,
                    seek * 1e3);

    std::printf("\nA recording of %.1f MB (%d full packets) read on demand; the reference is the same file\n"
                "read with 1 MB reads in this run: %.1f ms (%.0f MB/s)\n",
                fileMB, kPackets, rawMs, fileMB / rawMs * 1e3);
    std::printf("  copy into memory (old load)    %8.1f ms     %5.2f x reference\n", readMs, readMs / rawMs);
    std::printf("  index, stream in memory        %8.1f ms     %5.2f x reference\n", indexMs, indexMs / rawMs);
    std::printf("  load: open, index, record 0    %8.1f ms     %5.2f x reference, target <= %.0f x: %s\n", loadMs,
                loadMs / rawMs, kLoadTargetRatio, Verdict(loadMs, loadMs <= kLoadTargetRatio * rawMs));
    std::printf("  peak memory of the load        %8.1f MB     above idle, target <= %.0f MB: %s (index %.1f MB)\n",
                peak.peakMB, kLoadPeakTargetMB, Verdict(peak.peakMB, peak.peakMB <= kLoadPeakTargetMB), peak.indexMB);
    std::printf("  seek to record %-6d          %8.2f us     target <= %.0f us: %s\n", kNearRecord, nearUs,
                kSeekTargetMs * 1e3, Verdict(nearUs, nearUs <= kSeekTargetMs * 1e3));
    std::printf("  seek to record %-6d          %8.2f us     target <= %.0f us: %s; <= %.0f x record %d: %.2f x, %s\n",
                kFarRecord, farUs, kSeekTargetMs * 1e3, Verdict(farUs, farUs <= kSeekTargetMs * 1e3), kStepRatioTarget,
                kNearRecord, farUs / nearUs, Verdict(farUs / nearUs, farUs <= kStepRatioTarget * nearUs));
    std::printf("  seek anywhere, cold window     %8.2f us     target <= %.0f us: %s\n", coldUs, kSeekTargetMs * 1e3,
                Verdict(coldUs, coldUs <= kSeekTargetMs * 1e3));
    std::printf("  steps over the last 20,000     %8.2f us     per step (mean); slowest of the last 2,000 (in memory): "
                "%.1f us, target <= %.0f us: %s\n",
                stepsUs, slowestUs, kSeekTargetMs * 1e3, Verdict(slowestUs, slowestUs <= kSeekTargetMs * 1e3));
    std::printf("  seek to the time of %-6d     %8.2f us     target <= %.0f us: %s\n", kFarRecord, timeUs,
                kSeekTargetMs * 1e3, Verdict(timeUs, timeUs <= kSeekTargetMs * 1e3));
    if (std::isnan(infoMs))
        std::printf("  kestrix_navdata info           %s\n", cliNote.empty() ? "not run or failed" : cliNote.c_str());
    else
        std::printf("  kestrix_navdata info           %8.1f ms     %5.2f x reference, target <= %.0f x: %s\n", infoMs,
                    infoMs / rawMs, kInfoTargetRatio, Verdict(infoMs <= kInfoTargetRatio * rawMs));
    if (std::isnan(cliMs))
        std::printf("  kestrix_navdata csv, 10 keys   %s\n", cliNote.empty() ? "not run or failed" : cliNote.c_str());
    else
        std::printf("  kestrix_navdata csv, 10 keys   %8.1f ms     %5.2f x reference, target <= %.0f x: %s\n", cliMs,
                    cliMs / rawMs, kCsvTargetRatio, Verdict(cliMs <= kCsvTargetRatio * rawMs));
    std::printf("  peak memory of info            %8.1f MB     above idle, target <= %.0f MB: %s\n", infoPeakMB,
                kInfoPeakTargetMB, Verdict(infoPeakMB, infoPeakMB <= kInfoPeakTargetMB));

    // The ratio targets again, each figure beside a reference read taken
    // just before it.
    if (!std::isnan(rawMs) && !std::isnan(loadMs)) {
        constexpr int kRounds = 9;
        std::printf("\nThe same, each figure right behind a reference read (median of %d rounds):\n", kRounds);
        const InRounds load = MeasureInRounds(s.file, kRounds, [&] {
            const auto t0 = std::chrono::steady_clock::now();
            std::string error;
            const std::unique_ptr<OnDemand> r = LoadOnDemand(s.file, error);
            return r ? std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() : NAN;
        });
        std::printf("  load: open, index, record 0    %8.1f ms     %5.2f x reference, target <= %.0f x: %s\n", load.ms,
                    load.ratio, kLoadTargetRatio, Verdict(load.ratio, load.ratio <= kLoadTargetRatio));
#ifdef KESTRIX_NAVDATA_EXE
        if (!std::isnan(infoMs)) {
            const InRounds info = MeasureInRounds(s.file, kRounds, [&] { return ToolMs({"info", s.file}); });
            std::printf("  kestrix_navdata info           %8.1f ms     %5.2f x reference, target <= %.0f x: %s\n",
                        info.ms, info.ratio, kInfoTargetRatio, Verdict(info.ratio, info.ratio <= kInfoTargetRatio));
        }
        if (!std::isnan(cliMs)) {
            std::vector<std::string> args = csv;
            args.insert(args.begin() + 1, s.file);
            const InRounds rows = MeasureInRounds(s.file, kRounds, [&] { return ToolMs(args); });
            std::printf("  kestrix_navdata csv, 10 keys   %8.1f ms     %5.2f x reference, target <= %.0f x: %s\n",
                        rows.ms, rows.ratio, kCsvTargetRatio, Verdict(rows.ratio, rows.ratio <= kCsvTargetRatio));
        }
#endif
    }

    // The large recording: the same stream many times over, when there is room.
    const uint64_t largeBytes = uint64_t(kLargeCopies) * s.full.size();
    struct statvfs fs {};
    const std::string large = s.file + ".large";
    const char* noLarge = std::getenv("KESTRIX_BENCH_NO_LARGE");
    if (noLarge && *noLarge) {
        std::printf("\nThe %.1f GB recording: skipped (KESTRIX_BENCH_NO_LARGE is set)\n", double(largeBytes) / 1e9);
    } else if (statvfs(s.file.c_str(), &fs) != 0 || uint64_t(fs.f_bavail) * fs.f_frsize < 2 * largeBytes) {
        std::printf("\nThe %.1f GB recording: skipped, the disk holds less than twice its size free\n",
                    double(largeBytes) / 1e9);
    } else {
        std::printf("\nThe same stream %d times over: %.2f GB in one file (%s)\n", kLargeCopies,
                    double(largeBytes) / 1e9, large.c_str());
        bool written = false;
        {
            std::ofstream f(large, std::ios::binary | std::ios::trunc);
            for (int k = 0; k < kLargeCopies && f; ++k)
                f.write(reinterpret_cast<const char*>(s.full.data()), std::streamsize(s.full.size()));
            written = bool(f);
        }
        written = written && bench::SyncFile(large);
        if (!written) {
            std::printf("  cannot write it: skipped\n");
        } else {
            RawReadMs(large); // the same page-cache state for every figure below
            const double raw = RawReadMs(large);
            const LoadPeak bigPeak = MeasureLoadPeak(large);
            const auto t0 = std::chrono::steady_clock::now();
            std::string error;
            std::unique_ptr<OnDemand> r = LoadOnDemand(large, error);
            const double bigLoadMs =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            const int32_t last = kLargeCopies * kPackets - 1;
            double lastUs = NAN;
            int32_t reached = -2;
            double worstUs = NAN;
            if (r) {
                // The first touch, then nine more with the window dropped: the
                // slowest of them too.
                for (int k = 0; k < 10; ++k) {
                    r->nav->drop();
                    const auto a = std::chrono::steady_clock::now();
                    reached = SeekRecordByIndex(RecordNavigation{*r->nav, r->decoder, r->cursor}, &r->index, last);
                    const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - a).count();
                    if (k == 0)
                        lastUs = worstUs = us;
                    worstUs = std::max(worstUs, us);
                }
            }
            std::printf("  reference read (1 MB reads)    %8.1f ms     (%.0f MB/s)\n", raw, double(largeBytes) / 1e6 / raw * 1e3);
            std::printf("  load: open, index, record 0    %8.1f ms     %5.2f x reference, target <= %.0f x: %s\n",
                        bigLoadMs, bigLoadMs / raw, kLoadTargetRatio,
                        Verdict(r ? bigLoadMs : NAN, bigLoadMs <= kLoadTargetRatio * raw));
            std::printf("  peak memory of the load        %8.1f MB     above idle, target <= %.0f MB: %s (index %.1f MB, %zu snapshots every %lld bytes)\n",
                        bigPeak.peakMB, kLoadPeakTargetMB, Verdict(bigPeak.peakMB, bigPeak.peakMB <= kLoadPeakTargetMB),
                        bigPeak.indexMB, r ? r->index.snapshotCount() : 0,
                        (long long)StreamIndex::SpacingForSize(int64_t(largeBytes)));
            std::printf("  go to the last record (%d) %8.2f us     first touch; slowest of 10 cold: %.2f us; target <= %.0f us: %s%s\n",
                        last, lastUs, worstUs, kSeekTargetMs * 1e3,
                        Verdict(lastUs, reached == last && worstUs <= kSeekTargetMs * 1e3),
                        reached == last ? "" : " (record not reached)");
#ifdef KESTRIX_NAVDATA_EXE
            const double bigInfoMs = ToolMs({"info", large});
            const double bigCsvMs = ToolMs({"csv", large, "Demo.altitude"});
            const double bigInfoPeak = CliPeakMB({"info", large});
            std::printf("  kestrix_navdata info           %8.1f ms     %5.2f x reference, target <= %.0f x: %s\n",
                        bigInfoMs, bigInfoMs / raw, kInfoTargetRatio,
                        Verdict(bigInfoMs, bigInfoMs <= kInfoTargetRatio * raw));
            std::printf("  kestrix_navdata csv, 1 key     %8.1f ms     %5.2f x reference\n", bigCsvMs, bigCsvMs / raw);
            std::printf("  peak memory of info            %8.1f MB     above idle, target <= %.0f MB: %s\n", bigInfoPeak,
                        kInfoPeakTargetMB, Verdict(bigInfoPeak, bigInfoPeak <= kInfoPeakTargetMB));
            {
                std::ostringstream out, err;
                RunNavdataCli(std::vector<std::string>{"info", large}, out, err);
                const std::string expect = "packets: " + std::to_string(kLargeCopies * kPackets) + "\n";
                std::printf("  info counts every packet       %s\n",
                            out.str().find(expect) != std::string::npos ? "yes" : ("NO: " + out.str().substr(0, 80)).c_str());
            }
#endif
        }
        unlink(large.c_str());
    }
    unlink(s.file.c_str());
    benchmark::Shutdown();
    return 0;
}
