#include "components/install_queue.h"

#include <memory>
#include <thread>

#include "components/download.h"
#include "components/install_command.h"
#include "components/run_command.h"
#include "platform/context.h"
#include "platform/internet.h"

namespace components {
namespace {

constexpr unsigned kProgressTimerMs = 500;
constexpr std::string_view kRegisterServer = "regserver";

std::unique_ptr<platform::InternetSession> OpenWorkerSession(platform::Context& context) {
    return context.internet ? context.internet->OpenSession("Mozilla/5.0") : nullptr;
}

}  // namespace

InstallJob JobFromInstaller(const config::InstallerRule& installer) {
    InstallJob job;
    job.url = installer.url;
    job.localPath = installer.localPath;
    job.installerPath = installer.localPath;
    job.command = installer.command;
    return job;
}

InstallJob JobFromFile(const config::ComponentFile& file) {
    InstallJob job;
    job.url = file.url;
    job.localPath = file.localPath;
    job.install = file.install;
    job.registerPath = file.localPath;
    return job;
}

void InstallQueue::QueueInstallJob(const InstallJob& job) {
    std::lock_guard<std::mutex> guard(lock_);
    queue_.push_back(job);
    if (!workerStarted_) {
        workerStarted_ = true;
        host_.SetDownloading(true);
        host_.StartWorker([this] { InstallWorker(); });
        host_.ArmDownloadProgressTimer(kProgressTimerMs);
    }
}

void InstallQueue::InstallWorker() {
    const std::unique_ptr<platform::InternetSession> session = OpenWorkerSession(context_);
    busy_.store(true, std::memory_order_release);
    while (true) {
        InstallJob job;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (queue_.empty()) {
                workerStarted_ = false;
                break;
            }
            job = queue_.front();
        }
        const bool goOn = RunJob(session.get(), job);
        std::lock_guard<std::mutex> guard(lock_);
        queue_.pop_front();
        if (queue_.empty() || !goOn) {
            workerStarted_ = false;
            break;
        }
    }
    busy_.store(false, std::memory_order_release);
}

bool InstallQueue::RunJob(platform::InternetSession* session, const InstallJob& job) {
    host_.SetDownloadPercent(0);
    host_.ArmDownloadProgressTimer(kProgressTimerMs);
    host_.PostInstallStatus(kInstallDownloading);
    const DownloadProgress progress = [this](std::uint32_t percent) {
        host_.SetDownloadPercent(percent);
    };
    const bool downloaded =
        session && DownloadToFile(*session, *context_.files, job.url, job.localPath, progress,
                                  timing_.downloadStallTimeoutMs) != 0;
    if (!downloaded) {
        host_.SetDownloading(false);
        host_.PostInstallStatus(kInstallFinished);
        return host_.AskChoice(kDownloadFailedPrompt) != kAnswerNo;
    }
    host_.PostInstallStatus(kInstallInstalling);
    const bool goOn = RunInstaller(job);
    host_.PostInstallStatus(kInstallFinished);
    return goOn;
}

// Runs the job's installer command, or registers its file; false when it could not start and
// the user asked to stop.
bool InstallQueue::RunInstaller(const InstallJob& job) {
    platform::Processes& processes = *context_.processes;
    if (job.install.empty()) {
        if (RunCommandLine(processes, BuildInstallCommand(job.command, job.installerPath), true)) {
            std::this_thread::sleep_for(timing_.pauseAfterInstaller);
            host_.ArmRefreshTimer(0);
            return true;
        }
        return host_.AskChoice(kInstallFailedPrompt) != kAnswerNo;
    }
    if (!job.registerPath.empty() && job.install == kRegisterServer) {
        if (RunCommandLine(processes, "regsvr32 /s \"" + job.registerPath + "\"", true)) {
            host_.ArmRefreshTimer(0);
            return true;
        }
        return host_.AskChoice(kInstallFailedPrompt) != kAnswerNo;
    }
    return true;
}

std::deque<InstallJob> InstallQueue::PendingJobs() const {
    std::lock_guard<std::mutex> guard(lock_);
    return queue_;
}

bool InstallQueue::HasWorker() const {
    std::lock_guard<std::mutex> guard(lock_);
    return workerStarted_;
}

}  // namespace components
