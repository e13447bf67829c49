// Every piece of state the windows share, in one place. Each entry says who
// writes it, from which thread, and what keeps its readers safe. The names
// refer to the state of the objects that own it: the recording session
// (session/recording_session.h), the live pipeline (session/live_pipeline.h)
// and the series model of the Graph window (plot/graph_series.h).
//
// The rule behind all of them: the windows, the per-datagram handler, record
// navigation, "Draw Graph" and the live plotting pass all run on the
// user-interface thread. Worker threads (the stream loader) never touch this
// state; they work on buffers of their own and hand the result over on the
// user-interface thread (ui_thread.h).
#pragma once

#include "kestrix/decoder.h"
#include "kestrix/link/recorder.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCPGraph;

namespace kestrix::gui {

struct LoadedRecording; // session/loaded_stream.h
class SeriesListView;   // below

// NavdataState (Navdata.state), NavdataHeaderWord (Navdata.headerWord) and
// RecordTime (Navdata.recordTime). Written on the UI thread only: by the live
// decode of the main window, by record navigation, by "Draw Graph" and by the
// plotting pass. The stream-source switch keeps live and file work apart.
extern kestrix::NavdataDecoder Navdata;

// LoadedStream: the recording loaded last, or null before the first load.
// Replaced on the UI thread only, when a load has finished; the loader reads
// into a recording of its own, so nothing ever decodes a stream another
// thread is filling. Immutable once published.
extern std::shared_ptr<const LoadedRecording>& LoadedStream;
// The loaded file's name without its folder. UI thread.
extern QString& LoadedFileName;
// Offset where the next file decode starts, -1 at the end. UI thread.
extern int32_t& StreamCursor;

// Datagrams handled since the last successful Start. UI thread (the
// per-datagram handler runs there).
extern int32_t& PacketCounter;
// A live decode may start. UI thread: cleared by the handler, set again by the
// completion of the live pass.
extern bool& LiveDecodeReady;
// Keep every RecordDivisor-th datagram: 1, 10 or 100. UI thread.
extern int32_t& RecordDivisor;
// The open recording file, if any. Opened, appended to and closed on the UI
// thread (a load closes it there too, before its worker starts).
extern link::Recorder& RecordingFile;

// Graph edits and the axis dialogs hold it (GraphBusyGuard, one count per
// guard, so nested guards keep it set until the outermost ends) while they
// change series or axes; a plotting pass that finds it non-zero does nothing.
// UI thread.
extern int GraphBusy;

// The chart series, one per plotted field, in field-list order: a view of the
// series model's own list (the model created last that still exists; empty
// without one). The series belong to the chart. UI thread.
class SeriesListView {
public:
    std::size_t size() const;
    bool empty() const { return size() == 0; }
    QCPGraph* operator[](std::size_t i) const;

    class const_iterator {
    public:
        const_iterator(const SeriesListView* list, std::size_t i) : list_(list), i_(i) {}
        QCPGraph* operator*() const { return (*list_)[i_]; }
        const_iterator& operator++()
        {
            ++i_;
            return *this;
        }
        bool operator==(const const_iterator& o) const { return i_ == o.i_; }
        bool operator!=(const const_iterator& o) const { return i_ != o.i_; }

    private:
        const SeriesListView* list_;
        std::size_t i_;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    // A copy of the list as it is now.
    operator std::vector<QCPGraph*>() const;
    bool operator==(const std::vector<QCPGraph*>& other) const { return std::vector<QCPGraph*>(*this) == other; }
};
extern const SeriesListView SeriesList;

// Live plotting attaches here. After an accepted datagram has been decoded
// into Navdata, the hook is called on the UI thread with LiveDecodeReady
// false; the pass it starts must call LiveDecodeFinished() on the UI thread
// when it has ended. With no hook set, the next live decode is allowed at once.
extern std::function<void()>& LiveDecodeHook;
// The completion notification of a live pass: LiveDecodeReady := true.
void LiveDecodeFinished();
// True from the hook's call until LiveDecodeFinished().
bool LivePassRunning();
void SetLivePassRunning(bool running);

// The movement command the Joystick window's repeat timer sends
// (control/joystick.h). UI thread.
extern std::string HeldCommand;
// The NavData and Graph windows have been placed beside the main window once
// (the window switches place them the first time only). UI thread.
extern bool RecordWindowsPlaced;

// Puts every entry above, and every other piece of program state that is
// not re-created with the windows, back to its program-start value (closing
// any recording file and dropping the loaded stream): the stream source, the
// held movement command, the first placement of the record windows, the
// depth of decode actions, the live frame pacing and its counts. Called by
// the program at start-up and by every test fixture.
void ResetSharedState();

} // namespace kestrix::gui
