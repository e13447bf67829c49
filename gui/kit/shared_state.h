// Every piece of state the windows share, in one place. Each entry says who
// writes it, from which thread, and what keeps its readers safe.
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
#include <vector>

class QCPGraph;

namespace kestrix::gui {

struct LoadedRecording; // loaded_stream.h

// NavdataState (Navdata.state), NavdataHeaderWord (Navdata.headerWord) and
// RecordTime (Navdata.recordTime). Written on the UI thread only: by the live
// decode of the main window, by record navigation, by "Draw Graph" and by the
// plotting pass. The stream-source switch keeps live and file work apart.
extern kestrix::NavdataDecoder Navdata;

// LoadedStream: the recording loaded last, or null before the first load.
// Replaced on the UI thread only, when a load has finished; the loader reads
// into a recording of its own, so nothing ever decodes a stream another
// thread is filling. Immutable once published.
extern std::shared_ptr<const LoadedRecording> LoadedStream;
// The loaded file's name without its folder. UI thread.
extern QString LoadedFileName;
// Offset where the next file decode starts, -1 at the end. UI thread.
extern int32_t StreamCursor;

// Datagrams handled since the last successful Start. UI thread (the
// per-datagram handler runs there).
extern int32_t PacketCounter;
// A live decode may start. UI thread: cleared by the handler, set again by the
// completion of the live pass.
extern bool LiveDecodeReady;
// Keep every RecordDivisor-th datagram: 1, 10 or 100. UI thread.
extern int32_t RecordDivisor;
// The open recording file, if any. Opened, appended to and closed on the UI
// thread (a load closes it there too, before its worker starts).
extern link::Recorder RecordingFile;

// Graph edits and the axis dialogs hold it while they change series or axes;
// a plotting pass that finds it set does nothing. UI thread.
extern bool GraphBusy;
// The chart series, one per plotted field, in field-list order. The series
// belong to the chart. UI thread.
extern std::vector<QCPGraph*> SeriesList;

// Live plotting attaches here. After an accepted datagram has been decoded
// into Navdata, the hook is called on the UI thread with LiveDecodeReady
// false; the pass it starts must call LiveDecodeFinished() on the UI thread
// when it has ended. With no hook set, the next live decode is allowed at once.
extern std::function<void()> LiveDecodeHook;
// The completion notification of a live pass: LiveDecodeReady := true.
void LiveDecodeFinished();
// True from the hook's call until LiveDecodeFinished().
bool LivePassRunning();
void SetLivePassRunning(bool running);

// Puts every entry above back to its program-start value (closing any
// recording file and dropping the loaded stream). Called by the program at
// start-up and by every test fixture.
void ResetSharedState();

} // namespace kestrix::gui
