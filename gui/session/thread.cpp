#include "session/thread.h"

#include "plot/graph.h"
#include "kit/shared_state.h"
#include "navdata/tags.h"
#include "kit/ui_thread.h"
#include "kit/widgets.h"

#include <QElapsedTimer>
#include <QTimer>
#include <qcustomplot.h>

#include <cmath>

namespace kestrix::gui {

namespace {

LivePlotCounts counts;

// Serves the repaint and field-refresh requests of the passes, at most once
// per frame.
class FramePacer : public QObject {
public:
    explicit FramePacer(QObject* owner) : QObject(owner)
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
    void request(bool fields)
    {
        replotWanted_ = true;
        fieldsWanted_ = fieldsWanted_ || fields;
        drawWhenDue();
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
        const bool fields = fieldsWanted_;
        replotWanted_ = false;
        fieldsWanted_ = false;
        try {
            if (replot && Form5) {
                Form5->Chart1->replot();
                ++counts.repaints;
            }
            if (fields && Form4) {
                Form4->ShowNavdataFields();
                ++counts.fieldRefreshes;
            }
        } catch (...) {
            // Live drawing never stops streaming.
        }
    }

    QTimer timer_;
    QElapsedTimer drawn_;
    bool replotWanted_ = false;
    bool fieldsWanted_ = false;
};

FramePacer* pacer = nullptr;

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
    bool fields = false;
    try {
        AddRecordPoints();
        fields = Form4 && Form4->SCCheckbox2->isEnabled() && Form4->SCCheckbox2->isChecked();
    } catch (...) {
        ++counts.failedPasses;
        return;
    }
    if (pacer) {
        pacer->request(fields);
    }
}

void InstallLivePlotting(QWidget* owner)
{
    delete pacer;
    pacer = new FramePacer(owner);
    counts = {};
    LiveDecodeHook = &TDrawPoint::Start;
}

void RemoveLivePlotting()
{
    if (IsLivePlottingHook()) {
        LiveDecodeHook = {};
    }
    delete pacer;
    pacer = nullptr;
}

LivePlotCounts LivePlotStatistics()
{
    return counts;
}

void ResetLivePlotStatistics()
{
    counts = {};
}

} // namespace kestrix::gui
