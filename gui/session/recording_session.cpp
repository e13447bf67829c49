#include "session/recording_session.h"

#include "kit/decode_action.h"
#include "kit/shared_state.h"
#include "session/loaded_stream.h"
#include "session/loadstreamthread.h"

#include "kestrix/stream_index.h"

#include <QFileInfo>

namespace kestrix::gui {

RecordingSession& Recording()
{
    // Lives as long as the program; reachable, so never reported as a leak.
    static auto* session = new RecordingSession;
    return *session;
}

std::shared_ptr<const LoadedRecording>& LoadedStream = Recording().stream();
QString& LoadedFileName = Recording().fileName();
int32_t& StreamCursor = Recording().cursor();

namespace {

// The loaded stream (none: an empty one) with its index, for the seeks.
kestrix::StreamNavigation Navigation(RecordingSession& s)
{
    return {s.stream() ? s.stream()->bytes() : kestrix::ByteSpan{}, Navdata, s.cursor()};
}

const kestrix::StreamIndex* Index(RecordingSession& s)
{
    return s.stream() ? &s.stream()->index : nullptr;
}

} // namespace

int32_t RecordingSession::seekRecordByIndex(int32_t n)
{
    lastRecord_ = kestrix::SeekRecordByIndex(Navigation(*this), Index(*this), n);
    return lastRecord_;
}

int32_t RecordingSession::seekRecordByTime(double t)
{
    lastRecord_ = kestrix::SeekRecordByTime(Navigation(*this), Index(*this), t);
    return lastRecord_;
}

kestrix::LinkValues RecordingSession::linkValues() const
{
    return stream_ ? stream_->index.linkValues(lastRecord_) : kestrix::LinkValues{};
}

int32_t SeekRecordByIndex(int32_t n)
{
    return Recording().seekRecordByIndex(n);
}

int32_t SeekRecordByTime(double t)
{
    return Recording().seekRecordByTime(t);
}

bool RecordingSession::load(const QString& path)
{
    if (loading_) {
        return false;
    }
    loading_ = true;
    fileName_ = QFileInfo(path).fileName();
    emit loadStarted(fileName_);
    // Loading ends a recording in progress, here on the user-interface thread
    // where the datagram handler appends.
    RecordingFile.close();

    const uint64_t generation = generation_;
    TLoadStream::Start(path, [this, generation](TLoadStream::Result r) {
        if (generation != generation_) {
            return;
        }
        loading_ = false;
        if (!r.recording) {
            emit loadFailed(r.error.isEmpty() ? QStringLiteral("Cannot load \"%1\"").arg(fileName_) : r.error);
            return;
        }
        stream_ = std::move(r.recording);
        // Opening a file is one action: its first record shown and the redraw.
        DecodeAction action;
        emit loaded();
    });
    return true;
}

void RecordingSession::reset()
{
    stream_.reset();
    fileName_.clear();
    cursor_ = 0;
    lastRecord_ = -1;
    loading_ = false;
    ++generation_;
}

} // namespace kestrix::gui
