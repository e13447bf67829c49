#include "session/thread.h"

#include "kit/shared_state.h"
#include "kit/ui_thread.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <cmath>

namespace kestrix::gui {

namespace {

LivePlotCounts counts;

// Where the passes draw; each target is dropped with its owner.
struct PlotTarget {
    QPointer<QObject> owner;
    std::function<void()> addPoints;
    std::function<void()> repaint;
    bool valid() const { return owner && addPoints; }
} plot;

struct FieldsTarget {
    QPointer<QObject> owner;
    std::function<bool()> wanted;
    std::function<void()> refresh;
    bool valid() const { return owner && wanted && refresh; }
} fields;

// Serves the repaint and field-refresh requests of the passes, at most once
// per frame.
class FramePacer : public QObject {
public:
    FramePacer()
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, [this] {
            // A packet decoded but not plotted yet: its pass ends with the
            // frame, so that the chart and the fields show that packet.
            if (!LivePassRunning()) {
                drawWhenDue();
            }
        });
    }

    // Called at the end of a pass, while Navdata holds its packet.
    void request(bool wantFields)
    {
        replotWanted_ = true;
        fieldsWanted_ = fieldsWanted_ || wantFields;
        drawWhenDue();
    }

    // Nothing pending, no frame drawn yet.
    void reset()
    {
        timer_.stop();
        drawn_.invalidate();
        replotWanted_ = false;
        fieldsWanted_ = false;
    }

private:
    void drawWhenDue()
    {
        if (drawn_.isValid()) {
            const double sinceMs = double(drawn_.nsecsElapsed()) / 1e6;
            if (sinceMs < kLiveFrameMs) {
                if (!timer_.isActive()) {
                    timer_.start(int(std::ceil(kLiveFrameMs - sinceMs)));
                }
                return;
            }
        }
        draw();
    }

    void draw()
    {
        timer_.stop();
        if (!replotWanted_ && !fieldsWanted_) {
            return;
        }
        drawn_.start();
        const bool replot = replotWanted_;
        const bool refresh = fieldsWanted_;
        replotWanted_ = false;
        fieldsWanted_ = false;
        try {
            if (replot && plot.owner && plot.repaint) {
                plot.repaint();
                ++counts.repaints;
            }
            if (refresh && fields.valid()) {
                fields.refresh();
                ++counts.fieldRefreshes;
            }
        } catch (...) {
            // Live drawing never stops streaming: a frame that fails is
            // dropped, the next pass asks again.
        }
    }

    QTimer timer_;
    QElapsedTimer drawn_;
    bool replotWanted_ = false;
    bool fieldsWanted_ = false;
};

FramePacer& Pacer()
{
    // Lives as long as the program; reachable, so never reported as a leak.
    static auto* pacer = new FramePacer;
    return *pacer;
}

bool IsLivePlottingHook()
{
    auto* f = LiveDecodeHook.target<void (*)()>();
    return f && *f == &TDrawPoint::Start;
}

} // namespace

void TDrawPoint::Start()
{
    PostToUi([] { TDrawPoint().run(); });
}

void TDrawPoint::run()
{
    struct End {
        ~End() { LiveDecodeFinished(); }
    } end;
    ++counts.passes;
    bool wantFields = false;
    try {
        AddRecordPoints();
        wantFields = fields.valid() && fields.wanted();
    } catch (...) {
        // Counted; a live pass never reaches the operator.
        ++counts.failedPasses;
        return;
    }
    if (plot.owner) {
        Pacer().request(wantFields);
    }
}

void AddRecordPoints()
{
    if (plot.valid()) {
        plot.addPoints();
    }
}

void InstallLivePlotting(QObject* owner, std::function<void()> addPoints, std::function<void()> repaint)
{
    plot = {owner, std::move(addPoints), std::move(repaint)};
    Pacer().reset();
    counts = {};
    LiveDecodeHook = &TDrawPoint::Start;
}

void RemoveLivePlotting()
{
    if (IsLivePlottingHook()) {
        LiveDecodeHook = {};
    }
    plot = {};
    Pacer().reset();
}

void SetLiveFieldsTarget(QObject* owner, std::function<bool()> wanted, std::function<void()> refresh)
{
    fields = {owner, std::move(wanted), std::move(refresh)};
}

LivePlotCounts LivePlotStatistics()
{
    return counts;
}

void ResetLivePlotStatistics()
{
    counts = {};
}

void ResetLivePlotting()
{
    counts = {};
    Pacer().reset();
}

} // namespace kestrix::gui
