#include "plot/chart_view.h"

#include <algorithm>
#include <cmath>
#include <charconv>
#include <system_error>

namespace kestrix::gui {

ViewRange ZoomedAbout(ViewRange r, double center, double factor)
{
    if (!(factor > 0) || !std::isfinite(factor) || !std::isfinite(center)) {
        return r;
    }
    return {center + (r.lower - center) * factor, center + (r.upper - center) * factor};
}

ViewRange Shifted(ViewRange r, double delta)
{
    if (!std::isfinite(delta)) {
        return r;
    }
    return {r.lower + delta, r.upper + delta};
}

void ChartView::setLive(bool live)
{
    if (live != live_) {
        live_ = live;
        reset();
    }
}

void ChartView::setShown(ViewRange time, ViewRange value)
{
    time_ = time;
    value_ = value;
}

void ChartView::hold()
{
    paused_ = live_;
}

void ChartView::zoomTime(double center, double factor)
{
    const ViewRange r = ZoomedAbout(time_, center, factor);
    if (r == time_ || !(r.size() > 0)) {
        return;
    }
    time_ = r;
    timeFixed_ = true;
    hold();
}

void ChartView::zoomValue(double center, double factor)
{
    const ViewRange r = ZoomedAbout(value_, center, factor);
    if (r == value_ || !(r.size() > 0)) {
        return;
    }
    value_ = r;
    valueFixed_ = true;
    hold();
}

void ChartView::pan(double timeDelta, double valueDelta)
{
    if (timeDelta != 0 && std::isfinite(timeDelta)) {
        time_ = Shifted(time_, timeDelta);
        timeFixed_ = true;
        hold();
    }
    if (valueDelta != 0 && std::isfinite(valueDelta)) {
        value_ = Shifted(value_, valueDelta);
        valueFixed_ = true;
        hold();
    }
}

bool ChartView::zoomToBox(double t0, double t1, double v0, double v1)
{
    const ViewRange t{std::min(t0, t1), std::max(t0, t1)};
    const ViewRange v{std::min(v0, v1), std::max(v0, v1)};
    if (!(t.size() > 0) || !(v.size() > 0) || !std::isfinite(t.size()) || !std::isfinite(v.size())) {
        return false;
    }
    time_ = t;
    value_ = v;
    timeFixed_ = true;
    valueFixed_ = true;
    hold();
    return true;
}

void ChartView::stepPan(int direction)
{
    pan(direction * kPanStep * time_.size(), 0);
}

void ChartView::stepZoom(int direction)
{
    const double factor = direction > 0 ? kZoomStep : 1 / kZoomStep;
    zoomTime((time_.lower + time_.upper) / 2, factor);
}

void ChartView::reset()
{
    timeFixed_ = false;
    valueFixed_ = false;
    paused_ = false;
}

void ChartView::setNextCursor(double t)
{
    if (nextIsB_) {
        cursorB_ = t;
    } else {
        cursorA_ = t;
    }
    nextIsB_ = !nextIsB_;
}

void ChartView::clearCursors()
{
    cursorA_.reset();
    cursorB_.reset();
    nextIsB_ = false;
}

std::optional<ViewRange> ChartView::cursorInterval() const
{
    if (!bothCursors()) {
        return std::nullopt;
    }
    return ViewRange{std::min(*cursorA_, *cursorB_), std::max(*cursorA_, *cursorB_)};
}

namespace {

// Fixed, two decimals, whatever the C locale says.
std::string TwoDecimals(double v, char decimalSeparator)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    std::string s(buf, r.ec == std::errc{} ? r.ptr : buf);
    std::replace(s.begin(), s.end(), '.', decimalSeparator);
    return s;
}

} // namespace

std::string ChartView::description(int seriesCount, char decimalSeparator) const
{
    return "time " + TwoDecimals(time_.lower, decimalSeparator) + " to " + TwoDecimals(time_.upper, decimalSeparator)
           + " s, " + std::to_string(seriesCount) + " series";
}

} // namespace kestrix::gui
