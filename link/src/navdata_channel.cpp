// The navdata socket is a plain POSIX UDP socket shared by two threads: the
// receiving thread only reads from it (poll + recv), the user-interface thread
// only sends on it (sendTo) and closes it after the receiving thread has ended.
// The kernel makes concurrent recv and sendto on one socket safe, so sends go
// out at once from the bound port 5554 without waiting for the receiving
// thread. All coordination between the threads is the datagram queue's mutex,
// a wake-up pipe towards the user-interface thread, a stop pipe towards the
// receiving thread and the thread join; no object is handed across threads
// through the event loop, so every hand-over is visible to ThreadSanitizer.

#include "kestrix/link/navdata_channel.h"

#include "datagram_queue.h"

#include <QPointer>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace kestrix::link {

namespace {

// Socket receive buffer asked for: room for seconds of full navdata while the
// receiving thread is not scheduled.
constexpr int kReceiveBufferSize = 4 << 20;
// One turn of the user-interface thread hands over at most this many
// datagrams, or stops once this much time has gone, whichever comes first;
// then the rest waits for the next turn of the event loop.
constexpr int kSliceDatagrams = 512;
constexpr std::chrono::microseconds kSliceTime{5000};

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool toSockaddr(const QHostAddress& address, quint16 port, sockaddr_in* out, bool allowAny)
{
    std::memset(out, 0, sizeof *out);
    out->sin_family = AF_INET;
    out->sin_port = htons(port);
    if (allowAny && (address == QHostAddress(QHostAddress::Any) ||
                     address == QHostAddress(QHostAddress::AnyIPv4))) {
        out->sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    if (address.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    out->sin_addr.s_addr = htonl(address.toIPv4Address());
    return true;
}

bool makePipe(int fds[2])
{
    if (::pipe(fds) != 0)
        return false;
    for (int i = 0; i < 2; ++i) {
        ::fcntl(fds[i], F_SETFD, FD_CLOEXEC);
        ::fcntl(fds[i], F_SETFL, ::fcntl(fds[i], F_GETFL) | O_NONBLOCK);
    }
    return true;
}

void writeByte(int fd)
{
    const char byte = 0;
    while (::write(fd, &byte, 1) < 0 && errno == EINTR) {
    }
}

void drainPipe(int fd)
{
    char bytes[64];
    while (::read(fd, bytes, sizeof bytes) > 0) {
    }
}

} // namespace

struct NavdataChannel::Impl {
    NavdataChannel* q = nullptr;
    LinkConfig config;
    std::shared_ptr<const Handler> handler;
    // Wake-ups of the user-interface thread: one byte in this pipe per
    // pending wake-up, watched by a socket notifier of that thread. Nothing
    // but the byte crosses threads here; datagrams go through the queue.
    int wakePipe[2] = {-1, -1};
    QSocketNotifier* wakeNotifier = nullptr;

    int fd = -1;             // the navdata socket
    int stopPipe[2] = {-1, -1};
    std::thread reader;
    int receiveBuffer = 0;

    detail::DatagramQueue queue;
    // Cleared when the handler stops reception: the receiving thread then
    // discards what it reads instead of queueing it.
    std::atomic<bool> accepting{false};
    std::atomic<qint64> received{0};
    std::atomic<qint64> dropped{0};
    std::atomic<qint64> discarded{0};

    // User-interface thread only.
    bool stopped = false;  // the handler ended reception
    bool handling = false; // a handler call is running (guards nested event loops)
    bool closing = false;

    bool open(QString* error);
    void close(bool handleRest);
    void stopReader();
    void readerLoop();
    void drainSocket(char* buffer);
    void take(const char* data, qint64 length);
    void turn();
    bool handleOne(const QByteArray& datagram, bool* destroyed);
    void release();
    void stopReception();
};

bool NavdataChannel::Impl::open(QString* error)
{
    if (fd >= 0)
        return true;
    auto fail = [&](const QString& what, int err) {
        if (error)
            *error = QStringLiteral("Cannot open the navdata socket on %1 port %2: %3: %4")
                         .arg(config.bindAddress.toString())
                         .arg(NavdataPort)
                         .arg(what, systemError(err));
        return false;
    };
    if (closing)
        return fail(QStringLiteral("open"), EBUSY);
    if (!wakeNotifier)
        return fail(QStringLiteral("pipe"), EMFILE);

    sockaddr_in local;
    if (!toSockaddr(config.bindAddress, NavdataPort, &local, true))
        return fail(QStringLiteral("bind"), EAFNOSUPPORT);

    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0)
        return fail(QStringLiteral("socket"), errno);
    ::fcntl(s, F_SETFD, FD_CLOEXEC);
    // Best effort: the kernel may cap the size (net.core.rmem_max).
    int size = kReceiveBufferSize;
    ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    // No SO_REUSEADDR: another program on port 5554 must make this fail.
    if (::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int err = errno;
        ::close(s);
        return fail(QStringLiteral("bind"), err);
    }
    int pipeFds[2];
    if (!makePipe(pipeFds)) {
        const int err = errno;
        ::close(s);
        return fail(QStringLiteral("pipe"), err);
    }
    socklen_t len = sizeof size;
    receiveBuffer = ::getsockopt(s, SOL_SOCKET, SO_RCVBUF, &size, &len) == 0 ? size : 0;

    fd = s;
    stopPipe[0] = pipeFds[0];
    stopPipe[1] = pipeFds[1];
    queue.reset();
    received = 0;
    dropped = 0;
    discarded = 0;
    stopped = false;
    accepting = true;
    reader = std::thread([this] { readerLoop(); });
    return true;
}

void NavdataChannel::Impl::stopReader()
{
    if (!reader.joinable())
        return;
    const char byte = 0;
    while (::write(stopPipe[1], &byte, 1) < 0 && errno == EINTR) {
    }
    reader.join();
}

void NavdataChannel::Impl::readerLoop()
{
    char buffer[kMaxDatagramSize];
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
    for (;;) {
        const int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        if (fds[0].revents & POLLNVAL)
            return;
        if (fds[0].revents != 0)
            drainSocket(buffer);
    }
}

void NavdataChannel::Impl::take(const char* data, qint64 length)
{
    if (length == 0 || length > kMaxDatagramSize) {
        dropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    if (!accepting.load(std::memory_order_relaxed)) {
        discarded.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    // Counted before it is queued, so the count is never behind what the
    // handler has seen.
    received.fetch_add(1, std::memory_order_relaxed);
    switch (queue.push(QByteArray(data, qsizetype(length)))) {
    case detail::DatagramQueue::PushResult::Full:
        received.fetch_sub(1, std::memory_order_relaxed);
        discarded.fetch_add(1, std::memory_order_relaxed);
        break;
    case detail::DatagramQueue::PushResult::QueuedNotify:
        writeByte(wakePipe[1]);
        break;
    case detail::DatagramQueue::PushResult::Queued:
        break;
    }
}

// Reads every datagram the socket holds now. A datagram longer than the
// buffer is still reported with its full length (MSG_TRUNC), so an oversized
// one is recognised and dropped, never handed on cut short.
void NavdataChannel::Impl::drainSocket(char* buffer)
{
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, kMaxDatagramSize, MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // EAGAIN: nothing left. Anything else is a pending socket error
            // (reading it clears it); try again at the next wake-up.
            return;
        }
        take(buffer, qint64(n));
    }
}

// Runs the handler on one datagram. False: reception is to stop. Sets
// `*destroyed` (and touches nothing more) when the handler destroyed the
// channel.
bool NavdataChannel::Impl::handleOne(const QByteArray& datagram, bool* destroyed)
{
    *destroyed = false;
    const std::shared_ptr<const Handler> h = handler; // survives a setHandler() inside the call
    if (!h || !*h)
        return true;
    const QPointer<NavdataChannel> guard(q);
    handling = true;
    bool ok = false;
    try {
        ok = (*h)(datagram);
    } catch (...) {
        // An error the handler did not absorb ends reception like a false.
        ok = false;
    }
    if (!guard) {
        *destroyed = true;
        return false;
    }
    handling = false;
    return ok;
}

void NavdataChannel::Impl::stopReception()
{
    stopped = true;
    accepting = false;
    discarded.fetch_add(qint64(queue.clear()), std::memory_order_relaxed);
    emit q->receptionStopped();
}

// One turn of the user-interface thread: hand over datagrams in arrival order
// until the queue is empty or the slice is used up, then let the event loop run.
void NavdataChannel::Impl::turn()
{
    // Empty the wake-up pipe before the queue forgets its pending wake-up, so
    // a wake-up written from then on is never swallowed here.
    drainPipe(wakePipe[0]);
    queue.beginTurn();
    // Woken from a nested event loop inside the handler: the running turn
    // carries on once the handler returns, so datagrams stay one at a time.
    if (handling)
        return;
    const auto start = std::chrono::steady_clock::now();
    QByteArray datagram;
    for (int n = 0; n < kSliceDatagrams; ++n) {
        if (fd < 0 || stopped || closing || !queue.pop(&datagram))
            break;
        bool destroyed = false;
        const bool ok = handleOne(datagram, &destroyed);
        if (destroyed)
            return;
        if (!ok) {
            stopReception();
            return;
        }
        if (std::chrono::steady_clock::now() - start >= kSliceTime)
            break;
    }
    if (fd >= 0 && !stopped && !closing && queue.endTurn())
        writeByte(wakePipe[1]); // the rest in a later turn of the event loop
}

void NavdataChannel::Impl::close(bool handleRest)
{
    if (fd < 0 || closing)
        return;
    closing = true;
    stopReader();
    // What arrived before the close is still handed over.
    char buffer[kMaxDatagramSize];
    drainSocket(buffer);
    if (handleRest && !handling && !stopped) {
        QByteArray datagram;
        while (queue.pop(&datagram)) {
            bool destroyed = false;
            const bool ok = handleOne(datagram, &destroyed);
            if (destroyed)
                return; // the destructor has released everything
            if (!ok) {
                stopReception();
                break;
            }
        }
    }
    release();
}

// Closes the sockets and forgets the backlog (left over after a close from
// inside the handler or by the destructor). The receiving thread has ended.
void NavdataChannel::Impl::release()
{
    discarded.fetch_add(qint64(queue.clear()), std::memory_order_relaxed);
    accepting = false;
    for (int* p : {&fd, &stopPipe[0], &stopPipe[1]}) {
        if (*p >= 0)
            ::close(*p);
        *p = -1;
    }
    closing = false;
}

NavdataChannel::NavdataChannel(const LinkConfig& config, QObject* parent)
    : QObject(parent), d(std::make_unique<Impl>())
{
    d->q = this;
    d->config = config;
    if (makePipe(d->wakePipe)) {
        d->wakeNotifier = new QSocketNotifier(d->wakePipe[0], QSocketNotifier::Read, this);
        connect(d->wakeNotifier, &QSocketNotifier::activated, this, [impl = d.get()] { impl->turn(); });
    }
}

NavdataChannel::~NavdataChannel()
{
    // The owner is going away: nothing more is handed to its handler. (When
    // the handler destroys the channel during close(), the receiving thread
    // has already ended.)
    if (d->closing)
        d->release();
    else
        d->close(false);
    delete d->wakeNotifier;
    for (int p : d->wakePipe)
        if (p >= 0)
            ::close(p);
}

void NavdataChannel::setHandler(Handler handler)
{
    d->handler = std::make_shared<const Handler>(std::move(handler));
}

bool NavdataChannel::open(QString* error)
{
    return d->open(error);
}

bool NavdataChannel::isOpen() const
{
    return d->fd >= 0;
}

void NavdataChannel::close()
{
    d->close(true);
}

bool NavdataChannel::sendTo(const QByteArray& datagram, quint16 port, QString* error)
{
    if (d->fd < 0 && !d->open(error))
        return false;
    sockaddr_in to;
    if (!toSockaddr(d->config.droneAddress, port, &to, false)) {
        if (error)
            *error = QStringLiteral("Cannot send to %1 port %2: not an IPv4 address")
                         .arg(d->config.droneAddress.toString())
                         .arg(port);
        return false;
    }
    ssize_t n;
    do {
        n = ::sendto(d->fd, datagram.constData(), size_t(datagram.size()), 0,
                     reinterpret_cast<const sockaddr*>(&to), sizeof to);
    } while (n < 0 && errno == EINTR);
    if (n == datagram.size())
        return true;
    if (error) {
        *error = n < 0 ? QStringLiteral("Cannot send to %1 port %2: %3")
                             .arg(d->config.droneAddress.toString())
                             .arg(port)
                             .arg(systemError(errno))
                       : QStringLiteral("Cannot send to %1 port %2: only %3 of %4 bytes sent")
                             .arg(d->config.droneAddress.toString())
                             .arg(port)
                             .arg(n)
                             .arg(datagram.size());
    }
    return false;
}

qint64 NavdataChannel::receivedCount() const
{
    return d->received.load();
}

qint64 NavdataChannel::droppedCount() const
{
    return d->dropped.load();
}

qint64 NavdataChannel::discardedCount() const
{
    return d->discarded.load();
}

int NavdataChannel::peakQueueLength() const
{
    return d->queue.peak();
}

int NavdataChannel::queueLength() const
{
    return d->queue.size();
}

int NavdataChannel::receiveBufferSize() const
{
    return d->receiveBuffer;
}

} // namespace kestrix::link
