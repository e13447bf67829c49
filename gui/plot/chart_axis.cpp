#include "plot/chart_axis.h"

#include <QPointer>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace kestrix::gui {

ChartAxis::ChartAxis(QCustomPlot* chart, QCPAxis* axis)
    : QObject(chart), chart_(chart), axis_(axis), min_(axis->range().lower), max_(axis->range().upper)
{
    dataRange = [this](double& lower, double& upper) { return scanGraphs(lower, upper); };
    connect(chart, &QCustomPlot::beforeReplot, this, &ChartAxis::update);
}

void ChartAxis::setAutomaticMaximum(bool on)
{
    if (autoMax_ && !on) {
        max_ = maximum();
    }
    autoMax_ = on;
    update();
}

void ChartAxis::setAutomaticMinimum(bool on)
{
    if (autoMin_ && !on) {
        min_ = minimum();
    }
    autoMin_ = on;
    update();
}

void ChartAxis::setAutomatic(bool on)
{
    setAutomaticMaximum(on);
    setAutomaticMinimum(on);
}

void ChartAxis::setMaximum(double value)
{
    if (value < minimum()) {
        throw AxisRangeError(kAxisMaximumRefused);
    }
    max_ = value;
    update();
}

void ChartAxis::setMinimum(double value)
{
    if (value > maximum()) {
        throw AxisRangeError(kAxisMinimumRefused);
    }
    min_ = value;
    update();
}

void ChartAxis::update()
{
    const auto [lower, upper] = limits();
    min_ = lower;
    max_ = upper;
    apply();
}

bool ChartAxis::scanGraphs(double& lower, double& upper) const
{
    bool any = false;
    for (int i = 0; i < chart_->graphCount(); ++i) {
        QCPGraph* g = chart_->graph(i);
        bool found = false;
        QCPRange r;
        if (g->keyAxis() == axis_) {
            r = g->getKeyRange(found);
        } else if (g->valueAxis() == axis_) {
            r = g->getValueRange(found);
        } else {
            continue;
        }
        if (!found || !std::isfinite(r.lower) || !std::isfinite(r.upper)) {
            continue;
        }
        lower = any ? std::min(lower, r.lower) : r.lower;
        upper = any ? std::max(upper, r.upper) : r.upper;
        any = true;
    }
    return any;
}

std::pair<double, double> ChartAxis::limits() const
{
    double lower = min_;
    double upper = max_;
    if (autoMin_ || autoMax_) {
        double dataLower = 0;
        double dataUpper = 0;
        if (dataRange(dataLower, dataUpper)) {
            if (autoMin_) {
                lower = dataLower;
            }
            if (autoMax_) {
                upper = dataUpper;
            }
        }
        // An automatic end never crosses a fixed one.
        if (lower > upper) {
            if (autoMin_ && !autoMax_) {
                lower = upper;
            } else if (autoMax_ && !autoMin_) {
                upper = lower;
            }
        }
    }
    return {lower, upper};
}

void ChartAxis::apply()
{
    double lower = min_;
    double upper = max_;
    if (!(upper > lower)) {
        // Equal ends: show a little on either side (the chart cannot draw an
        // empty range).
        const double pad = std::max(1.0, std::abs(lower) * 1e-9);
        lower -= pad;
        upper += pad;
    }
    axis_->setRange(lower, upper);
}

void ChartAxis::requestReplot()
{
    chart_->replot(QCustomPlot::rpQueuedReplot);
}

namespace {
QPointer<ChartAxis> graphAxes[2];
}

void SetGraphAxis(GraphAxisRole role, ChartAxis* axis)
{
    graphAxes[int(role)] = axis;
}

ChartAxis* GraphAxis(GraphAxisRole role)
{
    return graphAxes[int(role)];
}

} // namespace kestrix::gui
