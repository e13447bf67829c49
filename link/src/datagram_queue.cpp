#include "datagram_queue.h"

namespace kestrix::link::detail {

DatagramQueue::DatagramQueue(std::size_t maxBytes) : maxBytes_(maxBytes) {}

DatagramQueue::PushResult DatagramQueue::push(QByteArray datagram)
{
    std::lock_guard lock(mutex_);
    const std::size_t n = std::size_t(datagram.size());
    if (bytes_ + n > maxBytes_)
        return PushResult::Full;
    items_.push_back(std::move(datagram));
    bytes_ += n;
    if (items_.size() > peak_)
        peak_ = items_.size();
    if (wakePending_)
        return PushResult::Queued;
    wakePending_ = true;
    return PushResult::QueuedNotify;
}

void DatagramQueue::beginTurn()
{
    std::lock_guard lock(mutex_);
    wakePending_ = false;
}

bool DatagramQueue::pop(QByteArray* out)
{
    std::lock_guard lock(mutex_);
    if (items_.empty())
        return false;
    *out = std::move(items_.front());
    items_.pop_front();
    bytes_ -= std::size_t(out->size());
    return true;
}

bool DatagramQueue::endTurn()
{
    std::lock_guard lock(mutex_);
    if (items_.empty() || wakePending_)
        return false;
    wakePending_ = true;
    return true;
}

std::size_t DatagramQueue::clear()
{
    std::lock_guard lock(mutex_);
    const std::size_t n = items_.size();
    items_.clear();
    bytes_ = 0;
    return n;
}

void DatagramQueue::reset()
{
    std::lock_guard lock(mutex_);
    items_.clear();
    bytes_ = 0;
    peak_ = 0;
    wakePending_ = false;
}

int DatagramQueue::size() const
{
    std::lock_guard lock(mutex_);
    return int(items_.size());
}

int DatagramQueue::peak() const
{
    std::lock_guard lock(mutex_);
    return int(peak_);
}

std::size_t DatagramQueue::bytes() const
{
    std::lock_guard lock(mutex_);
    return bytes_;
}

} // namespace kestrix::link::detail
