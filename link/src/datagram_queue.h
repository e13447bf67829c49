// The hand-off between the navdata receiving thread and the user-interface
// thread: a FIFO of whole datagrams behind one mutex, plus the bookkeeping that
// keeps at most one wake-up of the consumer pending at a time.
#pragma once

#include <QByteArray>

#include <cstddef>
#include <deque>
#include <mutex>

namespace kestrix::link::detail {

class DatagramQueue {
public:
    enum class PushResult {
        Queued,         // queued; a wake-up is already pending
        QueuedNotify,   // queued; the caller must wake the consumer now
        Full,           // refused: the backlog already holds maxBytes()
    };

    explicit DatagramQueue(std::size_t maxBytes = std::size_t(256) << 20);

    // Producer side (any thread).
    PushResult push(QByteArray datagram);

    // Consumer side. beginTurn() at the start of every woken turn clears the
    // pending wake-up, so a datagram pushed from then on wakes the consumer
    // again. pop() takes the oldest datagram. endTurn() returns true when
    // datagrams are still waiting and no wake-up is pending: the caller must
    // then schedule another turn itself (the wake-up counts as pending).
    void beginTurn();
    bool pop(QByteArray* out);
    bool endTurn();

    // Discards everything queued; returns how many datagrams were discarded.
    std::size_t clear();
    // Forgets everything, including the peak and a pending wake-up.
    void reset();

    int size() const;
    int peak() const;
    std::size_t bytes() const;
    std::size_t maxBytes() const { return maxBytes_; }

private:
    mutable std::mutex mutex_;
    std::deque<QByteArray> items_;
    std::size_t bytes_ = 0;
    std::size_t peak_ = 0;
    bool wakePending_ = false;
    const std::size_t maxBytes_;
};

} // namespace kestrix::link::detail
