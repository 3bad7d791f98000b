// The whole cycle against the demo bank server: item.xml fetched and loaded, every component
// detected, installed by the install worker, detected again, removed and detected again.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "components/detection.h"
#include "components/install_item.h"
#include "components/install_queue.h"
#include "components/removal.h"
#include "components/test_files.h"
#include "config/check_config.h"
#include "config/http_get_text.h"
#include "platform/internet.h"
#include "tests/support/bank_server.h"
#include "tests/support/temp_sandbox.h"

namespace components {
namespace {

namespace fs = std::filesystem;
using namespace components::testing;

constexpr const char* kPasswordClsid = "{3A2C8BC3-5B68-4AE5-81D6-6DC378708F3E}";
constexpr const char* kSigningClsid = "{93363B01-B699-4100-8FFC-3EC580F4F653}";

// Runs workers on threads that Join() waits for and answers Yes; removal prompts are counted.
class SynchronousHost : public InstallHost, public RemovalHost {
public:
    void SetDownloading(bool) override {}
    void SetDownloadPercent(std::uint32_t) override {}
    void PostInstallStatus(std::int32_t) override {}
    void ArmDownloadProgressTimer(unsigned) override {}
    void ArmRefreshTimer(unsigned) override { ++refreshes; }
    int AskChoice(const ChoicePrompt& prompt) override {
        prompts.push_back(prompt.content);
        return 6;
    }
    void StartWorker(std::function<void()> work) override { workers.emplace_back(work); }
    void Join() {
        for (std::thread& worker : workers)
            worker.join();
        workers.clear();
    }
    void ShowRemovalWarning() override { ++warnings; }
    void StartCheckPass() override { ++checkPasses; }

    int refreshes = 0;
    int warnings = 0;
    int checkPasses = 0;
    std::vector<int> prompts;
    std::vector<std::thread> workers;
};

class DemoCycle : public ::testing::TestWithParam<const char*> {
protected:
    DemoCycle() : sandbox_(GetParam()) {}

    void SetUp() override {
        ASSERT_TRUE(server_.Started()) << server_.Error();
        ASSERT_TRUE(nestora_test::TrustDemoAuthority(server_, context()));
        const auto session = context().internet->OpenSession("Mozilla/5.0");
        const std::string document =
            config::HttpGetText(*session, server_.HttpsUrl("/cfg/item.xml"));
        ASSERT_TRUE(config_.LoadFromXml(document, context()));
        ASSERT_GE(config_.items.size(), 5u);
    }

    platform::Context& context() { return sandbox_.Context(); }

    std::int32_t Detect(int n) {
        DetectComponents(config_.items, context(), [this] { return attachedKeys_; });
        return config_.items[n - 1].status;
    }
    void Install(int n, int userType = 0) {
        InstallQueue queue(context(), host_, InstallTiming{std::chrono::milliseconds(0), 10000});
        InstallItem(queue, config_.items, n, userType, *context().registry);
        host_.Join();
    }

    nestora_test::BankServer server_;
    nestora_test::TempSandbox sandbox_;
    config::CheckConfig config_;
    SynchronousHost host_;
    std::vector<std::uint32_t> attachedKeys_;
};

TEST_P(DemoCycle, PasswordControlInstalledByItsInstallerAndRemovedByItsUninstaller) {
    EXPECT_EQ(Detect(1), kStateInstallable);
    Install(1);
    EXPECT_EQ(host_.refreshes, 1);
    EXPECT_EQ(Detect(1), kStateInstalled);
    EXPECT_TRUE(IsControlRegistered(context(), kPasswordClsid));

    DisableAddOn(context(), kPasswordClsid, 1);
    EXPECT_EQ(Detect(1), config::kStatusAddOnDisabled | kStateInstalled);
    Install(1);
    EXPECT_EQ(Detect(1), kStateInstalled) << "switched back on, nothing installed";
    EXPECT_EQ(host_.refreshes, 1);

    UninstallItem(context(), config_.items, 1, host_);
    EXPECT_EQ(host_.warnings, 0) << "its own uninstaller was there";
    EXPECT_EQ(host_.checkPasses, 1);
    EXPECT_EQ(Detect(1), kStateInstallable);
    EXPECT_FALSE(context().files->PathFileExists(
        context().files->ExpandEnvironment("%ProgramFiles%\\Qiventa\\Lockfern")))
        << "the uninstaller's child removed its folder";
}

TEST_P(DemoCycle, SigningControlDeliveredAsAFileAndRemovedByTheFixedList) {
    EXPECT_EQ(Detect(2), kStateInstallable);
    Install(2);
    EXPECT_EQ(Detect(2), kStateInstalled);

    UninstallItem(context(), config_.items, 2, host_);
    EXPECT_EQ(host_.warnings, 1);
    EXPECT_EQ(host_.checkPasses, 1);
    EXPECT_FALSE(IsControlRegistered(context(), kSigningClsid));
    EXPECT_EQ(Detect(2), kStateInstallable);
}

TEST_P(DemoCycle, OnlyTheDriverOfTheUsersKeyTypeIsInstalled) {
    // The driver's file rule comes before its key rule, so a missing driver is installable
    // whether its key is plugged in or not.
    EXPECT_EQ(Detect(3), kStateInstallable);
    Install(0, 1);
    EXPECT_EQ(Detect(3), config::kStatusUsbKeyAbsent | kStateInstalled);
    attachedKeys_ = {0x5448A001};
    EXPECT_EQ(Detect(3), kStateInstalled);
    EXPECT_EQ(Detect(4), kStateInstallable) << "the other key type's driver";
    EXPECT_EQ(Detect(1), kStateInstalled) << "install(0) took the controls along";
    EXPECT_EQ(Detect(2), kStateInstalled);
    EXPECT_TRUE(host_.prompts.empty());
}

INSTANTIATE_TEST_SUITE_P(Profiles, DemoCycle, ::testing::Values("7-sp1-64", "7-sp1-32"),
                         [](const auto& info) {
                             return std::string(info.param) == "7-sp1-64" ? "Windows64"
                                                                          : "Windows32";
                         });

}  // namespace
}  // namespace components
