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

} // namespace kestrix
