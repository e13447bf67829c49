#include "kit/ui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <condition_variable>
#include <exception>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace kestrix::gui {

namespace {

// One lock for the worker list and every cross-thread wait; the waits are
// rare and short.
std::mutex mutex;
std::condition_variable changed;

struct Worker {
    std::thread thread;
    std::atomic<bool> stop{false};
    bool ended = false; // the body has returned (under mutex)
};
std::list<std::shared_ptr<Worker>> workers;
// Raised by StopWorkers: RunOnUi waits give up, completions are dropped.
uint64_t generation = 0;
bool stopping = false;

} // namespace

bool OnUiThread()
{
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void PostToUi(std::function<void()> f)
{
    auto* app = QCoreApplication::instance();
    if (!app) {
        return;
    }
    QMetaObject::invokeMethod(app, std::move(f), Qt::QueuedConnection);
}

void RunOnUi(const std::function<void()>& f)
{
    if (OnUiThread() || !QCoreApplication::instance()) {
        f();
        return;
    }
    struct Call {
        bool done = false;
        std::exception_ptr error;
    };
    auto call = std::make_shared<Call>();
    uint64_t gen;
    {
        std::lock_guard lock(mutex);
        if (stopping) {
            throw WorkerStopped();
        }
        gen = generation;
    }
    PostToUi([call, f] {
        std::exception_ptr error;
        try {
            f();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard lock(mutex);
        call->error = error;
        call->done = true;
        changed.notify_all();
    });
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return call->done || generation != gen || stopping; });
    if (!call->done) {
        throw WorkerStopped();
    }
    if (call->error) {
        std::rethrow_exception(call->error);
    }
}

void StartWorker(std::function<void(const std::atomic<bool>& stop)> body, std::function<void()> finished)
{
    auto worker = std::make_shared<Worker>();
    uint64_t gen;
    {
        std::lock_guard lock(mutex);
        gen = generation;
        workers.push_back(worker);
    }
    Worker* w = worker.get();
    worker->thread = std::thread([w, gen, body = std::move(body), finished = std::move(finished)]() mutable {
        try {
            body(w->stop);
        } catch (...) {
        }
        body = nullptr;
        std::lock_guard lock(mutex);
        w->ended = true;
        changed.notify_all();
        if (generation != gen) {
            return; // stopped: StopWorkers joins and forgets this worker
        }
        // The completion runs on the UI thread; it also joins and forgets the
        // worker, so RunningWorkers() counts it until then.
        PostToUi([w, gen, finished = std::move(finished)] {
            std::shared_ptr<Worker> mine;
            {
                std::lock_guard lock(mutex);
                if (generation != gen) {
                    return;
                }
                for (auto it = workers.begin(); it != workers.end(); ++it) {
                    if (it->get() == w) {
                        mine = *it;
                        workers.erase(it);
                        break;
                    }
                }
            }
            if (!mine) {
                return;
            }
            mine->thread.join();
            if (finished) {
                finished();
            }
        });
    });
}

int RunningWorkers()
{
    std::lock_guard lock(mutex);
    return int(workers.size());
}

void StopWorkers()
{
    std::list<std::shared_ptr<Worker>> all;
    {
        std::lock_guard lock(mutex);
        stopping = true;
        ++generation;
        for (auto& w : workers) {
            w->stop = true;
        }
        all.swap(workers);
        changed.notify_all();
    }
    for (auto& w : all) {
        if (w->thread.joinable()) {
            w->thread.join();
        }
    }
    std::lock_guard lock(mutex);
    stopping = false;
}

} // namespace kestrix::gui
