// The stream loader: opens a recorded file and builds its record index in one
// sequential pass on a worker thread, into a recording of its own, and hands
// it to the user-interface thread when done. The file stays open and is read
// on demand afterwards; it is never copied into memory.
#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace kestrix::gui {

struct LoadedRecording;

class TLoadStream {
public:
    struct Result {
        std::shared_ptr<const LoadedRecording> recording; // null when the file could not be read
        QString error;                                    // why not, with the file name
    };

    // Starts the load of `path`. `StreamFileLoaded` runs on the user-interface
    // thread once the worker has ended (not at all when the program stops its
    // workers first).
    static void Start(const QString& path, std::function<void(Result)> StreamFileLoaded);

    // The worker's body: the open file and its navigation index.
    static Result LoadStreamFile(const QString& path, const std::atomic<bool>& stop);
};

} // namespace kestrix::gui
