// libFuzzer target for the navdata core.
//
// Every input is taken as a recorded stream (datagrams back to back). The fast
// decoder is checked against a plain reference model written the way the
// format is described: a stream with a read position that moves on every read,
// a packet search that tests one byte offset at a time, and one read per
// option. On top of that the target checks what callers rely on: each decode
// moves forward, the walk over a stream ends, both seeks agree with the walk,
// the seeks through a record index leave exactly what the plain seeks leave,
// the same stream read on demand from a file in tiny chunks decodes exactly
// as in memory, and every field text of the decoded state reads back as the
// stored value.
// Any mismatch aborts, so libFuzzer reports it as a crash.

#include "kestrix/decoder.h"
#include "kestrix/field_text.h"
#include "kestrix/records.h"
#include "kestrix/stream_index.h"
#include "kestrix/stream_nav.h"
#include "kestrix/stream_reader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace kestrix;

namespace {

[[noreturn]] void fail(const char* what, long long a = 0, long long b = 0, long long c = 0)
{
    std::fprintf(stderr, "fuzz_navdata: %s (%lld, %lld, %lld)\n", what, a, b, c);
    std::fflush(stderr);
    std::abort();
}
#define CHECK(cond, ...)                                                                            \
    do {                                                                                            \
        if (!(cond))                                                                                \
            fail(#cond __VA_OPT__(, ) __VA_ARGS__);                                                 \
    } while (0)

// ---------------------------------------------------------------------------
// Reference model.

// A byte stream with a size and a read position; reads past the end read less
// (or nothing) and positioning past the end is allowed.
struct RefStream {
    const uint8_t* data;
    int64_t size;
    int64_t pos = 0;

    int64_t read(void* dst, int64_t n)
    {
        if (n <= 0 || pos >= size)
            return 0;
        const int64_t k = std::min(n, size - pos);
        std::memcpy(dst, data + pos, size_t(k));
        pos += k;
        return k;
    }
};

struct RefDecoder {
    NavdataState state{};
    uint32_t headerWord = 0;
    double recordTime = 0.0;
    uint64_t wrongSizeEvents = 0;
};

bool IsMagic(const uint8_t m[4])
{
    return m[0] == 0x88 && m[1] == 0x77 && m[2] == 0x66 && m[3] == 0x55;
}

int32_t RefFindPacketStart(RefStream& s, int32_t offset)
{
    int64_t o = offset;
    s.pos = o;
    while (o < s.size) {
        uint8_t m[4];
        const int64_t n = s.read(m, 4);
        if (n == 4 && IsMagic(m))
            return int32_t(o);
        ++o;
        s.pos = o;
    }
    return -1;
}

// The same search for every start offset at once, one byte offset at a time
// from the end: answer[o] for 0 <= o <= size.
std::vector<int32_t> RefPacketStarts(const uint8_t* data, int64_t size)
{
    std::vector<int32_t> answer(size_t(size) + 1, -1);
    for (int64_t o = size - 1; o >= 0; --o)
        answer[size_t(o)] = (o + 4 <= size && IsMagic(data + o)) ? int32_t(o) : answer[size_t(o) + 1];
    return answer;
}

int32_t RefDecode(const uint8_t* data, size_t size, int32_t offset, RefDecoder& d)
{
    RefStream s{data, int64_t(size)};
    const int32_t start = RefFindPacketStart(s, offset);
    if (start < 0)
        return -1;
    s.pos = int64_t(start) + 4;
    s.read(&d.headerWord, 4);   // a short read fills only the first bytes
    s.pos = int64_t(start) + 16; // the 8 uninterpreted bytes
    for (;;) {
        uint8_t h[4];
        if (s.read(h, 4) < 4)
            break;
        const uint16_t tag = uint16_t(h[0] | h[1] << 8);
        const uint16_t size16 = uint16_t(h[2] | h[3] << 8);
        // An option claiming less than its own header ends the packet behind
        // that header (it would otherwise move the cursor back or not at all).
        if (size16 < 4)
            break;
        const int64_t payload = s.pos;
        bool shortCopy = false;
        if (tag < kOptionTagCount) {
            if (tag == 4 && size16 != 16) {
                ++d.wrongSizeEvents;
            } else {
                const int64_t len = int64_t(kRecordSlots[tag].size);
                if (s.read(RecordBytes(d.state, tag), len) < len) {
                    shortCopy = true; // decoding ends at the end of the data
                } else if (tag == 1) {
                    d.recordTime = NavdataTimeToSeconds(d.state.Time.time);
                } else if (tag == 13) {
                    d.recordTime = NavdataTimeToSeconds(d.state.Vision.time_capture);
                }
            }
        } else {
            static uint8_t sink[0x10000];
            s.read(sink, size16 - 4);
        }
        if (shortCopy)
            break;
        s.pos = payload + size16 - 4;
        if (tag == kChecksumTag)
            break;
    }
    return int32_t(s.pos);
}

// ---------------------------------------------------------------------------

void CompareDecoders(const NavdataDecoder& d, const RefDecoder& r, const char* where, long long at)
{
    if (std::memcmp(&d.state, &r.state, sizeof(NavdataState)) != 0) {
        const auto* a = reinterpret_cast<const uint8_t*>(&d.state);
        const auto* b = reinterpret_cast<const uint8_t*>(&r.state);
        size_t i = 0;
        while (a[i] == b[i])
            ++i;
        std::fprintf(stderr, "%s: state differs at byte %zu of NavdataState\n", where, i);
        fail("state mismatch", at, (long long)i);
    }
    CHECK(d.headerWord == r.headerWord, at, d.headerWord, r.headerWord);
    CHECK(std::memcmp(&d.recordTime, &r.recordTime, sizeof(double)) == 0, at);
    CHECK(d.wrongSizeEvents == r.wrongSizeEvents, at, (long long)d.wrongSizeEvents,
          (long long)r.wrongSizeEvents);
}

// Two decoders after a plain and an indexed seek: every byte the same.
void CompareSeeks(const NavdataDecoder& plain, int32_t plainResult, int32_t plainCursor, const NavdataDecoder& fast,
                  int32_t fastResult, int32_t fastCursor, long long at)
{
    CHECK(plainResult == fastResult, at, plainResult, fastResult);
    CHECK(plainCursor == fastCursor, at, plainCursor, fastCursor);
    CHECK(std::memcmp(&plain.state, &fast.state, sizeof(NavdataState)) == 0, at);
    CHECK(plain.headerWord == fast.headerWord, at);
    CHECK(std::memcmp(&plain.recordTime, &fast.recordTime, sizeof(double)) == 0, at);
    CHECK(plain.wrongSizeEvents == fast.wrongSizeEvents, at, (long long)plain.wrongSizeEvents,
          (long long)fast.wrongSizeEvents);
}

uint64_t Fnv1a(const uint8_t* p, size_t n)
{
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

struct Rng {
    uint64_t s;
    uint64_t next()
    {
        s += 0x9E3779B97F4A7C15ull;
        uint64_t z = s;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
};

// One timed packet of the walk.
struct WalkRecord {
    double time;
    int32_t end; // offset behind it
};

// ---------------------------------------------------------------------------
// Field texts: every text must read back as the value stored in the record.

template <class T>
T Load(const NavdataState& s, const FieldEdit& e)
{
    T v;
    std::memcpy(&v, RecordBytes(s, e.tag) + e.offset, sizeof(T));
    return v;
}

int64_t SignedValue(const NavdataState& s, const FieldEdit& e)
{
    switch (e.type) {
    case StoredType::I16: return Load<int16_t>(s, e);
    case StoredType::I32: return Load<int32_t>(s, e);
    default: fail("D format on an unsigned or real field", e.tag, e.offset, int(e.type));
    }
}

uint64_t UnsignedValue(const NavdataState& s, const FieldEdit& e)
{
    switch (e.type) {
    case StoredType::U8:
    case StoredType::Char: return Load<uint8_t>(s, e);
    case StoredType::U16: return Load<uint16_t>(s, e);
    case StoredType::U32: return Load<uint32_t>(s, e);
    default: fail("U/H format on a signed or real field", e.tag, e.offset, int(e.type));
    }
}

bool AllOf(const std::string& t, const char* set)
{
    return !t.empty() && t.find_first_not_of(set) == std::string::npos;
}

// Reads a real text written with `sep` back into a double.
double ParseReal(const std::string& text, char sep, const FieldEdit& e)
{
    if (text == "INF")
        return INFINITY;
    if (text == "-INF")
        return -INFINITY;
    if (text == "NAN")
        return NAN;
    CHECK(AllOf(text, sep == '.' ? "0123456789-.E" : "0123456789-,E"), e.tag, e.offset);
    std::string t = text;
    std::replace(t.begin(), t.end(), sep, '.');
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    CHECK(end && *end == '\0', e.tag, e.offset);
    return v;
}

// 15 significant digits: relative error at most 5e-15, plus the final
// rounding of the parse.
bool CloseReal(double shown, double value)
{
    if (std::isnan(value))
        return std::isnan(shown);
    if (std::isinf(value))
        return shown == value;
    if (value == 0)
        return shown == 0;
    return std::fabs(shown - value) <= 5.5e-15 * std::fabs(value);
}

void CheckFieldTexts(const NavdataState& s, char sep, std::vector<std::string>& texts)
{
    NavdataFieldTexts(s, sep, texts);
    const auto edits = FieldEdits();
    CHECK(texts.size() == edits.size(), (long long)texts.size(), (long long)edits.size());
    for (size_t i = 0; i < edits.size(); ++i) {
        const FieldEdit& e = edits[i];
        const std::string& t = texts[i];
        if (e.format == FieldFormat::None) {
            CHECK(t.empty(), e.tag, (long long)i);
            continue;
        }
        CHECK(e.tag >= 0 && e.tag < kOptionTagCount, e.tag, (long long)i);
        CHECK(e.offset >= 0 && size_t(e.offset) + size_t(StoredSize(e.type)) <= kRecordSlots[e.tag].size,
              e.tag, e.offset, (long long)i);
        switch (e.format) {
        case FieldFormat::D: {
            CHECK(AllOf(t, "-0123456789"), e.tag, e.offset);
            CHECK(t == std::to_string(SignedValue(s, e)), e.tag, e.offset);
            break;
        }
        case FieldFormat::U: {
            CHECK(AllOf(t, "0123456789"), e.tag, e.offset);
            CHECK(t == std::to_string(UnsignedValue(s, e)), e.tag, e.offset);
            break;
        }
        case FieldFormat::H: {
            CHECK(t.size() >= 4 && t.size() <= 8 && AllOf(t, "0123456789ABCDEF"), e.tag, e.offset);
            CHECK(std::strtoull(t.c_str(), nullptr, 16) == UnsignedValue(s, e), e.tag, e.offset);
            CHECK(t.size() == 4 || t[0] != '0', e.tag, e.offset); // padded to 4, no more
            break;
        }
        case FieldFormat::R: {
            CHECK(e.type == StoredType::F32, e.tag, e.offset);
            const double v = double(Load<float>(s, e));
            CHECK(CloseReal(ParseReal(t, sep, e), v), e.tag, e.offset);
            break;
        }
        case FieldFormat::S: {
            CHECK(e.type == StoredType::U32, e.tag, e.offset);
            const double v = NavdataTimeToSeconds(Load<uint32_t>(s, e));
            CHECK(CloseReal(ParseReal(t, sep, e), v), e.tag, e.offset);
            break;
        }
        case FieldFormat::T: {
            CHECK(t.size() == 1 && uint8_t(t[0]) == Load<uint8_t>(s, e), e.tag, e.offset);
            break;
        }
        case FieldFormat::None: break;
        }
    }
}

// The input as a file that lives in memory only (one per process, rewritten
// for every input), opened through its path as a recording is.
std::shared_ptr<StreamFile> InputAsFile(const uint8_t* data, size_t size)
{
    static const int fd = memfd_create("fuzz_navdata", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0)
        return nullptr;
    for (size_t done = 0; done < size;) {
        const ssize_t w = pwrite(fd, data + done, size - done, off_t(done));
        if (w <= 0)
            return nullptr;
        done += size_t(w);
    }
    std::string error;
    return StreamFile::Open("/proc/self/fd/" + std::to_string(fd), error);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteSpan stream(data, size);
    const int64_t isize = int64_t(size);
    const uint64_t hash = Fnv1a(data, size);
    Rng rng{hash};

    // 1. FindPacketStart against the byte-by-byte search.
    {
        const std::vector<int32_t> starts = RefPacketStarts(data, isize);
        auto want = [&](int64_t off) { return off < isize ? starts[size_t(off)] : -1; };
        auto check = [&](int64_t off) {
            if (off < 0 || off > INT32_MAX)
                return;
            CHECK(FindPacketStart(stream, int32_t(off)) == want(off), off);
        };
        check(INT32_MAX - 3);
        check(INT32_MAX);
        if (size <= 512) {
            for (int64_t off = 0; off <= isize + 4; ++off)
                check(off);
        } else {
            for (int64_t off : {int64_t(0), int64_t(1), isize - 5, isize - 4, isize - 3, isize - 1, isize,
                                isize + 1})
                check(off);
            for (int k = 0; k < 64; ++k)
                check(int64_t(rng.next() % uint64_t(isize + 8)));
            // Around the first magics: just before, on and just behind each.
            int found = 0;
            for (int64_t m = starts[0]; m >= 0 && found < 32; m = starts[size_t(m) + 1], ++found) {
                check(m - 1);
                check(m);
                check(m + 1);
            }
        }
        check(isize + 0xFFFF);
        // The forward search of the reference agrees with the table.
        RefStream rs{data, isize};
        for (int k = 0; k < 4 && isize > 0; ++k) {
            const int64_t off = int64_t(rng.next() % uint64_t(isize));
            CHECK(RefFindPacketStart(rs, int32_t(off)) == want(off), off);
        }
        for (int32_t neg : {-1, -4, INT32_MIN}) {
            CHECK(FindPacketStart(stream, neg) == -1, neg);
            NavdataDecoder nd;
            CHECK(DecodeNavdataPacket(stream, neg, nd) == -1, neg);
        }
    }

    // 2. The walk from offset 0 to -1, in step with the reference model.
    NavdataDecoder dec;
    uint64_t callbackCount = 0;
    dec.onWrongSize = [&] { ++callbackCount; };
    RefDecoder ref;
    std::vector<WalkRecord> records;
    int32_t offset = 0;
    int64_t steps = 0;
    const int64_t maxSteps = isize / kPacketHeaderSize + 2;
    for (;;) {
        CHECK(++steps <= maxSteps, steps, maxSteps);
        dec.recordTime = 0;
        ref.recordTime = 0;
        const int32_t start = FindPacketStart(stream, offset);
        const int32_t next = DecodeNavdataPacket(stream, offset, dec);
        const int32_t refNext = RefDecode(data, size, offset, ref);
        CHECK(next == refNext, offset, next, refNext);
        CompareDecoders(dec, ref, "walk", offset);
        CHECK(callbackCount == dec.wrongSizeEvents, (long long)callbackCount);
        if (next == -1) {
            CHECK(start == -1, offset, start);
            break;
        }
        // Progress: every packet covers at least its 16 header bytes.
        CHECK(start >= offset && next >= int64_t(start) + kPacketHeaderSize, offset, start, next);
        CHECK(next <= isize + 0xFFFF, next, isize);
        if (dec.recordTime > 0)
            records.push_back({dec.recordTime, next});
        offset = next;
    }
    const NavdataState walkState = dec.state;

    // 3. Seeks, each on a fresh decoder as after a load.
    const int32_t count = int32_t(records.size());
    auto seekIndex = [&](int32_t n) {
        NavdataDecoder d;
        int32_t cursor = 12345;
        const int32_t got = SeekRecordByIndex({stream, d, cursor}, n);
        int32_t want;
        int32_t wantCursor;
        if (n == -1) {
            want = -1;
            wantCursor = 0;
        } else if (n >= 0 && n < count) {
            want = n;
            wantCursor = records[size_t(n)].end;
        } else {
            want = count - 1;
            wantCursor = -1;
        }
        CHECK(got == want, n, got, want);
        CHECK(cursor == wantCursor, n, cursor, wantCursor);
        if (n == -1) {
            static const NavdataState zero{};
            CHECK(std::memcmp(&d.state, &zero, sizeof(NavdataState)) == 0, n);
            return;
        }
        if (wantCursor == -1) {
            // Ran through the whole stream: the state the walk left.
            CHECK(std::memcmp(&d.state, &walkState, sizeof(NavdataState)) == 0, n);
            return;
        }
        // Same packets decoded as the reference from offset 0 up to there.
        RefDecoder r;
        int32_t c = 0;
        int32_t i = -1;
        while (c >= 0 && i != n) {
            r.recordTime = 0;
            c = RefDecode(data, size, c, r);
            if (r.recordTime > 0)
                ++i;
        }
        CompareDecoders(d, r, "SeekRecordByIndex", n);
    };
    for (int32_t n : {-2, -1, 0, 1, count - 1, count, count + 3, INT32_MIN, INT32_MAX})
        seekIndex(n);
    if (count > 0)
        seekIndex(int32_t(rng.next() % uint64_t(count)));

    auto seekTime = [&](double t) {
        NavdataDecoder d;
        int32_t cursor = 12345;
        const int32_t got = SeekRecordByTime({stream, d, cursor}, t);
        int32_t want = -1;
        if (t > 0) {
            for (int32_t j = 0; j < count; ++j)
                if (records[size_t(j)].time >= t) {
                    want = j;
                    break;
                }
        }
        CHECK(got == want, got, want);
        if (want >= 0)
            CHECK(cursor == records[size_t(want)].end, cursor, records[size_t(want)].end);
        else if (t > 0)
            CHECK(cursor == -1, cursor);
        else
            CHECK(cursor == 0, cursor);
    };
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (double t : {0.0, -0.0, -1.0, 1e-9, inf, -inf, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::denorm_min()})
        seekTime(t);
    for (int k = 0; k < 3 && count > 0; ++k) {
        const double tj = records[size_t(rng.next() % uint64_t(count))].time;
        seekTime(tj);
        seekTime(std::nextafter(tj, INFINITY));
        seekTime(std::nextafter(tj, -INFINITY));
    }
    if (size >= 8) {
        double t;
        std::memcpy(&t, data + size - 8, 8);
        seekTime(t);
    }

    // 4. The seeks through record indexes (small spacings, so that most
    // seeks start from a snapshot) against the plain seeks, both from the
    // same state of leftover bytes.
    {
        NavdataDecoder prior;
        auto* raw = reinterpret_cast<uint8_t*>(&prior.state);
        for (size_t i = 0; i < sizeof prior.state; ++i)
            raw[i] = uint8_t(rng.next());
        prior.headerWord = uint32_t(rng.next());
        prior.recordTime = 3.25;
        prior.wrongSizeEvents = 9;
        {
            const int32_t spacing = (hash & 2) ? 1 : 2 + int32_t((hash >> 2) % 300);
            const StreamIndex index = StreamIndex::Build(stream, nullptr, spacing);
            CHECK(index.matches(stream) && index.recordCount() == count, index.recordCount(), count);
            auto compare = [&](auto plainSeek, auto fastSeek, long long at) {
                NavdataDecoder a = prior;
                NavdataDecoder b = prior;
                int32_t ca = 77;
                int32_t cb = 77;
                const int32_t ra = plainSeek(StreamNavigation{stream, a, ca});
                const int32_t rb = fastSeek(StreamNavigation{stream, b, cb}, &index);
                CompareSeeks(a, ra, ca, b, rb, cb, at);
            };
            std::vector<int32_t> targets = {-2, -1, 0, 1, count - 1, count, count + 1, INT32_MIN, INT32_MAX};
            for (int k = 0; k < 4 && count > 0; ++k)
                targets.push_back(int32_t(rng.next() % uint64_t(count)));
            for (const int32_t n : targets)
                compare([n](StreamNavigation nav) { return SeekRecordByIndex(nav, n); },
                        [n](StreamNavigation nav, const StreamIndex* ix) { return SeekRecordByIndex(nav, ix, n); }, n);
            std::vector<double> times = {0.0, -1.0, 1e-9, std::numeric_limits<double>::infinity(),
                                         std::numeric_limits<double>::quiet_NaN()};
            for (int k = 0; k < 4 && count > 0; ++k) {
                const double tj = records[size_t(rng.next() % uint64_t(count))].time;
                times.insert(times.end(), {tj, std::nextafter(tj, INFINITY), std::nextafter(tj, -INFINITY)});
            }
            for (size_t k = 0; k < times.size(); ++k) {
                const double t = times[k];
                compare([t](StreamNavigation nav) { return SeekRecordByTime(nav, t); },
                        [t](StreamNavigation nav, const StreamIndex* ix) { return SeekRecordByTime(nav, ix, t); },
                        (long long)k);
            }
        }
    }

    // 5. The same stream read on demand from a file, in chunks of 1 to 64
    // bytes (boundaries inside packets, option headers and the bytes a record
    // copy takes behind an option's end): the walk in step with the
    // reference, and the seeks through an index built over the file the same
    // as the plain seeks in memory.
    if (const std::shared_ptr<StreamFile> file = InputAsFile(data, size)) {
        const std::size_t chunk = 1 + std::size_t((hash >> 8) % 64);
        StreamReader reader(file, chunk);
        NavdataDecoder od;
        RefDecoder orf;
        int64_t at = 0;
        int64_t walked = 0;
        for (;;) {
            CHECK(++walked <= maxSteps, walked, maxSteps);
            od.recordTime = 0;
            orf.recordTime = 0;
            const int64_t next = DecodeNavdataPacket(reader, at, od);
            const int32_t refNext = RefDecode(data, size, int32_t(at), orf);
            CHECK(next == refNext, at, next, refNext);
            CompareDecoders(od, orf, "on-demand walk", at);
            if (next < 0)
                break;
            at = next;
        }
        StreamReader building(file, 1 + std::size_t((hash >> 16) % 64));
        const int64_t spacing = (hash & 4) ? 1 : 2 + int64_t((hash >> 3) % 300);
        const StreamIndex index = StreamIndex::Build(building, nullptr, spacing);
        CHECK(index.matches(reader) && index.recordCount() == count, index.recordCount(), count);
        NavdataDecoder prior;
        auto* raw = reinterpret_cast<uint8_t*>(&prior.state);
        for (size_t i = 0; i < sizeof prior.state; ++i)
            raw[i] = uint8_t(rng.next());
        prior.recordTime = 1.5;
        auto compare = [&](auto plainSeek, auto fastSeek, long long what) {
            NavdataDecoder a = prior;
            NavdataDecoder b = prior;
            int32_t ca = 77;
            int64_t cb = 77;
            const int32_t ra = plainSeek(StreamNavigation{stream, a, ca});
            const int32_t rb = fastSeek(RecordNavigation{reader, b, cb});
            CHECK(cb == int64_t(int32_t(cb)), cb);
            CompareSeeks(a, ra, ca, b, rb, int32_t(cb), what);
        };
        std::vector<int32_t> targets = {-2, -1, 0, 1, count - 1, count, INT32_MAX};
        for (int k = 0; k < 3 && count > 0; ++k)
            targets.push_back(int32_t(rng.next() % uint64_t(count)));
        for (const int32_t n : targets)
            compare([n](StreamNavigation nav) { return SeekRecordByIndex(nav, n); },
                    [&, n](RecordNavigation nav) { return SeekRecordByIndex(nav, &index, n); }, n);
        for (int k = 0; k < 3 && count > 0; ++k) {
            const double t = records[size_t(rng.next() % uint64_t(count))].time;
            compare([t](StreamNavigation nav) { return SeekRecordByTime(nav, t); },
                    [&, t](RecordNavigation nav) { return SeekRecordByTime(nav, &index, t); }, k);
        }
    }

    // 6. Field texts of the state the walk left, and (every other input) of a
    // state made of the raw input bytes, so that every bit pattern of every
    // field reaches its text.
    static std::vector<std::string> texts;
    CheckFieldTexts(walkState, '.', texts);
    if (hash & 1) {
        NavdataState raw{};
        std::memcpy(&raw, data, std::min(size, sizeof raw));
        CheckFieldTexts(raw, (hash & 1) ? ',' : '.', texts);
    }
    return 0;
}
