// The configuration fetch and the item report's probe against the demo bank server, over the
// real internet layer: the default address, the ConfigUrl override with either scheme and an
// upper-case one, and the answers that count as a failed download.
#include <gmock/gmock.h>

#include <cstdlib>

#include "tests/integration/dialog_server_fixture.h"
#include "tests/support/config_url.h"

namespace nestora_test {
namespace {

class ConfigFetchServerTest : public DialogServerTest {
protected:
    void ExpectLoaded() {
        EXPECT_TRUE(dialog_->Config().loaded.load());
        EXPECT_FALSE(dialog_->Config().items.empty());
        EXPECT_TRUE(host_.Prompts().empty());
        EXPECT_FALSE(host_.Closed());
    }
    void ExpectFailedDownload() {
        EXPECT_FALSE(dialog_->Config().loaded.load());
        ASSERT_EQ(host_.Prompts().size(), 1u);
        EXPECT_EQ(host_.Prompts()[0].task.content, "网络检测失败，请确认您的网络正常后，重试！");
        EXPECT_TRUE(host_.Closed());
    }
};

TEST_F(ConfigFetchServerTest, DefaultAddressOnTheBankHostLoads) {
    StartAndFetch();
    ExpectLoaded();
}

TEST_F(ConfigFetchServerTest, OverrideWithEitherSchemeInAnyCaseLoads) {
    for (const std::string& url :
         {"HTTPS://127.0.0.1:" + std::to_string(server_->HttpsPort()) + "/cfg/item.xml",
          server_->HttpUrl("/cfg/item.xml")}) {
        SCOPED_TRACE(url);
        dialog_.reset();
        ASSERT_TRUE(StoreConfigUrl(sandbox_.Context(), url));
        StartAndFetch();
        ExpectLoaded();
    }
}

TEST_F(ConfigFetchServerTest, FailedAnswersShowTheNoticeAndClose) {
    for (const std::string& url : {server_->HttpsUrl("/test/404"), server_->HttpsUrl("/test/short"),
                                   server_->UntrustedUrl("/cfg/item.xml")}) {
        SCOPED_TRACE(url);
        dialog_.reset();
        ASSERT_TRUE(StoreConfigUrl(sandbox_.Context(), url));
        TestHost fresh;
        dialog_ = std::make_unique<nestora::CNestoraDlg>(fresh, sandbox_.Context());
        fresh.Attach(*dialog_);
        dialog_->OnInitDialog();
        ASSERT_TRUE(fresh.WaitFor([&fresh] { return fresh.Closed(); }, std::chrono::seconds(60)));
        EXPECT_FALSE(dialog_->Config().loaded.load());
        ASSERT_EQ(fresh.Prompts().size(), 1u);
        EXPECT_EQ(fresh.Prompts()[0].task.instruction, "下载发生错误");
        dialog_.reset();
    }
}

TEST_F(ConfigFetchServerTest, BodyWithoutLengthHeaderIsUsed) {
    ASSERT_TRUE(StoreConfigUrl(sandbox_.Context(), server_->HttpsUrl("/test/nolength")));
    StartAndFetch();
    // The body arrived and was handed to the loader, which refused it: no notice, no close.
    EXPECT_TRUE(host_.Prompts().empty());
    EXPECT_FALSE(host_.Closed());
    ASSERT_TRUE(host_.RejectedProblem());
    EXPECT_THAT(*host_.RejectedProblem(), ::testing::HasSubstr("well-formed"));
}

TEST_F(ConfigFetchServerTest, ItemReportProbesTheDefaultAddressEvenWithAnOverride) {
    ASSERT_TRUE(StoreConfigUrl(sandbox_.Context(), server_->HttpUrl("/cfg/item.xml")));
    StartAndFetch();
    ASSERT_TRUE(dialog_->Config().loaded.load());
    dialog_->setusertype(1);
    auto& items = dialog_->Config().items;
    ASSERT_GE(items.size(), 3u);
    ASSERT_TRUE(items[2].tips.empty());
    items[2].status = 5;
    dialog_->ReportItem(3);
    ::setenv("NESTORA_BANK_HOST", "127.0.0.1:1", 1);
    dialog_->ReportItem(3);
    const auto states = host_.StateCalls();
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(std::get<std::int32_t>(states[0].arguments[2]), 5);
    EXPECT_EQ(std::get<std::int32_t>(states[1].arguments[2]), 6);
}

}  // namespace
}  // namespace nestora_test
