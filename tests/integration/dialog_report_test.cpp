// Item reports, the overall verdict, the repairs, the update prompt and the small `external`
// methods on the test host.
#include <gmock/gmock.h>

#include "dialog/bank_host.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "tests/integration/dialog_fixture.h"

namespace nestora_test {
namespace {

using ::testing::ElementsAre;

constexpr std::int32_t kAbsent = config::kStatusUsbKeyAbsent;
constexpr std::int32_t kDisabled = config::kStatusAddOnDisabled;

class DialogReportTest : public DialogTest {
protected:
    void SetUp() override {
        StoreUserType("FT1");
        StartAndLoad();
        host_.ClearPageCalls();
    }
    void SetStatuses(std::vector<std::int32_t> statuses) {
        auto& items = dialog_->Config().items;
        for (size_t i = 0; i < items.size(); ++i)
            items[i].status = statuses[i];
    }
    void SetAllFlags(bool ok) {
        auto& r = dialog_->Config().results;
        r.homepageOk = r.registryOk = r.hostsOk = r.networkOk = r.dnsOk = ok;
        r.securityLevelOk = r.trustedSitesOk = r.rootCertsOk = ok;
        r.serviceOk = ok;
    }
    std::string Verdict() {
        host_.ClearPageCalls();
        dialog_->ReportVerdict();
        return LastState(0, 3);
    }
    std::string UserTypeText() {
        platform::Registry& registry = *sandbox_.Context().registry;
        platform::RegKey key;
        if (registry.OpenKey(platform::RegKey::Root(platform::Hive::CurrentUser),
                             nestora::kProgramKeyPath, platform::KEY_READ, key) != 0)
            return "(no key)";
        std::uint8_t data[64];
        win::DWORD size = sizeof data;
        if (registry.QueryValue(key, nestora::kUserTypeValue, nullptr, data, &size) != 0)
            return "(no value)";
        return platform::RegSzToUtf8(data, size);
    }
};

TEST_F(DialogReportTest, ItemWithTipsSendsTipsAndNameWithoutProbing) {
    SetStatuses({5, 2, 5, 5, 5});
    const size_t requests = requested_.size();
    dialog_->ReportItem(1);
    EXPECT_THAT(States(), ElementsAre("2/1=5,\"保护网银登录密码的输入\",\"密码输入控件\""));
    EXPECT_EQ(requested_.size(), requests);
}

TEST_F(DialogReportTest, ItemWithoutTipsProbesTheDefaultAddress) {
    struct Case {
        std::int32_t status;
        bool serverUp;
        std::string sent;
    };
    for (const Case& c : {Case{5, true, "5"}, Case{2, true, "2"}, Case{5, false, "6"},
                          Case{2, false, "3"}, Case{0, false, "0"}}) {
        SCOPED_TRACE(std::to_string(c.status) + (c.serverUp ? " up" : " down"));
        SetStatuses({0, 0, c.status, 0, 0});
        serverUp_ = c.serverUp;
        host_.ClearPageCalls();
        dialog_->ReportItem(3);  // the driver of user type 1
        EXPECT_EQ(LastState(2, 3), c.sent);
    }
    EXPECT_EQ(requested_.back(), nestora::DefaultConfigUrl());
}

TEST_F(DialogReportTest, OnlyTheUsersDriverAndExistingItemsAreReported) {
    for (int item : {0, 4, 5, 6, -1})
        dialog_->ReportItem(item);
    EXPECT_TRUE(States().empty());
}

TEST_F(DialogReportTest, VerdictCases) {
    struct Case {
        const char* name;
        bool flags;
        std::vector<std::int32_t> statuses;
        std::string verdict;
    };
    const Case cases[] = {
        {"all good, other driver missing", true, {0, 0, 0, 5, 5}, "0"},
        {"own driver's key absent", true, {0, 0, kAbsent | 5, 5, 5}, "0"},
        {"control disabled", true, {kDisabled, 0, 0, 5, 5}, "2"},
        {"own driver upgradable", true, {0, 0, 2, 0, 0}, "2"},
        {"control missing", true, {0, 5, 0, 0, 0}, "2"},
        {"a check failed", false, {0, 0, 0, 0, 0}, "1"},
        {"both", false, {5, 0, 0, 0, 0}, "3"},
        {"never detected", true, {7, 7, 7, 7, 7}, "2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetAllFlags(c.flags);
        SetStatuses(c.statuses);
        EXPECT_EQ(Verdict(), c.verdict);
    }
    SetAllFlags(true);
    dialog_->Config().results.serviceOk = false;
    SetStatuses({0, 0, 0, 0, 0});
    EXPECT_EQ(Verdict(), "1");
}

TEST_F(DialogReportTest, UserTypeIsStoredAndReadAsTheFourTexts) {
    struct Case {
        int set;
        std::string stored;
        int read;
    };
    for (const Case& c : {Case{0, "Public", 0}, Case{2, "FT2", 2}, Case{-1, "NULL", -1},
                          Case{1, "FT1", 1}, Case{3, "FT1", 1}, Case{-2, "FT1", 1}}) {
        SCOPED_TRACE(c.set);
        dialog_->setusertype(c.set);
        EXPECT_EQ(UserTypeText(), c.stored);
        EXPECT_EQ(dialog_->getusertype(), c.read);
    }
    for (const char* text : {"public", "FT3", "", "FT1 "}) {
        SCOPED_TRACE(text);
        StoreUserType(text);
        EXPECT_EQ(dialog_->getusertype(), -1);
    }
    int result = 0;
    StoreUserType("FT2");
    EXPECT_TRUE(dialog_->InvokeExternal("getusertype", 0, result));
    EXPECT_EQ(result, 2);
    EXPECT_FALSE(dialog_->InvokeExternal("reboot", 0, result));
}

TEST_F(DialogReportTest, FirstStartCreatesTheKeyWithNull) {
    TempSandbox fresh;
    TestHost host;
    fresh.Context().internet = std::make_unique<FakeInternet>();
    nestora::CNestoraDlg dialog(host, fresh.Context(), operations_);
    host.Attach(dialog);
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.getusertype(), -1);
    platform::RegKey key;
    ASSERT_EQ(fresh.Context().registry->OpenKey(platform::RegKey::Root(platform::Hive::CurrentUser),
                                                "SOFTWARE\\qiventa\\Orlenta\\QORVIN",
                                                platform::KEY_READ, key),
              win::ERROR_SUCCESS);
    std::uint8_t data[64];
    win::DWORD size = sizeof data;
    ASSERT_EQ(fresh.Context().registry->QueryValue(key, "UserType", nullptr, data, &size), 0);
    EXPECT_EQ(platform::RegSzToUtf8(data, size), "NULL");
    ASSERT_TRUE(host.WaitFor([&] { return dialog.RunningWorkers() == 0; }));
}

TEST_F(DialogReportTest, KeyTheUserMayNotWriteLeavesTheTypeUnchosen) {
    dialog_.reset();
    platform::Registry& registry = *sandbox_.Context().registry;
    ASSERT_EQ(registry.SetWriteProtected(platform::RegKey::Root(platform::Hive::CurrentUser),
                                         nestora::kProgramKeyPath, true),
              win::ERROR_SUCCESS);
    requested_.clear();
    StartAndLoad();
    EXPECT_EQ(dialog_->getusertype(), -1);
    dialog_->setusertype(1);
    EXPECT_EQ(dialog_->getusertype(), -1);
    host_.ClearPageCalls();
    dialog_->check(0);
    EXPECT_TRUE(GuideShown());
}

TEST_F(DialogReportTest, StopDoesNothing) {
    const auto timers = host_.FiredTimers().size();
    for (int n : {0, 1, -1}) {
        int result = 0;
        EXPECT_TRUE(dialog_->InvokeExternal("stop", n, result));
    }
    host_.Advance(1000);
    EXPECT_TRUE(host_.PageCalls().empty());
    EXPECT_EQ(host_.FiredTimers().size(), timers);
}

TEST_F(DialogReportTest, LinkOpensTheBrowserWithTheChosenSite) {
    for (int n : {1, 0, 2, -1})
        dialog_->link(n);
    const std::string browser = sandbox_.Context().files->ExpandEnvironment("%ProgramFiles%") +
                                "\\Internet Explorer\\iexplore.exe";
    ASSERT_EQ(processes_->started.size(), 4u);
    EXPECT_EQ(processes_->started[0].file, browser);
    EXPECT_EQ(processes_->started[0].parameters, nestora::CorporateBankUrl());
    for (size_t i = 1; i < 4; ++i)
        EXPECT_EQ(processes_->started[i].parameters, nestora::PersonalBankUrl());
}

TEST_F(DialogReportTest, SingleRepairRunsFixThenCheckAndReports) {
    checkResult_["hosts"] = false;
    repairWorks_["hosts"] = true;
    log_.clear();
    dialog_->fix(3);
    EXPECT_THAT(log_, ElementsAre("hosts:fix", "hosts:check"));
    EXPECT_THAT(States(), ElementsAre("0/2=2003", "1/3=0", "0/2=2999", "0/3=3"));
}

TEST_F(DialogReportTest, RepairNumbersWithoutRepairOnlyReport) {
    for (int n : {1, 5, 7, 8, 13, 14, 16, -1}) {
        SCOPED_TRACE(n);
        host_.ClearPageCalls();
        log_.clear();
        dialog_->fix(n);
        EXPECT_TRUE(log_.empty());
        EXPECT_THAT(States(), ElementsAre("0/2=2999", "0/3=3"));
    }
}

TEST_F(DialogReportTest, SslCacheNoticeOnlyWhenCleared) {
    dialog_->fix(12);
    ASSERT_EQ(host_.Prompts().size(), 1u);
    EXPECT_EQ(host_.Prompts()[0].task.instruction, "SSL缓存清除成功");
    EXPECT_EQ(host_.Prompts()[0].task.content, "SSL缓存清除成功");
    EXPECT_THAT(States(), ElementsAre("0/2=2012", "0/2=2999", "0/3=3"));
    sslCleared_ = false;
    dialog_->fix(12);
    EXPECT_EQ(host_.Prompts().size(), 1u);
}

TEST_F(DialogReportTest, OneKeyRepairBeforeAnyPassRunsAllSixThenReportsOnce) {
    log_.clear();
    SetStatuses({kDisabled, kDisabled | 2, 0, 0, 0});
    dialog_->fix(0);
    EXPECT_THAT(log_, ElementsAre("registry:fix", "registry:check", "hosts:fix", "hosts:check",
                                  "certs:check", "certs:fix", "certs:check", "homepage:fix",
                                  "homepage:check", "security:fix", "security:check", "trusted:fix",
                                  "trusted:check", "ssl"));
    const auto states = States();
    EXPECT_EQ(std::count(states.begin(), states.end(), "0/2=2999"), 1);
    EXPECT_EQ(states.back(), "0/3=3");
    // Only the first disabled item is cleared and reported.
    EXPECT_EQ(LastState(2, 1), "0");
    EXPECT_EQ(LastState(2, 2), "");
    EXPECT_EQ(dialog_->Config().items[1].status, kDisabled | 2);
    EXPECT_TRUE(host_.Prompts().empty());
}

TEST_F(DialogReportTest, OneKeyRepairAfterAGoodPassOnlyReenablesAndClears) {
    AllGood();
    RunPass();
    log_.clear();
    host_.ClearPageCalls();
    dialog_->fix(0);
    EXPECT_THAT(log_, ElementsAre("ssl"));
    EXPECT_THAT(States(), ElementsAre("0/2=2999", "0/3=0"));
}

// Timer 5 with a downloaded update: the replacement of the program file is recorded, processes
// start and end at once.
class UpdatePromptTest : public DialogTest {
protected:
    void SetUp() override {
        operations_.replaceProgramFile = [this](const std::string& path,
                                                const std::string& download) {
            replaced_ = {path, download};
            return replaceWorks_;
        };
        processes_->startsSucceed = true;
        StoreUserType("FT1");
        StartAndLoad();
        Update().localPath = "C:\\Temp\\DownTmp\\Nestora.exe";
        host_.ClearPageCalls();
    }
    config::AppInfo& Update() { return dialog_->Config().appInfo; }
    void AnswerPrompt(int answer) {
        host_.QueueAnswers({answer});
        host_.SetTimer(nestora::kTimerUpdatePrompt, 100);
        host_.Advance(100);
    }

    std::vector<std::string> replaced_;
    bool replaceWorks_ = true;
};

TEST_F(UpdatePromptTest, PostponedUpdateStartsAPassAHundredMillisecondsLater) {
    AnswerPrompt(nestora::IDNO);
    ASSERT_EQ(host_.Prompts().size(), 1u);
    const nestora::TaskDialogRequest prompt = host_.Prompts()[0].task;
    EXPECT_EQ(prompt.content, "应用程序有更新，并且已经下载完毕\n是否立即应用更新");
    EXPECT_EQ(prompt.instruction, "有更新");
    ASSERT_EQ(prompt.commandLinks.size(), 2u);
    EXPECT_EQ(prompt.commandLinks[0], std::make_pair(nestora::IDYES, std::string("立即更新程序")));
    EXPECT_EQ(prompt.commandLinks[1], std::make_pair(nestora::IDNO, std::string("下次启动更新")));
    EXPECT_TRUE(replaced_.empty());
    EXPECT_EQ(host_.TimerDue(nestora::kTimerStartPass), host_.Now() + 100);
    host_.Advance(100);
    EXPECT_EQ(LastState(0, 2), "1000");
}

TEST_F(UpdatePromptTest, AcceptedUpdateReplacesTheProgramThenRestartsWithUpdate) {
    const std::string program = sandbox_.Context().files->GetModuleFileName();
    AnswerPrompt(nestora::IDYES);
    EXPECT_THAT(replaced_, ElementsAre(program, "C:\\Temp\\DownTmp\\Nestora.exe"));
    EXPECT_THAT(processes_->commandLines, ElementsAre("\"" + program + "\" /update"));
    EXPECT_EQ(host_.QuitCode(), 0);
    EXPECT_FALSE(host_.TimerDue(nestora::kTimerStartPass));
}

TEST_F(UpdatePromptTest, AcceptedUpdateThatCannotBePutInPlaceDoesNotRestart) {
    replaceWorks_ = false;
    AnswerPrompt(nestora::IDYES);
    EXPECT_EQ(replaced_.size(), 2u);
    EXPECT_TRUE(processes_->commandLines.empty());
    EXPECT_FALSE(host_.QuitCode());
    EXPECT_FALSE(host_.TimerDue(nestora::kTimerStartPass));
}

TEST_F(UpdatePromptTest, MandatoryUpdateNoticeThatFailsChangesNothing) {
    Update().imperative = "1";
    Update().installer = "setup.sh";
    AnswerPrompt(0);
    EXPECT_TRUE(processes_->started.empty());
    EXPECT_TRUE(replaced_.empty());
    EXPECT_FALSE(host_.QuitCode());
}

// Mandatory or accepted, a configured installer is run and waited for without a limit, then the
// program ends; the installer never takes the program file's place. The parameter is the
// configuration's `imperative`.
class UpdateWithInstallerTest : public UpdatePromptTest,
                                public ::testing::WithParamInterface<std::string> {};

TEST_P(UpdateWithInstallerTest, RunsTheInstallerWaitsForItAndQuits) {
    const bool mandatory = GetParam() == "1";
    Update().imperative = GetParam();
    Update().installer = "setup.sh";
    Update().localPath = "C:\\Temp\\DownTmp\\setup.sh";
    AnswerPrompt(mandatory ? nestora::IDOK : nestora::IDYES);
    ASSERT_EQ(processes_->started.size(), 1u);
    EXPECT_EQ(processes_->started[0].file, "C:\\Temp\\DownTmp\\setup.sh");
    EXPECT_THAT(processes_->waits, ElementsAre(win::INFINITE));
    EXPECT_EQ(host_.QuitCode(), 0);
    EXPECT_TRUE(replaced_.empty());
    EXPECT_TRUE(processes_->commandLines.empty());
}

INSTANTIATE_TEST_SUITE_P(MandatoryAndOffered, UpdateWithInstallerTest, ::testing::Values("1", "0"),
                         [](const auto& info) {
                             return info.param == "1" ? "Mandatory" : "Offered";
                         });

}  // namespace
}  // namespace nestora_test
