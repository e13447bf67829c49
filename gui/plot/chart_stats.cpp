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

void BlockValueRanges::build(ChartPoints points, uint64_t revision)
{
    const std::size_t blocks = (points.size() + kBlock - 1) / kBlock;
    lower_.assign(blocks, std::nan(""));
    upper_.assign(blocks, std::nan(""));
    for (std::size_t b = 0; b < blocks; ++b) {
        const ChartPoints part = points.subspan(b * kBlock, std::min(kBlock, points.size() - b * kBlock));
        double lo = 0;
        double hi = 0;
        if (ValueRangeBetween(part, {part.front().key, part.back().key}, lo, hi)) {
            lower_[b] = lo;
            upper_[b] = hi;
        }
    }
    revision_ = revision;
    built_ = true;
}

bool BlockValueRanges::range(ChartPoints points, ViewRange time, double& lower, double& upper) const
{
    const ChartPoints in = PointsBetween(points, time);
    std::size_t first = std::size_t(in.data() - points.data());
    const std::size_t end = first + in.size();
    bool any = false;
    const auto take = [&](double lo, double hi) {
        if (std::isnan(lo)) {
            return;
        }
        lower = any ? std::min(lower, lo) : lo;
        upper = any ? std::max(upper, hi) : hi;
        any = true;
    };
    // Points one by one up to a block boundary, whole blocks, the rest.
    const auto single = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to; ++k) {
            const double v = points[k].value;
            if (std::isfinite(v)) {
                take(v, v);
            }
        }
    };
    const std::size_t headEnd = std::min(end, (first + kBlock - 1) / kBlock * kBlock);
    single(first, headEnd);
    first = headEnd;
    for (; first + kBlock <= end; first += kBlock) {
        take(lower_[first / kBlock], upper_[first / kBlock]);
    }
    single(first, end);
    return any;
}

} // namespace kestrix::gui
