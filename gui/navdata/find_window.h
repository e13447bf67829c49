// The NavData window's Find tool: records of the loaded recording where a
// condition holds (the core's condition language), searched on a worker,
// listed as they are found; "first", "previous", "next" and "last" go to a
// match relative to the record shown, as "go" beside "Record#" does.
//
// Owned by the NavData window, which hands it two small operations: the
// record shown, and going to a record. It touches no other window.
#pragma once

#include "kestrix/find.h"

#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class QTimer;

namespace kestrix::gui {

class FindMatchModel;

class FindWindow : public QWidget {
    Q_OBJECT
public:
    struct Operations {
        std::function<int32_t()> currentRecord;   // the record shown ("Record#")
        std::function<void(int32_t)> goToRecord;  // as "go" beside "Record#"
    };

    FindWindow(QWidget* owner, Operations operations);
    ~FindWindow() override;

    // ---- Controls, by name.
    QLineEdit* FindCondition;
    QPushButton* FindFirst;
    QPushButton* FindPrevious;
    QPushButton* FindNext;
    QPushButton* FindLast;
    QPushButton* FindCancel;
    QListView* FindMatches;
    QProgressBar* FindProgress;
    QLabel* FindStatus;

    enum class Step { First, Previous, Next, Last };
    // A button: searches the loaded recording for the condition when it has
    // not been searched yet, then goes to the match `step` names (once it is
    // known, while the search still runs).
    void go(Step step);
    // Starts the search of the condition over the loaded recording (the
    // edit's Enter); false for a condition that cannot be read (the status
    // says why; nothing is searched).
    bool search();
    void cancel();
    bool searching() const { return searching_; }
    const std::vector<FindMatch>& matches() const { return matches_; }

    // A new recording: the matches of the old one are dropped.
    void recordingChanged();

signals:
    // A search has ended (searched to the end, cancelled or stopped).
    void searchFinished();

private:
    void matchesFound(uint64_t generation, std::vector<FindMatch> batch);
    void progressed(uint64_t generation, double share);
    void finished(uint64_t generation, FindEnd end);
    void resolvePending();
    void goToMatch(std::size_t i);
    void setStatus(const QString& text);

    Operations ops_;
    FindMatchModel* model_;
    QTimer* progressDelay_;
    std::vector<FindMatch> matches_;
    QString searchedCondition_;
    bool searched_ = false;   // matches_ belong to searchedCondition_ and the loaded recording
    bool searching_ = false;
    std::optional<Step> pending_;
    int32_t pendingFrom_ = -1; // the record shown when the pending step was asked
    uint64_t generation_ = 0;
    std::shared_ptr<std::atomic<bool>> cancel_;
};

} // namespace kestrix::gui
