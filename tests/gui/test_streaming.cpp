// Start, Stop and the per-datagram handler against a stand-in drone on
// 127.0.0.2 (ports 5554 and 5556).
#include "support.h"

#include "control/main.h"
#include "navdata/tags.h"
#include "kit/widgets.h"

#include "kestrix/link/at_channel.h"
#include "kestrix/packet_builder.h"
#include "kestrix/link/navdata_channel.h"

#include <QTimer>
#include <QtTest>

#include <memory>
#include <stdexcept>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

namespace {

const QString kTool = QStringLiteral("127.0.0.1");
const QByteArray kIds = ",\"a0000aa1\",\"a0000aa3\",\"a0000aa2\"\r";

} // namespace

class TestStreaming : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<UdpPeer> drone;
    std::unique_ptr<TForm1> form;

    // A connected window with the watchdog timer stopped, so the sequence
    // numbers are the test's own.
    bool Connect()
    {
        drone = std::make_unique<UdpPeer>(QStringLiteral("127.0.0.2"), std::vector<quint16>{5554, 5556});
        if (!drone->ok()) {
            qWarning() << drone->error();
            return false;
        }
        form = std::make_unique<TForm1>(LoopbackConfig());
        QElapsedTimer t;
        t.start();
        while (!form->linkConnected() && t.elapsed() < 2000) {
            QTest::qWait(20);
        }
        form->Timer2->stop();
        QTest::qWait(20);
        drone->clear();
        return form->linkConnected();
    }

    // Start, and wait until the wake datagram has arrived; the drone's record
    // is cleared then.
    bool StartStreaming()
    {
        const std::size_t wakes = drone->matching(5554).size();
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QElapsedTimer t;
        t.start();
        while (drone->matching(5554).size() == wakes && t.elapsed() < 2000) {
            QTest::qWait(5);
        }
        QTest::qWait(20);
        drone->clear();
        return PacketCounter == 0 && form->IdUDPServer1->isOpen();
    }

    // Sends `count` datagrams from the drone's navdata port and waits until
    // the handler has taken them all.
    bool Feed(const QByteArray& datagram, int count = 1)
    {
        const int32_t target = PacketCounter + count;
        for (int i = 0; i < count; ++i) {
            if (!drone->send(5554, datagram, kTool, 5554)) {
                return false;
            }
        }
        QElapsedTimer t;
        t.start();
        while (PacketCounter < target && t.elapsed() < 3000) {
            QTest::qWait(5);
        }
        return PacketCounter == target;
    }

private slots:
    void initTestCase() { HoldPortLock(); }
    void init() { ResetSharedState();
        QVERIFY2(WaitForFreePorts(60000), "ports 5554/5556 stay taken by another program"); }

    void cleanup()
    {
        LiveDecodeHook = {};
        form.reset();
        drone.reset();
    }

    // Start with AtSequence 7: one datagram of 92 bytes from port 5556 after
    // the 100 ms wait, then the wake byte from port 5554 to port 5554.
    void startSendsConfigThenWake()
    {
        QVERIFY(Connect());
        AtSequence().set(7);
        const double clicked = drone->nowMs();
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QCOMPARE(AtSequence().value(), 9);
        QCOMPARE(PacketCounter, 0);
        QVERIFY(LiveDecodeReady);
        QVERIFY(form->IdUDPServer1->isOpen());

        QTRY_COMPARE_WITH_TIMEOUT(drone->matching(5554).size(), std::size_t(1), 1000);
        const auto at = drone->matching(5556);
        QCOMPARE(at.size(), std::size_t(1));
        const QByteArray expected =
            "AT*CONFIG_IDS=8" + kIds + "AT*CONFIG=9,\"general:navdata_demo\",\"FALSE\"\r";
        QCOMPARE(at[0].data, expected);
        QCOMPARE(at[0].data.size(), 92);
        QCOMPARE(at[0].sourcePort, quint16(5556));
        QVERIFY2(at[0].ms - clicked >= 95, qPrintable(QString::number(at[0].ms - clicked)));

        const auto wake = drone->matching(5554).front();
        QCOMPARE(wake.data, QByteArray(1, '\x01'));
        QCOMPARE(wake.sourcePort, quint16(5554));
        // Both after the wait (the order of two sockets' arrivals is not observable here).
        QVERIFY2(wake.ms - clicked >= 95, qPrintable(QString::number(wake.ms - clicked)));
    }

    // Stop: the fixed-number datagram from the navdata port, the socket
    // closed, 100 ms, then the numbered pair from the AT port. Also while
    // stopped.
    void stopSendsBothDatagrams()
    {
        QVERIFY(Connect());
        QVERIFY(StartStreaming());
        QVERIFY(Feed(DemoPacketOfSize(600, 1)));
        QCOMPARE(form->SCFrameEdit1->text(), QStringLiteral("600"));

        for (int round = 0; round < 2; ++round) {
            drone->clear();
            AtSequence().set(20 + 10 * round);
            QTest::mouseClick(form->SCButton2, Qt::LeftButton);
            QCOMPARE(AtSequence().value(), 22 + 10 * round);
            QVERIFY(!form->IdUDPServer1->isOpen());
            QCOMPARE(form->SCFrameEdit1->text(), QString());
            QTRY_COMPARE_WITH_TIMEOUT(drone->matching(5556).size(), std::size_t(2), 1000);
            const auto got = drone->matching(5556);
            QCOMPARE(got[0].data, QByteArray("AT*CONFIG=1,\"general:navdata_demo\",\"TRUE\"\r"));
            QCOMPARE(got[0].sourcePort, quint16(5554));
            const QByteArray second = "AT*CONFIG_IDS=" + QByteArray::number(21 + 10 * round) + kIds +
                                      "AT*CONFIG=" + QByteArray::number(22 + 10 * round) +
                                      ",\"general:navdata_demo\",\"TRUE\"\r";
            QCOMPARE(got[1].data, second);
            QCOMPARE(got[1].sourcePort, quint16(5556));
            QVERIFY2(got[1].ms - got[0].ms >= 95, qPrintable(QString::number(got[1].ms - got[0].ms)));
        }

        // Stopped: nothing more is handled, and Stop kept the counters.
        QCOMPARE(PacketCounter, 1);
        QVERIFY(LiveDecodeReady);
        drone->send(5554, DemoPacketOfSize(600, 1), kTool, 5554);
        QTest::qWait(150);
        QCOMPARE(PacketCounter, 1);
    }

    // Counting, the size display, and the watchdog on every 100th datagram
    // from the navdata port with the next sequence number.
    void handlerCountsAndWatchdog()
    {
        QVERIFY(Connect());
        QVERIFY(StartStreaming());
        QVERIFY(Feed(DemoPacketOfSize(300, 1), 98));
        QVERIFY(Feed(DemoPacketOfSize(777, 1)));
        QCOMPARE(PacketCounter, 99);
        QCOMPARE(form->SCFrameEdit1->text(), QStringLiteral("777"));
        QTest::qWait(50);
        QVERIFY(drone->matching(5556).empty());

        AtSequence().set(41);
        QVERIFY(Feed(DemoPacketOfSize(200, 1)));
        QCOMPARE(form->SCFrameEdit1->text(), QStringLiteral("200"));
        QCOMPARE(AtSequence().value(), 42);
        QTRY_COMPARE_WITH_TIMEOUT(drone->matching(5556).size(), std::size_t(1), 1000);
        QCOMPARE(drone->matching(5556)[0].data, QByteArray("AT*COMWDG=42\r"));
        QCOMPARE(drone->matching(5556)[0].sourcePort, quint16(5554));

        QVERIFY(Feed(DemoPacketOfSize(200, 1), 99));
        QCOMPARE(AtSequence().value(), 42);
        QVERIFY(Feed(DemoPacketOfSize(200, 1)));
        QCOMPARE(PacketCounter, 200);
        QTRY_COMPARE_WITH_TIMEOUT(drone->matching(5556).size(), std::size_t(2), 1000);
        QCOMPARE(drone->matching(5556)[1].data, QByteArray("AT*COMWDG=43\r"));

        // A new Start counts from 0 again.
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QCOMPARE(PacketCounter, 0);
        QVERIFY(Feed(DemoPacketOfSize(200, 1), 3));
        QCOMPARE(PacketCounter, 3);
    }

    // An empty or oversized datagram is dropped; reception goes on.
    void badDatagramsDoNotEndReception()
    {
        QVERIFY(Connect());
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QVERIFY(drone->send(5554, QByteArray(), kTool, 5554));
        QVERIFY(drone->send(5554, QByteArray(8193, 'x'), kTool, 5554));
        QVERIFY(Feed(DemoPacketOfSize(8192, 1)));
        QCOMPARE(PacketCounter, 1);
        QCOMPARE(form->SCFrameEdit1->text(), QStringLiteral("8192"));
        QCOMPARE(form->IdUDPServer1->droppedCount(), qint64(2));
        QVERIFY(Feed(DemoPacketOfSize(600, 1), 5));
        QCOMPARE(PacketCounter, 6);
    }

    // A watchdog that cannot be sent does not end reception. The drone's
    // address is one the IPv4 sockets cannot send to, so every send fails
    // inside the socket layer and nothing leaves the machine.
    void failedWatchdogDoesNotEndReception()
    {
        drone = std::make_unique<UdpPeer>(QStringLiteral("127.0.0.2"), std::vector<quint16>{5554, 5556});
        QVERIFY(drone->ok());
        link::LinkConfig config = LoopbackConfig();
        config.droneAddress = QHostAddress(QStringLiteral("::1"));
        form = std::make_unique<TForm1>(config);
        QString why;
        QVERIFY(!form->IdUDPServer1->sendTo(QByteArray("x"), 5556, &why));
        // Start opens the socket and then fails on the wake datagram.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, form->SCButton1Click());
        QVERIFY(form->IdUDPServer1->isOpen());
        QVERIFY(Feed(DemoPacketOfSize(300, 1), 150));
        QCOMPARE(PacketCounter, 150);
        QVERIFY(form->IdUDPServer1->isOpen());
        QVERIFY(!form->linkConnected());
    }

    void liveDecode_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("boxTicked");
        QTest::addColumn<bool>("live");
        QTest::addColumn<int>("divisorIndex");
        QTest::addColumn<bool>("ready");
        QTest::addColumn<bool>("finishing"); // the hook ends its pass at once
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("decodedAt"); // PacketCounter of each hook call

        QTest::newRow("all hold, 501 bytes") << 501 << true << true << 0 << true << false << 1 << QList<int>{1};
        QTest::newRow("500 bytes") << 500 << true << true << 0 << true << false << 1 << QList<int>{};
        QTest::newRow("box unticked") << 800 << false << true << 0 << true << false << 1 << QList<int>{};
        QTest::newRow("source file") << 800 << true << false << 0 << true << false << 1 << QList<int>{};
        QTest::newRow("not ready") << 800 << true << true << 0 << false << false << 1 << QList<int>{};
        QTest::newRow("divisor 10, 9 datagrams") << 800 << true << true << 1 << true << false << 9 << QList<int>{};
        QTest::newRow("divisor 10, 25 datagrams") << 800 << true << true << 1 << true << true << 25 << QList<int>{10, 20};
        QTest::newRow("pass running") << 800 << true << true << 0 << true << false << 3 << QList<int>{1};
        QTest::newRow("pass ends at once") << 800 << true << true << 0 << true << true << 3 << QList<int>{1, 2, 3};
    }

    void liveDecode()
    {
        QFETCH(int, size);
        QFETCH(bool, boxTicked);
        QFETCH(bool, live);
        QFETCH(int, divisorIndex);
        QFETCH(bool, ready);
        QFETCH(bool, finishing);
        QFETCH(int, count);
        QFETCH(QList<int>, decodedAt);

        QVERIFY(Connect());
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        form->SCCheckbox2->setChecked(boxTicked);
        form->SCRadioGroup3->setItemIndex(live ? 0 : 1);
        form->SCComboboxEx1->setCurrentIndex(divisorIndex);
        LiveDecodeReady = ready;
        Navdata.state.Demo.altitude = -1;

        QList<int> calls;
        QList<int32_t> altitudes;
        LiveDecodeHook = [&] {
            QVERIFY(!LiveDecodeReady);
            calls.push_back(PacketCounter);
            altitudes.push_back(Navdata.state.Demo.altitude);
            if (finishing) {
                LiveDecodeFinished();
            }
        };
        for (int i = 1; i <= count; ++i) {
            QVERIFY(Feed(DemoPacketOfSize(size, 1000 + i)));
        }
        QCOMPARE(calls, decodedAt);
        for (int i = 0; i < calls.size(); ++i) {
            QCOMPARE(altitudes[i], 1000 + calls[i]); // the datagram that was decoded
        }
        if (decodedAt.isEmpty()) {
            QCOMPARE(Navdata.state.Demo.altitude, -1);
            QCOMPARE(LiveDecodeReady, ready);
        } else {
            QCOMPARE(LiveDecodeReady, finishing);
            QCOMPARE(LivePassRunning(), !finishing);
            LiveDecodeFinished();
            QVERIFY(LiveDecodeReady);
        }
    }

    // Live streaming from one Start to its Stop is one action: datagrams with
    // bad Gyros_offsets options give one "wrong size", and the next Start
    // may give one more.
    void liveWrongSizeOncePerStart()
    {
        QVERIFY(Connect());
        MessageRecorder messages;
        form->SCCheckbox2->setChecked(true);
        form->SCRadioGroup3->setItemIndex(0);
        form->SCComboboxEx1->setCurrentIndex(0);
        NavdataState s{};
        s.Time.time = MakeTimeWord(1, 0);
        const uint8_t payload[600] = {};
        const std::vector<uint8_t> bad =
            PacketBuilder().record(s, 1).rawOption(4, 604, payload).checksum().take();
        const QByteArray datagram(reinterpret_cast<const char*>(bad.data()), qsizetype(bad.size()));
        for (int run = 1; run <= 2; ++run) {
            QVERIFY(StartStreaming());
            QVERIFY(Feed(datagram, 5));
            QTRY_COMPARE_WITH_TIMEOUT(messages.count(), run, 2000);
            QTest::qWait(50);
            QCOMPARE(messages.count(), run);
            QCOMPARE(messages.calls().back().title, QStringLiteral("error"));
            QCOMPARE(messages.calls().back().text, QStringLiteral("wrong size"));
        }
        QVERIFY(Navdata.wrongSizeEvents >= 10);
    }

    // With no live plotting attached, a decode allows the next one at once.
    void liveDecodeWithoutHook()
    {
        QVERIFY(Connect());
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        form->SCCheckbox2->setChecked(true);
        form->SCRadioGroup3->setItemIndex(0);
        form->SCComboboxEx1->setCurrentIndex(0);
        QVERIFY(Feed(DemoPacketOfSize(900, 4242)));
        QCOMPARE(Navdata.state.Demo.altitude, 4242);
        QVERIFY(LiveDecodeReady);
        QVERIFY(Feed(DemoPacketOfSize(900, 4343)));
        QCOMPARE(Navdata.state.Demo.altitude, 4343);
    }

    // Before the first Start nothing is decoded; a Start during a running
    // pass leaves the next decode to that pass's completion.
    void startDuringRunningPass()
    {
        QVERIFY(Connect());
        QVERIFY(!LiveDecodeReady);
        form->SCCheckbox2->setChecked(true);
        form->SCRadioGroup3->setItemIndex(0);
        form->SCComboboxEx1->setCurrentIndex(0);
        int calls = 0;
        LiveDecodeHook = [&] { ++calls; };
        QString openError;
        QVERIFY2(form->IdUDPServer1->open(&openError), qPrintable(openError));
        QVERIFY(Feed(DemoPacketOfSize(900, 1)));
        QCOMPARE(calls, 0);

        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QVERIFY(Feed(DemoPacketOfSize(900, 2)));
        QCOMPARE(calls, 1);
        QVERIFY(LivePassRunning());
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QVERIFY(!LiveDecodeReady);
        QVERIFY(Feed(DemoPacketOfSize(900, 3)));
        QCOMPARE(calls, 1);
        LiveDecodeFinished();
        QVERIFY(LiveDecodeReady);
        QVERIFY(Feed(DemoPacketOfSize(900, 4)));
        QCOMPARE(calls, 2);
        QCOMPARE(Navdata.state.Demo.altitude, 4);
    }
};

KESTRIX_GUI_TEST_MAIN(TestStreaming)
#include "test_streaming.moc"
