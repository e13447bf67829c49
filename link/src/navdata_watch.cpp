#include "kestrix/link/navdata_watch.h"

#include <cmath>

namespace kestrix::link {

NavdataWatch::NavdataWatch(QObject* parent, std::chrono::milliseconds silenceAfter)
    : QObject(parent), silenceAfter_(silenceAfter)
{
    clock_.start();
    // A tenth of the silence, so that it is seen within 10 % of its length.
    timer_.setInterval(std::max<int>(10, int(silenceAfter.count() / 10)));
    connect(&timer_, &QTimer::timeout, this, &NavdataWatch::check);
}

void NavdataWatch::start()
{
    watching_ = true;
    endSilence();
    lastArrival_ = now();
    if (!timer_.isActive())
        timer_.start();
}

void NavdataWatch::stop()
{
    watching_ = false;
    timer_.stop();
    endSilence();
}

void NavdataWatch::datagram(const QByteArray& bytes)
{
    const double t = now();
    lastArrival_ = t;
    const ByteSpan span(reinterpret_cast<const uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    if (const std::optional<uint32_t> number = PacketNumberFrom(span, 0))
        counter_.add(*number, t);
    if (silent_)
        endSilence();
}

int NavdataWatch::silentSeconds() const
{
    return int(std::floor(now() - lastArrival_));
}

void NavdataWatch::reset()
{
    counter_.reset();
}

void NavdataWatch::endSilence()
{
    if (!silent_)
        return;
    silent_ = false;
    emit silenceChanged(false);
}

void NavdataWatch::check()
{
    if (!watching_)
        return;
    const double t = now();
    const double quiet = t - lastArrival_;
    if (!silent_) {
        if (quiet * 1000.0 < double(silenceAfter_.count()))
            return;
        silent_ = true;
        counter_.addSilence(t);
        lastWake_ = t;
        lastReported_ = std::max(1, int(std::floor(quiet)));
        emit silenceChanged(true);
        emit silentFor(lastReported_);
        emit wakeDue();
        return;
    }
    const int seconds = std::max(1, int(std::floor(quiet)));
    if (seconds != lastReported_) {
        lastReported_ = seconds;
        emit silentFor(seconds);
    }
    if ((t - lastWake_) * 1000.0 >= double(silenceAfter_.count())) {
        lastWake_ = t;
        emit wakeDue();
    }
}

} // namespace kestrix::link
