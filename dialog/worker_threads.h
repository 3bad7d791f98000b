// The dialog's worker threads: started detached and never stopped or joined one by one, as
// the workers hand their results over through dialog fields and timers. The group counts the
// ones still running so that the dialog, which they use, outlives them.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

namespace nestora {

class WorkerThreads {
public:
    WorkerThreads() = default;
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;
    // Waits until every worker has ended.
    ~WorkerThreads() { WaitForAll(); }

    void Start(std::function<void()> work);
    void WaitForAll();
    int Running() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable ended_;
    int running_ = 0;
};

}  // namespace nestora
