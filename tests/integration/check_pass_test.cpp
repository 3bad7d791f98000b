// The check pass on the test host: the timer sequence with its progress values, status codes,
// items and delays; the pass without a network; the guard against a second request; the wait
// for the service probe; the relays of the install worker's progress and status.
#include <gmock/gmock.h>

#include "tests/integration/dialog_fixture.h"

namespace nestora_test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class CheckPassTest : public DialogTest {};

// The timers that fired after `since`, as "id@time" relative to it.
std::vector<std::string> TimersSince(const TestHost& host, std::uint64_t since) {
    std::vector<std::string> fired;
    for (const FiredTimer& timer : host.FiredTimers()) {
        if (timer.time >= since)
            fired.push_back(std::to_string(timer.id) + "@" + std::to_string(timer.time - since));
    }
    return fired;
}

TEST_F(CheckPassTest, PassRunsElevenStepsAHundredMillisecondsApartThenRefreshes) {
    AllGood();
    dnsName_ = "汀岚银行演示服务器";
    Gate service;
    serviceGate_ = &service;
    StoreUserType("FT1");
    StartAndLoad();
    const size_t first = host_.StateCalls().size();
    const std::uint64_t start = host_.Now();

    dialog_->check(0);
    host_.Advance(600);  // steps 8 to 13: the probe is running
    EXPECT_EQ(host_.TimerDue(nestora::kTimerWaitForService), start + 1100);
    service.Open();
    ASSERT_TRUE(host_.WaitFor([this] { return dialog_->Config().results.serviceDone.load(); }));
    host_.Advance(1200);

    EXPECT_THAT(TimersSince(host_, start),
                ElementsAre("8@100", "9@200", "10@300", "11@400", "12@500", "13@600", "7@1100",
                            "14@1200", "15@1300", "16@1400", "17@1500", "18@1600", "4@1700"));
    EXPECT_THAT(StatesSince(first), ElementsAreArray<std::string>({
                                        "0/0=0",
                                        "0/2=1000",  //
                                        "0/0=9",
                                        "0/2=1002",
                                        "1/2=0",  //
                                        "0/0=18",
                                        "0/2=1003",
                                        "1/3=0",  //
                                        "0/0=27",
                                        "0/2=1004",
                                        "1/4=0",  //
                                        "0/0=36",
                                        "0/2=1005",
                                        "1/5=0",  //
                                        "0/0=45",
                                        "0/2=1006",
                                        "1/6=\"汀岚银行演示服务器\"",  //
                                        "0/0=54",
                                        "0/2=1007",
                                        "1/7=0",  //
                                        "0/0=63",
                                        "0/2=1013",  //
                                        "0/0=72",
                                        "0/2=1009",
                                        "1/9=0",  //
                                        "0/0=81",
                                        "0/2=1010",
                                        "1/10=0",  //
                                        "0/0=90",
                                        "0/2=1011",
                                        "1/11=0",  //
                                        "0/0=100",
                                        "0/2=1999",                                           //
                                        "2/1=0,\"保护网银登录密码的输入\",\"密码输入控件\"",  //
                                        "2/2=0,\"网银交易签名\",\"签名控件\"",                //
                                        "2/3=0",                                              //
                                        "0/3=0",
                                    }));
}

TEST_F(CheckPassTest, ProbeFinishedAtOnceGoesOnWithoutWaiting) {
    AllGood();
    StoreUserType("Public");
    StartAndLoad();
    const std::uint64_t start = host_.Now();
    dialog_->check(0);
    host_.Advance(600);
    // The probe either finished before the first look (step 14 100 ms later) or is polled
    // 500 ms later; either way the pass reaches its end.
    ASSERT_TRUE(host_.AdvanceUntil([this] { return !LastState(0, 3).empty(); }, 3000));
    EXPECT_EQ(LastState(1, 7), "0");
    EXPECT_GE(host_.Now() - start, 1200u);
}

TEST_F(CheckPassTest, WithoutNetworkDnsAndServiceAreAbnormalWithoutBeingTried) {
    AllGood();
    StoreUserType("Public");
    StartAndLoad();
    internet_->connected = false;
    const std::uint64_t start = host_.Now();
    RunPass();
    EXPECT_EQ(LastState(1, 5), "1");
    EXPECT_EQ(LastState(1, 6), "1");
    EXPECT_EQ(LastState(1, 7), "1");
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "dns"), 0);
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "service"), 0);
    const auto timers = TimersSince(host_, start);
    EXPECT_THAT(std::vector<std::string>(timers.begin() + 5, timers.begin() + 7),
                ElementsAre("13@600", "14@700"));
    EXPECT_EQ(LastState(0, 3), "1");
}

TEST_F(CheckPassTest, ServiceProbeIsPolledEveryThreeHundredMillisecondsWithoutLimit) {
    AllGood();
    Gate service;
    serviceGate_ = &service;
    StoreUserType("Public");
    StartAndLoad();
    const std::uint64_t start = host_.Now();
    dialog_->check(0);
    host_.Advance(600 + 500 + 300 * 20);
    EXPECT_EQ(LastState(0, 0), "54");
    EXPECT_EQ(LastState(0, 2), "1007");
    EXPECT_EQ(TimersSince(host_, start).back(), "7@" + std::to_string(1100 + 300 * 20));
    service.Open();
    ASSERT_TRUE(host_.WaitFor([this] { return dialog_->Config().results.serviceDone.load(); }));
    ASSERT_TRUE(host_.AdvanceUntil([this] { return !LastState(0, 3).empty(); }, 3000));
}

TEST_F(CheckPassTest, CheckWithoutUserTypeShowsTheGuideAndStartsNothing) {
    StoreUserType("NULL");
    StartAndLoad();
    host_.ClearPageCalls();
    dialog_->check(5);
    EXPECT_TRUE(GuideShown());
    EXPECT_FALSE(host_.TimerDue(nestora::kTimerFirstStep));
    EXPECT_TRUE(States().empty());
}

TEST_F(CheckPassTest, CheckWhilePassRunsIsIgnoredSoNoStepRunsTwice) {
    AllGood();
    StoreUserType("Public");
    StartAndLoad();
    dialog_->check(0);
    host_.Advance(250);  // steps 8 and 9 done
    dialog_->check(0);
    ASSERT_TRUE(host_.AdvanceUntil([this] { return !LastState(0, 3).empty(); }, 5000));
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "registry:check"), 1);
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "hosts:check"), 1);
    EXPECT_FALSE(dialog_->IsPassRunning());
    // Once the pass has ended, a new request starts a new pass.
    dialog_->check(0);
    EXPECT_TRUE(host_.TimerDue(nestora::kTimerFirstStep));
}

TEST_F(CheckPassTest, FailedChecksShowAbnormalItemsAndVerdict) {
    AllGood();
    checkResult_["hosts"] = false;
    checkResult_["certs"] = false;
    StoreUserType("Public");
    StartAndLoad();
    RunPass();
    EXPECT_EQ(LastState(1, 3), "1");
    EXPECT_EQ(LastState(1, 4), "1");
    EXPECT_EQ(LastState(1, 2), "0");
    EXPECT_EQ(LastState(0, 3), "1");
}

TEST_F(CheckPassTest, DownloadProgressIsRelayedWhileDownloading) {
    StoreUserType("Public");
    StartAndLoad();
    dialog_->SetDownloading(true);
    dialog_->SetDownloadPercent(40);
    host_.SetTimer(nestora::kTimerDownloadProgress, 500);
    host_.Advance(500);
    EXPECT_EQ(LastState(0, 1), "40");
    EXPECT_TRUE(host_.TimerDue(nestora::kTimerDownloadProgress));
    dialog_->SetDownloadPercent(100);
    host_.Advance(500);
    EXPECT_EQ(LastState(0, 1), "100");
    EXPECT_FALSE(host_.TimerDue(nestora::kTimerDownloadProgress));

    dialog_->SetDownloading(false);
    dialog_->SetDownloadPercent(60);
    host_.SetTimer(nestora::kTimerDownloadProgress, 500);
    host_.Advance(500);
    EXPECT_EQ(LastState(0, 1), "0");
    EXPECT_FALSE(host_.TimerDue(nestora::kTimerDownloadProgress));

    host_.ClearPageCalls();
    dialog_->SetDownloading(true);
    dialog_->SetDownloadPercent(101);
    host_.SetTimer(nestora::kTimerDownloadProgress, 500);
    host_.Advance(500);
    EXPECT_TRUE(States().empty());
    EXPECT_FALSE(host_.TimerDue(nestora::kTimerDownloadProgress));
}

TEST_F(CheckPassTest, InstallStatusIsRelayedAtOnce) {
    StoreUserType("Public");
    StartAndLoad();
    const std::uint64_t now = host_.Now();
    for (int status : {2, 3, 1}) {
        dialog_->PostInstallStatus(status);
        EXPECT_EQ(host_.TimerDue(nestora::kTimerInstallStatus), now);
        host_.Advance(0);
        EXPECT_EQ(LastState(0, 2), std::to_string(status));
    }
}

}  // namespace
}  // namespace nestora_test
