// Reading a recorded stream file whole into memory.
//
// The bytes land in a buffer of the program's own (anonymous memory that
// grows without copying), never in a mapping of the file: a recording that
// another program truncates or rewrites later cannot touch what was loaded.
#pragma once

#include "kestrix/decoder.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrix {

// An owning, movable byte buffer holding one loaded stream. Moving it keeps
// the bytes where they are, so a record index built over span() stays valid
// for the buffer it was moved into.
class StreamBuffer {
public:
    StreamBuffer() noexcept = default;
    ~StreamBuffer();
    StreamBuffer(StreamBuffer&& other) noexcept;
    StreamBuffer& operator=(StreamBuffer&& other) noexcept;
    StreamBuffer(const StreamBuffer&) = delete;
    StreamBuffer& operator=(const StreamBuffer&) = delete;

    // A buffer holding a copy of `bytes`. Throws std::bad_alloc when no
    // memory is left.
    static StreamBuffer CopyOf(ByteSpan bytes);

    ByteSpan span() const noexcept { return {data_, size_}; }
    const uint8_t* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    // Gives the memory back; the buffer is empty afterwards.
    void reset() noexcept;

private:
    friend bool ReadStreamFile(const std::string& path, StreamBuffer& out, std::string& error,
                               const std::atomic<bool>* cancel);
    // Makes room for `bytes` (keeping the content); false when no memory is left.
    bool reserve(std::size_t bytes) noexcept;

    uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mapped_ = 0; // bytes reserved, a whole number of pages
};

// Reads the whole file at `path` into `out`, replacing what `out` held.
//
// Opens the file read-only and reads it in large chunks until its end, so a
// file that grows or shrinks while it is read gives the bytes that were there
// when they were read; pipes and other files of unknown size are read the
// same way. A regular file larger than kMaxStreamSize is refused from its
// size before any byte is read; any other source is refused as soon as it has
// delivered more than that.
//
// `cancel`, when given, is looked at between chunks; once it is set the read
// stops and fails. A FIFO without a writer blocks the open until one appears.
//
// Returns true on success. On failure `out` is empty and `error` holds one
// line without a trailing newline:
//   cannot read "PATH": <the system's reason>
//   "PATH" is too large (N bytes); the largest stream supported is M bytes
//   "PATH" is too large; the largest stream supported is M bytes   (grew while read)
//   reading "PATH" was cancelled
bool ReadStreamFile(const std::string& path, StreamBuffer& out, std::string& error,
                    const std::atomic<bool>* cancel = nullptr);

} // namespace kestrix
