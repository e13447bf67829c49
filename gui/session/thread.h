// Live plotting: one pass per datagram that the live pipeline decodes.
//
// The pipeline (session/live_pipeline.h) decodes an accepted datagram into
// Navdata and calls LiveDecodeHook, which queues a TDrawPoint pass and
// returns: the receiving side only ever waits for the decode. The pass runs as an event of its own
// on the user-interface thread, the only thread that touches the chart:
//
//   1. the plot target's points (the Graph window's AddRecordPoints: the
//      packet's points, the scroll of the time axis);
//   2. ask for a repaint of the chart;
//   3. when the fields target wants it (the NavData window's "live" box is
//      enabled and ticked), ask for a refresh of its field edits;
//   4. LiveDecodeFinished(): the next accepted datagram may be decoded.
//
// An error in step 1 ends the pass without asking for anything; it never
// reaches the operator. Repaints and field refreshes are served together, at
// most once per displayed frame, and only right after a pass, when Navdata
// holds the packet whose points were plotted last: the chart and the fields
// always show the same, latest packet.
//
// Since a pass is a single event on the thread that runs every Graph window
// edit, no pass can run in the middle of an edit.
#pragma once

#include <cstdint>
#include <functional>

class QObject;

namespace kestrix::gui {

class TDrawPoint {
public:
    // LiveDecodeHook: queues one pass for the packet just decoded.
    static void Start();

private:
    void run();
};

// Installs TDrawPoint::Start as LiveDecodeHook, with `owner` (the Graph
// window) as the plot target: `addPoints` is the plotting pass (it may throw;
// the pass then counts as failed), `repaint` repaints the chart. Counting
// starts again. RemoveLivePlotting undoes it; so does the owner's end.
void InstallLivePlotting(QObject* owner, std::function<void()> addPoints, std::function<void()> repaint);
void RemoveLivePlotting();

// The fields target: `wanted` says at each pass whether the field edits are
// to be refreshed, `refresh` refreshes them. Dropped with its owner (the
// NavData window).
void SetLiveFieldsTarget(QObject* owner, std::function<bool()> wanted, std::function<void()> refresh);

// The plot target's plotting pass, outside live passes too; does nothing
// without a plot target.
void AddRecordPoints();

// Shortest time between two repaints of the live chart, milliseconds.
inline constexpr double kLiveFrameMs = 1000.0 / 60.0;

// Counted since InstallLivePlotting (or the last reset).
struct LivePlotCounts {
    uint64_t passes = 0;         // passes run
    uint64_t failedPasses = 0;   // passes ended by an error
    uint64_t repaints = 0;       // chart repaints done for passes
    uint64_t fieldRefreshes = 0; // ShowNavdataFields calls done for passes
};
LivePlotCounts LivePlotStatistics();
void ResetLivePlotStatistics();

// Zero counts and no frame pending (program start, tests); the targets stay
// with their windows.
void ResetLivePlotting();

} // namespace kestrix::gui
