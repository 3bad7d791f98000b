#include "components/install_queue.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "components/detection.h"
#include "components/install_item.h"
#include "components/test_files.h"
#include "tests/support/bank_server.h"
#include "tests/support/temp_sandbox.h"

namespace components {
namespace {

namespace fs = std::filesystem;
using config::ComponentItem;
using namespace components::testing;

// Records what the worker tells the dialog. Workers are started on threads that Join() waits
// for, or only kept (deferred) so that the test sees the queue before anything runs.
class RecordingHost : public InstallHost {
public:
    void SetDownloading(bool downloading) override {
        Record(std::string("downloading ") + (downloading ? "on" : "off"));
    }
    void SetDownloadPercent(std::uint32_t percent) override {
        std::lock_guard<std::mutex> guard(mutex_);
        lastPercent = percent;
    }
    void PostInstallStatus(std::int32_t status) override {
        Record("status " + std::to_string(status));
        if (status == kInstallDownloading && onDownloading)
            onDownloading();
    }
    void ArmDownloadProgressTimer(unsigned ms) override { Record("timer3 " + std::to_string(ms)); }
    void ArmRefreshTimer(unsigned ms) override { Record("timer4 " + std::to_string(ms)); }
    int AskChoice(const ChoicePrompt& prompt) override {
        Record("ask " + std::to_string(prompt.content));
        std::lock_guard<std::mutex> guard(mutex_);
        if (answers.empty())
            return 6;
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    void StartWorker(std::function<void()> work) override {
        Record("start worker");
        if (deferWorkers) {
            deferred.push_back(std::move(work));
        } else {
            threads_.emplace_back(std::move(work));
        }
    }

    void Join() {
        for (std::thread& thread : threads_)
            thread.join();
        threads_.clear();
    }
    std::vector<std::string> Events() {
        std::lock_guard<std::mutex> guard(mutex_);
        return events_;
    }
    void ClearEvents() {
        std::lock_guard<std::mutex> guard(mutex_);
        events_.clear();
    }
    int Count(const std::string& event) {
        const auto events = Events();
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }

    bool deferWorkers = false;
    std::vector<std::function<void()>> deferred;
    std::vector<int> answers;
    std::function<void()> onDownloading;
    std::uint32_t lastPercent = 12345;

private:
    void Record(std::string event) {
        std::lock_guard<std::mutex> guard(mutex_);
        events_.push_back(std::move(event));
    }

    std::mutex mutex_;
    std::vector<std::string> events_;
    std::vector<std::thread> threads_;
};

class InstallQueueTest : public nestora_test::WithBankServer<> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WithBankServer::SetUp());
        processes_ = &RecordingProcesses::ReplaceIn(context());
        fs::create_directories(context().files->ToLinuxPath("C:\\DownTmp"));
        queue_ = std::make_unique<InstallQueue>(context(), host_,
                                                InstallTiming{std::chrono::milliseconds(0), 5000});
    }
    void TearDown() override { host_.Join(); }

    platform::Context& context() { return sandbox_.Context(); }

    // An item that installs the file at `path` of the demo server into C:\DownTmp\name.
    static config::InstallerRule Installer(const std::string& path, const std::string& command,
                                           const std::string& name = "setup.sh") {
        return {server_->HttpUrl(path), command, "C:\\DownTmp\\" + name, ""};
    }
    static config::ComponentFile File(const std::string& path, const std::string& local,
                                      const std::string& install) {
        config::ComponentFile file;
        file.url = server_->HttpUrl(path);
        file.localPath = local;
        file.install = install;
        return file;
    }
    static ComponentItem ItemWith(std::int32_t status,
                                  std::vector<config::InstallerRule> installers,
                                  std::vector<config::ComponentFile> files = {},
                                  std::string type = "control") {
        ComponentItem item;
        item.type = std::move(type);
        item.status = status;
        item.installers = std::move(installers);
        item.files = std::move(files);
        return item;
    }

    void RunDeferredWorkers() {
        auto work = std::move(host_.deferred);
        host_.deferred.clear();
        for (auto& w : work)
            w();
    }

    nestora_test::TempSandbox sandbox_;
    RecordingHost host_;
    RecordingProcesses* processes_ = nullptr;
    std::unique_ptr<InstallQueue> queue_;
};

TEST_F(InstallQueueTest, InstallAllQueuesTheItemsThatNeedItForTheUsersKeyType) {
    host_.deferWorkers = true;
    const std::vector<ComponentItem> items = {
        ItemWith(kStateInstalled, {Installer("/a", "a")}),
        ItemWith(kStateInstallable, {Installer("/b", "b")}),
        ItemWith(kStateInstallable, {Installer("/c", "c")}, {}, "driver"),
        ItemWith(kStateInstallable, {Installer("/d", "d")}, {}, "driver"),
    };
    InstallItem(*queue_, items, 0, 1, *context().registry);

    const auto jobs = queue_->PendingJobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].command, "b");
    EXPECT_EQ(jobs[1].command, "c");
    EXPECT_EQ(host_.deferred.size(), 1u) << "one worker";
    EXPECT_EQ(host_.Events(),
              (std::vector<std::string>{"downloading on", "start worker", "timer3 500"}));
    EXPECT_FALSE(queue_->IsInstallAll());
}

TEST_F(InstallQueueTest, StatesFlagsAndInstallersDecideWhatIsQueued) {
    host_.deferWorkers = true;
    const std::int32_t absent = config::kStatusUsbKeyAbsent;
    const auto one = [](std::int32_t status) {
        return ItemWith(status, {Installer("/1", "first"), Installer("/2", "second"),
                                 Installer("/3", "third")});
    };
    const struct {
        const char* name;
        ComponentItem item;
        std::vector<std::string> commands;
    } cases[] = {
        {"outdated", one(kStateOutdated), {"first"}},
        {"upgradable", one(kStateUpgradable), {"first"}},
        {"missing", one(kStateMissing), {"first"}},
        {"installable", one(kStateInstallable), {"first"}},
        {"installed", one(kStateInstalled), {}},
        {"never detected", one(config::kStatusNotDetected), {}},
        {"key absent, installable", one(absent | kStateInstallable), {}},
        {"key absent, missing", one(absent | kStateMissing), {}},
        {"key absent, upgradable", one(absent | kStateUpgradable), {"first"}},
        {"key absent, outdated", one(absent | kStateOutdated), {"first"}},
        {"files only",
         ItemWith(kStateInstallable, {},
                  {File("/f1", "C:\\f1", "regserver"), File("/f2", "C:\\f2", "")}),
         {"", ""}},
        {"nothing to install", ItemWith(kStateInstallable, {}), {}},
    };
    for (const auto& c : cases) {
        InstallQueue queue(context(), host_);
        InstallItem(queue, {c.item}, 1, 0, *context().registry);
        std::vector<std::string> commands;
        for (const InstallJob& job : queue.PendingJobs())
            commands.push_back(job.command);
        EXPECT_EQ(commands, c.commands) << c.name;
    }
    InstallQueue queue(context(), host_);
    const std::vector<ComponentItem> items = {one(kStateInstallable)};
    for (int n : {-1, 2, 99})
        InstallItem(queue, items, n, 0, *context().registry);
    EXPECT_TRUE(queue.PendingJobs().empty()) << "out of range";
    host_.deferred.clear();
}

TEST_F(InstallQueueTest, SwitchedOffAddOnIsSwitchedOnWithoutAJobWhenInstalled) {
    const char* clsid = "{3A2C8BC3-5B68-4AE5-81D6-6DC378708F3E}";
    DisableAddOn(context(), clsid, 1);
    ComponentItem item =
        ItemWith(config::kStatusAddOnDisabled | kStateInstalled, {Installer("/a", "a")});
    item.detects = {{"C:\\x", "file"}, {clsid, "clsid"}};
    InstallItem(*queue_, {item}, 1, 0, *context().registry);
    EXPECT_FALSE(IsAddonDisabled(*context().registry, clsid, false));
    EXPECT_TRUE(queue_->PendingJobs().empty());
    EXPECT_TRUE(host_.Events().empty());
}

TEST_F(InstallQueueTest, InstallerRunsWithItsCommandThenAFreshDetection) {
    InstallItem(
        *queue_,
        {ItemWith(kStateInstallable, {Installer("/download/lockfern_setup.sh", "\"%1\" /S")})}, 1,
        0, *context().registry);
    host_.Join();

    EXPECT_EQ(processes_->started, (std::vector<std::string>{"\"C:\\DownTmp\\setup.sh\" /S"}));
    EXPECT_EQ(host_.Events(), (std::vector<std::string>{"downloading on", "start worker",
                                                        "timer3 500", "timer3 500", "status 2",
                                                        "status 3", "timer4 0", "status 1"}));
    EXPECT_EQ(host_.lastPercent, 100u);
    EXPECT_TRUE(IsControlRegistered(context(), "{3A2C8BC3-5B68-4AE5-81D6-6DC378708F3E}"));
    EXPECT_FALSE(queue_->IsBusy());
    EXPECT_FALSE(queue_->HasWorker());
}

TEST_F(InstallQueueTest, FileJobsRegisterRunNothingOrFailOnAnEmptyCommand) {
    const std::string control = "C:\\Windows\\System32\\npvidera_svs_acx_tarvel.dll";
    InstallItem(*queue_,
                {ItemWith(kStateInstallable, {},
                          {File("/download/npvidera_svs_acx_tarvel.dll", control, "regserver"),
                           File("/test/bytes?n=10", "C:\\DownTmp\\other.bin", "copy"),
                           File("/test/bytes?n=10", "C:\\DownTmp\\empty.bin", "")})},
                1, 0, *context().registry);
    host_.Join();

    EXPECT_EQ(processes_->started,
              (std::vector<std::string>{"regsvr32 /s \"" + control + "\"", ""}));
    EXPECT_TRUE(IsControlRegistered(context(), "{93363B01-B699-4100-8FFC-3EC580F4F653}"));
    EXPECT_TRUE(context().files->PathFileExists("C:\\DownTmp\\other.bin"));
    EXPECT_EQ(host_.Count("timer4 0"), 1) << "only the registration asks for a detection";
    EXPECT_EQ(host_.Count("ask 149"), 1) << "the empty command cannot start";
    EXPECT_EQ(host_.Count("status 3"), 3);
    EXPECT_EQ(host_.Count("status 1"), 3);
}

TEST_F(InstallQueueTest, EmptyInstallerCommandAsksAfterTheDownload) {
    InstallItem(*queue_, {ItemWith(kStateMissing, {Installer("/test/bytes?n=10", "")})}, 1, 0,
                *context().registry);
    host_.Join();
    EXPECT_TRUE(context().files->PathFileExists("C:\\DownTmp\\setup.sh"));
    EXPECT_EQ(processes_->started, std::vector<std::string>{""});
    const auto events = host_.Events();
    EXPECT_EQ(std::vector<std::string>(events.end() - 3, events.end()),
              (std::vector<std::string>{"status 3", "ask 149", "status 1"}));
}

TEST_F(InstallQueueTest, RequestsWhileTheWorkerRunsAreIgnored) {
    const std::vector<ComponentItem> items = {
        ItemWith(kStateInstallable, {Installer("/test/bytes?n=10", "", "one.bin")}),
        ItemWith(kStateInstallable, {Installer("/test/bytes?n=10", "", "two.bin")}),
    };
    bool asked = false;
    host_.onDownloading = [&] {
        if (asked)
            return;
        asked = true;
        EXPECT_TRUE(queue_->IsBusy());
        InstallItem(*queue_, items, 2, 0, *context().registry);
        InstallItem(*queue_, items, 0, 0, *context().registry);
    };
    InstallItem(*queue_, items, 1, 0, *context().registry);
    host_.Join();
    EXPECT_TRUE(asked);
    EXPECT_EQ(host_.Count("status 2"), 1);
    EXPECT_FALSE(context().files->PathFileExists("C:\\DownTmp\\two.bin"));
}

TEST_F(InstallQueueTest, NoAfterAFailedDownloadLeavesTheRestForTheNextWorker) {
    host_.answers = {7};
    for (const char* name : {"a", "b", "c"}) {
        queue_->QueueInstallJob(JobFromInstaller(Installer("/test/404", "", name)));
    }
    host_.Join();
    EXPECT_EQ(host_.Events(), (std::vector<std::string>{"downloading on", "start worker",
                                                        "timer3 500", "timer3 500", "status 2",
                                                        "downloading off", "status 1", "ask 145"}));
    EXPECT_EQ(host_.lastPercent, 0u);
    const auto left = queue_->PendingJobs();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].localPath, "C:\\DownTmp\\b");
    EXPECT_FALSE(queue_->HasWorker());
    EXPECT_FALSE(queue_->IsBusy());

    // The next request starts a worker that works the two left-over jobs first.
    host_.ClearEvents();
    host_.deferWorkers = true;
    queue_->QueueInstallJob(JobFromInstaller(Installer("/test/bytes?n=4", "", "d")));
    ASSERT_EQ(host_.deferred.size(), 1u);
    std::vector<std::string> order;
    host_.onDownloading = [&] { order.push_back(queue_->PendingJobs().front().localPath); };
    RunDeferredWorkers();
    EXPECT_EQ(order,
              (std::vector<std::string>{"C:\\DownTmp\\b", "C:\\DownTmp\\c", "C:\\DownTmp\\d"}));
    EXPECT_EQ(host_.Count("ask 145"), 2) << "Yes when no answer is scripted";
    EXPECT_TRUE(queue_->PendingJobs().empty());
}

TEST_F(InstallQueueTest, NoAfterAFailedStartStopsTheWorker) {
    host_.answers = {7};
    queue_->QueueInstallJob(JobFromInstaller(Installer("/test/bytes?n=4", "C:\\nothing.exe")));
    queue_->QueueInstallJob(JobFromInstaller(Installer("/test/bytes?n=4", "C:\\nothing.exe")));
    host_.Join();
    EXPECT_EQ(host_.Count("ask 149"), 1);
    EXPECT_EQ(queue_->PendingJobs().size(), 1u);
}

}  // namespace
}  // namespace components
