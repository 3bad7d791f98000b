// The install queue and its worker. The user-interface thread appends jobs; one worker at a
// time takes them from the front, downloads each job's file and runs its installer or
// registers the downloaded control, and reports to the page through its host (status, the
// download percentage, the timers of the progress bar and of a fresh detection, prompts).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "config/config_records.h"
#include "platform/win_types.h"

namespace platform {
struct Context;
class InternetSession;
}  // namespace platform

namespace components {

// Install status codes shown on the page.
constexpr std::int32_t kInstallFinished = 1;
constexpr std::int32_t kInstallDownloading = 2;
constexpr std::int32_t kInstallInstalling = 3;

// String identifiers of the worker's prompts (content, instruction, yes, no).
struct ChoicePrompt {
    int content;
    int instruction;
    int yes;
    int no;
};
constexpr ChoicePrompt kDownloadFailedPrompt{145, 146, 147, 148};
constexpr ChoicePrompt kInstallFailedPrompt{149, 150, 151, 152};
constexpr int kAnswerNo = 7;

// One queued job: a file to download and what to do with it afterwards.
struct InstallJob {
    std::string url;
    std::string localPath;
    std::string installerPath;  // installer jobs: the downloaded installer
    std::string command;        // installer jobs: the command with its "%1" placeholders
    std::string install;        // file jobs: "regserver" registers the file
    std::string registerPath;   // file jobs: the downloaded file

    friend bool operator==(const InstallJob&, const InstallJob&) = default;
};

InstallJob JobFromInstaller(const config::InstallerRule& installer);
InstallJob JobFromFile(const config::ComponentFile& file);

// What the worker reaches the dialog through; called from the worker thread, except
// StartWorker, which the user-interface thread calls while it queues.
class InstallHost {
public:
    virtual ~InstallHost() = default;

    virtual void SetDownloading(bool downloading) = 0;
    virtual void SetDownloadPercent(std::uint32_t percent) = 0;
    // Stores the status code and shows it at once (timer 6).
    virtual void PostInstallStatus(std::int32_t status) = 0;
    // Timer 3: shows the download percentage.
    virtual void ArmDownloadProgressTimer(unsigned milliseconds) = 0;
    // Timer 4: a fresh detection and report.
    virtual void ArmRefreshTimer(unsigned milliseconds) = 0;
    virtual int AskChoice(const ChoicePrompt& prompt) = 0;
    // Starts `work` on a new worker thread.
    virtual void StartWorker(std::function<void()> work) = 0;
};

struct InstallTiming {
    std::chrono::milliseconds pauseAfterInstaller{300};
    win::DWORD downloadStallTimeoutMs = 60000;
};

class InstallQueue {
public:
    InstallQueue(platform::Context& context, InstallHost& host, InstallTiming timing = {})
        : context_(context), host_(host), timing_(timing) {}
    InstallQueue(const InstallQueue&) = delete;
    InstallQueue& operator=(const InstallQueue&) = delete;

    // Appends a copy of the job; starts a worker when none runs (downloading on, timer 3).
    void QueueInstallJob(const InstallJob& job);

    // The worker thread's procedure: works the queue from the front until it is empty or the
    // user says No after a failure; the jobs behind a stopped one stay for the next worker.
    void InstallWorker();

    // The worker runs (from its start to its end).
    bool IsBusy() const { return busy_.load(std::memory_order_acquire); }
    // install(0) is queueing every item.
    bool IsInstallAll() const { return installAll_.load(std::memory_order_acquire); }
    void SetInstallAll(bool all) { installAll_.store(all, std::memory_order_release); }
    // Once the configuration has arrived the dialog starts from a clean state.
    void ClearFlags() {
        busy_.store(false, std::memory_order_release);
        installAll_.store(false, std::memory_order_release);
    }

    // For the dialog's tests and hosts.
    std::deque<InstallJob> PendingJobs() const;
    bool HasWorker() const;

private:
    // Runs one job; false when the user asked to stop.
    bool RunJob(platform::InternetSession* session, const InstallJob& job);
    bool RunInstaller(const InstallJob& job);

    platform::Context& context_;
    InstallHost& host_;
    InstallTiming timing_;
    mutable std::mutex lock_;  // guards queue_ and workerStarted_
    std::deque<InstallJob> queue_;
    bool workerStarted_ = false;
    std::atomic<bool> busy_{false};
    std::atomic<bool> installAll_{false};
};

}  // namespace components
