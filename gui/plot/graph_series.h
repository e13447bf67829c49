// The plotted fields of the Graph window and their chart series, apart from
// the window's controls: the plotting pass AddRecordPoints, the replay of a
// whole recording ("Draw Graph") and the edits of the field list.
//
// Field i has a plot key, its catalogue entry (none for keys without one), a
// multiplier kept as text, and its series on the chart, all in one list;
// SeriesList (kit/shared_state.h) is a view of that list's series. A
// series keeps its points in ascending order of x; a point whose x equals
// existing x values goes after them.
//
// A null point stays in its series, counts and reads back as y = 0, but is
// not drawn: the chart holds it as a NaN (a gap in the line) carrying a
// payload of its own, which no catalogue value can produce.
#pragma once

#include "kestrix/decoder.h"
#include "kestrix/link_counts.h"
#include "kestrix/plot_fields.h"
#include "kestrix/stream_reader.h"
#include "kit/shared_state.h"

#include <QColor>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QCustomPlot;
class QCPGraph;

namespace kestrix::gui {

class ChartAxis;

// The colour of the series at 1-based position n: entry n of the palette;
// from the 12th series on the palette starts over (12 -> entry 1).
extern const std::array<QColor, 11> SeriesPalette;
QColor SeriesColour(int n);

// Holds GraphBusy for its lifetime: one count up, and down again at its end,
// so that an inner guard never clears it under an outer one.
class GraphBusyGuard {
public:
    GraphBusyGuard();
    ~GraphBusyGuard();
    GraphBusyGuard(const GraphBusyGuard&) = delete;
    GraphBusyGuard& operator=(const GraphBusyGuard&) = delete;
};

// How a null point is stored in the chart, and how stored values read back.
double NullPointValue();
bool IsNullPoint(double storedValue);
inline double ReadBackValue(double storedValue)
{
    return IsNullPoint(storedValue) ? 0.0 : storedValue;
}

// Points of a series as the plotting rules see them.
int PointCount(const QCPGraph* series);
double PointX(const QCPGraph* series, int k);
double PointY(const QCPGraph* series, int k); // 0 for a null point
bool PointIsNull(const QCPGraph* series, int k);

// A multiplier as the field list keeps it: general format, up to 15
// significant digits, the locale's decimal separator; and read back.
QString MultiplierText(double value);
double MultiplierValue(const QString& text);

// A number never handed out before (a new revision of some points).
uint64_t NewPointsRevision();

class GraphSeries {
public:
    // `bottomAxis` is the chart's bottom axis; live passes scroll it.
    GraphSeries(QCustomPlot* chart, ChartAxis* bottomAxis);
    ~GraphSeries();
    GraphSeries(const GraphSeries&) = delete;
    GraphSeries& operator=(const GraphSeries&) = delete;

    // Read at every pass: whether the stream source is "live", and the width
    // of the live scroll window in seconds.
    std::function<bool()> liveSource = [] { return false; };
    std::function<double()> scrollTime = [] { return 10.0; };
    // While it says so, live passes leave the bottom axis where the operator
    // zoomed or panned it.
    std::function<bool()> scrollPaused = [] { return false; };
    // The link counts (Link.* keys) of a pass outside a replay: those of the
    // live stream. A replay counts the recording's packet numbers itself.
    std::function<LinkValues()> liveLink = [] { return LinkValues{}; };

    int count() const { return int(fields_.size()); }
    const QString& key(int i) const { return fields_[std::size_t(i)].key; }
    const PlotField* entry(int i) const { return fields_[std::size_t(i)].entry; }
    const QString& multiplierText(int i) const { return fields_[std::size_t(i)].multiplierText; }
    void setMultiplierText(int i, const QString& text);
    QCPGraph* series(int i) const;

    // Appends a field with multiplier "1" and a new series coloured by its
    // position; returns its index.
    int add(const QString& key);
    // Removes field k and its series; later series keep their colours.
    void remove(int k);
    void removeAll();
    // Deletes every point; fields, series and colours stay.
    void clearPoints();
    // Draws series k over all others (the field order is unchanged).
    void bringToFront(int k);

    // The plotting pass for the packet decoded last into Navdata. Throws
    // AxisRangeError when the live scroll window cannot be set; the points
    // are in place by then.
    void addRecordPoints();

    // "Draw Graph" without its checks: new series coloured by position, every
    // packet of `stream` decoded into Navdata from offset 0 and plotted,
    // then the last point of every series with more than one removed. Gives
    // exactly the series of one pass per decode, computed in bulk.
    void drawStream(ByteSpan stream);
    // The same over a reader (a recording read on demand); the reader's
    // failure (StreamReadError) ends the pass, thrown to the caller.
    // `expectedRecords`, when known (the record index's count), lets every
    // series take its memory at once.
    void drawStream(StreamReader& stream, int32_t expectedRecords = 0);
    // The same, one addRecordPoints() per decode (for comparison, and where
    // passes scroll the bottom axis).
    void drawStreamPassByPass(ByteSpan stream);
    void drawStreamPassByPass(StreamReader& stream);

    // The range of the drawn values (null points and infinities left out) of
    // every series, false when there are none. Kept up to date as points are
    // added, so that the left axis' automatic range costs nothing per repaint.
    bool valueRange(double& lower, double& upper) const;
    // The same for series i alone.
    bool valueRange(int i, double& lower, double& upper) const;

    // What is known of the drawn values of one series.
    struct ValueRange {
        bool known = true; // false: to be scanned again
        bool any = false;
        double lower = 0;
        double upper = 0;
        // Changes with every change of the series' points.
        uint64_t revision = NewPointsRevision();
        void include(double v);
    };
    // The revision of series i's points (see ValueRange).
    uint64_t pointsRevision(int i) const;

private:
    struct Field {
        QString key;
        const PlotField* entry;
        std::optional<LinkKey> link; // a Link.* key (no catalogue entry)
        QString multiplierText;
        QCPGraph* series;
        mutable ValueRange range;
    };
    friend class SeriesListView;

    QCPGraph* newSeries(int position);
    void rebuildSeries();
    void scrollBottomAxis(double time);
    void replayInBulk(StreamReader& stream, int32_t expectedRecords);
    bool plotsLink() const;

    const LinkValues* replayLink_ = nullptr; // during a replay: its counts
    QCustomPlot* chart_;
    ChartAxis* bottomAxis_;
    std::vector<Field> fields_;
};

} // namespace kestrix::gui
