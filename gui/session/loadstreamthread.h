// The stream loader: reads a recorded file into a recording of its own on a
// worker thread and hands it to the user-interface thread when done.
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

    // The worker's body: the whole file and its navigation index.
    static Result LoadStreamFile(const QString& path, const std::atomic<bool>& stop);
};

} // namespace kestrix::gui
