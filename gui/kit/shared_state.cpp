#include "kit/shared_state.h"

#include "session/loaded_stream.h"

namespace kestrix::gui {

kestrix::NavdataDecoder Navdata;
std::shared_ptr<const LoadedRecording> LoadedStream;
QString LoadedFileName;
int32_t StreamCursor = 0;
int32_t PacketCounter = 0;
bool LiveDecodeReady = false;
int32_t RecordDivisor = 100;
link::Recorder RecordingFile;
bool GraphBusy = false;
std::vector<QCPGraph*> SeriesList;
std::function<void()> LiveDecodeHook;

namespace {
bool livePassRunning = false;
}

void LiveDecodeFinished()
{
    livePassRunning = false;
    LiveDecodeReady = true;
}

bool LivePassRunning()
{
    return livePassRunning;
}

void SetLivePassRunning(bool running)
{
    livePassRunning = running;
}

void ResetSharedState()
{
    Navdata.state = {};
    Navdata.headerWord = 0;
    Navdata.recordTime = 0;
    Navdata.wrongSizeEvents = 0;
    Navdata.onWrongSize = {};
    LoadedStream.reset();
    LoadedFileName.clear();
    StreamCursor = 0;
    PacketCounter = 0;
    LiveDecodeReady = false;
    livePassRunning = false;
    RecordDivisor = 100;
    RecordingFile.close();
    GraphBusy = false;
    SeriesList.clear();
}

} // namespace kestrix::gui
