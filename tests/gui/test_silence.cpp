// A silent drone against the simulator: while streaming, no datagram for 1 s
// marks "Packet Size" red with "no navdata for N s", counts the silence in
// the link counts, and re-sends the wake datagram once a second, so that a
// simulator started again streams again without Start; nothing changes
// while datagrams flow.
#include "support.h"

#include "control/main.h"
#include "kit/shared_state.h"
#include "kit/widgets.h"
#include "session/live_pipeline.h"

#include "kestrix/link/navdata_channel.h"
#include "kestrix/link/navdata_watch.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

class TestSilence : public QObject {
    Q_OBJECT

    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<TForm1> form;

    bool StartSim()
    {
        sim = std::make_unique<SimProcess>(QStringList{QStringLiteral("--rate"), QStringLiteral("200")});
        if (!sim->started())
            qWarning() << sim->errorText();
        return sim->started();
    }
    bool marked() const
    {
        return form->SCFrameEdit1->styleSheet().contains(QStringLiteral("background-color"));
    }

private slots:
    void initTestCase()
    {
        HoldPortLock();
        if (SimPath().isEmpty())
            QSKIP("kestrix_sim not built");
    }
    void init()
    {
        ResetSharedState();
        QVERIFY2(WaitForFreePorts(60000), "ports 5554/5556 stay taken by another program");
    }
    void cleanup()
    {
        form.reset();
        sim.reset();
        ResetSharedState();
    }

    void silenceMarkedAndStreamResumed()
    {
        QVERIFY(StartSim());
        form = std::make_unique<TForm1>(LoopbackConfig());
        QTRY_VERIFY_WITH_TIMEOUT(form->linkConnected(), 3000);
        QSignalSpy silence(&Live().watch(), &link::NavdataWatch::silenceChanged);

        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(PacketCounter > 20, 5000);
        // Flowing: nothing changes, for longer than a silence.
        QTest::qWait(1500);
        QCOMPARE(silence.count(), 0);
        QVERIFY(!marked());
        // Flowing, "Packet Size" tells the socket's counts.
        QVERIFY2(form->SCFrameEdit1->toolTip().startsWith(QStringLiteral("received ")),
                 qPrintable(form->SCFrameEdit1->toolTip()));
        QCOMPARE(Live().watch().counter().summary().missing, uint64_t(0));

        // The drone goes away: marked after a second, the seconds counting.
        sim->finish();
        sim.reset();
        QTRY_VERIFY_WITH_TIMEOUT(marked(), 4000);
        QVERIFY2(form->SCFrameEdit1->toolTip().startsWith(QStringLiteral("no navdata for ")),
                 qPrintable(form->SCFrameEdit1->toolTip()));
        QTRY_COMPARE_WITH_TIMEOUT(form->SCFrameEdit1->toolTip(), QStringLiteral("no navdata for 2 s"), 4000);
        QCOMPARE(Live().watch().counter().summary().silences, uint64_t(1));
        QCOMPARE(silence.count(), 1);
        QCOMPARE(form->windowTitle(), QStringLiteral("Control (connected)")); // the written captions stay

        // Started again: the wake datagram sent once a second brings the
        // stream back without Start; the new numbers are a restart.
        const int32_t before = PacketCounter;
        QVERIFY(StartSim());
        QTRY_VERIFY_WITH_TIMEOUT(PacketCounter > before + 20, 6000);
        // ... as Start left it: full navdata, not the reduced packets a
        // restarted drone begins with.
        QTRY_VERIFY_WITH_TIMEOUT(form->SCFrameEdit1->text().toInt() > 1000, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!marked(), 2000);
        QVERIFY2(form->SCFrameEdit1->toolTip().startsWith(QStringLiteral("received ")),
                 qPrintable(form->SCFrameEdit1->toolTip()));
        QCOMPARE(silence.count(), 2);
        QCOMPARE(Live().watch().counter().summary().restarts, uint64_t(1));

        // Stop: no silence is reported any more.
        QTest::mouseClick(form->SCButton2, Qt::LeftButton);
        QTest::qWait(1500);
        QVERIFY(!marked());
        QCOMPARE(silence.count(), 2);
    }

    // The mark leaves nothing behind: once it ends, "Packet Size" has no
    // colour and the tool-tip it had before -- the written hint while the
    // navdata socket is closed, the link's counts while it is open.
    void markEndsWithTheToolTipItCovered()
    {
        QVERIFY(StartSim());
        form = std::make_unique<TForm1>(LoopbackConfig());
        const QString hint = form->SCFrameEdit1->toolTip();
        link::NavdataWatch& watch = Live().watch();
        emit watch.silenceChanged(true);
        emit watch.silentFor(3);
        QVERIFY(marked());
        QCOMPARE(form->SCFrameEdit1->toolTip(), QStringLiteral("no navdata for 3 s"));
        emit watch.silenceChanged(false);
        QVERIFY(!marked());
        QCOMPARE(form->SCFrameEdit1->toolTip(), hint);

        // Streaming, then silent: the first datagram after the silence
        // brings the counts back, with nothing of the mark left in them.
        QTRY_VERIFY_WITH_TIMEOUT(form->linkConnected(), 3000);
        QTest::mouseClick(form->SCButton1, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(PacketCounter > 20, 5000);
        sim->finish();
        sim.reset();
        QTRY_VERIFY_WITH_TIMEOUT(marked(), 4000);
        UdpPeer drone(QStringLiteral("127.0.0.2"), {5554});
        QVERIFY(drone.ok());
        QVERIFY(drone.send(5554, DemoPacketOfSize(600, 1, 1), QStringLiteral("127.0.0.1"), 5554));
        QTRY_VERIFY_WITH_TIMEOUT(!marked(), 2000);
        const auto* socket = form->IdUDPServer1;
        QCOMPARE(form->SCFrameEdit1->toolTip(), QStringLiteral("received %1, dropped %2, discarded %3")
                                                    .arg(socket->receivedCount())
                                                    .arg(socket->droppedCount())
                                                    .arg(socket->discardedCount()));
        QTest::mouseClick(form->SCButton2, Qt::LeftButton);
    }
};

KESTRIX_GUI_TEST_MAIN(TestSilence)
#include "test_silence.moc"
