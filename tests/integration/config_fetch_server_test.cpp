// The configuration fetch and the item report's probe against the demo bank server, over the
// real internet layer: the default address, the ConfigUrl override with either scheme and an
// upper-case one, and the answers that count as a failed download.
#include <gmock/gmock.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "dialog/nestora_dlg.h"
#include "platform/certificate_store.h"
#include "platform/context.h"
#include "platform/registry.h"
#include "tests/support/bank_server.h"
#include "tests/support/temp_sandbox.h"
#include "tests/support/test_host.h"

namespace nestora_test {
namespace {

class ConfigFetchServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new BankServer(); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(server_->Started()) << server_->Error();
        ::setenv("NESTORA_BANK_HOST", ("127.0.0.1:" + std::to_string(server_->HttpsPort())).c_str(),
                 1);
        TrustDemoAuthority();
    }
    void TearDown() override {
        dialog_.reset();
        ::unsetenv("NESTORA_BANK_HOST");
    }

    void TrustDemoAuthority() {
        std::ifstream file(server_->CaDerFile(), std::ios::binary);
        const std::vector<std::uint8_t> der{std::istreambuf_iterator<char>(file), {}};
        auto root = sandbox_.Context().certificates->OpenSystemStore("ROOT");
        ASSERT_TRUE(root);
        ASSERT_EQ(root->AddEncodedCertificate(der), win::ERROR_SUCCESS);
    }
    void StoreConfigUrl(const std::string& url) {
        platform::Registry& registry = *sandbox_.Context().registry;
        platform::RegKey key;
        ASSERT_EQ(registry.CreateKey(platform::RegKey::Root(platform::Hive::CurrentUser),
                                     nestora::kProgramKeyPath, platform::KEY_ALL_ACCESS, key),
                  win::ERROR_SUCCESS);
        const auto bytes = platform::RegSzBytes(url);
        ASSERT_EQ(registry.SetValue(key, "ConfigUrl", platform::REG_SZ, bytes.data(),
                                    static_cast<win::DWORD>(bytes.size())),
                  win::ERROR_SUCCESS);
    }
    // Starts the dialog and waits until the configuration thread has ended.
    void Fetch() {
        dialog_ = std::make_unique<nestora::CNestoraDlg>(host_, sandbox_.Context());
        host_.Attach(*dialog_);
        dialog_->OnInitDialog();
        ASSERT_TRUE(host_.WaitFor([this] { return dialog_->RunningWorkers() == 0; },
                                  std::chrono::seconds(60)));
    }
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

    static BankServer* server_;
    TempSandbox sandbox_;
    TestHost host_;
    std::unique_ptr<nestora::CNestoraDlg> dialog_;
};

BankServer* ConfigFetchServerTest::server_ = nullptr;

TEST_F(ConfigFetchServerTest, DefaultAddressOnTheBankHostLoads) {
    Fetch();
    ExpectLoaded();
}

TEST_F(ConfigFetchServerTest, OverrideWithEitherSchemeInAnyCaseLoads) {
    for (const std::string& url :
         {"HTTPS://127.0.0.1:" + std::to_string(server_->HttpsPort()) + "/cfg/item.xml",
          server_->HttpUrl("/cfg/item.xml")}) {
        SCOPED_TRACE(url);
        dialog_.reset();
        StoreConfigUrl(url);
        Fetch();
        ExpectLoaded();
    }
}

TEST_F(ConfigFetchServerTest, FailedAnswersShowTheNoticeAndClose) {
    for (const std::string& url : {server_->HttpsUrl("/test/404"), server_->HttpsUrl("/test/short"),
                                   server_->UntrustedUrl("/cfg/item.xml")}) {
        SCOPED_TRACE(url);
        dialog_.reset();
        StoreConfigUrl(url);
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
    StoreConfigUrl(server_->HttpsUrl("/test/nolength"));
    Fetch();
    // The body arrived and was handed to the loader, which refused it: no notice, no close.
    EXPECT_TRUE(host_.Prompts().empty());
    EXPECT_FALSE(host_.Closed());
    ASSERT_TRUE(host_.RejectedProblem());
    EXPECT_THAT(*host_.RejectedProblem(), ::testing::HasSubstr("well-formed"));
}

TEST_F(ConfigFetchServerTest, ItemReportProbesTheDefaultAddressEvenWithAnOverride) {
    StoreConfigUrl(server_->HttpUrl("/cfg/item.xml"));
    Fetch();
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
