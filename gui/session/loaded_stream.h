// A loaded recording: the open file and its navigation index, built on the
// loader's thread and never changed once published as LoadedStream. The file
// is read on demand (a seek reads from its snapshot to the record, "Draw
// Graph" reads it once from start to end); nothing holds a copy of it.
// Tests and benchmarks may build a recording of bytes held in memory instead.
#pragma once

#include "kestrix/decoder.h"
#include "kestrix/stream_file.h"
#include "kestrix/stream_index.h"
#include "kestrix/stream_reader.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kestrix::gui {

struct LoadedRecording {
    std::shared_ptr<const kestrix::StreamFile> file; // null: the bytes in `buffer`
    kestrix::StreamBuffer buffer;
    kestrix::StreamIndex index;

    // Reads of a seek: a few dozen kB from a snapshot on.
    static constexpr std::size_t kSeekChunk = std::size_t(64) << 10;

    // A reader for one walk, with a window of its own: the file in chunks of
    // `chunk` bytes, or the bytes in memory.
    kestrix::StreamReader reader(std::size_t chunk = kestrix::StreamReader::kDefaultChunk) const
    {
        return file ? kestrix::StreamReader(file, chunk) : kestrix::StreamReader(buffer.span());
    }

    // The bytes of a recording held in memory (empty for a file).
    kestrix::ByteSpan bytes() const { return buffer.span(); }
};

} // namespace kestrix::gui
