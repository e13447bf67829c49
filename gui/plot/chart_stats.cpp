#include "plot/chart_stats.h"

#include "plot/graph_series.h"

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace kestrix::gui {

ChartPoints SeriesPoints(const QCPGraph* series)
{
    const QCPGraphDataContainer& d = *series->data();
    if (d.isEmpty()) {
        return {};
    }
    // The container keeps its points in one contiguous vector.
    return {&*d.constBegin(), std::size_t(d.size())};
}

std::optional<double> ValueAt(ChartPoints points, double t)
{
    const auto after =
        std::upper_bound(points.begin(), points.end(), t, [](double v, const QCPGraphData& p) { return v < p.key; });
    if (after == points.begin()) {
        return std::nullopt;
    }
    const double v = (after - 1)->value;
    if (IsNullPoint(v)) {
        return std::nullopt;
    }
    return v;
}

ChartPoints PointsBetween(ChartPoints points, ViewRange time)
{
    const auto lo =
        std::lower_bound(points.begin(), points.end(), time.lower, [](const QCPGraphData& p, double v) { return p.key < v; });
    const auto hi =
        std::upper_bound(lo, points.end(), time.upper, [](double v, const QCPGraphData& p) { return v < p.key; });
    return points.subspan(std::size_t(lo - points.begin()), std::size_t(hi - lo));
}

IntervalStatistics StatisticsBetween(ChartPoints points, ViewRange time)
{
    IntervalStatistics s;
    double sum = 0;
    double squares = 0;
    double lo = 0;
    double hi = 0;
    for (const QCPGraphData& p : PointsBetween(points, time)) {
        const double v = p.value;
        if (!std::isfinite(v)) {
            continue; // null points and gaps
        }
        if (s.count == 0) {
            lo = hi = v;
        } else {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        sum += v;
        squares += v * v;
        ++s.count;
    }
    if (s.count > 0) {
        s.min = lo;
        s.max = hi;
        s.mean = sum / double(s.count);
        s.rms = std::sqrt(squares / double(s.count));
    }
    return s;
}

bool ValueRangeBetween(ChartPoints points, ViewRange time, double& lower, double& upper)
{
    bool any = false;
    for (const QCPGraphData& p : PointsBetween(points, time)) {
        const double v = p.value;
        if (!std::isfinite(v)) {
            continue;
        }
        if (!any) {
            lower = upper = v;
            any = true;
        } else {
            lower = std::min(lower, v);
            upper = std::max(upper, v);
        }
    }
    return any;
}

} // namespace kestrix::gui
