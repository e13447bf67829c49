// Live plotting: one pass per datagram that the main window decodes live.
//
// The datagram handler decodes an accepted datagram into Navdata and calls
// LiveDecodeHook, which queues a TDrawPoint pass and returns: the receiving
// side only ever waits for the decode. The pass runs as an event of its own
// on the user-interface thread, the only thread that touches the chart:
//
//   1. AddRecordPoints (the packet's points, the scroll of the time axis);
//   2. ask for a repaint of the chart;
//   3. when the NavData window's "live" box is enabled and ticked, ask for a
//      refresh of its field edits;
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

class QWidget;

namespace kestrix::gui {

class TDrawPoint {
public:
    // LiveDecodeHook: queues one pass for the packet just decoded.
    static void Start();

private:
    void run();
};

// Installs TDrawPoint::Start as LiveDecodeHook, with its frame pacing owned
// by `owner` (the Graph window). RemoveLivePlotting undoes it.
void InstallLivePlotting(QWidget* owner);
void RemoveLivePlotting();

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

} // namespace kestrix::gui
