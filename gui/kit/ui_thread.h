// Running work on the user-interface thread, and the program's worker threads.
//
// Workers compute or read into buffers of their own and hand the result over
// on the user-interface thread; nothing the windows share is touched by a
// worker directly.
#pragma once

#include <atomic>
#include <functional>
#include <stdexcept>

namespace kestrix::gui {

// True on the thread that runs the application's event loop.
bool OnUiThread();

// Queues `f` to run on the user-interface thread and returns at once (also
// when called there). Dropped when no application exists.
void PostToUi(std::function<void()> f);

// Runs `f` on the user-interface thread and waits until it has run; on that
// thread it runs at once. An exception thrown by `f` reaches the caller. A
// worker waiting here while the program stops its workers is released with
// WorkerStopped instead of waiting for ever.
void RunOnUi(const std::function<void()>& f);

struct WorkerStopped : std::runtime_error {
    WorkerStopped() : std::runtime_error("stopped") {}
};

// Starts `body` on a thread of its own. `stop` turns true when the program
// wants its workers gone; long bodies look at it now and then. When the body
// has ended, `finished` runs on the user-interface thread, unless the workers
// were stopped meanwhile. An exception escaping `body` is dropped; the body
// reports its own failures.
void StartWorker(std::function<void(const std::atomic<bool>& stop)> body, std::function<void()> finished);

// Workers started and not yet finished (their completion not yet run).
int RunningWorkers();

// Tells every worker to stop, waits until all have ended and drops their
// pending completions. Called before any window is destroyed. New workers may
// be started again afterwards.
void StopWorkers();

} // namespace kestrix::gui
