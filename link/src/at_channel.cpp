#include "kestrix/link/at_channel.h"

#include <QNetworkProxy>
#include <QNetworkProxyFactory>

#include <mutex>

namespace kestrix::link {

namespace {

// The link never goes through a proxy; asking the system for its proxy
// settings would only start a lookup thread for nothing.
void disableSystemProxyLookup()
{
    static std::once_flag once;
    std::call_once(once, [] { QNetworkProxyFactory::setUseSystemConfiguration(false); });
}

QByteArray toDatagram(const std::string& text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

} // namespace

AtChannel::AtChannel(const LinkConfig& config, QObject* parent)
    : QObject(parent), config_(config), socket_(this)
{
    disableSystemProxyLookup();
    socket_.setProxy(QNetworkProxy::NoProxy);
}

bool AtChannel::open(QString* error)
{
    if (isOpen())
        return true;
    // No address sharing: a second program on port 5556 must make this fail.
    if (!socket_.bind(config_.bindAddress, AtPort, QAbstractSocket::DontShareAddress)) {
        if (error)
            *error = QStringLiteral("Cannot bind the AT socket to %1 port %2: %3")
                         .arg(config_.bindAddress.toString())
                         .arg(AtPort)
                         .arg(socket_.errorString());
        socket_.abort();
        return false;
    }
    return true;
}

bool AtChannel::isOpen() const
{
    return socket_.state() == QAbstractSocket::BoundState;
}

void AtChannel::SendAtCommand(std::string_view templ)
{
    if (!send(toDatagram(at::NumberedDatagram(templ, sequence_)), nullptr))
        emit sendFailed();
}

void AtChannel::SendWithConfigIds(std::string_view second)
{
    if (!send(toDatagram(at::ConfigIdsDatagram(second, sequence_)), nullptr))
        emit sendFailed();
}

bool AtChannel::sendDirect(const QByteArray& datagram, QString* error)
{
    return send(datagram, error);
}

bool AtChannel::send(const QByteArray& datagram, QString* error)
{
    // An unbound socket would send from a random port; the drone expects 5556.
    if (!isOpen() && !open(error))
        return false;
    const qint64 written = socket_.writeDatagram(datagram, config_.droneAddress, AtPort);
    if (written != datagram.size()) {
        if (error) {
            *error = written < 0
                         ? QStringLiteral("Cannot send to %1 port %2: %3")
                               .arg(config_.droneAddress.toString())
                               .arg(AtPort)
                               .arg(socket_.errorString())
                         : QStringLiteral("Cannot send to %1 port %2: only %3 of %4 bytes sent")
                               .arg(config_.droneAddress.toString())
                               .arg(AtPort)
                               .arg(written)
                               .arg(datagram.size());
        }
        return false;
    }
    emit sent(datagram);
    return true;
}

} // namespace kestrix::link
