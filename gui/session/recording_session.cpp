#include "session/recording_session.h"

#include "kit/decode_action.h"
#include "kit/messages.h"
#include "kit/shared_state.h"
#include "session/loaded_stream.h"
#include "session/loadstreamthread.h"

#include "kestrix/stream_index.h"
#include "kestrix/stream_reader.h"

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
int64_t& StreamCursor = Recording().cursor();

void RecordingSession::walk(std::size_t chunk,
                            const std::function<void(kestrix::StreamReader&, const kestrix::StreamIndex*)>& walk)
{
    if (!stream_) {
        kestrix::StreamReader empty{kestrix::ByteSpan{}};
        walk(empty, nullptr);
        return;
    }
    // Kept alive for the whole walk, whatever a nested event loop loads.
    const std::shared_ptr<const LoadedRecording> recording = stream_;
    // What a failed walk puts back: nothing read from a changed file stays.
    const NavdataState state = Navdata.state;
    const uint32_t headerWord = Navdata.headerWord;
    const double recordTime = Navdata.recordTime;
    const uint64_t wrongSizes = Navdata.wrongSizeEvents;
    const int64_t cursor = cursor_;
    try {
        kestrix::StreamReader reader = recording->reader(chunk);
        walk(reader, &recording->index);
    } catch (const kestrix::StreamReadError& e) {
        Navdata.state = state;
        Navdata.headerWord = headerWord;
        Navdata.recordTime = recordTime;
        Navdata.wrongSizeEvents = wrongSizes;
        cursor_ = cursor;
        reportReadFailure(e);
        throw OperatorInformed();
    }
}

int32_t RecordingSession::seekRecordByIndex(int32_t n)
{
    int32_t result = -1;
    walk(LoadedRecording::kSeekChunk, [&](kestrix::StreamReader& reader, const kestrix::StreamIndex* index) {
        result = kestrix::SeekRecordByIndex(kestrix::RecordNavigation{reader, Navdata, cursor_}, index, n);
    });
    lastRecord_ = result;
    return result;
}

int32_t RecordingSession::seekRecordByTime(double t)
{
    int32_t result = -1;
    walk(LoadedRecording::kSeekChunk, [&](kestrix::StreamReader& reader, const kestrix::StreamIndex* index) {
        result = kestrix::SeekRecordByTime(kestrix::RecordNavigation{reader, Navdata, cursor_}, index, t);
    });
    lastRecord_ = result;
    return result;
}

kestrix::LinkValues RecordingSession::linkValues() const
{
    return stream_ ? stream_->index.linkValues(lastRecord_) : kestrix::LinkValues{};
}

void RecordingSession::reportReadFailure(const kestrix::StreamReadError& e)
{
    const QString text = QString::fromLocal8Bit(e.what());
    if (e.kind() != kestrix::StreamReadError::Kind::Changed) {
        ShowErrorBox(nullptr, text);
        return;
    }
    const QString path = path_;
    if (AskQuestion(nullptr, QStringLiteral("Error"), text + QStringLiteral("\n\nReload it?"), QStringLiteral("Reload"))) {
        load(path);
    }
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
    path_ = path;
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
    path_.clear();
    cursor_ = 0;
    lastRecord_ = -1;
    loading_ = false;
    ++generation_;
}

} // namespace kestrix::gui
