// A tiny stand-in for the drone in the link tests: one plain UDP socket bound
// to the drone's address and a port, that sends and receives raw datagrams and
// reports where each received datagram came from. Loopback only.
#pragma once

#include "kestrix/link/link_config.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace kestrix::test {

struct PeerDatagram {
    QByteArray data;
    QHostAddress from;
    quint16 fromPort = 0;
};

class UdpPeer {
public:
    UdpPeer(const QHostAddress& address, quint16 port)
    {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (fd_ < 0) {
            error_ = QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        int size = 4 << 20;
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        const sockaddr_in local = toSockaddr(address, port);
        if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            error_ = QStringLiteral("bind %1:%2: %3")
                         .arg(address.toString())
                         .arg(port)
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~UdpPeer()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    bool isOk() const { return fd_ >= 0; }
    QString error() const { return error_; }

    // Thread-safe (one sendto per call).
    bool send(const QByteArray& data, const QHostAddress& to, quint16 port) const
    {
        const sockaddr_in dest = toSockaddr(to, port);
        const ssize_t n = ::sendto(fd_, data.constData(), size_t(data.size()), 0,
                                   reinterpret_cast<const sockaddr*>(&dest), sizeof dest);
        return n == data.size();
    }

    // The next datagram, waiting at most `timeoutMs`.
    std::optional<PeerDatagram> receive(int timeoutMs = 2000) const
    {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return std::nullopt;
        std::vector<char> buffer(70000);
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0)
            return std::nullopt;
        PeerDatagram d;
        d.data = QByteArray(buffer.data(), qsizetype(n));
        d.from = QHostAddress(ntohl(from.sin_addr.s_addr));
        d.fromPort = ntohs(from.sin_port);
        return d;
    }

    // Discards whatever has arrived so far.
    void flush() const
    {
        while (receive(0)) {
        }
    }

private:
    static sockaddr_in toSockaddr(const QHostAddress& address, quint16 port)
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(address.toIPv4Address());
        return a;
    }

    int fd_ = -1;
    QString error_;
};

// The test addresses come from the environment like the tool's, and must be
// loopback addresses: nothing here may leave the machine.
inline bool loopbackConfig(link::LinkConfig* config, QString* why)
{
    QString error;
    *config = link::LinkConfig::fromEnvironment(&error);
    if (!error.isEmpty()) {
        *why = error;
        return false;
    }
    if (!qEnvironmentVariableIsSet("KESTRIX_DRONE_ADDRESS") ||
        !qEnvironmentVariableIsSet("KESTRIX_BIND_ADDRESS") || !config->droneAddress.isLoopback() ||
        !config->bindAddress.isLoopback() || config->droneAddress == config->bindAddress) {
        *why = QStringLiteral("KESTRIX_DRONE_ADDRESS and KESTRIX_BIND_ADDRESS must be set to two "
                              "different loopback addresses (127.0.0.2 and 127.0.0.1)");
        return false;
    }
    return true;
}

} // namespace kestrix::test
