// The AT socket: numbered and composite datagrams byte for byte from port
// 5556, the unnumbered probe, a taken port, and sends the system refuses.
#include "kestrix/link/at_channel.h"

#include "udp_peer.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include "suite_main.h"

#include <QtTest>

#include <limits>

using kestrix::link::AtChannel;
using kestrix::link::AtPort;
using kestrix::link::LinkConfig;
using kestrix::test::UdpPeer;
namespace at = kestrix::at;

namespace {
const char* const kNetnsChild = "KESTRIX_LINK_TEST_NETNS_CHILD";
}

class TestAtChannel : public QObject {
    Q_OBJECT

    LinkConfig config_;

    // The next datagram at the peer must be `expected`, sent from the bind
    // address, port 5556.
    static void expectDatagram(const UdpPeer& peer, const LinkConfig& config,
                               const QByteArray& expected)
    {
        const auto got = peer.receive();
        QVERIFY2(got, "nothing arrived at the peer");
        QCOMPARE(got->data, expected);
        QCOMPARE(got->fromPort, AtPort);
        QCOMPARE(got->from, config.bindAddress);
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsSet(kNetnsChild))
            return; // inside the private network namespace: no peer, no loopback
        QString why;
        QVERIFY2(kestrix::test::loopbackConfig(&config_, &why), qPrintable(why));
    }

    void numberedSend_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<QByteArray>("templ");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("after");

        QTest::newRow("watchdog from 0") << 0 << QByteArray(at::kWatchdog.data())
                                         << QByteArray("AT*COMWDG=1\r") << 1;
        QTest::newRow("two marks, one number") << 41 << QByteArray("AT*X=#,#")
                                               << QByteArray("AT*X=42,42\r") << 42;
        QTest::newRow("no mark still counts") << 5 << QByteArray("AT*FTRIM")
                                              << QByteArray("AT*FTRIM\r") << 6;
        QTest::newRow("ends in return") << 0 << QByteArray("AT*A=#\r") << QByteArray("AT*A=1\r\r")
                                        << 1;
        QTest::newRow("take off") << 4 << QByteArray(at::kRefTakeOff.data())
                                  << QByteArray("AT*REF=5,290718208\r") << 5;
        QTest::newRow("negative") << -5 << QByteArray("AT*A=#") << QByteArray("AT*A=-4\r") << -4;
        QTest::newRow("wraps") << std::numeric_limits<int>::max() << QByteArray("AT*A=#")
                               << QByteArray("AT*A=-2147483648\r")
                               << std::numeric_limits<int>::min();
        QTest::newRow("motor text with fixed 1") << 1 << QByteArray("AT*PWM=1,0,0,0,0")
                                                 << QByteArray("AT*PWM=1,0,0,0,0\r") << 2;
    }
    void numberedSend()
    {
        QFETCH(int, before);
        QFETCH(QByteArray, templ);
        QFETCH(QByteArray, expected);
        QFETCH(int, after);

        UdpPeer drone(config_.droneAddress, AtPort);
        QVERIFY2(drone.isOk(), qPrintable(drone.error()));
        AtChannel channel(config_);
        QString error;
        QVERIFY2(channel.open(&error), qPrintable(error));
        QSignalSpy failed(&channel, &AtChannel::sendFailed);
        QSignalSpy sent(&channel, &AtChannel::sent);
        channel.sequence().set(before);

        channel.SendAtCommand(std::string_view(templ.constData(), size_t(templ.size())));
        QCOMPARE(channel.sequence().value(), after);
        expectDatagram(drone, config_, expected);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(sent.count(), 1);
        QCOMPARE(sent.at(0).at(0).toByteArray(), expected);
        QVERIFY(!drone.receive(50)); // exactly one datagram
    }

    void configIds_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray ids = "\"a0000aa1\",\"a0000aa3\",\"a0000aa2\"\r";
        QTest::newRow("start, n=7") << 7 << QByteArray(at::kNavdataDemoFalse.data())
                                    << "AT*CONFIG_IDS=8," + ids +
                                           "AT*CONFIG=9,\"general:navdata_demo\",\"FALSE\"\r";
        QTest::newRow("stop, n=0") << 0 << QByteArray(at::kNavdataDemoTrue.data())
                                   << "AT*CONFIG_IDS=1," + ids +
                                          "AT*CONFIG=2,\"general:navdata_demo\",\"TRUE\"\r";
        QTest::newRow("operator text, n=4") << 4 << QByteArray("AT*REF=#,290718208")
                                            << "AT*CONFIG_IDS=5," + ids + "AT*REF=6,290718208\r";
        QTest::newRow("operator text with two marks") << 10 << QByteArray("AT*A=#;AT*B=#")
                                                      << "AT*CONFIG_IDS=11," + ids +
                                                             "AT*A=12;AT*B=12\r";
    }
    // One datagram: the ids command with n+1, the second command with n+2.
    void configIds()
    {
        QFETCH(int, before);
        QFETCH(QByteArray, second);
        QFETCH(QByteArray, expected);

        UdpPeer drone(config_.droneAddress, AtPort);
        QVERIFY2(drone.isOk(), qPrintable(drone.error()));
        AtChannel channel(config_);
        QString error;
        QVERIFY2(channel.open(&error), qPrintable(error));
        QSignalSpy failed(&channel, &AtChannel::sendFailed);
        channel.sequence().set(before);
        channel.SendWithConfigIds(std::string_view(second.constData(), size_t(second.size())));
        QCOMPARE(channel.sequence().value(), before + 2);
        expectDatagram(drone, config_, expected);
        if (before == 7)
            QCOMPARE(expected.size(), 92);
        QVERIFY(!drone.receive(50));
        QCOMPARE(failed.count(), 0);
    }

    // The probe goes out exactly as given, unnumbered, from the AT socket.
    void probeIsUnnumbered()
    {
        UdpPeer drone(config_.droneAddress, AtPort);
        QVERIFY2(drone.isOk(), qPrintable(drone.error()));
        AtChannel channel(config_);
        QString error;
        QVERIFY2(channel.open(&error), qPrintable(error));
        QSignalSpy failed(&channel, &AtChannel::sendFailed);
        QSignalSpy sent(&channel, &AtChannel::sent);
        channel.sequence().set(3);
        QVERIFY2(channel.sendDirect(QByteArray(at::kProbe.data(), qsizetype(at::kProbe.size())), &error),
                 qPrintable(error));
        QCOMPARE(channel.sequence().value(), 3);
        expectDatagram(drone, config_, QByteArray("AT*COMWDG\r"));
        QCOMPARE(failed.count(), 0);
        QCOMPARE(sent.count(), 1);
    }

    // A channel that was never opened binds 5556 before its first send rather
    // than sending from a random port.
    void sendOpensFirst()
    {
        UdpPeer drone(config_.droneAddress, AtPort);
        QVERIFY2(drone.isOk(), qPrintable(drone.error()));
        AtChannel channel(config_);
        QVERIFY(!channel.isOpen());
        channel.SendAtCommand(at::kFtrim);
        QVERIFY(channel.isOpen());
        expectDatagram(drone, config_, QByteArray("AT*FTRIM=1\r"));
        QString error;
        QVERIFY(channel.open(&error)); // already open: fine
    }

    void portTaken_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("plain") << int(QAbstractSocket::DefaultForPlatform);
        QTest::newRow("asking to share") << int(QAbstractSocket::ShareAddress |
                                                QAbstractSocket::ReuseAddressHint);
    }
    // Another program on port 5556: open fails and says which port and why.
    void portTaken()
    {
        QFETCH(int, mode);
        QUdpSocket blocker;
        QVERIFY2(blocker.bind(config_.bindAddress, AtPort, QAbstractSocket::BindMode(mode)),
                 qPrintable(blocker.errorString()));
        {
            AtChannel channel(config_);
            QString error;
            QVERIFY(!channel.open(&error));
            QVERIFY(!channel.isOpen());
            QVERIFY2(error.contains("5556"), qPrintable(error));
            QVERIFY2(error.contains("in use"), qPrintable(error));
            // Sends fail too instead of leaving from another port.
            QSignalSpy failed(&channel, &AtChannel::sendFailed);
            channel.SendAtCommand(at::kWatchdog);
            QCOMPARE(failed.count(), 1);
            QVERIFY(!channel.isOpen());
        }
        blocker.close();
        AtChannel channel(config_);
        QString error;
        QVERIFY2(channel.open(&error), qPrintable(error));
    }

    // A datagram the system refuses at once (too large for UDP): the numbered
    // path emits sendFailed() and returns; the direct path returns false.
    // Nothing arrives and the socket stays usable.
    void refusedSend()
    {
        UdpPeer drone(config_.droneAddress, AtPort);
        QVERIFY2(drone.isOk(), qPrintable(drone.error()));
        AtChannel channel(config_);
        QString error;
        QVERIFY2(channel.open(&error), qPrintable(error));
        QSignalSpy failed(&channel, &AtChannel::sendFailed);
        QSignalSpy sent(&channel, &AtChannel::sent);

        const QByteArray huge = "AT*CONFIG=#,\"x\",\"" + QByteArray(70000, 'y') + "\"";
        // The socket layer itself refuses it.
        QCOMPARE(channel.socket()->writeDatagram(huge, config_.droneAddress, AtPort), qint64(-1));

        channel.SendAtCommand(std::string_view(huge.constData(), size_t(huge.size())));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(channel.sequence().value(), 1); // the number is used all the same
        QVERIFY(!channel.sendDirect(huge, &error));
        QVERIFY2(error.contains("5556") && error.contains(config_.droneAddress.toString()),
                 qPrintable(error));
        QCOMPARE(failed.count(), 1); // the direct path does not signal
        QCOMPARE(sent.count(), 0);
        QVERIFY(!drone.receive(100));

        channel.SendAtCommand(at::kWatchdog);
        expectDatagram(drone, config_, QByteArray("AT*COMWDG=2\r"));
        QCOMPARE(failed.count(), 1);
    }

    // No route at all (a private network namespace whose loopback is down):
    // the real "network unreachable" failure. Runs this test program again
    // under `unshare -n`; nothing can leave such a namespace.
    void sendWithoutRoute()
    {
        if (qEnvironmentVariableIsSet(kNetnsChild)) {
            LinkConfig isolated;
            isolated.droneAddress = QHostAddress(QStringLiteral("127.0.0.2"));
            isolated.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
            AtChannel channel(isolated);
            QString error;
            QVERIFY2(channel.open(&error), qPrintable(error));
            QSignalSpy failed(&channel, &AtChannel::sendFailed);
            QCOMPARE(channel.socket()->writeDatagram("AT*COMWDG\r", isolated.droneAddress, AtPort),
                     qint64(-1));
            channel.SendAtCommand(at::kWatchdog);
            QCOMPARE(failed.count(), 1);
            QCOMPARE(channel.sequence().value(), 1);
            QVERIFY(!channel.sendDirect("AT*COMWDG\r", &error));
            QVERIFY2(error.contains("5556"), qPrintable(error));
            channel.SendAtCommand(at::kWatchdog); // every failure is reported
            QCOMPARE(failed.count(), 2);
            return;
        }
        const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
        if (unshare.isEmpty())
            QSKIP("unshare is not available");
        if (QProcess::execute(unshare, {QStringLiteral("-n"), QStringLiteral("true")}) != 0)
            QSKIP("no permission to create a network namespace");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kNetnsChild), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(unshare, {QStringLiteral("-n"), QCoreApplication::applicationFilePath(),
                              QStringLiteral("sendWithoutRoute")});
        QVERIFY(child.waitForFinished(60000));
        const QByteArray out = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, out.constData());
        QVERIFY2(out.contains("PASS   : TestAtChannel::sendWithoutRoute()"), out.constData());
    }
};

KESTRIX_GUILESS_TEST(TestAtChannel)
#include "test_at_channel.moc"
