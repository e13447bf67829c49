#include "kestrix/stream_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
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
    uint8_t* buf = buffer_.get();
    if (pos >= begin_ && pos <= end_) {
        // Keep the bytes from pos on (fewer than `want`) at the front.
        const int64_t keep = end_ - pos;
        std::memmove(buf, buf + (pos - begin_), std::size_t(keep));
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
    got = std::max<int64_t>(end_ - pos, 0);
    return data_;
}

} // namespace kestrix
