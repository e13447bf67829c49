// The link against the simulated drone (kestrix_sim on the drone's loopback
// address): the Start sequence of datagrams brings full navdata, which arrives
// whole and in order through the navdata channel; Stop's datagrams go out.
#include "kestrix/at_commands.h"
#include "kestrix/decoder.h"
#include "kestrix/link/at_channel.h"
#include "kestrix/link/navdata_channel.h"

#include "udp_peer.h"

#include <QProcess>
#include <QSignalSpy>
#include "suite_main.h"

#include <QtTest>

using namespace kestrix;
using link::AtChannel;
using link::NavdataChannel;

class TestLinkWithSim : public QObject {
    Q_OBJECT

    link::LinkConfig config_;
    QProcess sim_;

private slots:
    void initTestCase()
    {
        QString why;
        QVERIFY2(test::loopbackConfig(&config_, &why), qPrintable(why));
        sim_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim_.start(QStringLiteral(KESTRIX_SIM_PATH),
                   {QStringLiteral("--address"), config_.droneAddress.toString(),
                    QStringLiteral("--rate"), QStringLiteral("500"), QStringLiteral("--duration"),
                    QStringLiteral("30")});
        QVERIFY2(sim_.waitForStarted(5000), qPrintable(sim_.errorString()));
    }
    void cleanupTestCase()
    {
        sim_.kill();
        sim_.waitForFinished(5000);
    }

    void startStreamStop()
    {
        AtChannel at(config_);
        NavdataChannel navdata(config_);
        QString error;
        QVERIFY2(at.open(&error), qPrintable(error));
        QSignalSpy failed(&at, &AtChannel::sendFailed);

        QList<QByteArray> received;
        navdata.setHandler([&](const QByteArray& d) {
            received << d;
            return true;
        });
        QVERIFY2(navdata.open(&error), qPrintable(error));
        QVERIFY(at.sendDirect(QByteArray(at::kProbe.data(), qsizetype(at::kProbe.size())), &error));

        // Start: full navdata, then the wake byte; repeated until the
        // simulator, which may still be starting, answers (bounded).
        QElapsedTimer clock;
        clock.start();
        while (received.size() < 200 && clock.elapsed() < 10000) {
            if (received.isEmpty()) {
                at.SendWithConfigIds(at::kNavdataDemoFalse);
                QVERIFY(navdata.sendTo(QByteArray(1, char(at::kWakeByte)), link::NavdataPort, &error));
            }
            QTest::qWait(100);
        }
        QVERIFY2(received.size() >= 200, qPrintable(QString::number(received.size())));
        QCOMPARE(failed.count(), 0);
        for (const QByteArray& d : received) {
            QVERIFY(d.size() >= 4 && d.size() <= link::kMaxDatagramSize);
            QCOMPARE(QByteArray(d.constData(), 4),
                     QByteArray(reinterpret_cast<const char*>(kestrix::kNavdataMagic), 4));
        }
        // Full navdata: the packets are larger than reduced ones.
        QVERIFY2(received.last().size() > 500, qPrintable(QString::number(received.last().size())));
        QCOMPARE(navdata.droppedCount(), qint64(0));

        // Stop.
        QVERIFY(navdata.sendTo(QByteArray(at::kStopFirst.data(), qsizetype(at::kStopFirst.size())),
                               link::AtPort, &error));
        navdata.close();
        const qsizetype handled = received.size();
        at.SendWithConfigIds(at::kNavdataDemoTrue);
        QTest::qWait(100);
        QCOMPARE(received.size(), handled);
        QCOMPARE(failed.count(), 0);
    }
};

KESTRIX_GUILESS_TEST(TestLinkWithSim)
#include "test_link_with_sim.moc"
