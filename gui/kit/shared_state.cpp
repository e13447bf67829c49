#include "kit/shared_state.h"

#include "kit/decode_action.h"
#include "session/live_pipeline.h"
#include "session/recording_session.h"
#include "session/stream_source.h"
#include "session/thread.h"

namespace kestrix::gui {

// LoadedStream, LoadedFileName and StreamCursor are defined with the recording
// session; PacketCounter, LiveDecodeReady, RecordDivisor, RecordingFile and
// LiveDecodeHook with the live pipeline; SeriesList with the series model.
kestrix::NavdataDecoder Navdata;
int GraphBusy = 0;
std::string HeldCommand;
bool RecordWindowsPlaced = false;

void ResetSharedState()
{
    Navdata.state = {};
    Navdata.headerWord = 0;
    Navdata.recordTime = 0;
    Navdata.wrongSizeEvents = 0;
    Navdata.onWrongSize = {};
    Recording().reset();
    Live().reset();
    TheStreamSource().reset();
    GraphBusy = 0;
    HeldCommand.clear();
    RecordWindowsPlaced = false;
    ResetDecodeActions();
    ResetLivePlotting();
}

} // namespace kestrix::gui
