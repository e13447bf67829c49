// Finding records by condition over a loaded stream: the one search behind
// kestrix_navdata find and the NavData window's Find tool.
#pragma once

#include "kestrix/condition.h"
#include "kestrix/decoder.h"
#include "kestrix/link_counts.h"
#include "kestrix/replay.h"
#include "kestrix/stream_reader.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <type_traits>

namespace kestrix {

// The replay walk, telling for each packet whether it is a record (carries a
// time) and its time (a packet without one has the time of the packet in
// front), and, when `link` is given, counting the packet's number there before
// the call. perPacket(isRecord, time, next) with `next` the decoder's result;
// the walk's final call (no further packet) is not passed on. The record
// test is that of the seeks: RecordTime is reset behind every packet.
// Over a stream in memory (ByteSpan) or one read on demand (StreamReader&);
// the packet number is read where the decode begins, so a file is read once,
// in order.
template <class Stream, class F>
void WalkPackets(Stream&& stream, NavdataDecoder& d, LinkCounter* link, F&& perPacket)
{
    using Cursor = std::conditional_t<std::is_same_v<std::decay_t<Stream>, ByteSpan>, int32_t, int64_t>;
    std::optional<ReadAheadWalk> ahead;
    if constexpr (std::is_same_v<std::decay_t<Stream>, StreamReader>) {
        if (const StreamFile* f = stream.file())
            f->adviseSequential();
        ahead.emplace(stream); // from start to end, in order
    }
    Cursor cursor = 0;
    double time = 0;
    for (;;) {
        // Without link counts the decoder's own search finds the packet: the
        // walk costs what the replay walk costs.
        Cursor from = cursor;
        std::optional<uint32_t> number;
        if (link) {
            const Cursor start = FindPacketStart(stream, cursor);
            if (start >= 0) {
                number = ReadPacketNumber(stream, start);
                from = start;
            }
        }
        const Cursor next = DecodeNavdataPacket(stream, from, d);
        if (next < 0)
            return;
        const bool isRecord = d.recordTime > 0;
        if (isRecord)
            time = d.recordTime;
        d.recordTime = 0;
        if (link && number)
            link->add(*number, time);
        cursor = next;
        perPacket(isRecord, time, next);
    }
}

struct FindMatch {
    int32_t record; // index as the seeks count it
    double time;    // its record time, seconds
};

enum class FindEnd { Searched, Stopped, Cancelled };

// Evaluates `condition` on every record of `stream` from the first (so that
// "changes" always compares with the record in front) and calls onMatch for
// each record at or after `from` where it holds, in order; onMatch returns
// false to end the search there. `cancel`, when given, is looked at between
// packets; `progress`, when given, is called with the bytes walked so far
// about every `progressStep` bytes. The condition's memory is restarted first.
FindEnd FindRecords(ByteSpan stream, Condition& condition, int32_t from,
                    const std::function<bool(const FindMatch&)>& onMatch,
                    const std::atomic<bool>* cancel = nullptr,
                    const std::function<void(std::size_t)>& progress = {},
                    std::size_t progressStep = std::size_t(4) << 20);

// The same search over a stream read on demand (the file is walked once, in
// the reader's chunks); progress counts the bytes as 64-bit offsets. Throws
// StreamReadError when the file changed or could not be read.
FindEnd FindRecords(StreamReader& stream, Condition& condition, int32_t from,
                    const std::function<bool(const FindMatch&)>& onMatch,
                    const std::atomic<bool>* cancel = nullptr,
                    const std::function<void(int64_t)>& progress = {},
                    int64_t progressStep = int64_t(4) << 20);

} // namespace kestrix
