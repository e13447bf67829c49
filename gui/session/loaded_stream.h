// A loaded recording: the file's bytes and its navigation index, built on the
// loader's thread and never changed once published as LoadedStream.
#pragma once

#include "kestrix/decoder.h"
#include "kestrix/stream_file.h"
#include "kestrix/stream_index.h"

#include <cstdint>

namespace kestrix::gui {

struct LoadedRecording {
    kestrix::StreamBuffer buffer;
    kestrix::StreamIndex index;

    kestrix::ByteSpan bytes() const { return buffer.span(); }
};

} // namespace kestrix::gui
