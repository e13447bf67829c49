// The AT socket (local port 5556) and the numbered send path.
#pragma once

#include "kestrix/at_commands.h"
#include "kestrix/link/link_config.h"

#include <QObject>
#include <QUdpSocket>

#include <string_view>

namespace kestrix::link {

class AtChannel : public QObject {
    Q_OBJECT
public:
    explicit AtChannel(const LinkConfig& config, QObject* parent = nullptr);

    // Binds the AT socket to bindAddress:5556. False with a reason (naming the
    // port) when it cannot be bound.
    bool open(QString* error);
    bool isOpen() const;

    // SendAtCommand: advances the sequence, numbers every "#", appends "\r",
    // sends to the drone's port 5556 from the AT socket. Never throws; a
    // failed send emits sendFailed() (the link is lost).
    void SendAtCommand(std::string_view templ);
    // The composite datagram: ConfigIdsPrefix numbered n+1, then `second`
    // with n+2, through the numbered path (a failure emits sendFailed()).
    void SendWithConfigIds(std::string_view second);
    // A datagram sent exactly as given from the AT socket to drone:5556 (the
    // probe). Returns false on failure and does not emit sendFailed().
    // Every send binds the AT socket first if it is not open yet (a failed
    // bind is a failed send), so nothing ever leaves from another port.
    bool sendDirect(const QByteArray& datagram, QString* error = nullptr);

    at::AtSequence& sequence() { return sequence_; } // AtSequence
    const LinkConfig& config() const { return config_; }
    QUdpSocket* socket() { return &socket_; }

signals:
    void sendFailed();
    // Every datagram that went out, for diagnostics and tests.
    void sent(const QByteArray& datagram);

private:
    bool send(const QByteArray& datagram, QString* error);

    LinkConfig config_;
    QUdpSocket socket_;
    at::AtSequence sequence_;
};

} // namespace kestrix::link
