#include "plot/chart_tools.h"

#include "plot/chart_axis.h"
#include "plot/chart_export.h"
#include "plot/chart_stats.h"
#include "plot/graph_series.h"
#include "kit/messages.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>
#include <qcustomplot.h>

#include <cmath>

namespace kestrix::gui {

namespace {

// A press and release closer than this (Manhattan, pixels) is a click, as the
// chart itself counts it.
constexpr int kClickSlop = 3;
// A box smaller than this on either side is not a zoom.
constexpr int kMinBox = 4;
// One Shift+Left/Right step of the keyboard crosshair, as a share of the
// visible time.
constexpr double kCrosshairStep = 0.01;

// Fixes `axis` to `r`, in the order its refusal rules accept.
void SetFixedRange(ChartAxis& axis, ViewRange r)
{
    axis.setAutomatic(false);
    if (r.lower > axis.maximum()) {
        axis.setMaximum(r.upper);
        axis.setMinimum(r.lower);
    } else {
        axis.setMinimum(r.lower);
        axis.setMaximum(r.upper);
    }
}

QCPItemStraightLine* VerticalLine(QCustomPlot* chart, QCPLayer* layer, const QPen& pen)
{
    auto* line = new QCPItemStraightLine(chart);
    line->setLayer(layer);
    line->setPen(pen);
    line->setSelectable(false);
    for (QCPItemPosition* p : {line->point1, line->point2}) {
        p->setTypeX(QCPItemPosition::ptPlotCoords);
        p->setTypeY(QCPItemPosition::ptAxisRectRatio);
    }
    line->point1->setCoords(0, 0);
    line->point2->setCoords(0, 1);
    line->setVisible(false);
    return line;
}

void PlaceLine(QCPItemStraightLine* line, double t)
{
    line->point1->setCoords(t, 0);
    line->point2->setCoords(t, 1);
}

// Series i of the chart, or null when there is none.
QCPGraph* SeriesAt(const GraphSeries& series, int i)
{
    return i >= 0 && i < series.count() ? series.series(i) : nullptr;
}

QString Seconds(const QLocale& l, double t)
{
    return l.toString(t, 'f', 3) + QStringLiteral(" s");
}

QString Number(const QLocale& l, double v)
{
    if (std::isnan(v)) {
        return QStringLiteral("nan");
    }
    return l.toString(v, 'g', 6);
}

QString Number(const QLocale& l, const std::optional<double>& v)
{
    return v ? Number(l, *v) : QStringLiteral("-");
}

} // namespace

ChartTools::ChartTools(QCustomPlot* chart, ChartAxis* bottomAxis, ChartAxis* leftAxis, GraphSeries* series,
                       QLabel* readout)
    : QObject(chart), chart_(chart), bottom_(bottomAxis), left_(leftAxis), series_(series), readout_(readout)
{
    chart_->addLayer(QStringLiteral("chart tools"), chart_->layer(QStringLiteral("main")), QCustomPlot::limAbove);
    overlay_ = chart_->layer(QStringLiteral("chart tools"));
    overlay_->setMode(QCPLayer::lmBuffered);

    crosshairLine_ = VerticalLine(chart_, overlay_, QPen(QColor(150, 150, 150), 0));
    QPen dashed(QColor(0, 0, 0), 1, Qt::DashLine);
    markerLine_ = VerticalLine(chart_, overlay_, dashed);
    for (int i = 0; i < 2; ++i) {
        cursorLine_[i] = VerticalLine(chart_, overlay_, QPen(QColor(0, 0, 0), 1.5));
        auto* label = new QCPItemText(chart_);
        label->setLayer(overlay_);
        label->setSelectable(false);
        label->position->setTypeX(QCPItemPosition::ptPlotCoords);
        label->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
        label->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setText(i == 0 ? QStringLiteral("A") : QStringLiteral("B"));
        label->setPadding(QMargins(3, 1, 3, 1));
        label->setBrush(QBrush(QColor(255, 255, 255, 220)));
        label->setVisible(false);
        cursorLabel_[i] = label;
    }
    pausedMark_ = new QCPItemText(chart_);
    pausedMark_->setLayer(overlay_);
    pausedMark_->setSelectable(false);
    pausedMark_->position->setType(QCPItemPosition::ptAxisRectRatio);
    pausedMark_->position->setCoords(1, 0);
    pausedMark_->setPositionAlignment(Qt::AlignRight | Qt::AlignTop);
    pausedMark_->setText(QStringLiteral("paused"));
    pausedMark_->setColor(QColor(160, 0, 0));
    pausedMark_->setPadding(QMargins(4, 2, 4, 2));
    pausedMark_->setVisible(false);
    box_ = new QCPItemRect(chart_);
    box_->setLayer(overlay_);
    box_->setSelectable(false);
    box_->setPen(QPen(QColor(0, 0, 160), 1, Qt::DotLine));
    box_->setBrush(QBrush(QColor(0, 0, 160, 30)));
    box_->setVisible(false);

    menu_ = new QMenu(chart_);
    menu_->setObjectName(QStringLiteral("ChartMenu"));
    const auto addAction = [this](const char* name, const QString& text, auto slot) {
        QAction* a = menu_->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, Guarded(chart_, slot));
        return a;
    };
    resetAction_ = addAction("ResetView", QStringLiteral("Reset view"), [this] { resetView(); });
    menu_->addSeparator();
    cursorAAction_ = addAction("SetCursorA", QStringLiteral("Set cursor A"), [this] { setCursorA(menuTime_); });
    cursorBAction_ = addAction("SetCursorB", QStringLiteral("Set cursor B"), [this] { setCursorB(menuTime_); });
    clearAction_ = addAction("ClearCursors", QStringLiteral("Clear cursors"), [this] { clearCursors(); });
    menu_->addSeparator();
    imageAction_ = addAction("ExportImage", QStringLiteral("Export image..."), [this] { exportImageByDialog(); });
    csvAction_ = addAction("ExportCsv", QStringLiteral("Export CSV..."), [this] { exportCsvByDialog(); });

    saveFileName = [this](const QString& caption, const QString& filter) {
        return QFileDialog::getSaveFileName(chart_->window(), caption, QString(), filter);
    };

    readout_->setObjectName(QStringLiteral("ChartReadout"));
    readout_->setTextFormat(Qt::RichText);
    readout_->setFocusPolicy(Qt::TabFocus);
    readout_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    readout_->setContentsMargins(4, 1, 4, 1);
    // Long lines are cut at the window's edge rather than widening it.
    readout_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    readout_->setMinimumWidth(1);
    readout_->setVisible(false);

    chart_->setMouseTracking(true);
    chart_->setFocusPolicy(Qt::StrongFocus);
    chart_->setToolTip(QStringLiteral("wheel: zoom time (Ctrl: value); drag: pan; Ctrl+drag: zoom to box; "
                                      "Shift+click: cursors A and B; right click: menu"));
    chart_->installEventFilter(this);

    // The automatic value range fits the points inside the visible time.
    left_->dataRange = [this](double& lower, double& upper) { return valueRangeInView(lower, upper); };
    series_->scrollPaused = [this] { return view_.paused(); };

    // The axes are brought up to date first (connected earlier); then the
    // overlay follows them, and the description the new range.
    connect(chart_, &QCustomPlot::beforeReplot, this, [this] { updateOverlay(); });
    connect(chart_, &QCustomPlot::afterReplot, this, [this] {
        updateDescription();
        updateReadout();
    });
    updateDescription();
}

ChartTools::~ChartTools()
{
    series_->scrollPaused = [] { return false; };
    left_->dataRange = [s = series_](double& lower, double& upper) { return s->valueRange(lower, upper); };
}

// ------------------------------------------------------------ geometry

bool ChartTools::inPlotArea(QPoint pos) const
{
    return chart_->axisRect()->rect().contains(pos);
}

double ChartTools::timeAt(QPoint pos) const
{
    return chart_->xAxis->pixelToCoord(pos.x());
}

double ChartTools::valueAt(QPoint pos) const
{
    return chart_->yAxis->pixelToCoord(pos.y());
}

bool ChartTools::valueRangeInView(double& lower, double& upper) const
{
    // The visible time: the bottom axis' own limits, automatic ends included.
    const ViewRange time{bottom_->minimum(), bottom_->maximum()};
    bool any = false;
    for (int i = 0; i < series_->count(); ++i) {
        const QCPGraph* g = SeriesAt(*series_, i);
        if (!g) {
            continue;
        }
        const ChartPoints points = SeriesPoints(g);
        if (points.empty()) {
            continue;
        }
        double lo = 0;
        double hi = 0;
        if (time.contains(points.front().key) && time.contains(points.back().key)) {
            // All of it in view: the range kept up to date as points arrive.
            if (!series_->valueRange(i, lo, hi)) {
                continue;
            }
        } else if (PointsBetween(points, time).size() > points.size() / 8) {
            // A large part of a long series (a zoom into a recording): its
            // block ranges, kept until its points change.
            if (blocks_.size() < std::size_t(series_->count())) {
                blocks_.resize(std::size_t(series_->count()));
            }
            BlockValueRanges& blocks = blocks_[std::size_t(i)];
            const uint64_t revision = series_->pointsRevision(i);
            if (!blocks.current(revision)) {
                blocks.build(points, revision);
            }
            if (!blocks.range(points, time, lo, hi)) {
                continue;
            }
        } else if (!ValueRangeBetween(points, time, lo, hi)) {
            continue;
        }
        lower = any ? std::min(lower, lo) : lo;
        upper = any ? std::max(upper, hi) : hi;
        any = true;
    }
    return any;
}

// ------------------------------------------------------------ view

void ChartTools::takeShownRanges()
{
    view_.setLive(liveSource());
    const QCPRange t = chart_->xAxis->range();
    const QCPRange v = chart_->yAxis->range();
    view_.setShown({t.lower, t.upper}, {v.lower, v.upper});
}

void ChartTools::applyView(bool time, bool value)
{
    if (time) {
        if (view_.timeFixed()) {
            SetFixedRange(*bottom_, view_.time());
        } else if (view_.following()) {
            const double latest = latestTime();
            if (latest != 0 && series_->count() > 0) {
                SetFixedRange(*bottom_, {latest - scrollTime(), latest});
            }
        } else {
            bottom_->setAutomatic(true);
        }
    }
    if (value) {
        if (view_.valueFixed()) {
            SetFixedRange(*left_, view_.value());
        } else {
            left_->setAutomatic(true);
        }
    }
    chart_->replot(QCustomPlot::rpQueuedReplot);
}

void ChartTools::changed()
{
    takeShownRanges();
    updateOverlay();
    updateDescription();
    updateReadout();
    emit viewChanged();
}

void ChartTools::setLive(bool live)
{
    view_.setLive(live);
    updateOverlay();
    repaintOverlay();
}

void ChartTools::zoomTimeAbout(double center, double factor)
{
    takeShownRanges();
    view_.zoomTime(center, factor);
    applyView(true, false);
    changed();
}

void ChartTools::zoomValueAbout(double center, double factor)
{
    takeShownRanges();
    view_.zoomValue(center, factor);
    applyView(false, true);
    changed();
}

void ChartTools::pan(double timeDelta, double valueDelta)
{
    takeShownRanges();
    view_.pan(timeDelta, valueDelta);
    applyView(timeDelta != 0, valueDelta != 0);
    changed();
}

void ChartTools::zoomToBox(double t0, double t1, double v0, double v1)
{
    takeShownRanges();
    if (view_.zoomToBox(t0, t1, v0, v1)) {
        applyView(true, true);
    }
    changed();
}

void ChartTools::resetView()
{
    takeShownRanges();
    view_.reset();
    applyView(true, true);
    changed();
}

// ------------------------------------------------------------ overlay

void ChartTools::setCrosshair(std::optional<double> t)
{
    if (t == crosshair_) {
        return;
    }
    crosshair_ = t;
    if (t) {
        PlaceLine(crosshairLine_, *t);
    }
    crosshairLine_->setVisible(t.has_value());
    repaintOverlay();
    updateReadout();
}

void ChartTools::setMarkerTime(std::optional<double> t)
{
    const bool shown = markerLine_->visible();
    marker_ = t;
    updateOverlay();
    if (shown || markerLine_->visible()) {
        repaintOverlay();
    }
}

bool ChartTools::markerVisible() const
{
    return marker_ && !liveSource() && ViewRange{bottom_->minimum(), bottom_->maximum()}.contains(*marker_);
}

void ChartTools::setCursorA(double t)
{
    view_.setCursorA(t);
    changed();
    repaintOverlay();
}

void ChartTools::setCursorB(double t)
{
    view_.setCursorB(t);
    changed();
    repaintOverlay();
}

void ChartTools::clearCursors()
{
    view_.clearCursors();
    changed();
    repaintOverlay();
}

void ChartTools::updateOverlay()
{
    if (marker_) {
        PlaceLine(markerLine_, *marker_);
    }
    markerLine_->setVisible(markerVisible());
    const std::optional<double> cursors[2] = {view_.cursorA(), view_.cursorB()};
    for (int i = 0; i < 2; ++i) {
        if (cursors[i]) {
            PlaceLine(cursorLine_[i], *cursors[i]);
            cursorLabel_[i]->position->setCoords(*cursors[i], 0);
        }
        cursorLine_[i]->setVisible(cursors[i].has_value());
        cursorLabel_[i]->setVisible(cursors[i].has_value());
    }
    pausedMark_->setVisible(view_.paused());
}

void ChartTools::repaintOverlay()
{
    // The layer's own buffer only; the series are not drawn again.
    overlay_->replot();
}

// ------------------------------------------------------------ readout

void ChartTools::updateReadout()
{
    // Group separators would read like the commas between the items.
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    QStringList plain;
    QStringList rich;
    const int n = series_->count();
    const auto colour = [this](int i) {
        const QCPGraph* g = SeriesAt(*series_, i);
        return g ? g->pen().color().name() : QStringLiteral("#000000");
    };
    const auto span = [](const QString& c, const QString& text) {
        return QStringLiteral("<span style=\"color:%1\">%2</span>").arg(c, text.toHtmlEscaped());
    };
    if (n > 0 && crosshair_) {
        QString p = QStringLiteral("time ") + Seconds(l, *crosshair_);
        QString r = p.toHtmlEscaped();
        for (int i = 0; i < n; ++i) {
            const QCPGraph* g = SeriesAt(*series_, i);
            const QString item =
                series_->key(i) + QLatin1Char(' ') + Number(l, g ? ValueAt(SeriesPoints(g), *crosshair_) : std::nullopt);
            p += QStringLiteral("   ") + item;
            r += QStringLiteral("&nbsp;&nbsp; ") + span(colour(i), item);
        }
        plain << p;
        rich << r;
    }
    if (n > 0 && (view_.cursorA() || view_.cursorB())) {
        QStringList head;
        if (view_.cursorA()) {
            head << QStringLiteral("A ") + Seconds(l, *view_.cursorA());
        }
        if (view_.cursorB()) {
            head << QStringLiteral("B ") + Seconds(l, *view_.cursorB());
        }
        if (view_.bothCursors()) {
            head << QStringLiteral("\u0394t ") + Seconds(l, *view_.cursorB() - *view_.cursorA());
        }
        plain << head.join(QStringLiteral(", "));
        rich << head.join(QStringLiteral(", ")).toHtmlEscaped();
        if (const auto between = view_.cursorInterval()) {
            for (int i = 0; i < n; ++i) {
                const QCPGraph* g = SeriesAt(*series_, i);
                const ChartPoints points = g ? SeriesPoints(g) : ChartPoints();
                const auto a = ValueAt(points, *view_.cursorA());
                const auto b = ValueAt(points, *view_.cursorB());
                const std::optional<double> d = a && b ? std::optional<double>(*b - *a) : std::nullopt;
                const IntervalStatistics s = StatisticsBetween(points, *between);
                QString item = series_->key(i) + QStringLiteral(": A ") + Number(l, a) + QStringLiteral(", B ")
                               + Number(l, b) + QStringLiteral(", \u0394 ") + Number(l, d);
                if (s.count > 0) {
                    item += QStringLiteral(", min ") + Number(l, s.min) + QStringLiteral(", max ") + Number(l, s.max)
                            + QStringLiteral(", mean ") + Number(l, s.mean) + QStringLiteral(", RMS ")
                            + Number(l, s.rms);
                } else {
                    item += QStringLiteral(", no points between A and B");
                }
                plain << item;
                rich << span(colour(i), item);
            }
        }
    }
    // The first line stays while there are series, blank away from the
    // plot area, so that the chart does not change its height under the mouse.
    if (n > 0 && !crosshair_) {
        plain.prepend(QString());
        rich.prepend(QStringLiteral("&nbsp;"));
    }
    const QString text = plain.join(QLatin1Char('\n')).trimmed();
    const QString html = rich.join(QStringLiteral("<br>"));
    if (readout_->isVisibleTo(readout_->parentWidget()) != (n > 0)) {
        readout_->setVisible(n > 0);
    }
    if (html != readout_->text()) {
        readout_->setText(html);
    }
    if (text != readoutPlain_) {
        readoutPlain_ = text;
        readout_->setAccessibleName(text);
    }
}

void ChartTools::updateDescription()
{
    takeShownRanges();
    const QString text = QString::fromStdString(
        view_.description(series_->count(), QLocale().decimalPoint().isEmpty() ? '.' : QLocale().decimalPoint()[0].toLatin1()));
    if (chart_->accessibleDescription() != text) {
        chart_->setAccessibleDescription(text);
    }
}

// ------------------------------------------------------------ exports

ViewRange ChartTools::exportRange() const
{
    if (const auto between = view_.cursorInterval()) {
        return *between;
    }
    return {bottom_->minimum(), bottom_->maximum()};
}

QString ChartTools::exportCsvTo(const QString& path)
{
    std::vector<CsvColumnPoints> columns;
    for (int i = 0; i < series_->count(); ++i) {
        const QCPGraph* g = SeriesAt(*series_, i);
        columns.push_back({series_->key(i), g ? SeriesPoints(g) : ChartPoints()});
    }
    const QString error = ExportCsv(path, columns, exportRange());
    if (!error.isEmpty()) {
        ShowErrorBox(chart_->window(), error);
    }
    return error;
}

QString ChartTools::exportImageTo(const QString& path)
{
    // The chart at its on-screen size with cursors and marker, without the
    // crosshair of the mouse that chose the menu entry.
    const bool crosshair = crosshairLine_->visible();
    crosshairLine_->setVisible(false);
    const QString error = ExportImage(chart_, path);
    crosshairLine_->setVisible(crosshair);
    if (!error.isEmpty()) {
        ShowErrorBox(chart_->window(), error);
    }
    return error;
}

void ChartTools::exportCsvByDialog()
{
    const QString path = saveFileName(QStringLiteral("Export CSV"), QStringLiteral("CSV files (*.csv)"));
    if (!path.isEmpty()) {
        exportCsvTo(path);
    }
}

void ChartTools::exportImageByDialog()
{
    const QString path =
        saveFileName(QStringLiteral("Export image"), QStringLiteral("Images (*.png *.svg *.pdf)"));
    if (!path.isEmpty()) {
        exportImageTo(path);
    }
}

// ------------------------------------------------------------ input

void ChartTools::openContextMenu(QPoint pos)
{
    menuTime_ = timeAt(pos);
    const bool series = series_->count() > 0;
    cursorAAction_->setEnabled(series);
    cursorBAction_->setEnabled(series);
    clearAction_->setEnabled(view_.cursorA() || view_.cursorB());
    menu_->popup(chart_->mapToGlobal(pos));
}

bool ChartTools::eventFilter(QObject* watched, QEvent* e)
{
    if (watched != chart_) {
        return QObject::eventFilter(watched, e);
    }
    switch (e->type()) {
    case QEvent::Wheel: {
        auto* w = static_cast<QWheelEvent*>(e);
        const QPoint pos = w->position().toPoint();
        if (!inPlotArea(pos)) {
            return false;
        }
        const QPoint angle = w->angleDelta();
        const double steps = (angle.y() != 0 ? angle.y() : angle.x()) / 120.0;
        if (steps == 0) {
            return true;
        }
        const double factor = std::pow(ChartView::kZoomStep, steps);
        if (w->modifiers() & Qt::ControlModifier) {
            zoomValueAbout(valueAt(pos), factor);
        } else {
            zoomTimeAbout(timeAt(pos), factor);
        }
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto* m = static_cast<QMouseEvent*>(e);
        const QPoint pos = m->position().toPoint();
        drag_ = Drag::None;
        if (m->button() == Qt::LeftButton && inPlotArea(pos)) {
            drag_ = Drag::Pending;
            pressPos_ = lastPos_ = pos;
        }
        return false; // the chart still sees it: a click stays a click
    }
    case QEvent::MouseMove: {
        auto* m = static_cast<QMouseEvent*>(e);
        const QPoint pos = m->position().toPoint();
        if (drag_ != Drag::None && (m->buttons() & Qt::LeftButton)) {
            if (drag_ == Drag::Pending && (pos - pressPos_).manhattanLength() > kClickSlop) {
                drag_ = (m->modifiers() & Qt::ControlModifier) ? Drag::Box : Drag::Pan;
            }
            if (drag_ == Drag::Pan) {
                pan(timeAt(lastPos_) - timeAt(pos), valueAt(lastPos_) - valueAt(pos));
                lastPos_ = pos;
            } else if (drag_ == Drag::Box) {
                box_->topLeft->setCoords(timeAt(pressPos_), valueAt(pressPos_));
                box_->bottomRight->setCoords(timeAt(pos), valueAt(pos));
                box_->setVisible(true);
                repaintOverlay();
            }
        }
        setCrosshair(inPlotArea(pos) ? std::optional<double>(timeAt(pos)) : std::nullopt);
        return false;
    }
    case QEvent::MouseButtonRelease: {
        auto* m = static_cast<QMouseEvent*>(e);
        const QPoint pos = m->position().toPoint();
        if (m->button() == Qt::LeftButton) {
            if (drag_ == Drag::Box) {
                box_->setVisible(false);
                const QPoint size = pos - pressPos_;
                if (std::abs(size.x()) >= kMinBox && std::abs(size.y()) >= kMinBox) {
                    zoomToBox(timeAt(pressPos_), timeAt(pos), valueAt(pressPos_), valueAt(pos));
                }
                repaintOverlay();
            } else if (drag_ == Drag::Pending && (m->modifiers() & Qt::ShiftModifier) && inPlotArea(pos)
                       && series_->count() > 0) {
                view_.setNextCursor(timeAt(pos));
                changed();
                repaintOverlay();
            }
            drag_ = Drag::None;
        }
        return false;
    }
    case QEvent::Leave:
        setCrosshair(std::nullopt);
        return false;
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(e);
        const bool shift = k->modifiers() & Qt::ShiftModifier;
        switch (k->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right: {
            const int direction = k->key() == Qt::Key_Left ? -1 : 1;
            if (shift) {
                // The keyboard crosshair, for the readout and the menu.
                const QCPRange t = chart_->xAxis->range();
                const double from = crosshair_ ? *crosshair_ : t.center();
                setCrosshair(from + direction * kCrosshairStep * t.size());
            } else {
                takeShownRanges();
                pan(direction * ChartView::kPanStep * view_.time().size(), 0);
            }
            return true;
        }
        case Qt::Key_Plus:
        case Qt::Key_Equal:
        case Qt::Key_Minus: {
            const QCPRange t = chart_->xAxis->range();
            zoomTimeAbout(t.center(), k->key() == Qt::Key_Minus ? 1 / ChartView::kZoomStep : ChartView::kZoomStep);
            return true;
        }
        case Qt::Key_Home:
            resetView();
            return true;
        default:
            return false;
        }
    }
    case QEvent::ContextMenu: {
        auto* c = static_cast<QContextMenuEvent*>(e);
        QPoint pos = c->pos();
        if (c->reason() != QContextMenuEvent::Mouse) {
            // From the keyboard: at the crosshair, else the middle.
            const QRect r = chart_->axisRect()->rect();
            pos = r.center();
            if (crosshair_) {
                pos.setX(int(chart_->xAxis->coordToPixel(*crosshair_)));
            }
        } else if (!inPlotArea(pos)) {
            return false;
        }
        openContextMenu(pos);
        return true;
    }
    default:
        return false;
    }
}

} // namespace kestrix::gui
