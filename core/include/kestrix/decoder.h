// Navdata packet format and the one decoder every consumer uses.
#pragma once

#include "kestrix/records.h"

#include <cstdint>
#include <functional>
#include <span>

namespace kestrix {

class StreamReader;

inline constexpr uint8_t kNavdataMagic[4] = {0x88, 0x77, 0x66, 0x55};
inline constexpr uint32_t kNavdataMagicWord = 0x55667788u;
inline constexpr int kPacketHeaderSize = 16;
inline constexpr int kOptionHeaderSize = 4;

// Offsets and results of the in-memory decoder are signed 32-bit. Streams in
// memory are limited so that every position the decoder can reach (up to an
// option size past the end) still fits. Recordings read through a
// StreamReader (stream_reader.h) have 64-bit offsets and no such limit.
inline constexpr int64_t kMaxStreamSize = INT32_MAX - 0x10000;

using ByteSpan = std::span<const uint8_t>;

// How much of the decoder's state decodes have written: per record (index =
// tag) the bytes from the record's start, and the bytes of the header word
// (a packet cut short at the end of the data writes only a leading part).
// Only ever grows.
struct DecodeCoverage {
    uint16_t recordBytes[kOptionTagCount] = {};
    uint8_t headerWordBytes = 0;
};

// A set of records by tag (bit `tag`), for NavdataDecoder::recordMask.
inline constexpr uint32_t RecordBit(int tag)
{
    return uint32_t(1) << tag;
}
inline constexpr uint32_t kAllRecords = (uint32_t(1) << kOptionTagCount) - 1;
// Time and Vision: the records that carry a record's time.
inline constexpr uint32_t kTimeRecords = RecordBit(1) | RecordBit(13);

// Time word: upper 11 bits whole seconds, lower 21 bits microseconds (not
// limited to 999999). Returns the double nearest to the exact value.
double NavdataTimeToSeconds(uint32_t timeWord);

// Everything one decode writes. The program keeps one of these as its shared
// navdata state; tests and tools keep their own.
struct NavdataDecoder {
    NavdataState state{};          // NavdataState
    uint32_t headerWord = 0;       // NavdataHeaderWord
    double recordTime = 0.0;       // RecordTime, seconds

    // Tag 4 met with a size other than 16. Counted, and reported to the owner
    // through the callback (the window shows its message there).
    uint64_t wrongSizeEvents = 0;
    std::function<void()> onWrongSize;

    // The records a decode copies into `state`. A record left out keeps its
    // bytes; everything else a decode does -- the position it returns,
    // RecordTime, the header word, the counts -- comes out as with every
    // record copied. Time and Vision are always copied (they carry the
    // record time). Walks that read only a few fields leave out the rest and
    // save most of a decode's work.
    uint32_t recordMask = kAllRecords;

    // Optional: per-tag count of every complete option header met (index =
    // tag, 0..65535). Left null on the hot paths.
    uint64_t* optionHeaderCounts = nullptr;

    // Optional: grown by every write into the state above. Left null on the
    // hot paths; the record index uses it to tell which bytes of a snapshot
    // the stream itself wrote.
    DecodeCoverage* coverage = nullptr;
};

// Offset of the first magic at or after `offset` that lies wholly inside the
// stream, or -1.
int32_t FindPacketStart(ByteSpan stream, int32_t offset);

// Decodes the first packet at or after `offset` into `d`. Returns the position
// behind the packet (the end of its checksum option), which may lie beyond the
// end of the stream when an option's size points there, or -1 when no magic
// is found (nothing changes then). Never throws.
int32_t DecodeNavdataPacket(ByteSpan stream, int32_t offset, NavdataDecoder& d);

// The same two over a reader (a file read on demand, or memory), with 64-bit
// offsets: for the same bytes, the same results and the same decoder state.
// These throw StreamReadError when the reader's file changed or could not be
// read; the decoder may then have taken part of a packet.
int64_t FindPacketStart(StreamReader& stream, int64_t offset);
int64_t DecodeNavdataPacket(StreamReader& stream, int64_t offset, NavdataDecoder& d);

} // namespace kestrix
