// Where the drone is and which local address the tool binds.
#pragma once

#include <QHostAddress>

namespace kestrix::link {

inline constexpr quint16 NavdataPort = 5554;
inline constexpr quint16 AtPort = 5556;
// Largest datagram handled; larger or empty ones are dropped.
inline constexpr int kMaxDatagramSize = 8192;

struct LinkConfig {
    QHostAddress droneAddress; // DroneAddress
    QHostAddress bindAddress;  // local address the sockets bind (Any by default)

    // KESTRIX_DRONE_ADDRESS (default: the drone's own address on its network)
    // and KESTRIX_BIND_ADDRESS (default: all local addresses). An unparsable
    // value is an error, reported in `error`; the result then holds defaults.
    static LinkConfig fromEnvironment(QString* error = nullptr);
};

} // namespace kestrix::link
