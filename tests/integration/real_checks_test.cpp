// The dialog with the program's own check operations on a temporary sandbox: a pass shows what
// the sandbox really holds, and a repair from the page changes the sandbox and flips its item.
#include <gmock/gmock.h>

#include "checks/hosts_check.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "tests/integration/dialog_fixture.h"

namespace nestora_test {
namespace {

using ::testing::StartsWith;

const char* const kRealChecksXml = R"(<?xml version="1.0" encoding="utf-8"?>
<checkitems base="https://bank.example/download/">
  <config type="registry">
    <entry name="Level" type="reg_dword" value="3">HKCU\Software\NestoraTest\Bank</entry>
  </config>
  <config type="host"><entry>ebank.bank.example</entry></config>
  <item name="密码输入控件" type="control" tips="保护网银登录密码的输入">
    <detect type="clsid">{11111111-2222-3333-4444-555555555555}</detect>
  </item>
</checkitems>
)";

class RealChecksTest : public DialogTest {
protected:
    RealChecksTest() {
        configBody_ = kRealChecksXml;
        // Everything but the network, the bank's server and the probe is the program's own.
        const nestora::CheckOperations real = nestora::DefaultCheckOperations(sandbox_.Context());
        operations_.checkRegistry = real.checkRegistry;
        operations_.checkHosts = real.checkHosts;
        operations_.checkHomepageLock = real.checkHomepageLock;
        operations_.checkSecurityLevel = real.checkSecurityLevel;
        operations_.checkTrustedSites = real.checkTrustedSites;
        operations_.checkRootCertificates = real.checkRootCertificates;
        operations_.installRootCertificates = real.installRootCertificates;
        operations_.detectComponents = real.detectComponents;
    }

    std::string Hosts() {
        std::string text;
        sandbox_.Context().files->ReadFile(checks::HostsFilePath(sandbox_.Context()), text);
        return text;
    }
};

TEST_F(RealChecksTest, PassShowsTheSandboxAndRepairsFlipTheItems) {
    const std::string otherLines = "127.0.0.1 localhost\r\n10.0.0.9 printer\r\n";
    ASSERT_TRUE(sandbox_.Context().files->WriteFile(
        checks::HostsFilePath(sandbox_.Context()), otherLines + "10.6.6.6 ebank.bank.example\r\n"));
    StoreUserType("Public");
    StartAndLoad();
    RunPass();
    EXPECT_EQ(LastState(1, 2), "1");   // the registry value is missing
    EXPECT_EQ(LastState(1, 3), "1");   // the bank's name is pinned
    EXPECT_EQ(LastState(1, 9), "0");   // a fresh sandbox has no home-page lock
    EXPECT_EQ(LastState(1, 10), "0");  // nor a raised zone
    // Detected as missing (4), shown with its tips.
    EXPECT_THAT(LastState(2, 1), StartsWith("4,"));
    EXPECT_NE(LastState(0, 3), "0");

    dialog_->fix(2);
    EXPECT_EQ(LastState(1, 2), "0");
    dialog_->fix(3);
    EXPECT_EQ(LastState(1, 3), "0");
    EXPECT_EQ(Hosts(), otherLines);

    // The repairs stay: a new pass finds both items normal.
    RunPass();
    EXPECT_EQ(LastState(1, 2), "0");
    EXPECT_EQ(LastState(1, 3), "0");
}

TEST_F(RealChecksTest, RootAuthorityIsTrustedOnlyWhenTheUserAcceptsTheWarning) {
    StoreUserType("Public");
    StartAndLoad();
    RunPass();
    EXPECT_EQ(LastState(1, 4), "1");  // a fresh sandbox lacks the certificates

    host_.SetDefaultAnswer(nestora::IDNO);
    dialog_->fix(4);
    ASSERT_FALSE(host_.Prompts().empty());
    const PromptRecord warning = host_.Prompts().back();
    EXPECT_FALSE(warning.taskDialog);
    EXPECT_EQ(warning.box.caption, "安全警告");
    EXPECT_EQ(warning.box.kind, nestora::MessageBoxKind::YesNo);
    EXPECT_EQ(LastState(1, 4), "1");

    host_.SetDefaultAnswer(nestora::IDYES);
    dialog_->fix(4);
    EXPECT_EQ(LastState(1, 4), "0");
}

}  // namespace
}  // namespace nestora_test
