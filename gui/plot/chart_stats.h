// Values read off the Graph window's series: the value at a time, the
// statistics between the A and B cursors, the value range inside a time
// range. They work on a series' points as the chart holds them (sorted by
// time; a null point is a NaN that is not drawn) without any widget.
#pragma once

#include "plot/chart_view.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class QCPGraph;
class QCPGraphData;

namespace kestrix::gui {

using ChartPoints = std::span<const QCPGraphData>;

// The points of a series, in time order.
ChartPoints SeriesPoints(const QCPGraph* series);

// The value of the last point at or before `t` (the one drawn last among
// points at the same time); none before the first point, or when that point
// is a null point.
std::optional<double> ValueAt(ChartPoints points, double t);

// The drawn values (finite, null points left out) with lower <= time <= upper.
struct IntervalStatistics {
    long long count = 0;
    double min = 0;
    double max = 0;
    double mean = 0;
    double rms = 0;
};
IntervalStatistics StatisticsBetween(ChartPoints points, ViewRange time);

// The range of the drawn values inside `time`; false when there are none.
bool ValueRangeBetween(ChartPoints points, ViewRange time, double& lower, double& upper);

// The points with lower <= time <= upper.
ChartPoints PointsBetween(ChartPoints points, ViewRange time);

// ValueRangeBetween for a series that is asked often and changes seldom (a
// zoomed or panned recording): the range of every block of points is kept,
// so that a query reads two part blocks and one entry per whole block.
class BlockValueRanges {
public:
    static constexpr std::size_t kBlock = 256;

    // Built for `points` at `revision` (a number that changes with them).
    bool current(uint64_t revision) const { return built_ && revision == revision_; }
    void build(ChartPoints points, uint64_t revision);
    // As ValueRangeBetween; `points` are those it was built for.
    bool range(ChartPoints points, ViewRange time, double& lower, double& upper) const;

private:
    bool built_ = false;
    uint64_t revision_ = 0;
    std::vector<double> lower_; // per block; NaN for a block without values
    std::vector<double> upper_;
};

} // namespace kestrix::gui
