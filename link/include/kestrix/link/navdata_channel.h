// The navdata socket (local port 5554) with its own receiving thread.
//
// A network thread reads every datagram as soon as it arrives (socket receive
// buffer 4 MiB) into a queue; the user-interface thread is told and takes them
// one at a time, in arrival order, through the handler. The handler runs in
// slices so the event loop keeps turning while a backlog drains. Nothing is
// lost while the user-interface thread is busy.
#pragma once

#include "kestrix/link/link_config.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>

namespace kestrix::link {

class NavdataChannel : public QObject {
    Q_OBJECT
public:
    // Returns false to stop reception (an error the handler could not
    // absorb); reception then stays stopped until close() and open(). An
    // exception leaving the handler counts as false. Without a handler,
    // datagrams are taken and ignored.
    using Handler = std::function<bool(const QByteArray& datagram)>;

    explicit NavdataChannel(const LinkConfig& config, QObject* parent = nullptr);
    ~NavdataChannel() override;

    void setHandler(Handler handler);

    // Binds bindAddress:5554 and starts receiving. Does nothing when open.
    bool open(QString* error);
    bool isOpen() const;
    // Stops receiving and closes the socket. Every datagram that had arrived
    // before the close is still handled, in order, before close() returns
    // (the socket is still open meanwhile, so the handler may sendTo()).
    // Called from inside the handler (a nested event loop), the datagrams
    // still queued are discarded instead, keeping the handler one call at a
    // time. The destructor closes without handling anything.
    void close();

    // Sends `datagram` from the navdata socket (so it leaves from port 5554)
    // to the drone's `port`; opens the socket first when it is closed.
    bool sendTo(const QByteArray& datagram, quint16 port, QString* error = nullptr);

    // Diagnostics, all counted since the last open(); safe from any thread.
    qint64 receivedCount() const;   // datagrams accepted into the queue
    qint64 droppedCount() const;    // empty or oversized datagrams dropped
    // Valid datagrams never handed to the handler: read after the handler
    // stopped reception, refused because the backlog reached its cap
    // (256 MiB), or still queued when close() ran inside the handler or the
    // channel was destroyed.
    qint64 discardedCount() const;
    int peakQueueLength() const;    // largest backlog seen since open()
    int queueLength() const;
    int receiveBufferSize() const;  // the socket's receive buffer as the system reports it

signals:
    void receptionStopped();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kestrix::link
