// Watching the live navdata stream: link counts from the packet numbers of
// the datagrams as they arrive, and the silence of a drone that stopped
// sending.
//
// While watching (from Start to Stop), a stretch of `silenceAfter` (1 s)
// without any datagram is a silence: counted in the link counts, reported
// with the seconds since the last datagram once a second, and once a second
// the owner is asked to send the wake datagram again, so that a drone that
// restarted resumes streaming by itself. The first datagram ends it. While
// datagrams flow nothing is reported: the check runs on a timer of its own
// and does not look at them.
//
// User-interface thread only (datagram() is called by the live handler).
#pragma once

#include "kestrix/link_counts.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>

namespace kestrix::link {

class NavdataWatch : public QObject {
    Q_OBJECT
public:
    explicit NavdataWatch(QObject* parent = nullptr,
                          std::chrono::milliseconds silenceAfter = std::chrono::seconds(1));

    // Start: watching begins, the silence clock starts now (a drone that
    // never answers the wake datagram is silent after `silenceAfter` too).
    // The counts carry on across Stop and Start; reset() clears them.
    void start();
    // Stop: no silence is reported any more; an ongoing one ends.
    void stop();
    bool watching() const { return watching_; }

    // One datagram received: its packet number (bytes 8..11 of the packet
    // in it) counted with its arrival time; ends a silence.
    void datagram(const QByteArray& bytes);

    bool silent() const { return silent_; }
    // Whole seconds since the last datagram (or since start()).
    int silentSeconds() const;

    const LinkCounter& counter() const { return counter_; }
    void reset();

signals:
    // The silence began (true) or ended (false).
    void silenceChanged(bool silent);
    // During a silence, once a second: N whole seconds without navdata.
    void silentFor(int seconds);
    // During a silence, at its start and then once a second: time to send
    // the wake datagram again.
    void wakeDue();

private:
    void check();
    void endSilence();
    double now() const { return double(clock_.nsecsElapsed()) / 1e9; }

    const std::chrono::milliseconds silenceAfter_;
    QElapsedTimer clock_;
    QTimer timer_;
    LinkCounter counter_;
    double lastArrival_ = 0;    // seconds on clock_
    double lastWake_ = 0;
    int lastReported_ = 0;
    bool watching_ = false;
    bool silent_ = false;
};

} // namespace kestrix::link
