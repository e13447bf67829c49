// Live plotting through the main window: datagrams from a stand-in drone on
// 127.0.0.2 decoded and plotted pass by pass, the scroll window, the NavData
// fields, failing and suspended passes, and Graph window edits while
// datagrams keep arriving (the case the ThreadSanitizer run watches).
#include "support.h"

#include "plot/bottomaxis.h"
#include "plot/chart_axis.h"
#include "plot/graph.h"
#include "plot/graph_series.h"
#include "plot/leftaxis.h"
#include "control/main.h"
#include "kit/shared_state.h"
#include "navdata/tags.h"
#include "session/thread.h"
#include "kit/widgets.h"

#include "kestrix/link/navdata_channel.h"
#include "kestrix/packet_builder.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>
#include <qcustomplot.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

namespace {

const QString kTool = QStringLiteral("127.0.0.1");

const char* const kKeys[10] = {"Demo.altitude",       "Demo.theta",    "Demo.phi",
                               "Demo.psi",            "Demo.vx",       "Demo.vy",
                               "Raw_meas.raw_accs_0", "Demo.num_frames", "Navdata_pwm.motor1",
                               "Altitude.obs_x_X"};

// A full navdata packet (about 1.9 kB) at `seconds` with Demo.altitude.
QByteArray FullPacket(double seconds, int32_t altitude)
{
    NavdataState s{};
    const auto whole = uint32_t(seconds);
    s.Time.time = MakeTimeWord(whole, uint32_t(std::lround((seconds - whole) * 1e6)));
    s.Demo.altitude = altitude;
    s.Demo.theta = float(altitude) / 10;
    const auto p = BuildFullPacket(s);
    return QByteArray(reinterpret_cast<const char*>(p.data()), qsizetype(p.size()));
}

} // namespace

class TestLivePlot : public QObject {
    Q_OBJECT

    std::unique_ptr<UdpPeer> drone;
    std::unique_ptr<MessageRecorder> messages;
    std::unique_ptr<TForm1> main;
    std::unique_ptr<TForm4> navdata;
    std::unique_ptr<TForm5> graph;
    std::unique_ptr<TForm3> left;
    std::unique_ptr<TForm6> bottom;

    // The windows, connected and streaming live with every datagram eligible,
    // "live" ticked and the 10 fields in the list.
    bool Stream()
    {
        drone = std::make_unique<UdpPeer>(QStringLiteral("127.0.0.2"), std::vector<quint16>{5554, 5556});
        if (!drone->ok()) {
            qWarning() << drone->error();
            return false;
        }
        main = std::make_unique<TForm1>(LoopbackConfig());
        navdata = std::make_unique<TForm4>();
        graph = std::make_unique<TForm5>();
        left = std::make_unique<TForm3>();
        bottom = std::make_unique<TForm6>();
        if (!QTest::qWaitFor([this] { return main->linkConnected(); }, 3000)) {
            return false;
        }
        main->Timer2->stop();
        main->SCComboboxEx1->setCurrentIndex(0); // "each"
        main->SCCheckbox2->setChecked(true);
        main->SCRadioGroup3->setItemIndex(0);
        graph->setStreamSource(true);
        navdata->SCCheckbox2->setEnabled(true);
        navdata->SCCheckbox2->setChecked(true);
        graph->SCCheckbox1->setChecked(false);
        for (const char* key : kKeys) {
            addField(QString::fromLatin1(key));
        }
        const std::size_t wakes = drone->matching(5554).size();
        QTest::mouseClick(main->SCButton1, Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return drone->matching(5554).size() > wakes; }, 2000)) {
            return false;
        }
        ResetLivePlotStatistics();
        return RecordDivisor == 1 && LiveDecodeReady;
    }

    void addField(const QString& key)
    {
        const int i = graph->series().add(key);
        graph->SCCombobox1->addItemWithValue(key, graph->series().multiplierText(i));
    }

    // Sends one datagram and waits until its pass has ended.
    bool Feed(double seconds, int32_t altitude = 1)
    {
        const uint64_t passes = LivePlotStatistics().passes;
        if (!drone->send(5554, FullPacket(seconds, altitude), kTool, 5554)) {
            return false;
        }
        return QTest::qWaitFor([&] { return LivePlotStatistics().passes > passes && LiveDecodeReady; }, 3000);
    }

    QCPRange timeAxis() const { return graph->Chart1->xAxis->range(); }

private slots:
    void initTestCase() { HoldPortLock(); }
    void init()
    {
        QVERIFY2(WaitForFreePorts(60000), "ports 5554/5556 stay taken by another program");
        ResetSharedState();
        messages = std::make_unique<MessageRecorder>();
    }
    void cleanup()
    {
        bottom.reset();
        left.reset();
        graph.reset();
        navdata.reset();
        main.reset();
        drone.reset();
        messages.reset();
        ResetSharedState();
    }

    // Every accepted datagram lands in every series; the time axis shows the
    // last scroll-time seconds; the fields show the packet plotted last.
    void everyDatagramPlotted()
    {
        QVERIFY(Stream());
        for (int i = 1; i <= 30; ++i) {
            QVERIFY(Feed(100 + i * 0.005, i));
        }
        const LivePlotCounts c = LivePlotStatistics();
        QCOMPARE(c.passes, uint64_t(30));
        QCOMPARE(c.failedPasses, uint64_t(0));
        for (std::size_t i = 0; i < 9; ++i) {
            QCOMPARE(PointCount(SeriesList[i]), 31);
        }
        QCOMPARE(PointCount(SeriesList[9]), 2); // no catalogue entry: two null points
        QCOMPARE(PointY(SeriesList[0], 30), 30.0);
        QCOMPARE(PointY(SeriesList[1], 30), 3.0);
        QCOMPARE(timeAxis(), QCPRange(100.15 - 10, 100.15));
        QVERIFY(!graph->bottomAxis().automaticMaximum());
        QTRY_COMPARE_WITH_TIMEOUT(navdata->SCEditTime->value(), 100.15, 1000);
        QVERIFY(LivePlotStatistics().repaints >= 1);
        QVERIFY(LivePlotStatistics().fieldRefreshes >= 1);
        QCOMPARE(messages->count(), 0);

        // The bottom axis has no dialog in live mode.
        graph->show();
        graph->Chart1->replot(QCustomPlot::rpImmediateRefresh);
        const QRect plot = graph->Chart1->axisRect()->rect();
        QTest::mouseClick(graph->Chart1, Qt::LeftButton, {}, QPoint(plot.center().x(), plot.bottom() + 4));
        QVERIFY(!bottom->isVisible());
    }

    // Time running backwards (the seconds wrap, a restart) keeps the chart
    // moving; a negative scroll time fails its pass only.
    void backwardsAndFailingPasses()
    {
        QVERIFY(Stream());
        QVERIFY(Feed(2000));
        QCOMPARE(timeAxis(), QCPRange(1990, 2000));
        QVERIFY(Feed(3));
        QCOMPARE(timeAxis(), QCPRange(-7, 3));
        QVERIFY(Feed(4));
        QCOMPARE(timeAxis(), QCPRange(-6, 4));

        graph->XframeTime->setValue(-1);
        QVERIFY(Feed(5));
        QCOMPARE(LivePlotStatistics().failedPasses, uint64_t(1));
        QCOMPARE(PointCount(SeriesList[0]), 5);
        graph->XframeTime->setValue(10);
        QVERIFY(Feed(6));
        QCOMPARE(timeAxis(), QCPRange(-4, 6));
        QCOMPARE(PointCount(SeriesList[0]), 6);
        QCOMPARE(messages->count(), 0);
    }

    // Unticked or disabled "live": passes still plot and repaint but leave
    // the fields alone. A pass during GraphBusy adds nothing and still
    // repaints and refreshes.
    void liveBoxAndBusyPasses()
    {
        QVERIFY(Stream());
        QVERIFY(Feed(10, 1));
        QTRY_COMPARE_WITH_TIMEOUT(navdata->SCEditTime->value(), 10.0, 1000);

        navdata->SCCheckbox2->setChecked(false);
        QVERIFY(Feed(11, 2));
        QTest::qWait(50);
        navdata->SCCheckbox2->setChecked(true);
        navdata->SCCheckbox2->setEnabled(false);
        QVERIFY(Feed(12, 3));
        QTest::qWait(50);
        QCOMPARE(navdata->SCEditTime->value(), 10.0);
        QCOMPARE(PointCount(SeriesList[0]), 4);

        navdata->SCCheckbox2->setEnabled(true);
        const LivePlotCounts before = LivePlotStatistics();
        GraphBusy = true;
        QVERIFY(Feed(13, 4));
        QTRY_COMPARE_WITH_TIMEOUT(navdata->SCEditTime->value(), 13.0, 1000);
        GraphBusy = false;
        QCOMPARE(PointCount(SeriesList[0]), 4);
        QVERIFY(LivePlotStatistics().repaints > before.repaints);
        QCOMPARE(timeAxis(), QCPRange(2, 12));
    }

    // Datagrams as fast as the drone side can send while the Graph window is
    // edited over and over: no pass fails, repaints and field refreshes stay
    // within one per frame, and afterwards every datagram lands again.
    void editsWhileStreaming()
    {
        QVERIFY(Stream());
        std::atomic<bool> sending{true};
        std::atomic<int> sent{0};
        std::thread sender([&] {
            double t = 50;
            while (sending && sent < 20000) {
                drone->send(5554, FullPacket(t, sent % 500), kTool, 5554);
                t += 0.0005;
                ++sent;
                std::this_thread::sleep_for(std::chrono::microseconds(400));
            }
        });

        int step = 0;
        QTimer edits;
        connect(&edits, &QTimer::timeout, this, [&] {
            switch (step++ % 8) {
            case 0: graph->SCCombobox1DragDrop(QStringLiteral("altitude")); break;
            case 1: graph->SCButton5Click(); break; // Clear Graph
            case 2: graph->SCCombobox1->setCurrentIndex(0); graph->SCButton4Click(); break; // front
            case 3: graph->SCFloatSpinEdit1->setValue(step); break;
            case 4: left->show(); left->SCButton1Click(); break; // LeftAxis "OK"
            case 5: graph->SCCombobox1->setCurrentIndex(graph->SCCombobox1->count() - 1); graph->SCButton2Click(); break;
            case 6: graph->Chart1->replot(); break;
            case 7: if (step > 40) { graph->SCButton1Click(); for (const char* k : kKeys) addField(QString::fromLatin1(k)); } break;
            }
        });
        QElapsedTimer elapsed;
        elapsed.start();
        edits.start(7);
        QTest::qWait(1500);
        edits.stop();
        sending = false;
        sender.join();
        const int total = sent;
        QVERIFY(QTest::qWaitFor([&] { return PacketCounter >= total && LiveDecodeReady; }, 10000));
        const double ms = double(elapsed.elapsed());

        const LivePlotCounts c = LivePlotStatistics();
        QVERIFY2(c.passes > 100, qPrintable(QString::number(c.passes)));
        QCOMPARE(c.failedPasses, uint64_t(0));
        QVERIFY2(double(c.repaints) <= ms / kLiveFrameMs + 2, qPrintable(QString::number(c.repaints)));
        QVERIFY2(double(c.fieldRefreshes) <= ms / kLiveFrameMs + 2, qPrintable(QString::number(c.fieldRefreshes)));
        QVERIFY(!GraphBusy);
        QCOMPARE(messages->count(), 0);

        // Quiet again: one pass per datagram in every series.
        graph->SCButton5Click();
        const uint64_t passes = LivePlotStatistics().passes;
        for (int i = 1; i <= 5; ++i) {
            QVERIFY(Feed(900 + i));
        }
        QCOMPARE(LivePlotStatistics().passes, passes + 5);
        for (int i = 0; i < graph->series().count(); ++i) {
            QCOMPARE(PointCount(SeriesList[std::size_t(i)]), graph->series().entry(i) ? 6 : 2);
        }
    }

    // Closing the Graph window while the NavData window is hidden unticks
    // "show stream records and graph" too.
    void closeUnticksMainBox()
    {
        drone = std::make_unique<UdpPeer>(QStringLiteral("127.0.0.2"), std::vector<quint16>{5554, 5556});
        main = std::make_unique<TForm1>(LoopbackConfig());
        navdata = std::make_unique<TForm4>();
        graph = std::make_unique<TForm5>();
        main->SCCheckbox2->setChecked(true);
        navdata->SCCheckbox1->setChecked(true);
        navdata->hide();
        graph->show();
        graph->close();
        QVERIFY(!navdata->SCCheckbox1->isChecked());
        QVERIFY(!main->SCCheckbox2->isChecked());
    }
};

KESTRIX_GUI_TEST_MAIN(TestLivePlot)
#include "test_live_plot.moc"
