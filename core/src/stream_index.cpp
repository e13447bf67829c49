#include "kestrix/stream_index.h"

#include <algorithm>
#include <cstring>

namespace kestrix {

int64_t StreamIndex::SpacingForSize(int64_t size) noexcept
{
    if (size <= 0)
        return kDefaultSnapshotSpacing;
    return std::max<int64_t>(kDefaultSnapshotSpacing, (size + kMaxSnapshotsBySize - 1) / kMaxSnapshotsBySize);
}

template <class Stream, class Cursor>
StreamIndex StreamIndex::BuildOver(Stream& stream, int64_t size, const void* identity,
                                   const std::atomic<bool>* cancel, int64_t snapshotSpacing)
{
    const int64_t spacing =
        snapshotSpacing == kSpacingBySize ? SpacingForSize(size) : std::max<int64_t>(snapshotSpacing, 1);
    StreamIndex index;
    // Every snapshot lies `spacing` bytes behind the one before, so this many
    // will do; no reallocation copies megabytes of snapshots around. Skipped
    // for tiny spacings, where the count is a loose upper bound.
    if (spacing >= 4096 && size > 0)
        index.snapshots_.reserve(std::size_t(size / spacing) + 2);

    // The walk of a seek to the end, with the record test of the seeks:
    // recordTime reset before every decode. The state starts at zero and the
    // coverage tells which of its bytes the stream wrote.
    NavdataDecoder d;
    DecodeCoverage coverage;
    d.coverage = &coverage;
    Cursor cursor = 0;
    int32_t lastRecord = -1;
    double maxTime = 0;
    LinkCounter link;
    double linkTime = 0; // a packet without a time counts with the one in front
    int64_t lastSnapshot = 0;
    auto keep = [&](Snapshot& s) {
        s.state = d.state;
        s.coverage = coverage;
        s.headerWord = d.headerWord;
        s.recordTime = d.recordTime;
        s.cursor = cursor;
        s.recordIndex = lastRecord;
        s.maxRecordTime = maxTime;
        s.wrongSizeEvents = d.wrongSizeEvents;
    };
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return StreamIndex();
        d.recordTime = 0;
        // The packet number is read where the decode begins: a file is read
        // once, in order.
        const Cursor start = FindPacketStart(stream, cursor);
        const std::optional<uint32_t> number =
            start >= 0 ? ReadPacketNumber(stream, start) : std::optional<uint32_t>();
        const Cursor next = DecodeNavdataPacket(stream, start >= 0 ? start : cursor, d);
        if (next < 0)
            break;
        const bool isRecord = d.recordTime > 0;
        if (isRecord)
            linkTime = d.recordTime;
        if (number)
            link.add(*number, linkTime);
        cursor = next;
        if (isRecord) {
            ++lastRecord;
            maxTime = std::max(maxTime, d.recordTime);
            index.keepLink(link.values());
        }
        if (int64_t(cursor) - lastSnapshot >= spacing) {
            Snapshot& s = index.snapshots_.emplace_back();
            keep(s);
            s.isRecord = isRecord;
            lastSnapshot = cursor;
        }
    }
    // A cancelled reader ends its stream early: what was walked is no index.
    if (cancel && cancel->load(std::memory_order_relaxed))
        return StreamIndex();
    // The final decode found nothing: the seeks reset the time before it.
    d.recordTime = 0;
    cursor = -1;
    keep(index.end_);

    index.identity_ = identity;
    index.size_ = size;
    index.complete_ = true;
    return index;
}

StreamIndex StreamIndex::Build(ByteSpan stream, const std::atomic<bool>* cancel, int64_t snapshotSpacing)
{
    return BuildOver<ByteSpan, int32_t>(stream, int64_t(stream.size()), stream.data(), cancel, snapshotSpacing);
}

StreamIndex StreamIndex::Build(StreamReader& stream, const std::atomic<bool>* cancel, int64_t snapshotSpacing)
{
    if (const StreamFile* f = stream.file())
        f->adviseSequential();
    const ReadAheadWalk ahead(stream); // one pass from start to end
    stream.setCancel(cancel);
    StreamIndex index =
        BuildOver<StreamReader, int64_t>(stream, stream.size(), stream.identity(), cancel, snapshotSpacing);
    stream.setCancel(nullptr);
    index.size_ = stream.size(); // known now for a source without a size
    return index;
}

void StreamIndex::keepLink(const LinkValues& v)
{
    const auto record = int32_t(linkPacket_.size());
    const uint64_t missing = uint64_t(v.missing);
    const uint64_t missingBefore = linkSteps_.empty() ? 0 : linkSteps_.back().missing;
    if (v.gap != 0 || missing != missingBefore)
        linkSteps_.push_back({record, uint32_t(v.gap), missing});
    linkPacket_.push_back(uint32_t(v.packet));
    if (v.rate < kRateElsewhere) {
        linkRate_.push_back(uint16_t(v.rate));
    } else {
        linkRate_.push_back(kRateElsewhere);
        linkRates_.push_back({record, 0, uint64_t(v.rate)});
    }
}

LinkValues StreamIndex::linkValues(int32_t record) const noexcept
{
    if (record < 0 || std::size_t(record) >= linkPacket_.size())
        return {};
    const auto byRecord = [](const LinkStep& s, int32_t r) { return s.record < r; };
    LinkValues v;
    v.packet = double(linkPacket_[std::size_t(record)]);
    const uint16_t rate = linkRate_[std::size_t(record)];
    if (rate != kRateElsewhere) {
        v.rate = double(rate);
    } else {
        const auto at = std::lower_bound(linkRates_.begin(), linkRates_.end(), record, byRecord);
        v.rate = at != linkRates_.end() && at->record == record ? double(at->missing) : 0;
    }
    // The last step at or before the record: its missing count holds until
    // the next step; its gap only on its own record.
    auto step = std::lower_bound(linkSteps_.begin(), linkSteps_.end(), record + 1, byRecord);
    if (step != linkSteps_.begin()) {
        --step;
        v.missing = double(step->missing);
        v.gap = step->record == record ? double(step->gap) : 0;
    }
    return v;
}

bool StreamIndex::matches(ByteSpan stream) const noexcept
{
    return complete_ && stream.data() == identity_ && int64_t(stream.size()) == size_;
}

bool StreamIndex::matches(const StreamReader& stream) const noexcept
{
    return complete_ && stream.identity() == identity_ && stream.size() == size_;
}

// Puts the decoder where the walk from offset 0 stood after the snapshot's
// packet. Bytes the stream never wrote keep the caller's values, as they would
// in that walk; the wrong sizes met on the way are added.
template <class Nav>
void StreamIndex::restore(const Snapshot& s, Nav nav)
{
    auto* state = reinterpret_cast<uint8_t*>(&nav.decoder.state);
    const auto* saved = reinterpret_cast<const uint8_t*>(&s.state);
    for (int tag = 0; tag < kOptionTagCount; ++tag) {
        const std::size_t at = kRecordSlots[tag].offset;
        std::memcpy(state + at, saved + at, s.coverage.recordBytes[tag]);
    }
    std::memcpy(&nav.decoder.headerWord, &s.headerWord, s.coverage.headerWordBytes);
    nav.decoder.recordTime = s.recordTime;
    nav.decoder.wrongSizeEvents += s.wrongSizeEvents;
    nav.cursor = static_cast<std::remove_reference_t<decltype(nav.cursor)>>(s.cursor);
}

// Starts the walk at the snapshot in front of `behind`, or at offset 0 when
// there is none; returns the index of the last record decoded.
template <class Nav>
int32_t StreamIndex::resume(const std::vector<Snapshot>& snapshots, std::vector<Snapshot>::const_iterator behind,
                            Nav nav)
{
    if (behind == snapshots.begin()) {
        nav.cursor = 0;
        return -1;
    }
    restore(*(behind - 1), nav);
    return (behind - 1)->recordIndex;
}

template <class Nav>
int32_t IndexedSeekByIndex(Nav nav, const StreamIndex& index, int32_t n)
{
    if (n == -1) {
        nav.cursor = 0;
        return -1;
    }
    if (n < -1 || n >= index.recordCount()) {
        // The walk runs through the whole stream.
        StreamIndex::restore(index.end_, nav);
        return index.end_.recordIndex;
    }
    // The last snapshot the walk to record n passes: one before record n, or
    // record n itself (not an untimed packet behind it, where the walk has
    // already stopped).
    const auto& snapshots = index.snapshots_;
    const auto behind = std::partition_point(snapshots.begin(), snapshots.end(), [n](const auto& s) {
        return s.recordIndex < n || (s.recordIndex == n && s.isRecord);
    });
    return WalkToRecord(nav, StreamIndex::resume(snapshots, behind, nav), n);
}

template <class Nav>
int32_t IndexedSeekByTime(Nav nav, const StreamIndex& index, double t)
{
    if (!(index.end_.maxRecordTime >= t)) {
        StreamIndex::restore(index.end_, nav);
        return -1;
    }
    // Times need not rise: the first record at or above t lies behind the
    // last snapshot whose running maximum is still below t.
    const auto& snapshots = index.snapshots_;
    const auto behind = std::partition_point(snapshots.begin(), snapshots.end(),
                                             [t](const auto& s) { return s.maxRecordTime < t; });
    nav.decoder.recordTime = 0;
    return WalkToTime(nav, StreamIndex::resume(snapshots, behind, nav), t);
}

int32_t SeekRecordByIndex(StreamNavigation nav, const StreamIndex* index, int32_t n)
{
    if (!index || !index->matches(nav.stream))
        return SeekRecordByIndex(nav, n);
    return IndexedSeekByIndex(nav, *index, n);
}

int32_t SeekRecordByIndex(RecordNavigation nav, const StreamIndex* index, int32_t n)
{
    if (!index || !index->matches(nav.stream))
        return SeekRecordByIndex(nav, n);
    return IndexedSeekByIndex(nav, *index, n);
}

int32_t SeekRecordByTime(StreamNavigation nav, const StreamIndex* index, double t)
{
    // t <= 0 and NaN: the plain seek decodes nothing.
    if (!index || !index->matches(nav.stream) || !(t > 0))
        return SeekRecordByTime(nav, t);
    return IndexedSeekByTime(nav, *index, t);
}

int32_t SeekRecordByTime(RecordNavigation nav, const StreamIndex* index, double t)
{
    if (!index || !index->matches(nav.stream) || !(t > 0))
        return SeekRecordByTime(nav, t);
    return IndexedSeekByTime(nav, *index, t);
}

} // namespace kestrix
