// The chart tools of the Graph window: zoom and pan by wheel, drag, box and
// keys; a crosshair with a readout line under the chart; the time marker of
// the record the NavData window shows; A/B cursors with statistics; export of
// the plotted points and of the chart; the context menu that offers them.
//
// Everything here runs on the user-interface thread. The crosshair, marker,
// cursors, zoom box and "paused" mark draw on a layer of their own, which is
// repainted alone when only they change.
#pragma once

#include "plot/chart_stats.h"
#include "plot/chart_view.h"

#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QAction;
class QCPItemRect;
class QCPItemStraightLine;
class QCPItemText;
class QCPLayer;
class QCustomPlot;
class QLabel;
class QMenu;
class QWidget;

namespace kestrix::gui {

class ChartAxis;
class GraphSeries;

class ChartTools : public QObject {
    Q_OBJECT
public:
    // `readout` is the label under the chart; the tools write it.
    ChartTools(QCustomPlot* chart, ChartAxis* bottomAxis, ChartAxis* leftAxis, GraphSeries* series,
               QLabel* readout);
    ~ChartTools() override;

    // Read when needed: whether the stream source is "live", the width of the
    // live scroll window, the time of the newest live packet.
    std::function<bool()> liveSource = [] { return false; };
    std::function<double()> scrollTime = [] { return 10.0; };
    std::function<double()> latestTime = [] { return 0.0; };
    // Asks for a file name to export to; empty when cancelled. Stands in for
    // the save dialog in tests.
    std::function<QString(const QString& caption, const QString& filter)> saveFileName;

    const ChartView& view() const { return view_; }
    QCPLayer* overlay() const { return overlay_; }
    QMenu* contextMenu() const { return menu_; }

    // The stream source changed.
    void setLive(bool live);

    // Zoom and pan, as the mouse and keys do them (times and values in axis
    // units).
    void zoomTimeAbout(double center, double factor);
    void zoomValueAbout(double center, double factor);
    void pan(double timeDelta, double valueDelta);
    void zoomToBox(double t0, double t1, double v0, double v1);
    // "Reset view".
    void resetView();

    // The crosshair at time t, as the mouse over the plot area puts it; none
    // hides it.
    void setCrosshair(std::optional<double> t);
    std::optional<double> crosshair() const { return crosshair_; }

    // The time of the record the NavData window shows; none hides the marker.
    void setMarkerTime(std::optional<double> t);
    // Shown: a time is set, the source is "file" and the time lies in view.
    bool markerVisible() const;

    void setCursorA(double t);
    void setCursorB(double t);
    void clearCursors();

    // The readout line as plain text (also the label's accessible name).
    QString readoutText() const { return readoutPlain_; }

    // The exports of the context menu, to `path`; on failure the reason is
    // shown in the error box and returned.
    QString exportCsvTo(const QString& path);
    QString exportImageTo(const QString& path);
    // The time range "Export CSV..." writes: the cursors' interval when both
    // are set, else the visible one.
    ViewRange exportRange() const;

    // Opens the context menu for chart position `pos` (its cursor actions
    // then use the time there).
    void openContextMenu(QPoint pos);

    // Redraws the overlay alone.
    void repaintOverlay();

signals:
    // A zoom, pan, reset or other change of what the chart shows.
    void viewChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    bool inPlotArea(QPoint pos) const;
    double timeAt(QPoint pos) const;
    double valueAt(QPoint pos) const;
    void takeShownRanges();
    void applyView(bool time, bool value);
    void changed();
    void updateOverlay();
    void updateReadout();
    void updateDescription();
    bool valueRangeInView(double& lower, double& upper) const;
    void exportCsvByDialog();
    void exportImageByDialog();

    QCustomPlot* chart_;
    ChartAxis* bottom_;
    ChartAxis* left_;
    GraphSeries* series_;
    QLabel* readout_;
    ChartView view_;

    QCPLayer* overlay_;
    QCPItemStraightLine* crosshairLine_;
    QCPItemStraightLine* markerLine_;
    QCPItemStraightLine* cursorLine_[2];
    QCPItemText* cursorLabel_[2];
    QCPItemText* pausedMark_;
    QCPItemRect* box_;

    QMenu* menu_;
    QAction* resetAction_;
    QAction* cursorAAction_;
    QAction* cursorBAction_;
    QAction* clearAction_;
    QAction* imageAction_;
    QAction* csvAction_;

    // Per series: block ranges for the automatic value axis.
    mutable std::vector<BlockValueRanges> blocks_;

    std::optional<double> crosshair_;
    std::optional<double> marker_;
    double menuTime_ = 0;
    QString readoutPlain_;

    // Mouse gestures.
    enum class Drag { None, Pending, Pan, Box };
    Drag drag_ = Drag::None;
    QPoint pressPos_;
    QPoint lastPos_;
};

} // namespace kestrix::gui
