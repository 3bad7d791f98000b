// Installation and removal through the dialog against the demo bank server, over the real
// internet, processes and sandbox: install(n) queues the item's job, the worker downloads and
// runs the installer and the page hears of it through timers 3, 6 and 4; uninstall(n) runs the
// uninstaller and then a check pass.
#include <gmock/gmock.h>

#include <optional>

#include "tests/integration/dialog_server_fixture.h"

namespace nestora_test {
namespace {

class InstallServerTest : public DialogServerTest {
protected:
    // The value of the last setState(category, item, value, ...), if any.
    std::optional<std::int32_t> LastValue(int category, int item) const {
        std::optional<std::int32_t> last;
        for (const PageCall& call : host_.StateCalls()) {
            if (call.function != "setState" || call.arguments.size() < 3)
                continue;
            const auto* c = std::get_if<std::int32_t>(&call.arguments[0]);
            const auto* i = std::get_if<std::int32_t>(&call.arguments[1]);
            const auto* v = std::get_if<std::int32_t>(&call.arguments[2]);
            if (c && i && v && *c == category && *i == item)
                last = *v;
        }
        return last;
    }
    // Fires timer 4 (detection and report) once it is due.
    void RefreshUntilReported(size_t since) {
        ASSERT_TRUE(host_.AdvanceUntil([&] { return host_.StateCalls().size() > since; }, 60000));
    }
};

TEST_F(InstallServerTest, InstallThenUninstallThePasswordControl) {
    StartAndFetch();
    ASSERT_TRUE(dialog_->Config().loaded.load());
    dialog_->setusertype(0);
    dialog_->OnTimer(nestora::kTimerRefresh);
    ASSERT_TRUE(LastValue(2, 1).has_value());
    EXPECT_NE(*LastValue(2, 1) & 0x3FFFFFFF, 0);

    dialog_->install(1);
    EXPECT_TRUE(dialog_->IsInstallBusy());
    ASSERT_TRUE(host_.AdvanceUntil([this] { return !dialog_->IsInstallBusy(); }, 120000));
    host_.Advance(1000);
    // Downloading (2), installing (3), done (1) through timer 6; then the refresh of timer 4.
    std::vector<std::int32_t> statuses;
    for (const PageCall& call : host_.StateCalls()) {
        const auto* c = std::get_if<std::int32_t>(&call.arguments[0]);
        const auto* i = std::get_if<std::int32_t>(&call.arguments[1]);
        if (c && i && *c == 0 && *i == 2)
            statuses.push_back(std::get<std::int32_t>(call.arguments[2]));
    }
    EXPECT_THAT(statuses, ::testing::IsSupersetOf({2, 3, 1}));
    ASSERT_TRUE(LastValue(2, 1).has_value());
    EXPECT_EQ(*LastValue(2, 1) & 0x3FFFFFFF, 0);

    const size_t before = host_.StateCalls().size();
    dialog_->uninstall(1);
    EXPECT_TRUE(dialog_->IsPassRunning());
    ASSERT_TRUE(host_.AdvanceUntil(
        [&] {
            return !dialog_->IsPassRunning() && host_.StateCalls().size() > before &&
                   !host_.TimerDue(nestora::kTimerRefresh);
        },
        120000));
    host_.Advance(1000);
    ASSERT_TRUE(LastValue(2, 1).has_value());
    EXPECT_NE(*LastValue(2, 1) & 0x3FFFFFFF, 0);
}

}  // namespace
}  // namespace nestora_test
