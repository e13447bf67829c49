#include "support.h"

#include "kit/messages.h"

#include "kestrix/decoder.h"
#include "kestrix/packet_builder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/file.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kestrix::gui::test {

link::LinkConfig LoopbackConfig()
{
    link::LinkConfig c;
    c.droneAddress = QHostAddress(QStringLiteral("127.0.0.2"));
    c.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
    return c;
}

void PrepareEnvironment()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // A private runtime directory of mode 0700, removed by the system's /tmp
    // cleaning; one per test process.
    static QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/kestrix-xdg-XXXXXX"));
    if (runtime.isValid()) {
        QFile::setPermissions(runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
}

// ------------------------------------------------------------ MessageRecorder

MessageRecorder::MessageRecorder()
{
    SetMessageHook([this](QWidget*, const QString& title, const QString& text) {
        std::lock_guard lock(mutex_);
        calls_.push_back({title, text});
    });
}

MessageRecorder::~MessageRecorder()
{
    SetMessageHook({});
}

std::vector<MessageCall> MessageRecorder::calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

int MessageRecorder::count() const
{
    std::lock_guard lock(mutex_);
    return int(calls_.size());
}

void MessageRecorder::clear()
{
    std::lock_guard lock(mutex_);
    calls_.clear();
}

// -------------------------------------------------------------------- UdpPeer

UdpPeer::UdpPeer(const QString& address, std::vector<quint16> ports)
    : ports_(std::move(ports)), t0_(std::chrono::steady_clock::now())
{
    for (quint16 port : ports_) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error_ = QStringLiteral("socket: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            break;
        }
        const int buf = 4 << 20;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buf, sizeof buf);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        ::inet_pton(AF_INET, address.toLatin1().constData(), &a.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            error_ = QStringLiteral("bind %1:%2: %3")
                         .arg(address)
                         .arg(port)
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
            ::close(fd);
            break;
        }
        fds_.push_back(fd);
    }
    if (ok()) {
        thread_ = std::thread([this] { run(); });
    }
}

UdpPeer::~UdpPeer()
{
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    for (int fd : fds_) {
        ::close(fd);
    }
}

double UdpPeer::nowMs() const
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0_).count();
}

void UdpPeer::run()
{
    std::vector<pollfd> pfds;
    for (int fd : fds_) {
        pfds.push_back({fd, POLLIN, 0});
    }
    std::vector<char> buf(70000);
    while (!stop_) {
        const int r = ::poll(pfds.data(), nfds_t(pfds.size()), 20);
        if (r <= 0) {
            continue;
        }
        for (std::size_t i = 0; i < pfds.size(); ++i) {
            if (!(pfds[i].revents & POLLIN)) {
                continue;
            }
            for (;;) {
                sockaddr_in from{};
                socklen_t len = sizeof from;
                const ssize_t n = ::recvfrom(fds_[i], buf.data(), buf.size(), MSG_DONTWAIT,
                                             reinterpret_cast<sockaddr*>(&from), &len);
                if (n < 0) {
                    break;
                }
                PeerDatagram d{nowMs(), ports_[i], ntohs(from.sin_port), QByteArray(buf.data(), n)};
                std::lock_guard lock(mutex_);
                received_.push_back(std::move(d));
            }
        }
    }
}

std::vector<PeerDatagram> UdpPeer::received() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<PeerDatagram> UdpPeer::matching(quint16 localPort, const QByteArray& prefix) const
{
    std::vector<PeerDatagram> out;
    std::lock_guard lock(mutex_);
    for (const auto& d : received_) {
        if (d.localPort == localPort && d.data.startsWith(prefix)) {
            out.push_back(d);
        }
    }
    return out;
}

void UdpPeer::clear()
{
    std::lock_guard lock(mutex_);
    received_.clear();
}

bool UdpPeer::send(quint16 fromPort, const QByteArray& data, const QString& toAddress, quint16 toPort)
{
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        if (ports_[i] != fromPort) {
            continue;
        }
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(toPort);
        ::inet_pton(AF_INET, toAddress.toLatin1().constData(), &a.sin_addr);
        return ::sendto(fds_[i], data.constData(), std::size_t(data.size()), 0,
                        reinterpret_cast<sockaddr*>(&a), sizeof a) == data.size();
    }
    return false;
}

// ----------------------------------------------------------------- SimProcess

QString SimPath()
{
#ifdef KESTRIX_SIM_PATH
    return QStringLiteral(KESTRIX_SIM_PATH);
#else
    return {};
#endif
}

SimProcess::SimProcess(const QStringList& args)
{
    const QString path = SimPath();
    if (path.isEmpty() || !QFile::exists(path)) {
        error_ = QStringLiteral("kestrix_sim not built");
        return;
    }
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.setReadChannel(QProcess::StandardError);
    process_.start(path, args);
    if (!process_.waitForStarted(5000)) {
        error_ = QStringLiteral("kestrix_sim did not start: %1").arg(process_.errorString());
        return;
    }
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        process_.waitForReadyRead(100);
        stderr_ += QString::fromLocal8Bit(process_.readAllStandardError());
        if (stderr_.contains(QLatin1String("ready on"))) {
            started_ = true;
            return;
        }
        if (process_.state() == QProcess::NotRunning) {
            break;
        }
    }
    error_ = QStringLiteral("kestrix_sim not ready: %1").arg(stderr_);
}

SimProcess::~SimProcess()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
}

QString SimProcess::finish()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        process_.waitForFinished(5000);
    }
    stderr_ += QString::fromLocal8Bit(process_.readAllStandardError());
    return stderr_;
}

qint64 SimProcess::PacketsSent(const QString& summary)
{
    static const QRegularExpression re(QStringLiteral("packets sent (\\d+)"));
    const auto m = re.match(summary);
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

// ---------------------------------------------------------------------- ports

void HoldPortLock()
{
    static int fd = -1;
    if (fd >= 0) {
        return;
    }
    fd = ::open("/tmp/kestrix-udp-ports.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0) {
        ::flock(fd, LOCK_EX);
    }
}

bool WaitForFreePorts(int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        bool free = true;
        for (const char* address : {"127.0.0.1", "127.0.0.2"}) {
            for (quint16 port : {quint16(5554), quint16(5556)}) {
                const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
                sockaddr_in a{};
                a.sin_family = AF_INET;
                a.sin_port = htons(port);
                ::inet_pton(AF_INET, address, &a.sin_addr);
                free = free && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
                ::close(fd);
            }
        }
        if (free) {
            return true;
        }
        if (t.elapsed() > timeoutMs) {
            return false;
        }
        QThread::msleep(100);
    }
}

// -------------------------------------------------------------------- helpers

quint32 PacketNumber(const QByteArray& d)
{
    if (d.size() < 12) {
        return 0;
    }
    const auto* p = reinterpret_cast<const uint8_t*>(d.constData());
    return quint32(p[8]) | quint32(p[9]) << 8 | quint32(p[10]) << 16 | quint32(p[11]) << 24;
}

QByteArray DemoPacketOfSize(int size, int32_t altitude, uint32_t number)
{
    rec::Demo demo{};
    demo.altitude = altitude;
    const int fixed = kPacketHeaderSize + 4 + int(sizeof demo) + 4 + 8;
    const int pad = std::max(0, size - fixed);
    std::vector<uint8_t> padding(std::size_t(pad), 0xAB);
    PacketBuilder b(0, number);
    b.record(0, demo).option(0x4321, padding).checksum();
    const auto& data = b.data();
    return QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return f.readAll();
}

} // namespace kestrix::gui::test
