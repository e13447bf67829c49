#include "session/loadstreamthread.h"

#include "session/loaded_stream.h"
#include "kit/ui_thread.h"

#include <QFile>
#include <QFileInfo>

#include <new>

namespace kestrix::gui {

TLoadStream::Result TLoadStream::LoadStreamFile(const QString& path, const std::atomic<bool>& stop)
{
    Result result;
    // Only plain files: a pipe or device could keep the loader (and the
    // program's exit, which waits for it) blocked for ever.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        result.error = QStringLiteral("Cannot load \"%1\": not a regular file").arg(path);
        return result;
    }
    auto recording = std::make_shared<LoadedRecording>();
    std::string error;
    if (!ReadStreamFile(QFile::encodeName(path).toStdString(), recording->buffer, error, &stop)) {
        result.error = QString::fromLocal8Bit(error.data(), qsizetype(error.size()));
        return result;
    }
    try {
        recording->index = StreamIndex::Build(recording->bytes(), &stop);
    } catch (const std::bad_alloc&) {
        result.error = QStringLiteral("Not enough memory to load \"%1\"").arg(path);
        return result;
    }
    if (stop) {
        return result;
    }
    result.recording = std::move(recording);
    return result;
}

void TLoadStream::Start(const QString& path, std::function<void(Result)> StreamFileLoaded)
{
    auto result = std::make_shared<Result>();
    StartWorker([path, result](const std::atomic<bool>& stop) { *result = LoadStreamFile(path, stop); },
                [result, done = std::move(StreamFileLoaded)] { done(std::move(*result)); });
}

} // namespace kestrix::gui
