// One axis of the Graph window's chart with the range rules the window and the
// axis dialogs rely on.
//
// Each end of the axis is either automatic, following the plotted data, or
// fixed. A fixed maximum may not lie below the current minimum, nor a fixed
// minimum above the current maximum: such a setting is refused with an
// AxisRangeError and the axis keeps its range. (The chart component itself
// knows neither automatic ends nor refusals; it would swap reversed bounds.)
#pragma once

#include <QObject>

#include <functional>
#include <stdexcept>
#include <utility>

class QCustomPlot;
class QCPAxis;

namespace kestrix::gui {

class AxisRangeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr char kAxisMaximumRefused[] = "Axis Maximum Value must be >= Minimum";
inline constexpr char kAxisMinimumRefused[] = "Axis Minimum Value must be <= Maximum";

class ChartAxis : public QObject {
    Q_OBJECT
public:
    // `axis` belongs to `chart`. Both ends start automatic; the automatic ends
    // are brought up to date before every replot of the chart.
    ChartAxis(QCustomPlot* chart, QCPAxis* axis);

    QCPAxis* axis() const { return axis_; }

    bool automaticMaximum() const { return autoMax_; }
    bool automaticMinimum() const { return autoMin_; }
    // Switching an end off keeps it where it is now.
    void setAutomaticMaximum(bool on);
    void setAutomaticMinimum(bool on);
    // Both ends at once (the axis' "automatic range").
    void setAutomatic(bool on);

    // The current limits; an automatic end follows the data as it is now
    // (without data it stays where it was).
    double maximum() const { return limits().second; }
    double minimum() const { return limits().first; }

    // Fix an end. Throws AxisRangeError (kAxisMaximumRefused /
    // kAxisMinimumRefused) when the value crosses the other end; equal ends
    // are allowed. An end left automatic follows the data again at once.
    void setMaximum(double value);
    void setMinimum(double value);

    // Brings the automatic ends up to date and shows the range on the axis.
    void update();
    // Asks for a repaint of the chart on the next turn of the event loop.
    void requestReplot();

    // Where the automatic ends come from: the finite range of the plotted
    // data on this axis (false when there is none). By default the keys or
    // values of every graph on the axis, scanned when asked.
    std::function<bool(double& lower, double& upper)> dataRange;

private:
    // (minimum, maximum).
    std::pair<double, double> limits() const;
    bool scanGraphs(double& lower, double& upper) const;
    void apply();

    QCustomPlot* chart_;
    QCPAxis* axis_;
    bool autoMax_ = true;
    bool autoMin_ = true;
    // The fixed ends, or the automatic ones as last brought up to date.
    double min_;
    double max_;
};

// The Graph window's two axes, for the axis dialogs: set by the Graph window
// when it is built, null once it has gone.
enum class GraphAxisRole { Left, Bottom };
void SetGraphAxis(GraphAxisRole role, ChartAxis* axis);
ChartAxis* GraphAxis(GraphAxisRole role);

} // namespace kestrix::gui
