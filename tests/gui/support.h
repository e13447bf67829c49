// Shared pieces of the window tests: the application set-up, a recorder of
// message boxes, a stand-in drone on 127.0.0.2 with its own receiving thread,
// the simulator process and small helpers.
#pragma once

#include "app/application.h"
#include "kestrix/link/link_config.h"

#include <QByteArray>
#include <QHostAddress>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrix::gui::test {

// The tool's side: drone 127.0.0.2, sockets bound on 127.0.0.1.
link::LinkConfig LoopbackConfig();

// Sets what every window test needs before the application exists:
// offscreen platform unless chosen otherwise and a private XDG_RUNTIME_DIR
// (mode 0700).
void PrepareEnvironment();

// Message boxes recorded instead of shown.
struct MessageCall {
    QString title;
    QString text;
};
class MessageRecorder {
public:
    MessageRecorder();  // installs the hook
    ~MessageRecorder(); // removes it
    std::vector<MessageCall> calls() const;
    int count() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<MessageCall> calls_;
};

// One datagram seen by the stand-in drone.
struct PeerDatagram {
    double ms;          // steady clock, milliseconds since the peer started
    quint16 localPort;  // the peer's port it arrived on
    quint16 sourcePort; // the sender's port
    QByteArray data;
};

// A stand-in drone: binds `address` on each of `ports` and records every
// datagram from a thread of its own, so its time stamps are true even while
// the user-interface thread blocks.
class UdpPeer {
public:
    UdpPeer(const QString& address, std::vector<quint16> ports);
    ~UdpPeer();
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }

    std::vector<PeerDatagram> received() const;
    // Datagrams that arrived on `localPort` and whose bytes start with `prefix`.
    std::vector<PeerDatagram> matching(quint16 localPort, const QByteArray& prefix = {}) const;
    void clear();
    double nowMs() const;

    // Sends from the peer's socket bound to `fromPort`.
    bool send(quint16 fromPort, const QByteArray& data, const QString& toAddress, quint16 toPort);

private:
    void run();

    QString error_;
    std::vector<int> fds_;
    std::vector<quint16> ports_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<PeerDatagram> received_;
    std::chrono::steady_clock::time_point t0_;
};

// kestrix_sim as a child process; started() waits for its "ready" line.
class SimProcess {
public:
    explicit SimProcess(const QStringList& args);
    ~SimProcess();
    bool started() const { return started_; }
    QString errorText() const { return error_; }
    // Ends it with SIGTERM and returns its stderr (with the summary line).
    QString finish();
    // "packets sent N" from the summary line, -1 if missing.
    static qint64 PacketsSent(const QString& summary);

private:
    QProcess process_;
    bool started_ = false;
    QString error_;
    QString stderr_;
};

// The path of kestrix_sim, empty if it was not built.
QString SimPath();

// Packet number (bytes 8..11, little-endian) of a datagram, 0 if too short.
quint32 PacketNumber(const QByteArray& datagram);

// A navdata packet of exactly `size` bytes (>= 16 + 4 + sizeof(Demo) + 4 + 8)
// carrying the Demo record with `altitude`, padded with an unknown option,
// ended by the checksum option.
QByteArray DemoPacketOfSize(int size, int32_t altitude, uint32_t number = 0);

// The fixed ports 5554 and 5556 on 127.0.0.1 and 127.0.0.2 are shared with
// other test programs on this machine that may run at the same time.
// HoldPortLock() takes an exclusive lock on /tmp/kestrix-udp-ports.lock for
// the rest of the process; WaitForFreePorts() waits until all four ports can
// be bound (false after `timeoutMs`).
void HoldPortLock();
bool WaitForFreePorts(int timeoutMs = 120000);

// Reads a whole file.
QByteArray ReadFile(const QString& path);

} // namespace kestrix::gui::test

// main() for a window test: environment first, then the tool's own
// application class, then the test object.
#define KESTRIX_GUI_TEST_MAIN(TestClass)                                                           \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        kestrix::gui::test::PrepareEnvironment();                                                  \
        kestrix::gui::KestrixApplication app(argc, argv);                                          \
        TestClass tc;                                                                              \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
