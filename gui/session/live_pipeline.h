// The live path of one datagram: accept, record, decode, hand to live
// plotting. One object for the whole program; the written names
// PacketCounter, LiveDecodeReady, RecordDivisor, RecordingFile and
// LiveDecodeHook (kit/shared_state.h) refer to its state.
//
// The main window's navdata socket hands every datagram to accept() on the
// user-interface thread; the window shows what the pipeline reports and
// listens to its signals. User-interface thread only.
#pragma once

#include "kestrix/link/navdata_watch.h"
#include "kestrix/link/recorder.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

namespace kestrix::gui {

// Whether a live decode may start, as one state: `ready` is cleared by each
// live decode and set again when its plotting pass has finished
// (`passRunning` from the hook's call until then).
struct LiveDecodeState {
    bool ready = false;
    bool passRunning = false;
};

class LivePipeline : public QObject {
    Q_OBJECT
public:
    // ---- State (the written names refer here).
    int32_t& packetCounter() { return packetCounter_; }
    int32_t& recordDivisor() { return recordDivisor_; }
    link::Recorder& recorder() { return recorder_; }
    LiveDecodeState& decodeState() { return decode_; }
    std::function<void()>& passHook() { return hook_; }
    // Link counts of the live stream and the silence of a drone that stopped
    // sending: watched from a successful Start to Stop.
    link::NavdataWatch& watch() { return watch_; }

    // A successful Start: counting starts again, a live decode may start
    // unless a pass still runs (its completion allows it), and the next bad
    // option is reported again.
    void started();
    // Stop has closed the navdata socket: no silence is watched any more.
    void stopped();

    // One received datagram: counts it, appends every RecordDivisor-th one to
    // the recording, and decodes it into Navdata when a live decode may start,
    // the datagram is longer than 500 bytes, `showRecords` (the main window's
    // "show stream records and graph" box) is ticked, the stream source is
    // "live" and the datagram is due. A decoded datagram emits `decoded`, then
    // starts the plotting pass through the hook. Returns true when it decoded.
    bool accept(const QByteArray& datagram, bool showRecords);

    // The end of a live pass: a live decode may start again.
    void passFinished();

    // Program-start state (closes the recording).
    void reset();

signals:
    // A datagram has been decoded into Navdata (before its plotting pass).
    void decoded();
    // An append to the recording failed: the recording is closed; `text`
    // says why, with the file name.
    void recordingFailed(const QString& text);

private:
    int32_t packetCounter_ = 0;
    int32_t recordDivisor_ = 100;
    link::Recorder recorder_;
    LiveDecodeState decode_;
    std::function<void()> hook_;
    link::NavdataWatch watch_;
    // "wrong size" already shown since the last Start.
    bool wrongSizeReported_ = false;
};

// The program's live pipeline.
LivePipeline& Live();

} // namespace kestrix::gui
