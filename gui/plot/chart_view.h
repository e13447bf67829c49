// What the Graph window's chart shows beyond its data: the user's zoom and
// pan, whether live scrolling is paused, and the A/B cursors. Free of widgets
// and of the chart component, so that its rules are tested on their own; the
// chart tools apply it to the chart's axes.
//
// An axis range is either left to the window's written rules (automatic in
// file mode, the live scroll window for the time axis in live mode) or fixed
// by a zoom or pan. Cursors are times, so they stay at their time under any
// zoom or pan.
#pragma once

#include <optional>
#include <string>

namespace kestrix::gui {

struct ViewRange {
    double lower = 0;
    double upper = 1;

    double size() const { return upper - lower; }
    bool contains(double v) const { return v >= lower && v <= upper; }
    bool operator==(const ViewRange&) const = default;
};

// `r` scaled by `factor` (< 1 zooms in) about `center`, which keeps its place
// on the axis. A factor that is not positive and finite leaves `r` alone.
ViewRange ZoomedAbout(ViewRange r, double center, double factor);
// `r` moved by `delta`.
ViewRange Shifted(ViewRange r, double delta);

class ChartView {
public:
    // The zoom factor of one wheel step or one "+" key (its inverse for "-").
    static constexpr double kZoomStep = 0.8;
    // The share of the time range one Left/Right key pans.
    static constexpr double kPanStep = 0.1;

    // "live" or "file", as the stream source says. Switching clears the zoom
    // and the pause (the written source switch resets the time axis).
    void setLive(bool live);
    bool live() const { return live_; }
    // A zoom or pan in live mode holds the scroll until reset().
    bool paused() const { return live_ && paused_; }
    // The time axis follows the live scroll window.
    bool following() const { return live_ && !paused_; }

    // The ranges the axes show now (the window reports them after every
    // change it did not ask for: automatic ends, the live scroll).
    void setShown(ViewRange time, ViewRange value);
    ViewRange time() const { return time_; }
    ViewRange value() const { return value_; }
    // Fixed by a zoom or pan (the axes' automatic flags off).
    bool timeFixed() const { return timeFixed_; }
    bool valueFixed() const { return valueFixed_; }

    // Zoom and pan: each fixes the axes it moves and pauses a live view.
    void zoomTime(double center, double factor);
    void zoomValue(double center, double factor);
    void pan(double timeDelta, double valueDelta);
    // A box drawn on the chart; bounds in either order. An empty box (either
    // side of size 0) changes nothing and returns false.
    bool zoomToBox(double t0, double t1, double v0, double v1);
    // Keys: Left/Right pan by kPanStep of the range (direction -1 or +1);
    // +/- zoom by kZoomStep about the middle.
    void stepPan(int direction);
    void stepZoom(int direction); // +1 in, -1 out
    // Back to the written rules: both axes automatic, the live scroll resumed.
    void reset();

    // Cursors.
    void setCursorA(double t) { cursorA_ = t; }
    void setCursorB(double t) { cursorB_ = t; }
    // Shift+click: A first, then B, then A again.
    void setNextCursor(double t);
    void clearCursors();
    std::optional<double> cursorA() const { return cursorA_; }
    std::optional<double> cursorB() const { return cursorB_; }
    bool bothCursors() const { return cursorA_ && cursorB_; }
    // [min(A, B), max(A, B)] when both are set.
    std::optional<ViewRange> cursorInterval() const;

    // The chart's accessible description: "time 32.85 to 42.80 s, 2 series",
    // the decimal separator given.
    std::string description(int seriesCount, char decimalSeparator = '.') const;

private:
    void hold();

    bool live_ = false;
    bool paused_ = false;
    bool timeFixed_ = false;
    bool valueFixed_ = false;
    ViewRange time_;
    ViewRange value_;
    std::optional<double> cursorA_;
    std::optional<double> cursorB_;
    bool nextIsB_ = false;
};

} // namespace kestrix::gui
