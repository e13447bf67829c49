#include "plot/graph_series.h"

#include "plot/chart_axis.h"
#include "kestrix/replay.h"
#include "kit/shared_state.h"

#include <QLocale>
#include <qcustomplot.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace kestrix::gui {

const std::array<QColor, 11> SeriesPalette = {
    QColor(255, 0, 0),   // red
    QColor(0, 128, 0),   // green
    QColor(0, 0, 255),   // blue
    QColor(128, 0, 0),   // maroon
    QColor(128, 128, 0), // olive
    QColor(0, 0, 128),   // navy
    QColor(128, 0, 128), // purple
    QColor(0, 128, 128), // teal
    QColor(0, 0, 0),     // black
    QColor(0, 255, 0),   // lime
    QColor(255, 0, 255), // fuchsia
};

QColor SeriesColour(int n)
{
    const int size = int(SeriesPalette.size());
    return SeriesPalette[std::size_t(((std::max(n, 1) - 1) % size))];
}

GraphBusyGuard::GraphBusyGuard()
{
    ++GraphBusy;
}

GraphBusyGuard::~GraphBusyGuard()
{
    if (GraphBusy > 0) {
        --GraphBusy;
    }
}

// ------------------------------------------------------------ SeriesList

namespace {
// The series model SeriesList shows: the one created last that still exists.
std::vector<const GraphSeries*> models;
} // namespace

const SeriesListView SeriesList;

std::size_t SeriesListView::size() const
{
    return models.empty() ? 0 : models.back()->fields_.size();
}

QCPGraph* SeriesListView::operator[](std::size_t i) const
{
    return models.back()->fields_[i].series;
}

SeriesListView::operator std::vector<QCPGraph*>() const
{
    std::vector<QCPGraph*> out;
    for (QCPGraph* g : *this) {
        out.push_back(g);
    }
    return out;
}

// ------------------------------------------------------------ null points

namespace {

// A quiet NaN whose low mantissa bits are set. A float NaN widened to double
// has its low 29 mantissa bits clear, and integers never give a NaN, so no
// catalogue value (times a multiplier) carries this payload.
constexpr uint64_t kNullBits = 0x7FF800004E554C4Cull;

} // namespace

double NullPointValue()
{
    return std::bit_cast<double>(kNullBits);
}

bool IsNullPoint(double storedValue)
{
    return std::bit_cast<uint64_t>(storedValue) == kNullBits;
}

int PointCount(const QCPGraph* series)
{
    return series->data()->size();
}

double PointX(const QCPGraph* series, int k)
{
    return series->data()->at(k)->key;
}

double PointY(const QCPGraph* series, int k)
{
    return ReadBackValue(series->data()->at(k)->value);
}

bool PointIsNull(const QCPGraph* series, int k)
{
    return IsNullPoint(series->data()->at(k)->value);
}

// ------------------------------------------------------------ multipliers

namespace {

QLocale NumberLocale()
{
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l;
}

} // namespace

QString MultiplierText(double value)
{
    return NumberLocale().toString(value, 'g', 15);
}

double MultiplierValue(const QString& text)
{
    return NumberLocale().toDouble(text);
}

// ------------------------------------------------------------ point rules

namespace {

bool KeyLess(const QCPGraphData& a, const QCPGraphData& b)
{
    return a.key < b.key;
}

// A series on the chart, and what is known of its range.
class ChartPoints {
public:
    ChartPoints(QCPGraph* g, GraphSeries::ValueRange& range) : d_(*g->data()), range_(range) {}

    int count() const { return d_.size(); }
    double y(int k) const { return ReadBackValue(d_.at(k)->value); }

    void insert(double x, double stored)
    {
        range_.include(stored);
        const bool append = d_.isEmpty() || x >= (d_.constEnd() - 1)->key;
        d_.add(QCPGraphData(x, stored));
        if (!append) {
            // The chart put it before its equals; move it behind them.
            const QCPGraphData probe(x, 0);
            const auto lo = std::lower_bound(d_.begin(), d_.end(), probe, KeyLess);
            const auto hi = std::upper_bound(lo, d_.end(), probe, KeyLess);
            std::rotate(lo, lo + 1, hi);
        }
    }

    void removeAt(int k)
    {
        // The chart removes the first point of a given x: move point k there
        // by shifting its equals (same x) one place up.
        const auto at = d_.begin() + k;
        const auto lo = std::lower_bound(d_.begin(), at, *at, KeyLess);
        std::rotate(lo, at, at + 1);
        d_.remove(lo->key);
        range_.known = false;
    }

private:
    QCPGraphDataContainer& d_;
    GraphSeries::ValueRange& range_;
};

// The first points of a series during a bulk replay.
class VectorPoints {
public:
    explicit VectorPoints(std::vector<QCPGraphData>& v) : v_(v) {}

    int count() const { return int(v_.size()); }
    double y(int k) const { return ReadBackValue(v_[std::size_t(k)].value); }

    void insert(double x, double stored)
    {
        const QCPGraphData p(x, stored);
        v_.insert(std::upper_bound(v_.begin(), v_.end(), p, KeyLess), p);
    }

    void removeAt(int k) { v_.erase(v_.begin() + k); }

private:
    std::vector<QCPGraphData>& v_;
};

// The value a key plots: its catalogue field in the state, or its link count.
double KeyValue(const PlotField* entry, const std::optional<LinkKey>& link, const NavdataState& state,
                const LinkValues& counts)
{
    return entry ? PlotFieldValue(*entry, state) : link ? LinkValue(counts, *link) : 0;
}

// The link counts of a replay, packet by packet, as the core's walk over a
// recording counts them: the number of each decoded packet with its record
// time (a packet without one takes the time of the packet in front). The
// record test needs the decoder's record time reset behind every packet.
class ReplayLinkCounts {
public:
    // A replay starts a fresh walk: no record time from an earlier seek.
    // `count` false: nothing is read, the values stay zero.
    ReplayLinkCounts(StreamReader& stream, bool count) : stream_(stream), count_(count)
    {
        Navdata.recordTime = 0;
        if (count_) {
            pending_ = PacketNumberFrom(stream_, 0);
        }
    }

    // After the decode that ended at `next` (< 0: the final one, no packet).
    // The number of the packet a decode reads is taken before that decode,
    // where the walk stands: the file is read once, in order.
    void decoded(int64_t next)
    {
        if (!count_ || next < 0) {
            return;
        }
        if (Navdata.recordTime > 0) {
            time_ = Navdata.recordTime;
        }
        if (pending_) {
            counter_.add(*pending_, time_);
        }
        pending_ = PacketNumberFrom(stream_, next);
    }
    // Before the next decode.
    static void next(int64_t next)
    {
        if (next >= 0) {
            Navdata.recordTime = 0;
        }
    }
    const LinkValues& values() const { return counter_.values(); }

private:
    StreamReader& stream_;
    bool count_;
    LinkCounter counter_;
    std::optional<uint32_t> pending_;
    double time_ = 0;
};

// One pass for one series: a null point while it holds fewer than two
// points, the value point when the key has an entry, and at five points the
// first point dropped and the point now at index 3 repeated at x.
template <class Points>
void AddSeriesPoints(Points& p, double x, bool hasValue, double value)
{
    if (p.count() < 2) {
        p.insert(x, NullPointValue());
    }
    if (hasValue) {
        p.insert(x, value);
    }
    if (p.count() == 5) {
        p.removeAt(0);
        p.insert(x, p.y(3));
    }
}

} // namespace

// ------------------------------------------------------------ GraphSeries

uint64_t NewPointsRevision()
{
    static uint64_t last = 0;
    return ++last;
}

void GraphSeries::ValueRange::include(double v)
{
    revision = NewPointsRevision();
    if (!known || !std::isfinite(v)) {
        return;
    }
    lower = any ? std::min(lower, v) : v;
    upper = any ? std::max(upper, v) : v;
    any = true;
}

bool GraphSeries::valueRange(int i, double& lower, double& upper) const
{
    if (i < 0 || i >= count()) {
        return false;
    }
    const Field& f = fields_[std::size_t(i)];
    ValueRange& r = f.range;
    if (!r.known) {
        r = {};
        const QCPGraphDataContainer& d = *f.series->data();
        for (auto it = d.constBegin(); it != d.constEnd(); ++it) {
            r.include(it->value);
        }
    }
    if (r.any) {
        lower = r.lower;
        upper = r.upper;
    }
    return r.any;
}

uint64_t GraphSeries::pointsRevision(int i) const
{
    double lower = 0;
    double upper = 0;
    valueRange(i, lower, upper); // scans again where a removal left it unknown
    return fields_[std::size_t(i)].range.revision;
}

bool GraphSeries::valueRange(double& lower, double& upper) const
{
    bool any = false;
    for (int i = 0; i < count(); ++i) {
        double lo = 0;
        double hi = 0;
        if (valueRange(i, lo, hi)) {
            lower = any ? std::min(lower, lo) : lo;
            upper = any ? std::max(upper, hi) : hi;
            any = true;
        }
    }
    return any;
}

GraphSeries::GraphSeries(QCustomPlot* chart, ChartAxis* bottomAxis) : chart_(chart), bottomAxis_(bottomAxis)
{
    models.push_back(this);
}

GraphSeries::~GraphSeries()
{
    models.erase(std::remove(models.begin(), models.end(), this), models.end());
}

QCPGraph* GraphSeries::series(int i) const
{
    return fields_[std::size_t(i)].series;
}

void GraphSeries::setMultiplierText(int i, const QString& text)
{
    fields_[std::size_t(i)].multiplierText = text;
}

QCPGraph* GraphSeries::newSeries(int position)
{
    QCPGraph* g = chart_->addGraph();
    g->setPen(QPen(SeriesColour(position)));
    g->setLineStyle(QCPGraph::lsLine);
    g->setAdaptiveSampling(true);
    return g;
}

int GraphSeries::add(const QString& key)
{
    const std::string name = key.toStdString();
    fields_.push_back({key, FindPlotField(name), FindLinkKey(name), QStringLiteral("1"), newSeries(count() + 1), {}});
    return count() - 1;
}

void GraphSeries::remove(int k)
{
    if (k < 0 || k >= count()) {
        return;
    }
    chart_->removeGraph(fields_[std::size_t(k)].series);
    fields_.erase(fields_.begin() + k);
}

void GraphSeries::removeAll()
{
    chart_->clearGraphs();
    fields_.clear();
}

void GraphSeries::clearPoints()
{
    for (Field& f : fields_) {
        f.series->data()->clear();
        f.range = {};
    }
}

void GraphSeries::bringToFront(int k)
{
    if (k < 0 || k >= count()) {
        return;
    }
    // Re-entering its layer puts a series last in the layer's drawing order.
    QCPGraph* g = fields_[std::size_t(k)].series;
    g->setLayer(g->layer());
}

void GraphSeries::rebuildSeries()
{
    chart_->clearGraphs();
    for (int i = 0; i < count(); ++i) {
        fields_[std::size_t(i)].series = newSeries(i + 1);
        fields_[std::size_t(i)].range = {};
    }
}

void GraphSeries::scrollBottomAxis(double time)
{
    ChartAxis& axis = *bottomAxis_;
    axis.setAutomatic(false);
    const double lower = time - scrollTime();
    // Time may run backwards (the seconds wrap, the drone restarts): setting
    // the maximum first would then be refused for ever.
    if (time < axis.minimum()) {
        axis.setMinimum(lower);
        axis.setMaximum(time);
    } else {
        axis.setMaximum(time);
        axis.setMinimum(lower);
    }
}

void GraphSeries::addRecordPoints()
{
    if (GraphBusy) {
        return;
    }
    const double time = NavdataTimeToSeconds(Navdata.state.Time.time);
    Navdata.recordTime = time;
    if (time == 0) {
        return;
    }
    const bool scroll = liveSource() && !fields_.empty();
    LinkValues live;
    if (!replayLink_ && plotsLink()) {
        live = liveLink();
    }
    const LinkValues& link = replayLink_ ? *replayLink_ : live;
    for (const Field& f : fields_) {
        ChartPoints points(f.series, f.range);
        const bool hasValue = f.entry || f.link;
        const double value =
            hasValue ? MultiplierValue(f.multiplierText) * KeyValue(f.entry, f.link, Navdata.state, link) : 0;
        AddSeriesPoints(points, time, hasValue, value);
    }
    if (scroll && !scrollPaused()) {
        scrollBottomAxis(time);
    }
}

bool GraphSeries::plotsLink() const
{
    return std::any_of(fields_.begin(), fields_.end(), [](const Field& f) { return f.link.has_value(); });
}

void GraphSeries::drawStreamPassByPass(ByteSpan stream)
{
    StreamReader reader(stream);
    drawStreamPassByPass(reader);
}

void GraphSeries::drawStreamPassByPass(StreamReader& stream)
{
    rebuildSeries();
    if (plotsLink()) {
        ReplayLinkCounts link(stream, true);
        replayLink_ = &link.values();
        try {
            ReplayStream(stream, Navdata, StreamCursor, [&](int64_t next) {
                link.decoded(next);
                addRecordPoints();
                ReplayLinkCounts::next(next);
            });
        } catch (...) {
            replayLink_ = nullptr;
            throw;
        }
        replayLink_ = nullptr;
    } else {
        ReplayStream(stream, Navdata, StreamCursor, [this](int64_t) { addRecordPoints(); });
    }
    for (Field& f : fields_) {
        if (PointCount(f.series) > 1) {
            ChartPoints(f.series, f.range).removeAt(PointCount(f.series) - 1);
        }
    }
}

void GraphSeries::drawStream(ByteSpan stream)
{
    StreamReader reader(stream);
    drawStream(reader);
}

void GraphSeries::drawStream(StreamReader& stream, int32_t expectedRecords)
{
    if (GraphBusy || liveSource()) {
        // Every pass does nothing, or every pass scrolls the axis.
        drawStreamPassByPass(stream);
        return;
    }
    rebuildSeries();
    replayInBulk(stream, expectedRecords);
}

// The passes of a replay, per series: the first points (up to the fifth,
// where the count rules act) are placed one by one as a pass would place
// them; from then on each pass only adds one point, so the rest is
// appended in pass order and sorted stably at the end, which is where
// insertion behind equal x values puts them. Each series' points are
// collected in the container the series keeps, allocated once when the
// record count is known: a replay of 10 x 200,000 points takes 32 MB of new
// memory and no copy of it.
void GraphSeries::replayInBulk(StreamReader& stream, int32_t expectedRecords)
{
    struct Work {
        const PlotField* entry;
        std::optional<LinkKey> link;
        double multiplier;
        std::vector<QCPGraphData> head;
        QVector<QCPGraphData> points; // the head, then one point per pass
        bool inTail = false;
    };
    std::vector<Work> work;
    work.reserve(fields_.size());
    for (const Field& f : fields_) {
        work.push_back({f.entry, f.link, MultiplierValue(f.multiplierText), {}, {}, false});
    }
    const bool countLink = plotsLink();
    ReplayLinkCounts linkCounts(stream, countLink);
    const LinkValues& link = linkCounts.values();

    ReplayStream(stream, Navdata, StreamCursor, [&](int64_t next) {
        if (countLink) {
            linkCounts.decoded(next);
            ReplayLinkCounts::next(next);
        }
        const NavdataState& state = Navdata.state;
        const double time = NavdataTimeToSeconds(state.Time.time);
        if (time == 0) {
            return;
        }
        for (Work& w : work) {
            const bool hasValue = w.entry || w.link;
            if (w.inTail) {
                w.points.append(QCPGraphData(time, w.multiplier * KeyValue(w.entry, w.link, state, link)));
                continue;
            }
            if (!hasValue && w.head.size() >= 2) {
                continue; // holds its two null points for good
            }
            VectorPoints points(w.head);
            AddSeriesPoints(points, time, hasValue, hasValue ? w.multiplier * KeyValue(w.entry, w.link, state, link) : 0);
            if (hasValue && w.head.size() >= 5) {
                // The head is final: the passes from here on only append.
                w.inTail = true;
                w.points.reserve(qsizetype(w.head.size()) + std::max<qsizetype>(expectedRecords, 0));
                for (const QCPGraphData& p : w.head) {
                    w.points.append(p);
                }
                std::vector<QCPGraphData>().swap(w.head);
            }
        }
    });
    Navdata.recordTime = NavdataTimeToSeconds(Navdata.state.Time.time);

    for (std::size_t i = 0; i < work.size(); ++i) {
        Work& w = work[i];
        QVector<QCPGraphData> points = std::move(w.points);
        if (!w.inTail) {
            for (const QCPGraphData& p : w.head) {
                points.append(p);
            }
        }
        if (!std::is_sorted(points.begin(), points.end(), KeyLess)) {
            std::stable_sort(points.begin(), points.end(), KeyLess);
        }
        if (points.size() > 1) {
            points.removeLast();
        }
        fields_[i].series->data()->set(points, true);
        fields_[i].range.known = false;
    }
}

} // namespace kestrix::gui
