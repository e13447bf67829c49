// The Graph window's view model (zoom, pan, pause, reset, cursors), the values
// read off a series (value at a time, statistics between the cursors) and the
// text of the CSV export, without any window.
#include "plot/chart_export.h"
#include "plot/chart_stats.h"
#include "plot/chart_view.h"
#include "plot/graph_series.h"

#include "suite_main.h"

#include <QtTest>
#include <qcustomplot.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace kestrix::gui;

Q_DECLARE_METATYPE(ViewRange)

namespace {

// Marks a null point in Points().
constexpr double kNull = std::numeric_limits<double>::quiet_NaN();

// A series as the chart holds it; `null` marks a null point.
std::vector<QCPGraphData> Points(std::initializer_list<std::pair<double, double>> list)
{
    std::vector<QCPGraphData> v;
    for (const auto& [k, y] : list) {
        v.emplace_back(k, std::isnan(y) ? NullPointValue() : y);
    }
    return v;
}

ChartPoints Span(const std::vector<QCPGraphData>& v)
{
    return {v.data(), v.size()};
}

} // namespace

class TestChartView : public QObject {
    Q_OBJECT

private slots:
    void zoomAbout_data()
    {
        QTest::addColumn<ViewRange>("range");
        QTest::addColumn<double>("center");
        QTest::addColumn<double>("factor");
        QTest::addColumn<ViewRange>("expected");
        QTest::newRow("in about the middle") << ViewRange{0, 10} << 5.0 << 0.5 << ViewRange{2.5, 7.5};
        QTest::newRow("in about a point") << ViewRange{0, 10} << 2.0 << 0.5 << ViewRange{1, 6};
        QTest::newRow("out about a point") << ViewRange{10, 20} << 20.0 << 2.0 << ViewRange{0, 20};
        QTest::newRow("centre outside") << ViewRange{0, 4} << 8.0 << 0.5 << ViewRange{4, 6};
        QTest::newRow("zero factor ignored") << ViewRange{0, 4} << 1.0 << 0.0 << ViewRange{0, 4};
        QTest::newRow("nan factor ignored") << ViewRange{0, 4} << 1.0 << std::nan("") << ViewRange{0, 4};
    }
    void zoomAbout()
    {
        QFETCH(ViewRange, range);
        QFETCH(double, center);
        QFETCH(double, factor);
        QFETCH(ViewRange, expected);
        const ViewRange r = ZoomedAbout(range, center, factor);
        QCOMPARE(r.lower, expected.lower);
        QCOMPARE(r.upper, expected.upper);
        if (factor > 0) {
            // The centre keeps its place: the same share of the range below it.
            QCOMPARE((center - r.lower) / r.size(), (center - range.lower) / range.size());
        }
    }

    void zoomAndPanFixTheAxesTheyMove()
    {
        ChartView v;
        v.setShown({0, 10}, {-1, 1});
        QVERIFY(!v.timeFixed() && !v.valueFixed());
        v.zoomTime(5, 0.5);
        QCOMPARE(v.time(), (ViewRange{2.5, 7.5}));
        QVERIFY(v.timeFixed());
        QVERIFY(!v.valueFixed());
        QCOMPARE(v.value(), (ViewRange{-1, 1}));
        v.zoomValue(0, 2);
        QCOMPARE(v.value(), (ViewRange{-2, 2}));
        QVERIFY(v.valueFixed());
        v.pan(1.5, 0);
        QCOMPARE(v.time(), (ViewRange{4, 9}));
        v.pan(0, -1);
        QCOMPARE(v.value(), (ViewRange{-3, 1}));
        v.stepPan(-1);
        QCOMPARE(v.time(), (ViewRange{3.5, 8.5}));
        v.stepZoom(+1);
        QCOMPARE(v.time().size(), 5 * ChartView::kZoomStep);
        QCOMPARE((v.time().lower + v.time().upper) / 2, 6.0);
        QVERIFY(!v.paused()); // file mode never pauses
        v.reset();
        QVERIFY(!v.timeFixed() && !v.valueFixed());
    }

    void boxZoom()
    {
        ChartView v;
        v.setShown({0, 10}, {0, 100});
        QVERIFY(!v.zoomToBox(3, 3, 10, 20)); // no width
        QVERIFY(!v.timeFixed());
        QVERIFY(v.zoomToBox(6, 2, 50, 10)); // corners in either order
        QCOMPARE(v.time(), (ViewRange{2, 6}));
        QCOMPARE(v.value(), (ViewRange{10, 50}));
        QVERIFY(v.timeFixed() && v.valueFixed());
    }

    void livePausesAndResumes()
    {
        ChartView v;
        v.setLive(true);
        v.setShown({10, 20}, {0, 1});
        QVERIFY(v.following());
        QVERIFY(!v.paused());
        v.pan(0, 0); // no movement: no pause
        QVERIFY(v.following());
        v.zoomTime(20, 0.5);
        QVERIFY(v.paused());
        QVERIFY(!v.following());
        // Points keep arriving: the shown range is reported, the pause stays.
        v.setShown({15, 20}, {0, 5});
        QVERIFY(v.paused());
        v.reset();
        QVERIFY(v.following());
        QVERIFY(!v.timeFixed() && !v.valueFixed());
        v.zoomValue(0, 0.5);
        QVERIFY(v.paused());
        // A switch of the stream source starts over.
        v.setLive(false);
        QVERIFY(!v.paused() && !v.following() && !v.valueFixed());
    }

    void cursorsStayUnderZoomAndPan()
    {
        ChartView v;
        v.setShown({0, 10}, {0, 1});
        v.setNextCursor(7); // Shift+click: A, then B
        v.setNextCursor(3);
        QCOMPARE(*v.cursorA(), 7.0);
        QCOMPARE(*v.cursorB(), 3.0);
        QCOMPARE(*v.cursorInterval(), (ViewRange{3, 7}));
        v.zoomTime(1, 0.1);
        v.pan(100, 5);
        v.zoomToBox(200, 300, 1, 2);
        v.reset();
        QCOMPARE(*v.cursorA(), 7.0);
        QCOMPARE(*v.cursorB(), 3.0);
        v.setNextCursor(4); // A again
        QCOMPARE(*v.cursorA(), 4.0);
        v.clearCursors();
        QVERIFY(!v.cursorA() && !v.cursorB() && !v.cursorInterval());
        v.setCursorB(2);
        QVERIFY(!v.cursorInterval());
        v.setNextCursor(1); // after a clear, Shift+click starts with A
        QCOMPARE(*v.cursorA(), 1.0);
    }

    void description()
    {
        ChartView v;
        v.setShown({32.849, 42.8}, {0, 1});
        QCOMPARE(v.description(2), std::string("time 32.85 to 42.80 s, 2 series"));
        QCOMPARE(v.description(0, ','), std::string("time 32,85 to 42,80 s, 0 series"));
    }

    void valueAtATime_data()
    {
        QTest::addColumn<double>("t");
        QTest::addColumn<bool>("has");
        QTest::addColumn<double>("value");
        QTest::newRow("before the first point") << 0.5 << false << 0.0;
        QTest::newRow("on a null point") << 1.0 << false << 0.0;
        QTest::newRow("after a null point, before the value") << 1.5 << false << 0.0;
        QTest::newRow("last of equal times") << 2.0 << true << 20.0;
        QTest::newRow("between points") << 2.9 << true << 20.0;
        QTest::newRow("exactly on a point") << 3.0 << true << -5.0;
        QTest::newRow("after the last point") << 99.0 << true << 7.0;
    }
    void valueAtATime()
    {
        QFETCH(double, t);
        QFETCH(bool, has);
        QFETCH(double, value);
        const auto v = Points({{1, kNull}, {2, 10}, {2, 20}, {3, -5}, {4, 7}});
        const auto got = ValueAt(Span(v), t);
        QCOMPARE(got.has_value(), has);
        if (has) {
            QCOMPARE(*got, value);
        }
    }

    // Hand computed: between 2 and 5 the drawn values are 4, -1, 3 and 2
    // (the null point at 3 left out): min -1, max 4, mean 8/4 = 2,
    // RMS sqrt((16 + 1 + 9 + 4) / 4) = sqrt(7.5).
    void statisticsBetweenCursors()
    {
        const auto v = Points({{1, 100}, {2, 4}, {3, kNull}, {3.5, -1}, {4, 3}, {5, 2}, {6, -100}});
        const IntervalStatistics s = StatisticsBetween(Span(v), {2, 5});
        QCOMPARE(s.count, 4LL);
        QCOMPARE(s.min, -1.0);
        QCOMPARE(s.max, 4.0);
        QCOMPARE(s.mean, 2.0);
        QCOMPARE(s.rms, std::sqrt(7.5));
        QCOMPARE(StatisticsBetween(Span(v), {6.5, 9}).count, 0LL);
        double lo = 0;
        double hi = 0;
        QVERIFY(ValueRangeBetween(Span(v), {1.5, 5.5}, lo, hi));
        QCOMPARE(lo, -1.0);
        QCOMPARE(hi, 4.0);
        QVERIFY(!ValueRangeBetween(Span(v), {2.9, 3.1}, lo, hi)); // only a null point
    }

    // The block ranges answer as the plain scan does, for ranges that start
    // and end inside blocks, on their edges, and cover none or all.
    void blockRangesAgreeWithTheScan()
    {
        std::vector<QCPGraphData> v;
        const int n = int(3 * BlockValueRanges::kBlock + 17);
        for (int k = 0; k < n; ++k) {
            const double y = (k % 97 == 0) ? NullPointValue() : std::sin(k * 0.37) * (k % 13) + (k == 500 ? 1e9 : 0);
            v.emplace_back(k * 0.5, y);
        }
        BlockValueRanges blocks;
        QVERIFY(!blocks.current(7));
        blocks.build(Span(v), 7);
        QVERIFY(blocks.current(7));
        QVERIFY(!blocks.current(8));
        const double edge = double(BlockValueRanges::kBlock) * 0.5;
        const ViewRange ranges[] = {{0, 1e9},        {-5, -1},         {3.2, 7.9},         {edge, 2 * edge},
                                    {edge - 0.5, 2 * edge + 0.5}, {10, 300}, {251, 251}, {1e6, 2e6}};
        for (const ViewRange r : ranges) {
            double lo1 = 0, hi1 = 0, lo2 = 0, hi2 = 0;
            const bool a = ValueRangeBetween(Span(v), r, lo1, hi1);
            const bool b = blocks.range(Span(v), r, lo2, hi2);
            QCOMPARE(b, a);
            if (a) {
                QCOMPARE(lo2, lo1);
                QCOMPARE(hi2, hi1);
            }
        }
    }

    // One row per distinct time, the last point of a time, empty cells for
    // no point and for null points, numbers in their shortest exact form.
    void csvText()
    {
        const auto a = Points({{1, kNull}, {1, 0.1}, {2, 1e20}, {2, -3}, {4, 2.5}});
        const auto b = Points({{1, kNull}, {3, kNull}, {4, 1.0 / 3}});
        const std::vector<CsvColumnPoints> columns = {{QStringLiteral("Demo.altitude"), Span(a)},
                                                      {QStringLiteral("odd,key"), Span(b)}};
        QCOMPARE(QString::fromStdString(CsvText(columns, {0, 10})),
                 QStringLiteral("time,Demo.altitude,\"odd,key\"\n"
                                "1,0.1,\n"
                                "2,-3,\n"
                                "3,,\n"
                                "4,2.5,0.3333333333333333\n"));
        QCOMPARE(QString::fromStdString(CsvText(columns, {2, 3})),
                 QStringLiteral("time,Demo.altitude,\"odd,key\"\n2,-3,\n3,,\n"));
        QCOMPARE(QString::fromStdString(CsvText({}, {0, 1})), QStringLiteral("time\n"));
    }
};

KESTRIX_GUILESS_TEST(TestChartView)
#include "test_chart_view.moc"
