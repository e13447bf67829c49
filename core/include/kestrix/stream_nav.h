// Record navigation over a stream of recorded datagrams: in memory, or read
// on demand through a StreamReader.
//
// A record is a packet after whose decoding the record time is above 0. Both
// seeks start again from offset 0 and decode every packet in front of the
// target, so the state they leave is cumulative.
#pragma once

#include "kestrix/decoder.h"
#include "kestrix/stream_reader.h"

namespace kestrix {

struct StreamNavigation {
    ByteSpan stream;          // LoadedStream
    NavdataDecoder& decoder;  // NavdataState, RecordTime
    int32_t& cursor;          // StreamCursor: next decode start, -1 at the end
};

// The same over a reader, with a 64-bit cursor: files of any size. The walks
// read only from where they start to where they stop; a reader's failure
// (StreamReadError) ends them, thrown to the caller.
struct RecordNavigation {
    StreamReader& stream;
    NavdataDecoder& decoder;
    int64_t& cursor;
};

// Index of the last record decoded: n when record n exists, else the last
// record's index (-1 when there is none). n = -1 decodes nothing.
int32_t SeekRecordByIndex(StreamNavigation nav, int32_t n);
int32_t SeekRecordByIndex(RecordNavigation nav, int32_t n);

// Index of the first record whose time is at least t, or -1.
int32_t SeekRecordByTime(StreamNavigation nav, double t);
int32_t SeekRecordByTime(RecordNavigation nav, double t);

// The walks of the two seeks, taken up part of the way along: record `i` is
// the last one decoded (-1: none yet) and nav.cursor stands behind it. The
// seeks above start them at offset 0, the record index at a snapshot.
int32_t WalkToRecord(StreamNavigation nav, int32_t i, int32_t n);
int32_t WalkToTime(StreamNavigation nav, int32_t i, double t);
int32_t WalkToRecord(RecordNavigation nav, int32_t i, int32_t n);
int32_t WalkToTime(RecordNavigation nav, int32_t i, double t);

} // namespace kestrix
