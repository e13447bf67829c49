// Record navigation over an in-memory stream of recorded datagrams.
//
// A record is a packet after whose decoding the record time is above 0. Both
// seeks start again from offset 0 and decode every packet in front of the
// target, so the state they leave is cumulative.
#pragma once

#include "kestrix/decoder.h"

namespace kestrix {

struct StreamNavigation {
    ByteSpan stream;          // LoadedStream
    NavdataDecoder& decoder;  // NavdataState, RecordTime
    int32_t& cursor;          // StreamCursor: next decode start, -1 at the end
};

// Index of the last record decoded: n when record n exists, else the last
// record's index (-1 when there is none). n = -1 decodes nothing.
int32_t SeekRecordByIndex(StreamNavigation nav, int32_t n);

// Index of the first record whose time is at least t, or -1.
int32_t SeekRecordByTime(StreamNavigation nav, double t);

// The walks of the two seeks, taken up part of the way along: record `i` is
// the last one decoded (-1: none yet) and nav.cursor stands behind it. The
// seeks above start them at offset 0, the record index at a snapshot.
int32_t WalkToRecord(StreamNavigation nav, int32_t i, int32_t n);
int32_t WalkToTime(StreamNavigation nav, int32_t i, double t);

} // namespace kestrix
