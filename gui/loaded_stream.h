// A loaded recording: the file's bytes and its navigation index, built on the
// loader's thread and never changed once published as LoadedStream.
#pragma once

#include "kestrix/decoder.h"
#include "kestrix/stream_file.h"
#include "kestrix/stream_index.h"
#include "kestrix/stream_nav.h"

#include <cstdint>

namespace kestrix::gui {

struct LoadedRecording {
    kestrix::StreamBuffer buffer;
    kestrix::StreamIndex index;

    kestrix::ByteSpan bytes() const { return buffer.span(); }

    // Record navigation over this recording: the same results as a decode of
    // every packet from the start, at a cost that does not grow with the
    // record index.
    int32_t seekByIndex(kestrix::NavdataDecoder& d, int32_t& cursor, int32_t n) const
    {
        return kestrix::SeekRecordByIndex({bytes(), d, cursor}, &index, n);
    }
    int32_t seekByTime(kestrix::NavdataDecoder& d, int32_t& cursor, double t) const
    {
        return kestrix::SeekRecordByTime({bytes(), d, cursor}, &index, t);
    }
};

} // namespace kestrix::gui
