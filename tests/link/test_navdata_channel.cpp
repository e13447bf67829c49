// The navdata socket: every datagram handed to the user-interface thread in
// arrival order, bad sizes dropped, reception stopped by the handler, close()
// handing over what had arrived, sends from port 5554, and no loss while the
// user-interface thread is blocked.
#include "kestrix/link/navdata_channel.h"

#include "kestrix/at_commands.h"

#include "udp_peer.h"

#include <QSignalSpy>
#include "suite_main.h"

#include <QtTest>

#include <atomic>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <thread>

using kestrix::link::AtPort;
using kestrix::link::LinkConfig;
using kestrix::link::NavdataChannel;
using kestrix::link::NavdataPort;
using kestrix::test::UdpPeer;
namespace at = kestrix::at;

namespace {

// A datagram of `size` bytes whose first four bytes (when there is room) hold
// its number, the rest a pattern derived from it.
QByteArray numbered(quint32 n, int size)
{
    QByteArray d(size, char(0x20 + n % 90));
    if (size >= 4)
        std::memcpy(d.data(), &n, 4);
    return d;
}

quint32 numberOf(const QByteArray& d)
{
    quint32 n = 0xffffffffu;
    if (d.size() >= 4)
        std::memcpy(&n, d.constData(), 4);
    return n;
}

// What the handler saw.
struct Seen {
    QList<QByteArray> datagrams;
    bool offThread = false;
};

NavdataChannel::Handler recordInto(Seen* seen)
{
    return [seen](const QByteArray& d) {
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            seen->offThread = true;
        seen->datagrams.append(d);
        return true;
    };
}

// Waits, without running the event loop (so no handler runs), until the
// receiving thread has queued `count` datagrams.
bool waitQueued(const NavdataChannel& channel, qint64 count, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (channel.receivedCount() < count && clock.elapsed() < timeoutMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return channel.receivedCount() == count;
}

} // namespace

class TestNavdataChannel : public QObject {
    Q_OBJECT

    LinkConfig config_;
    std::unique_ptr<UdpPeer> drone5554_; // the drone's navdata port: sends navdata, gets the wake byte
    std::unique_ptr<UdpPeer> drone5556_; // the drone's AT port

    bool sendNavdata(const QByteArray& d) { return drone5554_->send(d, config_.bindAddress, NavdataPort); }

private slots:
    void initTestCase()
    {
        QString why;
        QVERIFY2(kestrix::test::loopbackConfig(&config_, &why), qPrintable(why));
        drone5554_ = std::make_unique<UdpPeer>(config_.droneAddress, NavdataPort);
        drone5556_ = std::make_unique<UdpPeer>(config_.droneAddress, AtPort);
        QVERIFY2(drone5554_->isOk(), qPrintable(drone5554_->error()));
        QVERIFY2(drone5556_->isOk(), qPrintable(drone5556_->error()));
    }
    void init()
    {
        drone5554_->flush();
        drone5556_->flush();
    }

    void opensPort5554WithLargeBuffer()
    {
        NavdataChannel channel(config_);
        QVERIFY(!channel.isOpen());
        QString error;
        QVERIFY2(channel.open(&error), qPrintable(error));
        QVERIFY(channel.isOpen());
        QVERIFY(channel.open(&error)); // already open: nothing happens

        QFile rmem(QStringLiteral("/proc/sys/net/core/rmem_max"));
        if (rmem.open(QIODevice::ReadOnly) && rmem.readAll().trimmed().toLongLong() >= (4 << 20))
            QVERIFY2(channel.receiveBufferSize() >= (4 << 20),
                     qPrintable(QString::number(channel.receiveBufferSize())));

        // A second socket on the same port must not be possible.
        NavdataChannel second(config_);
        QVERIFY(!second.open(&error));
        QVERIFY2(error.contains("5554") && error.contains(config_.bindAddress.toString()),
                 qPrintable(error));
        QVERIFY2(error.contains(QString::fromLocal8Bit(std::strerror(EADDRINUSE))), qPrintable(error));
        QVERIFY(!second.isOpen());
        channel.close();
        QVERIFY(!channel.isOpen());
        QVERIFY2(second.open(&error), qPrintable(error));
    }

    void receive_data()
    {
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<int>("dropped");
        QTest::newRow("plain") << QList<int>{24, 500, 501, 1900} << 0;
        QTest::newRow("largest accepted") << QList<int>{8192, 4, 8192} << 0;
        QTest::newRow("empty and oversized dropped")
            << QList<int>{10, 0, 20, 8193, 8192, 0, 65507, 30} << 4;
        QTest::newRow("bad first") << QList<int>{8193, 0, 40} << 2;
        QTest::newRow("short ones") << QList<int>{1, 2, 3, 4} << 0;
    }
    // Handled on the user-interface thread, in order, whole; bad sizes are
    // dropped and reception goes on.
    void receive()
    {
        QFETCH(QList<int>, sizes);
        QFETCH(int, dropped);
        NavdataChannel channel(config_);
        Seen seen;
        channel.setHandler(recordInto(&seen));
        QSignalSpy stopped(&channel, &NavdataChannel::receptionStopped);
        QString error;
        QVERIFY2(channel.open(&error), qPrintable(error));

        QList<QByteArray> expected;
        for (int i = 0; i < sizes.size(); ++i) {
            const QByteArray d = numbered(quint32(i), sizes[i]);
            QVERIFY(sendNavdata(d) || sizes[i] > 65507);
            if (sizes[i] > 0 && sizes[i] <= 8192)
                expected << d;
        }
        QTRY_COMPARE_WITH_TIMEOUT(seen.datagrams.size(), expected.size(), 5000);
        QCOMPARE(seen.datagrams, expected);
        QTRY_COMPARE(channel.droppedCount(), qint64(dropped));
        QCOMPARE(channel.receivedCount(), qint64(expected.size()));
        QVERIFY(!seen.offThread);

        // Reception goes on after the drops.
        const QByteArray last = numbered(999, 77);
        QVERIFY(sendNavdata(last));
        QTRY_COMPARE(seen.datagrams.size(), expected.size() + 1);
        QCOMPARE(seen.datagrams.last(), last);
        QCOMPARE(stopped.count(), 0);
        QCOMPARE(channel.discardedCount(), qint64(0));
    }

    void handlerStops_data()
    {
        QTest::addColumn<bool>("throws");
        QTest::newRow("returns false") << false;
        QTest::newRow("throws") << true;
    }
    // The handler's failure ends reception: nothing more is handled, neither
    // what is queued nor what arrives later, until close() and open().
    void handlerStops()
    {
        QFETCH(bool, throws);
        NavdataChannel channel(config_);
        QList<quint32> handled;
        channel.setHandler([&](const QByteArray& d) {
            handled << numberOf(d);
            if (handled.size() == 3) {
                if (throws)
                    throw std::runtime_error("write failed");
                return false;
            }
            return true;
        });
        QSignalSpy stopped(&channel, &NavdataChannel::receptionStopped);
        QString error;
        QVERIFY2(channel.open(&error), qPrintable(error));
        for (quint32 i = 0; i < 10; ++i)
            QVERIFY(sendNavdata(numbered(i, 100)));
        QTRY_COMPARE(stopped.count(), 1);
        for (quint32 i = 10; i < 15; ++i)
            QVERIFY(sendNavdata(numbered(i, 100)));
        QTest::qWait(150);
        QCOMPARE(handled, (QList<quint32>{0, 1, 2}));
        QCOMPARE(channel.queueLength(), 0);
        QTRY_COMPARE(channel.discardedCount(), qint64(12));
        QCOMPARE(stopped.count(), 1);
        channel.close(); // nothing handed over by the close either
        QCOMPARE(handled.size(), 3);

        handled.clear();
        QVERIFY(channel.open(&error));
        QVERIFY(sendNavdata(numbered(20, 100)));
        QTRY_COMPARE(handled, (QList<quint32>{20}));
    }

    // close() hands over, in order, every datagram that had arrived, whether
    // already queued or still in the socket; the handler may still send from
    // port 5554 meanwhile. After close() nothing is handled.
    void closeHandsOverWhatArrived()
    {
        NavdataChannel channel(config_);
        at::AtSequence sequence;
        sequence.set(41);
        QList<quint32> handled;
        QString sendError;
        channel.setHandler([&](const QByteArray& d) {
            handled << numberOf(d);
            if (handled.size() == 100) { // the per-datagram watchdog
                const std::string w = at::ReceiveWatchdogDatagram(sequence);
                if (!channel.sendTo(QByteArray(w.data(), qsizetype(w.size())), AtPort, &sendError))
                    return false;
            }
            return true;
        });
        QString error;
        QVERIFY2(channel.open(&error), qPrintable(error));
        for (quint32 i = 0; i < 150; ++i)
            QVERIFY(sendNavdata(numbered(i, 600)));
        // No event loop ran: everything is handed over by close() itself.
        QCOMPARE(handled.size(), 0);
        channel.close();
        QVERIFY(!channel.isOpen());
        QCOMPARE(handled.size(), 150);
        for (int i = 0; i < handled.size(); ++i)
            QCOMPARE(handled[i], quint32(i));
        QVERIFY2(sendError.isEmpty(), qPrintable(sendError));
        const auto watchdog = drone5556_->receive();
        QVERIFY(watchdog);
        QCOMPARE(watchdog->data, QByteArray("AT*COMWDG=42\r"));
        QCOMPARE(watchdog->fromPort, NavdataPort);

        // After the close: nothing more, even with stale wake-ups pending.
        QVERIFY(sendNavdata(numbered(500, 600)));
        QTest::qWait(100);
        QCOMPARE(handled.size(), 150);
        QVERIFY(!channel.isOpen());
    }

    void sendFromPort5554_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("sequenceBefore");
        QTest::newRow("stop, first datagram")
            << QByteArray(at::kStopFirst.data(), qsizetype(at::kStopFirst.size())) << int(AtPort) << 7;
        QTest::newRow("wake byte") << QByteArray(1, char(at::kWakeByte)) << int(NavdataPort) << 0;
        QTest::newRow("receive watchdog") << QByteArray() << int(AtPort) << 41;
    }
    // The three direct sends leave from the navdata socket, so from port 5554;
    // a closed socket is opened for the send (and then receives).
    void sendFromPort5554()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(int, port);
        QFETCH(int, sequenceBefore);
        at::AtSequence sequence;
        sequence.set(sequenceBefore);
        QByteArray expected = datagram;
        if (datagram.isEmpty()) {
            const std::string w = at::ReceiveWatchdogDatagram(sequence);
            expected = QByteArray(w.data(), qsizetype(w.size()));
            QCOMPARE(expected, QByteArray("AT*COMWDG=42\r"));
            QCOMPARE(sequence.value(), 42);
        }

        NavdataChannel channel(config_);
        Seen seen;
        channel.setHandler(recordInto(&seen));
        QVERIFY(!channel.isOpen());
        QString error;
        QVERIFY2(channel.sendTo(expected, quint16(port), &error), qPrintable(error));
        QVERIFY(channel.isOpen());
        const UdpPeer& peer = port == AtPort ? *drone5556_ : *drone5554_;
        const auto got = peer.receive();
        QVERIFY(got);
        QCOMPARE(got->data, expected);
        QCOMPARE(got->fromPort, NavdataPort);
        QCOMPARE(got->from, config_.bindAddress);
        if (datagram == QByteArray(at::kStopFirst.data(), qsizetype(at::kStopFirst.size())))
            QCOMPARE(sequence.value(), sequenceBefore); // fixed number 1, sequence untouched

        // Opened for the send, it now receives too.
        QVERIFY(sendNavdata(numbered(1, 30)));
        QTRY_COMPARE(seen.datagrams.size(), 1);
        // Sending again reuses the same socket.
        QVERIFY(channel.sendTo(expected, quint16(port), &error));
        QVERIFY(peer.receive());
    }

    void refusedSend()
    {
        NavdataChannel channel(config_);
        QString error;
        QVERIFY(channel.open(&error));
        QVERIFY(!channel.sendTo(QByteArray(70000, 'x'), AtPort, &error));
        QVERIFY2(error.contains(config_.droneAddress.toString()) && error.contains("5556"),
                 qPrintable(error));
        QVERIFY(!drone5556_->receive(100));
        QVERIFY(channel.sendTo("AT*COMWDG=1\r", AtPort, &error));
        QVERIFY(drone5556_->receive());
    }

    // 2000 datagrams of 1.9 kB arrive at full speed while the user-interface
    // thread sleeps for a second: the receiving thread takes them all, and all
    // are handed over afterwards, in order.
    void burstWhileBlocked()
    {
        constexpr int kCount = 2000;
        NavdataChannel channel(config_);
        Seen seen;
        channel.setHandler(recordInto(&seen));
        QString error;
        QVERIFY2(channel.open(&error), qPrintable(error));
        std::atomic<int> sentOk{0};
        std::thread sender([&] {
            for (int i = 0; i < kCount; ++i)
                if (drone5554_->send(numbered(quint32(i), 1900), config_.bindAddress, NavdataPort))
                    ++sentOk;
        });
        std::this_thread::sleep_for(std::chrono::seconds(1));
        sender.join();
        QCOMPARE(sentOk.load(), kCount);
        QCOMPARE(seen.datagrams.size(), 0); // nothing ran on the blocked thread
        QTRY_COMPARE_WITH_TIMEOUT(seen.datagrams.size(), kCount, 20000);
        for (int i = 0; i < kCount; ++i) {
            QCOMPARE(numberOf(seen.datagrams[i]), quint32(i));
            QCOMPARE(seen.datagrams[i], numbered(quint32(i), 1900));
        }
        QCOMPARE(channel.receivedCount(), qint64(kCount));
        QCOMPARE(channel.droppedCount(), qint64(0));
        QCOMPARE(channel.discardedCount(), qint64(0));
        // The backlog built up in the queue, not in the socket.
        QVERIFY2(channel.peakQueueLength() > kCount / 2, qPrintable(QString::number(channel.peakQueueLength())));
        QCOMPARE(channel.queueLength(), 0);
        QVERIFY(!seen.offThread);
    }

    // Draining a long backlog leaves the event loop turning: a timer keeps
    // firing while the handler works through it.
    void backlogDrainsInSlices()
    {
        constexpr int kCount = 1000;
        NavdataChannel channel(config_);
        int handled = 0;
        channel.setHandler([&](const QByteArray&) {
            QElapsedTimer t;
            t.start();
            while (t.nsecsElapsed() < 200000) { // 0.2 ms of work per datagram
            }
            ++handled;
            return true;
        });
        QString error;
        QVERIFY2(channel.open(&error), qPrintable(error));
        for (int i = 0; i < kCount; ++i)
            QVERIFY(sendNavdata(numbered(quint32(i), 200)));
        QVERIFY(waitQueued(channel, kCount)); // all queued, none handled yet
        QCOMPARE(handled, 0);

        QList<int> handledAtTick;
        QTimer timer;
        timer.setInterval(1);
        connect(&timer, &QTimer::timeout, [&] { handledAtTick << handled; });
        timer.start();
        QTRY_COMPARE_WITH_TIMEOUT(handled, kCount, 20000);
        timer.stop();
        // About 200 ms of handler work: the timer ran many times in between.
        int ticksDuringDrain = 0;
        for (int h : handledAtTick)
            if (h > 0 && h < kCount)
                ++ticksDuringDrain;
        QVERIFY2(ticksDuringDrain >= 10, qPrintable(QString::number(ticksDuringDrain)));
    }

    // A nested event loop inside the handler (a modal box, say) does not start
    // a second handler call; order is kept.
    void nestedEventLoopKeepsOneAtATime()
    {
        NavdataChannel channel(config_);
        int depth = 0, maxDepth = 0;
        QList<quint32> handled;
        channel.setHandler([&](const QByteArray& d) {
            ++depth;
            maxDepth = qMax(maxDepth, depth);
            handled << numberOf(d);
            if (handled.size() == 1) {
                for (quint32 i = 1; i < 20; ++i)
                    sendNavdata(numbered(i, 50));
                QEventLoop loop;
                QTimer::singleShot(100, &loop, &QEventLoop::quit);
                loop.exec();
            }
            --depth;
            return true;
        });
        QString error;
        QVERIFY2(channel.open(&error), qPrintable(error));
        QVERIFY(sendNavdata(numbered(0, 50)));
        QTRY_COMPARE(handled.size(), 20);
        QCOMPARE(maxDepth, 1);
        for (int i = 0; i < 20; ++i)
            QCOMPARE(handled[i], quint32(i));
    }

    // close() called by the handler itself: it returns at once, the rest of the
    // backlog is discarded (counted), and nothing more is handled.
    void closeFromInsideHandler()
    {
        NavdataChannel channel(config_);
        QList<quint32> handled;
        channel.setHandler([&](const QByteArray& d) {
            handled << numberOf(d);
            if (handled.size() == 5)
                channel.close();
            return true;
        });
        QString error;
        QVERIFY2(channel.open(&error), qPrintable(error));
        for (quint32 i = 0; i < 20; ++i)
            QVERIFY(sendNavdata(numbered(i, 50)));
        QTRY_COMPARE(handled.size(), 5);
        QTest::qWait(100);
        QCOMPARE(handled, (QList<quint32>{0, 1, 2, 3, 4}));
        QVERIFY(!channel.isOpen());
        QCOMPARE(channel.discardedCount(), qint64(15));
    }

    void handlerDestroysChannel_data()
    {
        QTest::addColumn<bool>("duringClose");
        QTest::newRow("while receiving") << false;
        QTest::newRow("during close") << true;
    }
    // The owner may delete the channel from inside the handler: nothing more
    // is handled and nothing is touched afterwards.
    void handlerDestroysChannel()
    {
        QFETCH(bool, duringClose);
        auto* channel = new NavdataChannel(config_);
        QPointer<NavdataChannel> alive(channel);
        int handled = 0;
        channel->setHandler([&](const QByteArray&) {
            if (++handled == 3)
                delete channel;
            return true;
        });
        QString error;
        QVERIFY2(channel->open(&error), qPrintable(error));
        for (quint32 i = 0; i < 10; ++i)
            QVERIFY(sendNavdata(numbered(i, 50)));
        if (duringClose) {
            QVERIFY(waitQueued(*channel, 10));
            channel->close();
        } else {
            QTRY_VERIFY(!alive);
        }
        QVERIFY(!alive);
        QTest::qWait(50);
        QCOMPARE(handled, 3);
        // The port is free again.
        NavdataChannel next(config_);
        QVERIFY2(next.open(&error), qPrintable(error));
    }

    // Destroying the channel hands nothing more to the handler.
    void destructionHandlesNothing()
    {
        int handled = 0;
        {
            NavdataChannel channel(config_);
            channel.setHandler([&](const QByteArray&) {
                ++handled;
                return true;
            });
            QString error;
            QVERIFY2(channel.open(&error), qPrintable(error));
            for (quint32 i = 0; i < 20; ++i)
                QVERIFY(sendNavdata(numbered(i, 50)));
            QVERIFY(waitQueued(channel, 20));
        }
        QTest::qWait(50);
        QCOMPARE(handled, 0);
    }
};

KESTRIX_GUILESS_TEST(TestNavdataChannel)
#include "test_navdata_channel.moc"
