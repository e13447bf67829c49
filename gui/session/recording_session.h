// The loaded recording: its open file and index, its file name, the cursor
// of record navigation and the load itself. One object for the whole program;
// the written names LoadedStream, LoadedFileName and StreamCursor
// (kit/shared_state.h) refer to its state.
//
// Windows start a load with load(path) and follow it through the signals; no
// window finishes another window's load by hand. User-interface thread only:
// the loader reads on a worker into a recording of its own, which is swapped
// in here on the user-interface thread.
#pragma once

#include "kestrix/link_counts.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace kestrix {
class StreamIndex;
class StreamReadError;
class StreamReader;
} // namespace kestrix

namespace kestrix::gui {

struct LoadedRecording;

class RecordingSession : public QObject {
    Q_OBJECT
public:
    // ---- State (the written names refer here).
    std::shared_ptr<const LoadedRecording>& stream() { return stream_; }
    QString& fileName() { return fileName_; }
    // 64-bit: offsets of recordings above 2 GiB do not fit 32 bits.
    int64_t& cursor() { return cursor_; }

    // ---- The load.
    // Starts loading `path` on a worker: sets the file name, emits
    // loadStarted, closes a recording in progress and starts the loader.
    // Returns false (and does nothing) while a load is running.
    bool load(const QString& path);
    bool isLoading() const { return loading_; }

    // ---- Record navigation over the loaded recording (none loaded: an
    // empty stream), leaving NavdataState and the cursor as a decode of
    // every packet from the start up to the one they stopped at would.
    // The file is read from the record's snapshot on. When it changed on
    // disk or cannot be read, the seek leaves NavdataState, RecordTime and
    // the cursor as they were, tells the operator (see reportReadFailure)
    // and throws OperatorInformed.
    int32_t seekRecordByIndex(int32_t n);
    int32_t seekRecordByTime(double t);
    // The link counts (Link.*) of the loaded recording up to the record the
    // last seek returned; all zero when it returned none.
    kestrix::LinkValues linkValues() const;

    // Runs `walk` over a reader of the loaded recording (reads of `chunk`
    // bytes) and its index; with no recording loaded, over an empty stream
    // without index. A failure of the file ends it as for the seeks above.
    void walk(std::size_t chunk, const std::function<void(StreamReader&, const StreamIndex*)>& walk);

    // Tells the operator that the loaded file could not be read: a file that
    // changed on disk (shrunk, grown, rewritten, replaced, removed) with the
    // choice to reload it, which starts the load again; any other failure
    // in the standard error box with the system's reason.
    void reportReadFailure(const StreamReadError& e);

    // Asks whoever shows records to go to time `t` (a click on a plotted
    // point): emits timeRequested.
    void requestTime(double t) { emit timeRequested(t); }

    // Program-start state: no recording, no name, cursor 0, no load running
    // (the completion of a load still running is dropped).
    void reset();

signals:
    // A load has started; `fileName` is the file's name without its folder.
    void loadStarted(const QString& fileName);
    // A load has finished and the recording is in place. Emitted inside one
    // decode action, so that everything its receivers decode (the first
    // record shown, the graph redrawn) reports a bad option once. Receivers
    // run in the order they connected: windows connect when they are built,
    // the main window first, the NavData window before the Graph window.
    void loaded();
    // A load has ended without a recording; `error` says why, with the name.
    void loadFailed(const QString& error);
    // Go to time `t` of the loaded recording.
    void timeRequested(double t);

private:
    std::shared_ptr<const LoadedRecording> stream_;
    QString fileName_;
    QString path_; // the full path of the last load, for a reload
    int64_t cursor_ = 0;
    int32_t lastRecord_ = -1; // what the last seek returned
    bool loading_ = false;
    uint64_t generation_ = 0; // a reset drops the completion of an earlier load
};

// The program's recording session.
RecordingSession& Recording();

// Record navigation on the program's recording session.
int32_t SeekRecordByIndex(int32_t n);
int32_t SeekRecordByTime(double t);

} // namespace kestrix::gui
