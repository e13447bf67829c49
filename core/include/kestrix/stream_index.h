// Record navigation without the walk from offset 0: an index of decoder
// snapshots, built in one walk over a stream in memory or over a file read
// on demand (one sequential pass, never a copy of the file).
//
// The seeks of stream_nav.h decode the stream from offset 0 up to their target
// each time. The overloads here give exactly the same results -- return value,
// every byte of NavdataState, headerWord, recordTime, the cursor, and the
// growth of wrongSizeEvents -- but start from the nearest snapshot in front of
// the target and decode only the few packets between.
//
// Two differences, both outside the decoded state: onWrongSize is called only
// for the packets decoded after the snapshot (wrongSizeEvents still grows by
// the whole count, so "did this step meet a wrong size" reads the same), and
// optionHeaderCounts counts only those packets.
//
// An index is not changed once built, so it may be built on one thread and
// used on another (after a hand-over that orders the two, such as a queued
// call or a join).
#pragma once

#include "kestrix/decoder.h"
#include "kestrix/link_counts.h"
#include "kestrix/stream_nav.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace kestrix {

class StreamIndex {
public:
    // Stream bytes decoded between two snapshots, at least. Measured on
    // 200,000 full packets of ~1.9 kB (bench_core, index_spacing_*): a
    // snapshot every 17 packets, the slowest seek about 3 us (1.6 x a seek
    // to record 10), the snapshots 22 MB, under 6 % of the stream. 16 kB
    // doubles the memory for 1 us less; 64 kB makes the slowest seek
    // 5.5 us, more than twice a seek to record 10.
    static constexpr int32_t kDefaultSnapshotSpacing = 32 * 1024;
    // At most this many snapshots (about 2 kB each) for the spacing chosen by
    // size: streams up to 384 MiB get kDefaultSnapshotSpacing, larger ones a
    // spacing that grows with them, so the index stays under 32 MB for a
    // recording of any size (a 4.5 GB file: a snapshot every 360 kB).
    static constexpr int64_t kMaxSnapshotsBySize = 12288;
    // `snapshotSpacing` value: choose it from the stream's size.
    static constexpr int64_t kSpacingBySize = 0;

    // The spacing chosen for a stream of `size` bytes (unknown: -1).
    static int64_t SpacingForSize(int64_t size) noexcept;

    // Walks `stream` once, as a seek to the end would, and keeps a snapshot
    // of the decoder after the first packet that ends at least
    // `snapshotSpacing` bytes behind the previous snapshot (1: after every
    // packet). The bytes must stay where they are while the index is used.
    // When `cancel` is set during the walk, the result is an index that
    // matches no stream (the seeks then walk from offset 0).
    // Throws std::bad_alloc when no memory is left for the snapshots.
    static StreamIndex Build(ByteSpan stream, const std::atomic<bool>* cancel = nullptr,
                             int64_t snapshotSpacing = kSpacingBySize);
    // The same over a reader, reading the stream once from start to end.
    // Throws StreamReadError when the reader's file changed or failed.
    static StreamIndex Build(StreamReader& stream, const std::atomic<bool>* cancel = nullptr,
                             int64_t snapshotSpacing = kSpacingBySize);

    // True when the index was built over exactly these bytes (same address
    // and size), or over this reader's file, and completed.
    bool matches(ByteSpan stream) const noexcept;
    bool matches(const StreamReader& stream) const noexcept;

    // Stream bytes the index was built over.
    int64_t streamSize() const noexcept { return size_; }

    int32_t recordCount() const noexcept { return end_.recordIndex + 1; }
    std::size_t snapshotCount() const noexcept { return snapshots_.size(); }
    std::size_t memoryBytes() const noexcept
    {
        return snapshots_.capacity() * sizeof(Snapshot) + linkPacket_.size() * sizeof(uint32_t) +
               linkRate_.size() * sizeof(uint16_t) +
               (linkSteps_.capacity() + linkRates_.capacity()) * sizeof(LinkStep);
    }

    // The link counts of the walk (packet numbers counted as the find walk
    // counts them) just after record `record`; all zero for a record the
    // index does not hold.
    LinkValues linkValues(int32_t record) const noexcept;

private:
    template <class Nav>
    friend int32_t IndexedSeekByIndex(Nav nav, const StreamIndex& index, int32_t n);
    template <class Nav>
    friend int32_t IndexedSeekByTime(Nav nav, const StreamIndex& index, double t);
    template <class Stream, class Cursor>
    static StreamIndex BuildOver(Stream& stream, int64_t size, const void* identity,
                                 const std::atomic<bool>* cancel, int64_t snapshotSpacing);

    // The decoder as one packet left it in the walk from offset 0, with
    // recordTime reset before every decode.
    struct Snapshot {
        NavdataState state{};         // as decoded from an all-zero state
        DecodeCoverage coverage{};    // the bytes of `state` the stream wrote
        uint32_t headerWord = 0;      // as decoded from 0
        double recordTime = 0;        // after this packet (0: no time)
        int64_t cursor = 0;           // behind this packet; -1 for the end
        int32_t recordIndex = -1;     // records up to this packet, minus 1
        bool isRecord = false;        // this packet carried a time
        double maxRecordTime = 0;     // largest record time up to here (0: none)
        uint64_t wrongSizeEvents = 0; // met up to here
    };

    template <class Nav>
    static void restore(const Snapshot& s, Nav nav);
    template <class Nav>
    static int32_t resume(const std::vector<Snapshot>& snapshots, std::vector<Snapshot>::const_iterator behind,
                          Nav nav);

    const void* identity_ = nullptr;
    int64_t size_ = 0;
    bool complete_ = false;
    std::vector<Snapshot> snapshots_; // in stream order

    // The link counts after each record, kept small: 6 bytes a record (a
    // recording of 2.4 million records holds 14 MB of them, where whole
    // LinkValues would take 77 MB). Link.packet and Link.rate are kept per
    // record; Link.missing and Link.gap change only where the link lost
    // datagrams, so they are kept as steps: the records whose gap is not 0
    // or whose missing count differs from the record before. A rate above
    // what 16 bits hold (only a hostile stream gets there) goes to
    // `linkRates_`. The deques grow without copying what they hold.
    struct LinkStep {
        int32_t record = 0;
        uint32_t gap = 0;     // Link.gap (for linkRates_: unused)
        uint64_t missing = 0; // Link.missing (for linkRates_: the rate)
    };
    void keepLink(const LinkValues& v);
    std::deque<uint32_t> linkPacket_;    // per record
    std::deque<uint16_t> linkRate_;      // per record; kRateElsewhere: in linkRates_
    std::vector<LinkStep> linkSteps_;    // by record
    std::vector<LinkStep> linkRates_;    // by record
    static constexpr uint16_t kRateElsewhere = 0xFFFF;
    Snapshot end_;                    // after the final decode (cursor -1)
};

// SeekRecordByIndex and SeekRecordByTime of stream_nav.h, with the same
// results, through `index`. A null index, or one that does not match
// nav.stream, makes them walk from offset 0 as the plain seeks do.
int32_t SeekRecordByIndex(StreamNavigation nav, const StreamIndex* index, int32_t n);
int32_t SeekRecordByTime(StreamNavigation nav, const StreamIndex* index, double t);
// Over a reader: a seek reads only from its snapshot to the record.
int32_t SeekRecordByIndex(RecordNavigation nav, const StreamIndex* index, int32_t n);
int32_t SeekRecordByTime(RecordNavigation nav, const StreamIndex* index, double t);

} // namespace kestrix
