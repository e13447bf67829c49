#include "kestrix/stream_nav.h"

namespace kestrix {

namespace {

// The walks, over memory (32-bit cursor) or a reader (64-bit cursor).
template <class Nav>
int32_t RecordWalk(Nav nav, int32_t i, int32_t n)
{
    while (nav.cursor >= 0 && i != n) {
        nav.decoder.recordTime = 0;
        nav.cursor = DecodeNavdataPacket(nav.stream, nav.cursor, nav.decoder);
        if (nav.decoder.recordTime > 0)
            ++i;
    }
    return i;
}

template <class Nav>
int32_t TimeWalk(Nav nav, int32_t i, double t)
{
    while (nav.cursor >= 0 && nav.decoder.recordTime < t) {
        nav.decoder.recordTime = 0;
        nav.cursor = DecodeNavdataPacket(nav.stream, nav.cursor, nav.decoder);
        if (nav.decoder.recordTime > 0)
            ++i;
    }
    return nav.cursor < 0 ? -1 : i;
}

} // namespace

int32_t SeekRecordByIndex(StreamNavigation nav, int32_t n)
{
    nav.cursor = 0;
    return RecordWalk(nav, -1, n);
}

int32_t SeekRecordByIndex(RecordNavigation nav, int32_t n)
{
    nav.cursor = 0;
    return RecordWalk(nav, -1, n);
}

int32_t WalkToRecord(StreamNavigation nav, int32_t i, int32_t n)
{
    return RecordWalk(nav, i, n);
}

int32_t WalkToRecord(RecordNavigation nav, int32_t i, int32_t n)
{
    return RecordWalk(nav, i, n);
}

int32_t SeekRecordByTime(StreamNavigation nav, double t)
{
    nav.decoder.recordTime = 0;
    nav.cursor = 0;
    return TimeWalk(nav, -1, t);
}

int32_t SeekRecordByTime(RecordNavigation nav, double t)
{
    nav.decoder.recordTime = 0;
    nav.cursor = 0;
    return TimeWalk(nav, -1, t);
}

int32_t WalkToTime(StreamNavigation nav, int32_t i, double t)
{
    return TimeWalk(nav, i, t);
}

int32_t WalkToTime(RecordNavigation nav, int32_t i, double t)
{
    return TimeWalk(nav, i, t);
}

} // namespace kestrix
