#include "plot/graph.h"

#include "kit/decode_action.h"
#include "kit/messages.h"
#include "kit/placement.h"
#include "kit/shared_state.h"
#include "kit/widgets.h"
#include "kit/window_events.h"
#include "plot/bottomaxis.h"
#include "plot/chart_axis.h"
#include "plot/chart_tools.h"
#include "plot/graph_series.h"
#include "plot/leftaxis.h"
#include "session/live_pipeline.h"
#include "session/loaded_stream.h"
#include "session/recording_session.h"
#include "session/stream_source.h"
#include "session/thread.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QVBoxLayout>
#include <qcustomplot.h>

namespace kestrix::gui {

TForm5* Form5 = nullptr;

namespace {

// The control strip across the top of the window.
constexpr int kStripHeight = 54;

template <class W>
W* Named(W* w, const QString& name, const QString& accessible, const QString& hint, QRect r)
{
    return Place(w, name, accessible, r, hint);
}

QLabel* StripLabel(QWidget* strip, const QString& name, const QString& text, int x, int y)
{
    auto* l = new QLabel(text, strip);
    l->adjustSize();
    return Named(l, name, text, {}, {x, y, l->width(), l->height()});
}

TSCButton* StripButton(QWidget* strip, const QString& name, const QString& caption, const QString& hint, QRect r)
{
    return Named(new TSCButton(caption, strip), name, caption, hint, r);
}

bool IsFieldEditDrag(const QMimeData* mime)
{
    return mime && mime->hasFormat(QString::fromLatin1(kFieldEditMimeType));
}

} // namespace

TForm5::TForm5(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form5"));
    Form5 = this;
    setWindowTitle(QStringLiteral("Graph"));
    setAccessibleName(QStringLiteral("Graph"));
    buildControls();

    leftAxis_ = new ChartAxis(Chart1, Chart1->yAxis);
    bottomAxis_ = new ChartAxis(Chart1, Chart1->xAxis);
    series_ = std::make_unique<GraphSeries>(Chart1, bottomAxis_);
    series_->liveSource = [this] { return liveSource(); };
    series_->scrollTime = [this] { return XframeTime->value(); };
    tools_ = new ChartTools(Chart1, bottomAxis_, leftAxis_, series_.get(), ChartReadout);
    tools_->liveSource = [this] { return liveSource(); };
    tools_->scrollTime = [this] { return XframeTime->value(); };
    tools_->latestTime = [] { return Navdata.recordTime; };
    series_->liveLink = [] { return Live().watch().counter().values(); };

    connect(SCCombobox1, &QComboBox::currentIndexChanged, this, Guarded(this, [this] { SCCombobox1Change(); }));
    connect(SCFloatSpinEdit1, &TSCFloatSpinEdit::valueChanged, this,
            Guarded(this, [this] { SCFloatSpinEdit1Change(); }));
    connect(SCButton1, &QPushButton::clicked, this, Guarded(this, [this] { SCButton1Click(); }));
    connect(SCButton2, &QPushButton::clicked, this, Guarded(this, [this] { SCButton2Click(); }));
    connect(SCButton3, &QPushButton::clicked, this, Guarded(this, [this] { SCButton3Click(); }));
    connect(SCButton6, &QPushButton::clicked, this, Guarded(this, [this] { SCButton3Click(); }));
    connect(SCButton4, &QPushButton::clicked, this, Guarded(this, [this] { SCButton4Click(); }));
    connect(SCButton5, &QPushButton::clicked, this, Guarded(this, [this] { SCButton5Click(); }));
    connect(Chart1, &QCustomPlot::axisClick, this,
            [this](QCPAxis* axis, QCPAxis::SelectablePart, QMouseEvent*) {
                Guarded(this, [this, axis] { Chart1ClickAxis(axis); })();
            });
    connect(Chart1, &QCustomPlot::plottableClick, this,
            [this](QCPAbstractPlottable* series, int index, QMouseEvent*) {
                Guarded(this, [this, series, index] { Chart1ClickSeries(series, index); })();
            });
    // A finished load redraws the graph ("Draw Graph"), inside the load's
    // decode action, after the NavData window has shown the first record.
    connect(&Recording(), &RecordingSession::loaded, this, Guarded(this, [this] { SCButton3Click(); }));
    // The NavData window's "graph" box.
    connect(&Windows(), &WindowEvents::graphShowRequested, this, [this](bool show) { setVisible(show); });
    SetGraphAxis(GraphAxisRole::Left, leftAxis_);
    SetGraphAxis(GraphAxisRole::Bottom, bottomAxis_);
    InstallLivePlotting(
        this, [this] { series_->addRecordPoints(); }, [this] { Chart1->replot(); });
    Windows().registerWindow(WindowKind::Graph, this);
    // A change of the stream source starts the view over (zoom, pause).
    connect(&TheStreamSource(), &StreamSource::changed, tools_, [this](bool live) { tools_->setLive(live); });
    // The time marker follows the record the NavData window shows.
    connect(&Windows(), &WindowEvents::recordShown, tools_, [this](double t) {
        tools_->setMarkerTime(t != 0 ? std::optional<double>(t) : std::nullopt);
    });
}

TForm5::~TForm5()
{
    RemoveLivePlotting();
    delete tools_;
    series_.reset();
    if (Form5 == this) {
        Form5 = nullptr;
    }
}

void TForm5::buildControls()
{
    setFont(QFont(QStringLiteral("Sans Serif"), 8));
    resize(670, 443);
    setMinimumSize(670, 300);

    auto* strip = new QWidget(this);
    strip->setFixedHeight(kStripHeight);

    Label1 = StripLabel(strip, QStringLiteral("Label1"), QStringLiteral("Drag and Drop NavData field"), 4, 1);
    SCCombobox1 = Named(new TSCComboBoxEx(strip), QStringLiteral("SCCombobox1"),
                        QStringLiteral("Drag and Drop NavData field"), QStringLiteral("drop any tag field to here"),
                        {4, 14, 193, 21});
    SCCombobox1->setAcceptDrops(true);
    SCCombobox1->installEventFilter(this);
    SCCombobox1->setDrawItem([this](QPainter* p, const QStyleOptionViewItem& option, int index) {
        SCCombobox1DrawItem(p, option, index);
    });
    SCCheckbox1 = Named(new TSCCheckBox(QStringLiteral("draw on drop"), strip), QStringLiteral("SCCheckbox1"),
                        QStringLiteral("draw on drop"), {}, {4, 36, 193, 17});
    SCCheckbox1->setChecked(true);

    Label2 = StripLabel(strip, QStringLiteral("Label2"), QStringLiteral("multiplier"), 203, 1);
    SCFloatSpinEdit1 = Named(new TSCFloatSpinEdit(strip), QStringLiteral("SCFloatSpinEdit1"),
                             QStringLiteral("multiplier"), QStringLiteral("selected value multiplier "),
                             {203, 14, 62, 21});
    SCFloatSpinEdit1->setValue(1);
    SCButton6 = StripButton(strip, QStringLiteral("SCButton6"), QStringLiteral("OK"), {}, {203, 36, 62, 17});

    Label3 = StripLabel(strip, QStringLiteral("Label3"), QStringLiteral("order"), 271, 1);
    SCButton4 = StripButton(strip, QStringLiteral("SCButton4"), QStringLiteral("front"),
                            QStringLiteral("bring selected value to front plot"), {271, 14, 44, 39});
    SCButton2 = StripButton(strip, QStringLiteral("SCButton2"), QStringLiteral("Del. Selected"), {},
                            {321, 2, 80, 25});
    SCButton1 = StripButton(strip, QStringLiteral("SCButton1"), QStringLiteral("Delete All"), {}, {321, 28, 80, 25});

    Bevel1 = Named(new TSCBevel(strip), QStringLiteral("Bevel1"), QString(), {}, {407, 2, 2, 51});
    Bevel1->setFrameStyle(QFrame::VLine | QFrame::Sunken);

    Label4 = StripLabel(strip, QStringLiteral("Label4"), QStringLiteral("scroll time (s)"), 415, 1);
    XframeTime = Named(new TSCFloatSpinEdit(strip), QStringLiteral("XframeTime"), QStringLiteral("scroll time (s)"),
                       {}, {415, 14, 70, 21});
    XframeTime->setValue(10);
    SCButton5 = StripButton(strip, QStringLiteral("SCButton5"), QStringLiteral("Clear Graph"), {},
                            {491, 2, 84, 51});
    SCButton3 = StripButton(strip, QStringLiteral("SCButton3"), QStringLiteral("Draw Graph"), {},
                            {581, 2, 84, 51});

    Chart1 = new QCustomPlot(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setAccessibleName(QStringLiteral("Chart1"));
    Chart1->legend->setVisible(false);
    Chart1->setBackground(Qt::white);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(strip);
    layout->addWidget(Chart1, 1);
    ChartReadout = new QLabel(this);
    layout->addWidget(ChartReadout);
}

bool TForm5::liveSource() const
{
    return TheStreamSource().live();
}

void TForm5::requestReplot()
{
    Chart1->replot(QCustomPlot::rpQueuedReplot);
}

// ------------------------------------------------------------ field list

bool TForm5::eventFilter(QObject* watched, QEvent* e)
{
    if (watched != SCCombobox1) {
        return QWidget::eventFilter(watched, e);
    }
    switch (e->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* d = static_cast<QDragMoveEvent*>(e);
        if (IsFieldEditDrag(d->mimeData())) {
            d->acceptProposedAction();
        } else {
            d->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* d = static_cast<QDropEvent*>(e);
        if (!IsFieldEditDrag(d->mimeData())) {
            d->ignore();
            return true;
        }
        d->acceptProposedAction();
        const QString name =
            QString::fromUtf8(d->mimeData()->data(QString::fromLatin1(kFieldEditMimeType)));
        // Handled once the drag has ended, outside its event loop.
        QTimer::singleShot(0, this, [this, name] { SCCombobox1DragDrop(name); });
        return true;
    }
    default:
        return QWidget::eventFilter(watched, e);
    }
}

void TForm5::SCCombobox1DragDrop(const QString& fieldEditName)
{
    try {
        {
            GraphBusyGuard busy;
            const QString key = Windows().navdataGroup + QLatin1Char('.') + fieldEditName;
            const int i = series_->add(key);
            SCCombobox1->addItemWithValue(key, series_->multiplierText(i));
            SCCombobox1->setCurrentIndex(i);
            requestReplot();
        }
        if (!liveSource() && SCCheckbox1->isChecked()) {
            SCButton3Click();
        }
    } catch (...) {
        // A failed drop is absorbed without a message: it runs after the
        // drag has ended, outside any handler of the operator's, and the
        // field list keeps whatever the drop had added before the failure.
    }
}

void TForm5::SCCombobox1DrawItem(QPainter* p, const QStyleOptionViewItem& option, int index)
{
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    p->save();
    p->fillRect(r, selected ? option.palette.highlight() : option.palette.base());
    if (index >= 0 && std::size_t(index) < SeriesList.size() && SeriesList[std::size_t(index)]) {
        p->fillRect(QRect(r.left(), r.top(), r.height(), r.height()), SeriesList[std::size_t(index)]->pen().color());
    }
    p->setPen(selected ? option.palette.highlightedText().color() : option.palette.text().color());
    p->drawText(r.adjusted(r.height() + 4, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, SCCombobox1->itemText(index));
    p->restore();
}

void TForm5::SCCombobox1Change()
{
    const int i = selectedField();
    if (i >= 0) {
        // Showing a multiplier does not store it again.
        loadingMultiplier_ = true;
        SCFloatSpinEdit1->setValue(MultiplierValue(series_->multiplierText(i)));
        loadingMultiplier_ = false;
    }
}

void TForm5::SCFloatSpinEdit1Change()
{
    const int i = selectedField();
    if (loadingMultiplier_ || i < 0) {
        return;
    }
    const QString text = MultiplierText(SCFloatSpinEdit1->value());
    series_->setMultiplierText(i, text);
    SCCombobox1->setValueText(i, text);
}

void TForm5::showSelected()
{
    if (SCCombobox1->currentIndex() < 0) {
        SCCombobox1->setCurrentIndex(-1);
        loadingMultiplier_ = true;
        SCFloatSpinEdit1->setValue(1);
        loadingMultiplier_ = false;
    } else {
        SCCombobox1Change();
    }
}

// ------------------------------------------------------------ buttons

void TForm5::SCButton1Click()
{
    GraphBusyGuard busy;
    {
        const QSignalBlocker block(SCCombobox1);
        SCCombobox1->clear();
    }
    series_->removeAll();
    requestReplot();
}

int TForm5::selectedField() const
{
    const int k = SCCombobox1->currentIndex();
    return k < series_->count() ? k : -1;
}

void TForm5::SCButton2Click()
{
    const int k = selectedField();
    if (k < 0) {
        return;
    }
    GraphBusyGuard busy;
    series_->remove(k);
    {
        const QSignalBlocker block(SCCombobox1);
        SCCombobox1->removeItem(k);
        const int n = SCCombobox1->count();
        SCCombobox1->setCurrentIndex(k < n ? k : n - 1);
    }
    showSelected();
    requestReplot();
}

void TForm5::SCButton3Click()
{
    DecodeAction action;
    if (!LoadedStream) {
        ShowMessage(nullptr, QStringLiteral("Error"), QStringLiteral("Stream doesnot exists\rPlease open data stream"));
        return;
    }
    // The recording is read once from start to end in 1 MB reads; a file
    // that changed on disk ends the pass (the operator is told, and nothing
    // decoded from it stays in NavdataState).
    Recording().walk(StreamReader::kDefaultChunk,
                     [this](StreamReader& reader, const StreamIndex* index) {
                         reader.setReadAhead(true); // the next chunk is read while this one is decoded
                         series_->drawStream(reader, index ? index->recordCount() : 0);
                     });
    SCCombobox1->update();
    requestReplot();
}

void TForm5::SCButton4Click()
{
    const int k = selectedField();
    if (k < 0) {
        return;
    }
    GraphBusyGuard busy;
    series_->bringToFront(k);
    requestReplot();
}

void TForm5::SCButton5Click()
{
    GraphBusyGuard busy;
    series_->clearPoints();
    requestReplot();
}

// ------------------------------------------------------------ chart clicks

void TForm5::Chart1ClickAxis(QCPAxis* axis)
{
    // Placed by the outer sizes, which a window knows once it is shown.
    const QRect graph = frameGeometry();
    if (axis == Chart1->yAxis && Form3) {
        Form3->show();
        const QRect dialog = Form3->frameGeometry();
        PlaceWindow(Form3, {graph.left() - dialog.width() / 2, graph.top() + dialog.height() / 2}, this);
        Form3->raise();
    } else if (axis == Chart1->xAxis && Form6 && !liveSource()) {
        Form6->show();
        const QRect dialog = Form6->frameGeometry();
        PlaceWindow(Form6,
                    {graph.left() + graph.width() / 2 - dialog.width() / 2,
                     graph.top() + graph.height() - dialog.height() / 2},
                    this);
        Form6->raise();
    }
}

void TForm5::Chart1ClickSeries(QCPAbstractPlottable* series, int pointIndex)
{
    auto* g = qobject_cast<QCPGraph*>(series);
    if (!g || pointIndex < 0 || pointIndex >= PointCount(g)) {
        return;
    }
    Recording().requestTime(PointX(g, pointIndex));
}

void TForm5::closeEvent(QCloseEvent* e)
{
    e->accept();
    hide();
    emit Windows().closedByOperator(WindowKind::Graph);
}

// ------------------------------------------------------------ switches

void TForm5::setDrawGraphEnabled(bool enabled)
{
    SCButton3->setEnabled(enabled);
    SCButton6->setEnabled(enabled);
}

void TForm5::setDrawOnDropEnabled(bool enabled)
{
    SCCheckbox1->setEnabled(enabled);
}

void TForm5::setScrollTimeEnabled(bool enabled)
{
    XframeTime->setEnabled(enabled);
}

void TForm5::setBottomAxisAutomatic()
{
    bottomAxis_->setAutomatic(true);
    requestReplot();
}

void TForm5::setStreamSource(bool live)
{
    setDrawGraphEnabled(!live);
    setDrawOnDropEnabled(!live);
    setScrollTimeEnabled(live);
    if (!live) {
        setBottomAxisAutomatic();
    }
}

void TForm5::clearAllPoints()
{
    series_->clearPoints();
    requestReplot();
}

} // namespace kestrix::gui
