// The dialog's start on the test host: the page's first items, the wait for the
// configuration on timer 1, the guide, the failed fetch, a body that cannot be loaded, and the
// choice of the configuration address.
#include <gmock/gmock.h>

#include "dialog/bank_host.h"
#include "platform/context.h"
#include "tests/integration/dialog_fixture.h"
#include "tests/support/config_url.h"

namespace nestora_test {
namespace {

using ::testing::ElementsAre;

class DialogStartTest : public DialogTest {
protected:
    std::string FetchedUrl() {
        EXPECT_TRUE(host_.WaitFor([this] {
            std::lock_guard lock(logMutex_);
            return !requested_.empty();
        }));
        std::lock_guard lock(logMutex_);
        return requested_.empty() ? "" : requested_.front();
    }
};

TEST_F(DialogStartTest, PageLoadShowsSystemBrowserAndNetworkThenTheGuide) {
    for (const char* stored : {"NULL", "FT2"}) {
        SCOPED_TRACE(stored);
        host_.ClearPageCalls();
        StoreUserType(stored);
        StartAndLoad();
        EXPECT_THAT(States(),
                    ElementsAre("1/1=\"Windows 7 Ultimate\"", "1/8=\"11.0.9600.19180\"", "1/5=0"));
        // The guide opens on every start, also when a type is stored.
        EXPECT_TRUE(GuideShown());
        EXPECT_FALSE(host_.TimerDue(nestora::kTimerWaitForConfig));
        dialog_.reset();
        requested_.clear();
    }
}

TEST_F(DialogStartTest, TimerOnePollsUntilTheConfigurationArrives) {
    Gate fetch;
    fetchGate_ = &fetch;
    StoreUserType("Public");
    Start();
    dialog_->OnDocumentComplete();
    EXPECT_EQ(host_.TimerDue(nestora::kTimerWaitForConfig), 500u);
    host_.Advance(500 + 300 * 3);
    std::vector<std::uint64_t> polls;
    for (const FiredTimer& timer : host_.FiredTimers())
        polls.push_back(timer.time);
    EXPECT_THAT(polls, ElementsAre(500, 800, 1100, 1400));
    EXPECT_FALSE(GuideShown());

    fetch.Open();
    ASSERT_TRUE(host_.WaitFor([this] { return dialog_->Config().loaded.load(); }));
    host_.Advance(300);
    EXPECT_TRUE(GuideShown());
    EXPECT_FALSE(host_.TimerDue(nestora::kTimerWaitForConfig));
}

TEST_F(DialogStartTest, FailedFetchShowsTheNoticeThenCloses) {
    for (const char* preset : {"", "xp-sp3-32"}) {
        SCOPED_TRACE(preset);
        TempSandbox sandbox(preset);
        sandbox.Context().internet = std::make_unique<FakeInternet>();
        configBody_.clear();
        requested_.clear();
        TestHost host;
        nestora::CNestoraDlg dialog(host, sandbox.Context(), operations_);
        host.Attach(dialog);
        dialog.OnInitDialog();
        ASSERT_TRUE(host.WaitFor([&host] { return host.Closed(); }));
        const auto prompts = host.Prompts();
        ASSERT_EQ(prompts.size(), 1u);
        if (std::string(preset).empty()) {
            ASSERT_TRUE(prompts[0].taskDialog);
            EXPECT_EQ(prompts[0].task.title, "汀岚银行网银助手");
            EXPECT_EQ(prompts[0].task.instruction, "下载发生错误");
            EXPECT_EQ(prompts[0].task.content, "网络检测失败，请确认您的网络正常后，重试！");
            EXPECT_TRUE(prompts[0].task.commandLinks.empty());
        } else {
            ASSERT_FALSE(prompts[0].taskDialog);
            EXPECT_EQ(prompts[0].box.text, "网络检测失败，请确认您的网络正常后，重试！");
            EXPECT_EQ(prompts[0].box.caption, "汀岚银行网银助手");
            EXPECT_EQ(prompts[0].box.kind, nestora::MessageBoxKind::OkInformation);
        }
        EXPECT_FALSE(dialog.Config().loaded.load());
    }
}

TEST_F(DialogStartTest, BodyThatIsNotCheckitemsKeepsWaitingWithoutPrompt) {
    configBody_ = "<?xml version=\"1.0\"?><settings><item name=\"x\"/></settings>";
    StoreUserType("Public");
    Start();
    ASSERT_TRUE(host_.WaitFor([this] { return host_.RejectedProblem().has_value(); }));
    EXPECT_THAT(*host_.RejectedProblem(), ::testing::HasSubstr("checkitems"));
    dialog_->OnDocumentComplete();
    host_.Advance(5000);
    EXPECT_TRUE(host_.Prompts().empty());
    EXPECT_FALSE(host_.Closed());
    EXPECT_FALSE(GuideShown());
    EXPECT_TRUE(host_.TimerDue(nestora::kTimerWaitForConfig));
    EXPECT_TRUE(dialog_->Config().items.empty());
}

TEST_F(DialogStartTest, ConfigUrlOverridesTheDefaultUpTo511Characters) {
    const std::string base = "https://other.example/cfg/item.xml?";
    struct Case {
        size_t length;
        bool used;
    };
    for (const Case& c : {Case{511, true}, Case{512, false}, Case{0, false}}) {
        SCOPED_TRACE(c.length);
        dialog_.reset();
        requested_.clear();
        const std::string url =
            c.length ? base + std::string(c.length - base.size(), 'a') : std::string();
        ASSERT_TRUE(StoreConfigUrl(sandbox_.Context(), url));
        Start();
        EXPECT_EQ(FetchedUrl(), c.used ? url : nestora::DefaultConfigUrl());
    }
}

TEST_F(DialogStartTest, DefaultAddressFollowsTheBankHostVariable) {
    ::setenv("NESTORA_BANK_HOST", "127.0.0.1:8443", 1);
    EXPECT_EQ(nestora::DefaultConfigUrl(), "https://127.0.0.1:8443/cfg/item.xml");
    EXPECT_EQ(nestora::CorporateBankUrl(), "https://127.0.0.1:8443/corporbank/");
    EXPECT_EQ(nestora::PersonalBankUrl(), "https://127.0.0.1:8443/perbank/");
    ::unsetenv("NESTORA_BANK_HOST");
    EXPECT_EQ(nestora::BankHost(), NESTORA_DEFAULT_BANK_HOST_FOR_TESTS);
}

}  // namespace
}  // namespace nestora_test
