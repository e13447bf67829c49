#include "kestrix/link/link_config.h"

#include <QAbstractSocket>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace kestrix::link {

namespace {

// The drone's own address on the Wi-Fi network it opens.
constexpr const char* kFactoryDroneAddress = "192.168.1.1";

// Reads one address variable. Unset: `fallback`. When set, it must hold an
// IPv4 address (the drone is only reachable over IPv4); a blank value is an
// error too, so a mistyped setting never falls back to the real drone.
bool readAddress(const char* name, const QHostAddress& fallback, QHostAddress* out,
                 QString* error)
{
    *out = fallback;
    if (!qEnvironmentVariableIsSet(name))
        return true;
    const QString text = qEnvironmentVariable(name).trimmed();
    QHostAddress parsed;
    if (text.isEmpty() || !parsed.setAddress(text) || parsed.protocol() != QAbstractSocket::IPv4Protocol) {
        *error = QStringLiteral("%1: \"%2\" is not an IPv4 address")
                     .arg(QLatin1String(name), text);
        return false;
    }
    *out = parsed;
    return true;
}

} // namespace

LinkConfig LinkConfig::fromEnvironment(QString* error)
{
    LinkConfig config;
    QString droneError;
    QString bindError;
    const bool droneOk =
        readAddress("KESTRIX_DRONE_ADDRESS", QHostAddress(QLatin1String(kFactoryDroneAddress)),
                    &config.droneAddress, &droneError);
    const bool bindOk = readAddress("KESTRIX_BIND_ADDRESS", QHostAddress(QHostAddress::Any),
                                    &config.bindAddress, &bindError);
    if (error) {
        QStringList problems;
        if (!droneOk)
            problems << droneError;
        if (!bindOk)
            problems << bindError;
        *error = problems.join(QStringLiteral("; "));
    }
    return config;
}

} // namespace kestrix::link
