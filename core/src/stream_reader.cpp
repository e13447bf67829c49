#include "kestrix/stream_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace kestrix {

namespace {

int64_t ModificationNs(const struct stat& st)
{
    return int64_t(st.st_mtim.tv_sec) * 1000000000 + int64_t(st.st_mtim.tv_nsec);
}

} // namespace

StreamFile::~StreamFile()
{
    if (fd_ >= 0)
        close(fd_);
}

std::string StreamFile::changedText() const
{
    return "\"" + path_ + "\": the file changed on disk";
}

std::string StreamFile::failedText(int error) const
{
    return "cannot read \"" + path_ + "\": " + std::generic_category().message(error);
}

std::shared_ptr<StreamFile> StreamFile::Open(const std::string& path, std::string& error)
{
    error.clear();
    std::shared_ptr<StreamFile> f(new StreamFile);
    f->path_ = path;
    int fd;
    do {
        fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = f->failedText(errno);
        return nullptr;
    }
    f->fd_ = fd;
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = f->failedText(errno);
        return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
        error = f->failedText(EISDIR);
        return nullptr;
    }
    if (S_ISREG(st.st_mode)) {
        f->size_ = int64_t(st.st_size);
        f->mtimeNs_ = ModificationNs(st);
        f->device_ = uint64_t(st.st_dev);
        f->inode_ = uint64_t(st.st_ino);
    }
    return f;
}

void StreamFile::adviseSequential() const noexcept
{
#ifdef POSIX_FADV_SEQUENTIAL
    if (seekable())
        posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL); // larger read-ahead from disk
#endif
}

StreamFile::State StreamFile::check(std::string* reason) const
{
    try {
        verify();
    } catch (const StreamReadError& e) {
        if (reason)
            *reason = e.what();
        return e.kind() == StreamReadError::Kind::Changed ? State::Changed : State::Failed;
    }
    if (reason)
        reason->clear();
    return State::Unchanged;
}

// Two system calls: the open file's size and time, and what the path names
// now (a file written elsewhere and renamed over it, or removed).
void StreamFile::verify() const
{
    if (!seekable())
        return;
    struct stat st {};
    if (fstat(fd_, &st) != 0)
        throw StreamReadError(StreamReadError::Kind::Failed, failedText(errno));
    if (int64_t(st.st_size) != size_ || ModificationNs(st) != mtimeNs_)
        throw StreamReadError(StreamReadError::Kind::Changed, changedText());
    struct stat named {};
    if (stat(path_.c_str(), &named) != 0) {
        const int e = errno;
        if (e == ENOENT || e == ENOTDIR)
            throw StreamReadError(StreamReadError::Kind::Changed, changedText());
        throw StreamReadError(StreamReadError::Kind::Failed, failedText(e));
    }
    if (uint64_t(named.st_dev) != device_ || uint64_t(named.st_ino) != inode_)
        throw StreamReadError(StreamReadError::Kind::Changed, changedText());
}

std::size_t StreamFile::read(int64_t offset, uint8_t* into, std::size_t n) const
{
    if (n == 0)
        return 0;
    if (!seekable()) {
        if (offset != streamed_)
            throw StreamReadError(StreamReadError::Kind::Failed,
                                  "cannot read \"" + path_ + "\": the source can only be read once, in order");
        for (;;) {
            const ssize_t got = ::read(fd_, into, n);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                throw StreamReadError(StreamReadError::Kind::Failed, failedText(errno));
            }
            streamed_ += got;
            return std::size_t(got);
        }
    }
    if (offset >= size_) {
        verify(); // the end of the file as opened; is it still that file?
        return 0;
    }
    n = std::size_t(std::min<int64_t>(int64_t(n), size_ - offset));
    ssize_t got;
    do {
        got = pread(fd_, into, n, off_t(offset));
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        throw StreamReadError(StreamReadError::Kind::Failed, failedText(errno));
    // Checked behind the read: the bytes handed out were read from the file
    // as it was opened.
    verify();
    if (got == 0) // ends before its size: it was cut short while we looked
        throw StreamReadError(StreamReadError::Kind::Changed, changedText());
    return std::size_t(got);
}

// ---------------------------------------------------------------- read-ahead

// Two buffers of kMaxRequest + chunk bytes: the window lies in one of them,
// the worker reads the next chunk into the other behind kMaxRequest bytes of
// headroom, where the bytes kept from the window go when the walk moves on.
// The caller side (`cur`, `pending`, `offset`) is touched by the reader's
// thread only. `at`, `into`, `got` and `error` change hands through `asked`
// (to the worker) and `done` (back); both are set under `mutex`, so that a
// side asleep on `wake` is always woken.
//
// Each side first waits a little without sleeping: a walk asks for the next
// chunk as soon as it takes one, and decodes a chunk in about the time a
// sleeping thread takes to be woken on a virtual machine; sleeping every time
// would cost as much as the read it hides.
struct StreamReader::Ahead {
    std::shared_ptr<const StreamFile> file;
    std::unique_ptr<uint8_t[]> buffer[2];
    int cur = 0;          // the buffer the window lies in
    bool pending = false; // a chunk asked for and not yet taken
    int64_t offset = 0;   // where that chunk starts
    std::size_t chunk = 0;

    std::mutex mutex;
    std::condition_variable wake;
    std::atomic<bool> stop{false};
    std::atomic<bool> asked{false}; // the worker has a read to do
    std::atomic<bool> done{false};  // the read asked for has finished
    int64_t at = 0;                 // the read asked for
    uint8_t* into = nullptr;
    std::size_t got = 0;
    std::exception_ptr error;
    std::thread worker;

    ~Ahead()
    {
        set(stop);
        if (worker.joinable())
            worker.join(); // a read in flight ends before the buffers go
    }

    uint8_t* spare() const noexcept { return buffer[1 - cur].get(); }

    void set(std::atomic<bool>& flag)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            flag.store(true, std::memory_order_release);
        }
        wake.notify_all();
    }

    // Until `ready` holds: a short while awake (about the time a walk takes
    // to decode a chunk of 1 MB), then asleep. A slower walk sleeps, and
    // has the time to hide the wake-up.
    template <class Ready>
    void waitFor(Ready ready)
    {
        using Clock = std::chrono::steady_clock;
        const auto until = Clock::now() + std::chrono::microseconds(200);
        for (unsigned k = 1;; ++k) {
            if (ready())
                return;
            if (k % 64 == 0 && Clock::now() >= until)
                break;
            std::this_thread::yield(); // anything else runnable goes first
        }
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait(lock, ready);
    }

    void ask(int64_t from)
    {
        at = from;
        into = spare() + kMaxRequest;
        got = 0;
        error = nullptr;
        done.store(false, std::memory_order_relaxed);
        offset = from;
        pending = true;
        set(asked);
        if (!worker.joinable())
            worker = std::thread([this] { run(); });
    }

    // Waits for the chunk asked for; its size, or the error met reading it.
    std::size_t wait(std::exception_ptr& failure)
    {
        waitFor([this] { return done.load(std::memory_order_acquire); });
        pending = false;
        failure = std::exchange(error, nullptr);
        return got;
    }

    void run()
    {
        for (;;) {
            waitFor([this] {
                return asked.load(std::memory_order_acquire) || stop.load(std::memory_order_acquire);
            });
            if (stop.load(std::memory_order_acquire))
                return;
            asked.store(false, std::memory_order_relaxed);
            std::size_t n = 0;
            std::exception_ptr failure;
            try {
                n = file->read(at, into, chunk);
            } catch (...) {
                failure = std::current_exception();
            }
            got = n;
            error = failure;
            set(done);
        }
    }
};

// ---------------------------------------------------------------- reader

StreamReader::StreamReader(ByteSpan bytes) noexcept
    : data_(bytes.data()),
      begin_(0),
      end_(int64_t(bytes.size())),
      size_(int64_t(bytes.size())),
      identity_(bytes.data())
{
}

StreamReader::StreamReader(std::shared_ptr<const StreamFile> file, std::size_t chunk)
    : file_(std::move(file)),
      chunk_(std::max<std::size_t>(chunk, 1)),
      size_(file_->size()),
      identity_(file_.get())
{
    buffer_.reset(new uint8_t[chunk_ + kMaxRequest]);
    data_ = buffer_.get();
}

StreamReader::StreamReader(StreamReader&&) noexcept = default;
StreamReader::~StreamReader() = default;

StreamReader& StreamReader::operator=(StreamReader&& other) noexcept
{
    if (this != &other) {
        ahead_.reset(); // the worker joined before its buffers go
        file_ = std::move(other.file_);
        buffer_ = std::move(other.buffer_);
        chunk_ = other.chunk_;
        data_ = other.data_;
        begin_ = other.begin_;
        end_ = other.end_;
        size_ = other.size_;
        identity_ = other.identity_;
        cancel_ = other.cancel_;
        ahead_ = std::move(other.ahead_);
    }
    return *this;
}

void StreamReader::setReadAhead(bool on)
{
    if (on == (ahead_ != nullptr) || !file_ || (on && !file_->seekable()))
        return;
    if (on) {
        auto ahead = std::make_unique<Ahead>();
        ahead->file = file_;
        ahead->chunk = chunk_;
        ahead->buffer[0] = std::move(buffer_); // the window stays where it is
        ahead->buffer[1].reset(new uint8_t[chunk_ + kMaxRequest]);
        ahead_ = std::move(ahead);
        return;
    }
    // Back to one buffer: the one the window lies in.
    if (ahead_->pending) {
        std::exception_ptr ignored;
        ahead_->wait(ignored);
    }
    std::unique_ptr<uint8_t[]> kept = std::move(ahead_->buffer[ahead_->cur]);
    ahead_.reset();
    buffer_ = std::move(kept);
}

// The chunk read ahead, when it starts where the window ends and the request
// lies in the window or at its end: the bytes kept from the window go in
// front of it and the window moves there. Anything else drops it.
bool StreamReader::takeAhead(int64_t pos)
{
    Ahead& a = *ahead_;
    std::exception_ptr failure;
    const bool behind = a.offset == end_ && pos >= begin_ && pos <= end_;
    const std::size_t n = a.wait(failure);
    if (!behind)
        return false;
    if (failure)
        std::rethrow_exception(failure);
    // The bytes were checked behind their read; check again now that they
    // are handed out, as a read made now would.
    std::string reason;
    switch (file_->check(&reason)) {
    case StreamFile::State::Unchanged:
        break;
    case StreamFile::State::Changed:
        throw StreamReadError(StreamReadError::Kind::Changed, reason);
    case StreamFile::State::Failed:
        throw StreamReadError(StreamReadError::Kind::Failed, reason);
    }
    const int64_t keep = end_ - pos; // fewer than kMaxRequest
    uint8_t* front = a.spare() + kMaxRequest - keep;
    if (keep > 0)
        std::memcpy(front, data_ + (pos - begin_), std::size_t(keep));
    a.cur = 1 - a.cur;
    data_ = front;
    begin_ = pos;
    end_ += int64_t(n);
    return true;
}

void StreamReader::startAhead()
{
    if (ahead_ && !ahead_->pending && size_ >= 0 && end_ < size_)
        ahead_->ask(end_);
}

void StreamReader::drop() noexcept
{
    if (file_) {
        begin_ = 0;
        end_ = 0;
    }
}

const uint8_t* StreamReader::fill(int64_t pos, int64_t want, int64_t& got)
{
    if (file_ && cancel_ && cancel_->load(std::memory_order_relaxed)) {
        got = 0;
        return data_;
    }
    if (!file_ || (size_ >= 0 && end_ >= size_ && pos >= begin_) || pos < 0) {
        // Memory, or a window that reaches the end already.
        got = std::max<int64_t>(end_ - std::max(pos, begin_), 0);
        return got > 0 ? data_ + (pos - begin_) : data_;
    }
    if (size_ >= 0 && pos >= size_) {
        got = 0;
        return data_;
    }
    if (ahead_ && ahead_->pending && takeAhead(pos)) {
        if (end_ - pos >= want || end_ >= size_) {
            startAhead();
            got = std::max<int64_t>(end_ - pos, 0);
            return data_ + (pos - begin_);
        }
        // A chunk smaller than the request: join the rest below.
    }
    uint8_t* buf = ahead_ ? ahead_->buffer[ahead_->cur].get() : buffer_.get();
    if (pos >= begin_ && pos <= end_) {
        // Keep the bytes from pos on (fewer than `want`) at the front.
        const int64_t keep = end_ - pos;
        std::memmove(buf, data_ + (pos - begin_), std::size_t(keep));
        begin_ = pos;
    } else if (!file_->seekable() && pos > end_) {
        // A source read in order: pass over the bytes up to pos.
        begin_ = end_;
        while (end_ < pos) {
            const std::size_t n = file_->read(end_, buf, std::size_t(std::min<int64_t>(int64_t(chunk_), pos - end_)));
            if (n == 0) {
                size_ = end_; // the end of a source without a size
                begin_ = end_;
                got = 0;
                return data_;
            }
            end_ += int64_t(n);
        }
        begin_ = end_;
    } else {
        begin_ = pos;
        end_ = pos;
    }
    data_ = buf;
    // Read chunk after chunk until the request is met or the stream ends; the
    // window holds fewer than kMaxRequest bytes here, so a chunk always fits.
    while (end_ - pos < want) {
        const std::size_t n = file_->read(end_, buf + (end_ - begin_), chunk_);
        if (n == 0) {
            if (size_ < 0)
                size_ = end_;
            break;
        }
        end_ += int64_t(n);
    }
    startAhead();
    got = std::max<int64_t>(end_ - pos, 0);
    return data_;
}

} // namespace kestrix
