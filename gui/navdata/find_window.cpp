#include "navdata/find_window.h"

#include "kit/ui_thread.h"
#include "session/loaded_stream.h"
#include "session/recording_session.h"

#include <QAbstractListModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace kestrix::gui {

// The matches as list rows ("record  time"), without a copy per row.
class FindMatchModel : public QAbstractListModel {
public:
    explicit FindMatchModel(const std::vector<FindMatch>& matches, QObject* parent)
        : QAbstractListModel(parent), matches_(matches)
    {
    }
    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : rows_;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || index.row() < 0 || index.row() >= rows_)
            return {};
        const FindMatch& m = matches_[std::size_t(index.row())];
        return QStringLiteral("record %1   time %2").arg(m.record).arg(m.time, 0, 'f', 6);
    }
    // The rows follow the matches (appended or cleared).
    void sync()
    {
        const int n = int(matches_.size());
        if (n < rows_) {
            beginResetModel();
            rows_ = n;
            endResetModel();
        } else if (n > rows_) {
            beginInsertRows({}, rows_, n - 1);
            rows_ = n;
            endInsertRows();
        }
    }

private:
    const std::vector<FindMatch>& matches_;
    int rows_ = 0;
};

namespace {

QPushButton* button(const QString& name, const QString& caption, const QString& hint, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleName(caption);
    b->setToolTip(hint);
    return b;
}

constexpr int kProgressDelayMs = 300; // a search shorter than this shows no progress

} // namespace

FindWindow::FindWindow(QWidget* owner, Operations operations)
    : QWidget(owner, Qt::Tool), ops_(std::move(operations))
{
    setObjectName(QStringLiteral("FindWindow"));
    setWindowTitle(QStringLiteral("Find"));
    setAccessibleName(QStringLiteral("Find"));

    auto* label = new QLabel(QStringLiteral("Condition"), this);
    FindCondition = new QLineEdit(this);
    FindCondition->setObjectName(QStringLiteral("FindCondition"));
    FindCondition->setAccessibleName(QStringLiteral("Condition"));
    FindCondition->setToolTip(QStringLiteral(
        "KEY OP NUMBER or KEY changes, joined by and; OP one of < <= > >= == !=, NUMBER decimal or 0x hex; "
        "KEY a plot key (Demo.altitude) or Link.packet, Link.missing, Link.gap, Link.rate"));
    FindCondition->setPlaceholderText(QStringLiteral("Demo.altitude > 1000"));
    label->setBuddy(FindCondition);

    FindFirst = button(QStringLiteral("FindFirst"), QStringLiteral("first"), QStringLiteral("go to the first match"), this);
    FindPrevious = button(QStringLiteral("FindPrevious"), QStringLiteral("previous"),
                          QStringLiteral("go to the match in front of the record shown"), this);
    FindNext = button(QStringLiteral("FindNext"), QStringLiteral("next"),
                      QStringLiteral("go to the match behind the record shown"), this);
    FindLast = button(QStringLiteral("FindLast"), QStringLiteral("last"), QStringLiteral("go to the last match"), this);
    FindCancel = button(QStringLiteral("FindCancel"), QStringLiteral("cancel"), QStringLiteral("stop the search"), this);
    FindCancel->setEnabled(false);

    model_ = new FindMatchModel(matches_, this);
    FindMatches = new QListView(this);
    FindMatches->setObjectName(QStringLiteral("FindMatches"));
    FindMatches->setAccessibleName(QStringLiteral("Matches"));
    FindMatches->setToolTip(QStringLiteral("every record where the condition holds; click one to go there"));
    FindMatches->setModel(model_);
    FindMatches->setUniformItemSizes(true);
    FindMatches->setEditTriggers(QAbstractItemView::NoEditTriggers);

    FindProgress = new QProgressBar(this);
    FindProgress->setObjectName(QStringLiteral("FindProgress"));
    FindProgress->setAccessibleName(QStringLiteral("Search progress"));
    FindProgress->setRange(0, 100);
    FindProgress->setVisible(false);
    FindStatus = new QLabel(this);
    FindStatus->setObjectName(QStringLiteral("FindStatus"));
    FindStatus->setAccessibleName(QStringLiteral("Find status"));
    FindStatus->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(label);
    top->addWidget(FindCondition, 1);
    layout->addLayout(top);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {FindFirst, FindPrevious, FindNext, FindLast, FindCancel})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    layout->addWidget(FindMatches, 1);
    layout->addWidget(FindProgress);
    layout->addWidget(FindStatus);
    resize(380, 320);

    progressDelay_ = new QTimer(this);
    progressDelay_->setSingleShot(true);
    connect(progressDelay_, &QTimer::timeout, this, [this] { FindProgress->setVisible(searching_); });

    connect(FindCondition, &QLineEdit::returnPressed, this, [this] { search(); });
    connect(FindFirst, &QPushButton::clicked, this, [this] { go(Step::First); });
    connect(FindPrevious, &QPushButton::clicked, this, [this] { go(Step::Previous); });
    connect(FindNext, &QPushButton::clicked, this, [this] { go(Step::Next); });
    connect(FindLast, &QPushButton::clicked, this, [this] { go(Step::Last); });
    connect(FindCancel, &QPushButton::clicked, this, [this] { cancel(); });
    connect(FindMatches, &QListView::clicked, this, [this](const QModelIndex& i) { goToMatch(std::size_t(i.row())); });
    connect(FindMatches, &QListView::activated, this, [this](const QModelIndex& i) { goToMatch(std::size_t(i.row())); });
}

FindWindow::~FindWindow()
{
    if (cancel_)
        cancel_->store(true);
}

void FindWindow::setStatus(const QString& text)
{
    FindStatus->setText(text);
}

void FindWindow::recordingChanged()
{
    cancel();
    ++generation_; // a completion still queued is dropped
    searching_ = false;
    searched_ = false;
    pending_.reset();
    matches_.clear();
    model_->sync();
    FindCancel->setEnabled(false);
    FindProgress->setVisible(false);
    setStatus({});
}

bool FindWindow::search()
{
    const QString text = FindCondition->text();
    ConditionError error;
    std::optional<Condition> condition = Condition::Parse(text.toStdString(), error);
    if (!condition) {
        setStatus(QString::fromStdString(error.message));
        return false;
    }
    recordingChanged(); // drops the matches and any search still running
    const std::shared_ptr<const LoadedRecording> recording = Recording().stream();
    searchedCondition_ = text;
    searching_ = true;
    const uint64_t generation = generation_;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    FindCancel->setEnabled(true);
    FindProgress->setValue(0);
    progressDelay_->start(kProgressDelayMs);
    setStatus(QStringLiteral("searching..."));

    auto shared = std::make_shared<Condition>(std::move(*condition));
    auto end = std::make_shared<FindEnd>(FindEnd::Searched);
    const std::shared_ptr<std::atomic<bool>> cancelFlag = cancel_;
    // What the worker hands over runs on the user-interface thread, and only
    // while this window still exists.
    const QPointer<FindWindow> self(this);
    // A read failure of the file (changed on disk, or a read refused) ends
    // the search; the operator is told as for the seeks.
    auto failure = std::make_shared<std::optional<StreamReadError>>();
    StartWorker(
        [self, recording, shared, end, failure, cancelFlag, generation](const std::atomic<bool>& stop) {
            StreamReader reader = recording ? recording->reader() : StreamReader(ByteSpan{});
            reader.setReadAhead(true); // the search walks on to the end
            const int64_t size = reader.size();
            std::vector<FindMatch> batch;
            auto hand = [&] {
                if (batch.empty())
                    return;
                PostToUi([self, generation, b = std::move(batch)]() mutable {
                    if (self)
                        self->matchesFound(generation, std::move(b));
                });
                batch.clear();
            };
            try {
                *end = FindRecords(
                    reader, *shared, 0,
                    [&](const FindMatch& m) {
                        batch.push_back(m);
                        if (batch.size() >= 4096)
                            hand();
                        return true;
                    },
                    cancelFlag.get(),
                    [&](int64_t done) {
                        if (stop.load())
                            cancelFlag->store(true);
                        hand();
                        const double share = size <= 0 ? 1.0 : std::min(1.0, double(done) / double(size));
                        PostToUi([self, generation, share] {
                            if (self)
                                self->progressed(generation, share);
                        });
                    },
                    int64_t(8) << 20);
            } catch (const StreamReadError& e) {
                *failure = e;
                *end = FindEnd::Cancelled;
            }
            hand();
        },
        [self, end, failure, generation] {
            if (!self)
                return;
            self->finished(generation, *end);
            if (*failure && generation == self->generation_)
                Recording().reportReadFailure(**failure);
        });
    return true;
}

void FindWindow::cancel()
{
    if (cancel_)
        cancel_->store(true);
}

void FindWindow::matchesFound(uint64_t generation, std::vector<FindMatch> batch)
{
    if (generation != generation_)
        return;
    matches_.insert(matches_.end(), batch.begin(), batch.end());
    model_->sync();
    setStatus(QStringLiteral("searching... %1 matches").arg(matches_.size()));
    resolvePending();
}

void FindWindow::progressed(uint64_t generation, double share)
{
    if (generation != generation_)
        return;
    FindProgress->setValue(int(share * 100.0));
}

void FindWindow::finished(uint64_t generation, FindEnd end)
{
    if (generation != generation_)
        return;
    searching_ = false;
    searched_ = end == FindEnd::Searched;
    FindCancel->setEnabled(false);
    progressDelay_->stop();
    FindProgress->setVisible(false);
    if (end == FindEnd::Cancelled) {
        setStatus(QStringLiteral("cancelled: %1 matches so far").arg(matches_.size()));
        pending_.reset();
    } else {
        setStatus(matches_.empty() ? QStringLiteral("Record not found")
                                   : QStringLiteral("%1 matches").arg(matches_.size()));
        resolvePending();
    }
    emit searchFinished();
}

void FindWindow::go(Step step)
{
    if (FindCondition->text() != searchedCondition_ || (!searched_ && !searching_)) {
        if (!search())
            return;
    }
    pending_ = step;
    pendingFrom_ = ops_.currentRecord ? ops_.currentRecord() : -1;
    resolvePending();
}

// The pending step, once the matches it needs are known: first and next as
// soon as a match at or behind the point has been found, previous at once
// (the matches come in file order), last when the search has ended.
void FindWindow::resolvePending()
{
    if (!pending_)
        return;
    const Step step = *pending_;
    std::optional<std::size_t> target;
    bool settled = !searching_; // no further match can come
    const auto behind = std::upper_bound(matches_.begin(), matches_.end(), pendingFrom_,
                                         [](int32_t r, const FindMatch& m) { return r < m.record; });
    switch (step) {
    case Step::First:
        if (!matches_.empty())
            target = 0;
        break;
    case Step::Next:
        if (behind != matches_.end())
            target = std::size_t(behind - matches_.begin());
        break;
    case Step::Previous: {
        const auto atOrBehind = std::lower_bound(matches_.begin(), matches_.end(), pendingFrom_,
                                                 [](const FindMatch& m, int32_t r) { return m.record < r; });
        if (atOrBehind != matches_.begin())
            target = std::size_t(atOrBehind - matches_.begin()) - 1;
        else if (!matches_.empty())
            settled = true; // the matches come in file order: none in front can come
        break;
    }
    case Step::Last:
        if (!searching_ && !matches_.empty())
            target = matches_.size() - 1;
        break;
    }
    if (!target) {
        if (settled) {
            pending_.reset();
            setStatus(QStringLiteral("Record not found"));
        }
        return;
    }
    pending_.reset();
    goToMatch(*target);
}

void FindWindow::goToMatch(std::size_t i)
{
    if (i >= matches_.size())
        return;
    FindMatches->setCurrentIndex(model_->index(int(i)));
    setStatus(QStringLiteral("match %1 of %2%3").arg(i + 1).arg(matches_.size()).arg(searching_ ? QStringLiteral(" so far") : QString()));
    if (ops_.goToRecord)
        ops_.goToRecord(matches_[i].record);
}

} // namespace kestrix::gui
