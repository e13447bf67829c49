// The chart tools of the Graph window on the real chart: wheel, drag, box and
// keys beside the written clicks, the crosshair readout and the A/B cursors,
// the NavData time marker, the live pause and the value axis of a live view,
// and the exports (CSV against kestrix_navdata csv; failures).
#include "support.h"

#include "plot/chart_axis.h"
#include "plot/chart_tools.h"
#include "cli.h"
#include "plot/graph.h"
#include "plot/graph_series.h"
#include "session/loaded_stream.h"
#include "kit/shared_state.h"
#include "navdata/tags.h"
#include "kit/widgets.h"

#include "kestrix/packet_builder.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>
#include <qcustomplot.h>

#include <memory>
#include <sstream>

using namespace kestrix;
using namespace kestrix::gui;
using namespace kestrix::gui::test;

namespace {

// Records at 1..10 s with Demo.altitude 100 t and Demo.theta t / 2.
std::vector<uint8_t> TenRecords()
{
    std::vector<uint8_t> bytes;
    NavdataState s{};
    for (uint32_t i = 1; i <= 10; ++i) {
        s.Time.time = MakeTimeWord(i, 250000 * (i % 4));
        s.Demo.altitude = int32_t(i * 100);
        s.Demo.theta = float(i) / 2;
        const auto p = PacketBuilder().record(s, 0).record(s, 1).checksum().take();
        bytes.insert(bytes.end(), p.begin(), p.end());
    }
    return bytes;
}

void Load(const std::vector<uint8_t>& bytes)
{
    auto rec = std::make_shared<LoadedRecording>();
    rec->buffer = StreamBuffer::CopyOf(bytes);
    rec->index = StreamIndex::Build(rec->bytes());
    LoadedStream = std::move(rec);
}

void Send(QWidget* w, QEvent* e)
{
    QApplication::sendEvent(w, e);
}

QMouseEvent Mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
                  Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    return QMouseEvent(type, QPointF(pos), QPointF(pos), button, buttons, mods);
}

} // namespace

class TestChartTools : public QObject {
    Q_OBJECT

    std::unique_ptr<MessageRecorder> messages;
    std::unique_ptr<TForm4> navdata;
    std::unique_ptr<TForm5> graph;

    QCustomPlot* chart() const { return graph->Chart1; }
    ChartTools& tools() const { return graph->tools(); }

    QPoint at(double t, double v) const
    {
        return {int(std::lround(chart()->xAxis->coordToPixel(t))), int(std::lround(chart()->yAxis->coordToPixel(v)))};
    }
    QCPRange timeRange() const { return chart()->xAxis->range(); }
    QCPRange valueRange() const { return chart()->yAxis->range(); }

    void drop(int tab, const QString& edit)
    {
        navdata->SCPageControl1->setCurrentIndex(tab);
        graph->SCCombobox1DragDrop(edit);
    }

    // Demo.altitude and Demo.theta plotted over TenRecords, window shown.
    void plotTwo()
    {
        Load(TenRecords());
        graph->SCCheckbox1->setChecked(false);
        drop(0, QStringLiteral("altitude"));
        drop(0, QStringLiteral("theta"));
        QCOMPARE(graph->series().count(), 2);
        graph->SCButton3Click();
        graph->show();
        QVERIFY(QTest::qWaitForWindowExposed(graph.get()));
        chart()->replot(QCustomPlot::rpImmediateRefresh);
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void init()
    {
        ResetSharedState();
        messages = std::make_unique<MessageRecorder>();
        navdata = std::make_unique<TForm4>();
        graph = std::make_unique<TForm5>();
        graph->resize(800, 500);
    }
    void cleanup()
    {
        graph.reset();
        navdata.reset();
        messages.reset();
        ResetSharedState();
    }

    void wheelDragAndTheWrittenClick()
    {
        plotTwo();
        QCOMPARE(timeRange().lower, 1.25);
        QCOMPARE(timeRange().upper, 10.5);
        QVERIFY(graph->bottomAxis().automaticMaximum());

        // Wheel: the time axis zooms around the mouse.
        const QPoint p = at(4, 500);
        const double share = (chart()->xAxis->pixelToCoord(p.x()) - timeRange().lower) / timeRange().size();
        const QCPRange v0 = valueRange();
        QWheelEvent wheel(QPointF(p), QPointF(chart()->mapToGlobal(p)), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        Send(chart(), &wheel);
        QVERIFY(wheel.isAccepted());
        QCOMPARE(timeRange().size(), 9.25 * ChartView::kZoomStep);
        QVERIFY(std::abs((chart()->xAxis->pixelToCoord(p.x()) - timeRange().lower) / timeRange().size() - share) < 1e-9);
        QVERIFY(!graph->bottomAxis().automaticMaximum() && !graph->bottomAxis().automaticMinimum());
        QVERIFY(graph->leftAxis().automaticMaximum());
        QCOMPARE(valueRange(), v0);

        // Ctrl+wheel: the value axis.
        const QCPRange t1 = timeRange();
        QWheelEvent ctrlWheel(QPointF(p), QPointF(chart()->mapToGlobal(p)), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::ControlModifier, Qt::NoScrollPhase, false);
        Send(chart(), &ctrlWheel);
        QCOMPARE(timeRange(), t1);
        QVERIFY(valueRange().size() > v0.size());
        QVERIFY(!graph->leftAxis().automaticMaximum());
        chart()->replot(QCustomPlot::rpImmediateRefresh);
        QCOMPARE(chart()->accessibleDescription(),
                 QStringLiteral("time %1 to %2 s, 2 series")
                     .arg(timeRange().lower, 0, 'f', 2)
                     .arg(timeRange().upper, 0, 'f', 2));

        // A drag from empty chart space pans; it is no click.
        const double shownBefore = navdata->SCEditTime->value();
        const QPoint from = at(5, 0);
        auto press = Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        Send(chart(), &press);
        for (int dx = 10; dx <= 60; dx += 10) {
            auto move = Mouse(QEvent::MouseMove, from + QPoint(dx, 0), Qt::NoButton, Qt::LeftButton);
            Send(chart(), &move);
        }
        auto release = Mouse(QEvent::MouseButtonRelease, from + QPoint(60, 0), Qt::LeftButton, Qt::NoButton);
        Send(chart(), &release);
        QVERIFY(std::abs(timeRange().lower - (t1.lower - 60 * t1.size() / chart()->axisRect()->width())) < 1e-6);
        QCOMPARE(timeRange().size(), t1.size());
        QCOMPARE(navdata->SCEditTime->value(), shownBefore);

        // A press and release on a point still goes to its time, and the
        // marker follows the record shown.
        chart()->replot(QCustomPlot::rpImmediateRefresh);
        QTest::mouseClick(chart(), Qt::LeftButton, {}, at(6.5, 600));
        QCOMPARE(navdata->SCEditTime->value(), 6.5);
        QVERIFY(tools().markerVisible());
    }

    void boxKeysAndResetView()
    {
        plotTwo();
        const QPoint a = at(3, 200);
        const QPoint b = at(5, 600);
        auto press = Mouse(QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
        Send(chart(), &press);
        auto move = Mouse(QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
        Send(chart(), &move);
        auto release = Mouse(QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton, Qt::ControlModifier);
        Send(chart(), &release);
        QVERIFY(std::abs(timeRange().lower - 3) < 0.05 && std::abs(timeRange().upper - 5) < 0.05);
        QVERIFY(std::abs(valueRange().lower - 200) < 5 && std::abs(valueRange().upper - 600) < 5);

        chart()->setFocus();
        const QCPRange t = timeRange();
        QTest::keyClick(chart(), Qt::Key_Right);
        QCOMPARE(timeRange().lower, t.lower + ChartView::kPanStep * t.size());
        QTest::keyClick(chart(), Qt::Key_Minus);
        QCOMPARE(timeRange().size(), t.size() / ChartView::kZoomStep);
        QTest::keyClick(chart(), Qt::Key_Home);
        QVERIFY(graph->bottomAxis().automaticMaximum() && graph->leftAxis().automaticMinimum());
        chart()->replot(QCustomPlot::rpImmediateRefresh);
        QCOMPARE(timeRange().lower, 1.25);
        QCOMPARE(valueRange().upper, 1000.0);

        // The context menu, exactly.
        QStringList texts;
        for (QAction* action : tools().contextMenu()->actions()) {
            if (!action->isSeparator()) {
                texts << action->text();
            }
        }
        QCOMPARE(texts, (QStringList{"Reset view", "Set cursor A", "Set cursor B", "Clear cursors", "Export image...",
                                     "Export CSV..."}));
    }

    void readoutAndCursors()
    {
        plotTwo();
        auto* readout = graph->findChild<QLabel*>(QStringLiteral("ChartReadout"));
        QVERIFY(readout);
        QVERIFY(readout->isVisible());
        QCOMPARE(tools().readoutText(), QString());

        // The mouse over the plot area.
        auto move = Mouse(QEvent::MouseMove, at(4.6, 300), Qt::NoButton, Qt::NoButton);
        Send(chart(), &move);
        QVERIFY(tools().crosshair());
        QVERIFY(std::abs(*tools().crosshair() - 4.6) < 0.05);
        QVERIFY(tools().readoutText().startsWith(QStringLiteral("time 4.")));

        tools().setCrosshair(4.5);
        // 4.5 s: the last points at or before are those of 4.5 s (altitude
        // 400, theta 2); each series in its colour.
        QCOMPARE(tools().readoutText(), QStringLiteral("time 4.500 s   Demo.altitude 400   Demo.theta 2"));
        QCOMPARE(readout->accessibleName(), tools().readoutText());
        QVERIFY(readout->text().contains(QStringLiteral("color:#ff0000\">Demo.altitude 400")));
        QVERIFY(readout->text().contains(QStringLiteral("color:#008000\">Demo.theta 2")));

        // Outside the plot area: nothing.
        auto away = Mouse(QEvent::MouseMove, QPoint(2, 2), Qt::NoButton, Qt::NoButton);
        Send(chart(), &away);
        QCOMPARE(tools().readoutText(), QString());

        // Shift+click sets A, then B. Between 2.5 and 4 s lie the points of
        // 2.5, 3.75 and 4 s, and at 4 s the repeated fifth point of the
        // written count rule: altitude 200, 300, 400, 400 (mean 325, RMS
        // sqrt(112500) = 335.41), theta 1, 1.5, 2, 2 (mean 1.625, RMS
        // sqrt(2.8125) = 1.67705).
        QTest::mouseClick(chart(), Qt::LeftButton, Qt::ShiftModifier, at(2.5, 0));
        QTest::mouseClick(chart(), Qt::LeftButton, Qt::ShiftModifier, at(4.0, 0));
        QVERIFY(tools().view().bothCursors());
        tools().setCursorA(2.5);
        tools().setCursorB(4.0);
        QCOMPARE(tools().readoutText(),
                 QStringLiteral("A 2.500 s, B 4.000 s, \u0394t 1.500 s\n"
                                "Demo.altitude: A 200, B 400, \u0394 200, min 200, max 400, mean 325, RMS 335.41\n"
                                "Demo.theta: A 1, B 2, \u0394 1, min 1, max 2, mean 1.625, RMS 1.67705"));
        // Zoom and pan leave them where they are.
        tools().zoomTimeAbout(8, 0.5);
        tools().pan(1, 0);
        QCOMPARE(*tools().view().cursorA(), 2.5);
        QCOMPARE(*tools().view().cursorB(), 4.0);
        tools().clearCursors();
        QCOMPARE(tools().readoutText(), QString());

        // Without series the readout goes.
        graph->SCButton1Click();
        chart()->replot(QCustomPlot::rpImmediateRefresh);
        QVERIFY(!readout->isVisible());
    }

    // A zoom pauses the live scroll (points keep arriving), Reset view
    // resumes it, and the automatic value axis fits the visible time only.
    void livePauseAndWildValue()
    {
        graph->SCCheckbox1->setChecked(false);
        graph->series().liveSource = [] { return true; };
        tools().liveSource = [] { return true; };
        tools().setLive(true);
        drop(0, QStringLiteral("altitude"));
        graph->show();
        QVERIFY(QTest::qWaitForWindowExposed(graph.get()));
        const auto pass = [&](uint32_t t, int32_t altitude) {
            Navdata.state.Time.time = MakeTimeWord(t, 0);
            Navdata.state.Demo.altitude = altitude;
            graph->series().addRecordPoints();
        };
        for (uint32_t t = 1; t <= 8; ++t) {
            pass(t, t == 5 ? 280000000 : 100 + int32_t(t));
        }
        chart()->replot(QCustomPlot::rpImmediateRefresh);
        QCOMPARE(valueRange().upper, 280000000.0);
        for (uint32_t t = 9; t <= 30; ++t) {
            pass(t, 100 + int32_t(t));
        }
        chart()->replot(QCustomPlot::rpImmediateRefresh);
        QCOMPARE(timeRange(), QCPRange(20, 30));
        QCOMPARE(valueRange(), QCPRange(120, 130)); // the wild value has scrolled away

        tools().zoomTimeAbout(25, 0.5);
        QVERIFY(tools().view().paused());
        const QCPRange held = timeRange();
        for (uint32_t t = 31; t <= 35; ++t) {
            pass(t, 100);
        }
        QCOMPARE(timeRange(), held);
        tools().resetView();
        QVERIFY(!tools().view().paused());
        QCOMPARE(timeRange(), QCPRange(25, 35));
        pass(36, 100);
        QCOMPARE(timeRange(), QCPRange(26, 36));
        QVERIFY(!tools().markerVisible());
    }

    void csvExportMatchesTheCommandLine()
    {
        QTemporaryDir dir;
        const QString recording = dir.filePath(QStringLiteral("flight.navdata"));
        const std::vector<uint8_t> bytes = TenRecords();
        {
            QFile f(recording);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        }
        plotTwo();
        drop(1, QStringLiteral("SCFrameEdit2")); // a key without a field: empty cells
        graph->SCCombobox1->setCurrentIndex(1);
        graph->SCFloatSpinEdit1->setValue(2.5);
        graph->SCButton3Click();
        chart()->replot(QCustomPlot::rpImmediateRefresh);

        std::ostringstream out;
        std::ostringstream err;
        const std::vector<std::string> args = {"csv", recording.toStdString(), "Demo.altitude", "Demo.theta",
                                               "Time.SCFrameEdit2", "--multiplier", "Demo.theta=2.5"};
        QCOMPARE(RunNavdataCli(args, out, err), 0);
        const QString cli = QString::fromStdString(out.str());

        const auto exported = [&](const QString& name) {
            const QString path = dir.filePath(name);
            if (!tools().exportCsvTo(path).isEmpty()) {
                return QString();
            }
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        };
        QCOMPARE(exported(QStringLiteral("all.csv")), cli);

        // Between the cursors: the rows of 3..5 s.
        tools().setCursorA(5.0);
        tools().setCursorB(3.0);
        QStringList rows = cli.split(QLatin1Char('\n'));
        QStringList expected{rows.front()};
        for (const QString& row : rows.mid(1)) {
            const double t = row.section(QLatin1Char(','), 0, 0).toDouble();
            if (!row.isEmpty() && t >= 3 && t <= 5) {
                expected << row;
            }
        }
        QCOMPARE(exported(QStringLiteral("ab.csv")), expected.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        QCOMPARE(messages->count(), 0);
    }

    void exports_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("image");
        QTest::addColumn<QByteArray>("magic");
        QTest::newRow("csv") << "out.csv" << false << QByteArray("time,");
        QTest::newRow("png") << "out.png" << true << QByteArray("\x89PNG");
        QTest::newRow("svg") << "out.SVG" << true << QByteArray("<?xml");
        QTest::newRow("pdf") << "out.pdf" << true << QByteArray("%PDF");
    }
    // Written whole, or refused with a reason and no file at all: a folder
    // that cannot exist (its parent is a file; the tests run as root, so
    // permissions would not stop them).
    void exports()
    {
        QFETCH(QString, name);
        QFETCH(bool, image);
        QFETCH(QByteArray, magic);
        plotTwo();
        QTemporaryDir dir;
        const auto run = [&](const QString& path) {
            return image ? tools().exportImageTo(path) : tools().exportCsvTo(path);
        };

        const QString good = dir.filePath(name);
        QCOMPARE(run(good), QString());
        QFile f(good);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(magic.size()) == magic);
        QVERIFY(f.size() > 100);
        QCOMPARE(messages->count(), 0);

        QFile blocker(dir.filePath(QStringLiteral("afile")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString bad = dir.filePath(QStringLiteral("afile/") + name);
        const QString error = run(bad);
        QVERIFY(error.startsWith(QStringLiteral("Cannot write ")));
        QCOMPARE(messages->count(), 1);
        QCOMPARE(messages->calls()[0].title, QStringLiteral("Error"));
        QCOMPARE(messages->calls()[0].text, error);
        QVERIFY(!QFile::exists(bad));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 (QStringList{QStringLiteral("afile"), name}));

        // An unknown extension is refused the same way.
        if (image) {
            QVERIFY(!run(dir.filePath(QStringLiteral("out.bmp"))).isEmpty());
            QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("out.bmp"))));
        }
    }
};

KESTRIX_GUI_TEST_MAIN(TestChartTools)
#include "test_chart_tools.moc"
