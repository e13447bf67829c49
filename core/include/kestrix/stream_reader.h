// Reading a recording on demand: the open file, and a window onto it that the
// decoder walks, refilled in chunks as the walk moves on.
//
// Nothing here copies a whole file. A walk over a file reads it in chunks of
// a size of the caller's choice; a packet that crosses a chunk boundary, or an
// option header, or the bytes a record copy takes behind an option's end, are
// joined in the window before the decoder sees them, so every decode gives
// exactly what a decode of the same bytes held whole in memory gives.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

namespace kestrix {

using ByteSpan = std::span<const uint8_t>;

// A read of a recording failed, or the file is no longer the one opened.
class StreamReadError : public std::runtime_error {
public:
    enum class Kind {
        Changed, // shrunk, grown, rewritten, replaced or removed since it was opened
        Failed,  // the system refused the read (a device gone, an I/O error)
    };
    StreamReadError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const noexcept { return kind_; }

private:
    Kind kind_;
};

// A recording file opened for reading. Regular files are read at any offset
// and from any thread at once (each reader keeps its own window); every read
// also checks, from the size and modification time of the open file and the
// identity of the file its path names now, that the bytes still belong to
// the file as it was opened. A pipe or other source without a size is read
// once, in order, by one reader.
class StreamFile {
public:
    ~StreamFile();
    StreamFile(const StreamFile&) = delete;
    StreamFile& operator=(const StreamFile&) = delete;

    // Opens `path` read-only. On failure returns null and sets `error` to one
    // line: cannot read "PATH": <the system's reason>
    static std::shared_ptr<StreamFile> Open(const std::string& path, std::string& error);

    const std::string& path() const noexcept { return path_; }
    // Bytes of a regular file when it was opened; -1 for a source without a size.
    int64_t size() const noexcept { return size_; }
    bool seekable() const noexcept { return size_ >= 0; }

    // Reads up to `n` bytes at `offset` into `into`; returns how many (0 only
    // at the end). A source without a size must be read at the offset where
    // the last read ended. Throws StreamReadError.
    std::size_t read(int64_t offset, uint8_t* into, std::size_t n) const;

    // Whether the file is still the one opened, without reading: nothing
    // thrown, the answer in `reason` (empty when unchanged).
    enum class State { Unchanged, Changed, Failed };
    State check(std::string* reason = nullptr) const;

    // Tells the kernel that the file is about to be read from start to end.
    void adviseSequential() const noexcept;

    // The descriptor, for tests that make reads fail.
    int descriptor() const noexcept { return fd_; }

    // The texts of the two failures, naming the file.
    std::string changedText() const;
    std::string failedText(int error) const;

private:
    StreamFile() = default;
    void verify() const; // throws when the file changed

    int fd_ = -1;
    std::string path_;
    int64_t size_ = -1;
    int64_t mtimeNs_ = 0;
    uint64_t device_ = 0;
    uint64_t inode_ = 0;
    mutable int64_t streamed_ = 0; // sources without a size: bytes read so far
};

// A window onto a stream for the decoder: the whole of an in-memory stream,
// or a stretch of a file read in chunks. One reader belongs to one walk at a
// time (it is not shared between threads); a file may have many readers.
class StreamReader {
public:
    // Bytes the decoder may need joined at once (the longest record copy and
    // some room): a request never asks for more.
    static constexpr std::size_t kMaxRequest = 512;
    // Chunk size of the sequential walks: large enough that system calls cost
    // nothing, small enough to stay in the processor's caches.
    static constexpr std::size_t kDefaultChunk = std::size_t(1) << 20;

    // The whole stream in memory; nothing is copied. The bytes must stay
    // where they are while the reader is used.
    explicit StreamReader(ByteSpan bytes) noexcept;
    // A file, read `chunk` bytes at a time (at least 1).
    explicit StreamReader(std::shared_ptr<const StreamFile> file, std::size_t chunk = kDefaultChunk);

    StreamReader(StreamReader&&) noexcept;
    StreamReader& operator=(StreamReader&&) noexcept;
    ~StreamReader();

    // Stream bytes: known for memory and regular files; for a source without
    // a size, -1 until its end has been read.
    int64_t size() const noexcept { return size_; }
    // What the reader reads: the bytes' address, or the file object.
    const void* identity() const noexcept { return identity_; }
    const StreamFile* file() const noexcept { return file_.get(); }

    // The bytes from `pos` on that are in the window, after reading what is
    // needed so that there are at least min(want, bytes of the stream behind
    // pos) of them (want <= kMaxRequest). `got` is how many (0 past the end).
    // Throws StreamReadError for a file that changed or could not be read.
    const uint8_t* at(int64_t pos, int64_t want, int64_t& got)
    {
        if (pos >= begin_ && pos + want <= end_) {
            got = end_ - pos;
            return data_ + (pos - begin_);
        }
        return fill(pos, want, got);
    }

    // Forgets the window (the next request reads again).
    void drop() noexcept;

    // Once `cancel` is set, a file reads as if it ended where the window
    // ends: a long walk (a scan over megabytes without a packet) stops at its
    // next read instead of at the end of the file. Null: never.
    void setCancel(const std::atomic<bool>* cancel) noexcept { cancel_ = cancel; }

    // For a walk from start to end: while the caller decodes one chunk, a
    // thread of the reader's own reads the next one into a second buffer.
    // Only regular files read ahead (memory and pipes ignore it). Results,
    // errors and the file-change checks are those of the plain reads: an
    // error met ahead reaches the caller at the request that needs the
    // bytes, and the file is checked again when a chunk read ahead is taken.
    // A request elsewhere than behind the window drops the chunk read ahead.
    void setReadAhead(bool on);
    bool readAhead() const noexcept { return ahead_ != nullptr; }

private:
    struct Ahead;

    const uint8_t* fill(int64_t pos, int64_t want, int64_t& got);
    bool takeAhead(int64_t pos);
    void startAhead();

    std::shared_ptr<const StreamFile> file_;
    std::unique_ptr<uint8_t[]> buffer_; // null while the buffers are the read-ahead's
    std::size_t chunk_ = 0;
    const uint8_t* data_ = nullptr; // the window's first byte
    int64_t begin_ = 0;             // stream offset of data_[0]
    int64_t end_ = 0;               // behind the window's last byte
    int64_t size_ = -1;
    const void* identity_ = nullptr;
    const std::atomic<bool>* cancel_ = nullptr;
    // The worker and both buffers it may write into; freed (the worker
    // joined) before anything else goes.
    std::unique_ptr<Ahead> ahead_;
};

// A walk from start to end over a reader it does not own: reads ahead while
// it lasts, then puts the reader's mode back (a reader kept for seeks then
// reads on demand only).
class ReadAheadWalk {
public:
    explicit ReadAheadWalk(StreamReader& reader) : reader_(reader), was_(reader.readAhead())
    {
        reader_.setReadAhead(true);
    }
    ~ReadAheadWalk() { reader_.setReadAhead(was_); }
    ReadAheadWalk(const ReadAheadWalk&) = delete;
    ReadAheadWalk& operator=(const ReadAheadWalk&) = delete;

private:
    StreamReader& reader_;
    bool was_;
};

} // namespace kestrix
