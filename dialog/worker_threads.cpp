#include "dialog/worker_threads.h"

#include <thread>

namespace nestora {

void WorkerThreads::Start(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        ++running_;
    }
    std::thread([this, work = std::move(work)]() mutable {
        work();
        work = nullptr;  // whatever the work holds goes before the group may end
        std::lock_guard lock(mutex_);
        --running_;
        ended_.notify_all();
    }).detach();
}

void WorkerThreads::WaitForAll() {
    std::unique_lock lock(mutex_);
    ended_.wait(lock, [this] { return running_ == 0; });
}

int WorkerThreads::Running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

}  // namespace nestora
