#include "kestrix/stream_nav.h"

namespace kestrix {

int32_t SeekRecordByIndex(StreamNavigation nav, int32_t n)
{
    nav.cursor = 0;
    return WalkToRecord(nav, -1, n);
}

int32_t WalkToRecord(StreamNavigation nav, int32_t i, int32_t n)
{
    while (nav.cursor >= 0 && i != n) {
        nav.decoder.recordTime = 0;
        nav.cursor = DecodeNavdataPacket(nav.stream, nav.cursor, nav.decoder);
        if (nav.decoder.recordTime > 0)
            ++i;
    }
    return i;
}

int32_t SeekRecordByTime(StreamNavigation nav, double t)
{
    nav.decoder.recordTime = 0;
    nav.cursor = 0;
    return WalkToTime(nav, -1, t);
}

int32_t WalkToTime(StreamNavigation nav, int32_t i, double t)
{
    while (nav.cursor >= 0 && nav.decoder.recordTime < t) {
        nav.decoder.recordTime = 0;
        nav.cursor = DecodeNavdataPacket(nav.stream, nav.cursor, nav.decoder);
        if (nav.decoder.recordTime > 0)
            ++i;
    }
    return nav.cursor < 0 ? -1 : i;
}

} // namespace kestrix
