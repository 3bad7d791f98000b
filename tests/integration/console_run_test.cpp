// The real program in the console against the demo bank server: a whole run with its exit code
// and JSON state, page methods after the pass, the guide without an answer, a configuration
// that cannot be loaded, the single instance and the /update hand-over.
#include <gmock/gmock.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "app/nestora_app.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/named_mutex.h"
#include "tests/support/bank_server.h"
#include "tests/support/config_url.h"
#include "tests/support/shell.h"
#include "tests/support/temp_sandbox.h"

namespace nestora_test {
namespace {

using ::testing::HasSubstr;

class ConsoleRunTest : public WithBankServer<> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WithBankServer::SetUp());
        ASSERT_TRUE(TrustDemoAuthority(*server_, sandbox_.Context()));
        json_ = sandbox_.Root() / "state.json";
    }

    RunResult Run(const std::string& arguments) {
        return RunShell(ProgramEnvironment(sandbox_.Root(), server_->HttpsHost()) +
                        ShellQuote((BinDir() / "nestora").string()) + " " + arguments +
                        " </dev/null 2>&1");
    }
    nlohmann::json State() {
        std::ifstream file(json_);
        return nlohmann::json::parse(file, nullptr, false);
    }

    TempSandbox sandbox_;
    std::filesystem::path json_;
};

TEST_F(ConsoleRunTest, WholePassEndsWithTheVerdictAsExitCodeAndJson) {
    const RunResult run = Run("--console --user-type ft2 --json " + ShellQuote(json_.string()));
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_THAT(run.output, HasSubstr("[100%] 检测完毕"));
    const nlohmann::json state = State();
    ASSERT_TRUE(state.is_object());
    EXPECT_EQ(state["state"]["0/0"], 100);
    EXPECT_EQ(state["state"]["0/2"], 1999);
    EXPECT_EQ(state["state"]["1/5"], 0);
    EXPECT_EQ(state["verdict"], state["state"]["0/3"]);
    EXPECT_EQ(state["elements"][".status_check"]["text"], "检测完毕");
    EXPECT_EQ(state["elements"]["#keytype"]["text"], "飞天二代Key");
    EXPECT_EQ(state["elements"][".c5"]["colour"], "blue");
}

TEST_F(ConsoleRunTest, PageMethodsRunAfterThePassHasSettled) {
    const RunResult run =
        Run("--console --user-type public --do getusertype:0 --do setusertype:2 "
            "--do getusertype:0");
    EXPECT_EQ(run.exitCode, 1);
    const size_t passEnd = run.output.find("检测完毕");
    const size_t first = run.output.find("getusertype() = 0");
    ASSERT_NE(passEnd, std::string::npos) << run.output;
    ASSERT_NE(first, std::string::npos) << run.output;
    EXPECT_LT(passEnd, first);
    EXPECT_THAT(run.output.substr(first), HasSubstr("getusertype() = 2"));
}

TEST_F(ConsoleRunTest, WithoutTerminalOrStoredTypeItSaysItNeedsOne) {
    const RunResult run = Run("--console");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.output, HasSubstr("--user-type"));
    EXPECT_EQ(run.output.find("检测完毕"), std::string::npos);
    // Once a run has stored a type, it is used when no one can be asked.
    ASSERT_EQ(Run("--console --user-type ft1").exitCode, 1);
    const RunResult again = Run("--console");
    EXPECT_THAT(again.output, HasSubstr("使用已保存的用户类型 1"));
    EXPECT_THAT(again.output, HasSubstr("检测完毕"));
}

TEST_F(ConsoleRunTest, ConfigurationThatCannotBeLoadedEndsWithTwo) {
    ASSERT_TRUE(StoreConfigUrl(sandbox_.Context(), server_->HttpsUrl("/test/nolength")));
    const RunResult run = Run("--console --user-type public");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.output, HasSubstr("配置文件无法载入"));
    EXPECT_THAT(run.output, HasSubstr("well-formed"));
    ASSERT_TRUE(StoreConfigUrl(sandbox_.Context(), server_->HttpsUrl("/test/404")));
    const RunResult missing = Run("--console --user-type public");
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_THAT(missing.output, HasSubstr("网络检测失败"));
}

TEST_F(ConsoleRunTest, SecondCopyEndsAtOnceSilently) {
    win::LONG error = 0;
    auto running =
        platform::CreateOwnedNamedMutex(sandbox_.Root(), nestora::kSingleInstanceMutex, error);
    ASSERT_TRUE(running);
    for (const char* arguments : {"--console --user-type public", ""}) {
        const RunResult run = Run(arguments);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.output, "");
    }
    // Only /update exactly, as the first argument, waits for the running copy.
    EXPECT_EQ(Run("/UPDATE").exitCode, 2);
    EXPECT_EQ(Run("--console /update").exitCode, 2);
}

TEST_F(ConsoleRunTest, MutexThatCannotBeMadeDoesNotStopTheRun) {
    // A folder where the mutex's lock file goes: the mutex cannot be made, yet no copy runs.
    std::filesystem::create_directory(
        sandbox_.Root() / ("mutex-" + std::string(nestora::kSingleInstanceMutex) + ".lock"));
    win::LONG error = 0;
    ASSERT_FALSE(
        platform::CreateOwnedNamedMutex(sandbox_.Root(), nestora::kSingleInstanceMutex, error));
    ASSERT_NE(error, win::ERROR_ALREADY_EXISTS);
    const RunResult run = Run("--console --user-type public");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_THAT(run.output, HasSubstr("检测完毕"));
}

TEST_F(ConsoleRunTest, UpdatedCopyWaitsForTheOldOneToGo) {
    win::LONG error = 0;
    auto running =
        platform::CreateOwnedNamedMutex(sandbox_.Root(), nestora::kSingleInstanceMutex, error);
    ASSERT_TRUE(running);
    std::thread oldCopyEnds([&running] {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        running.reset();
    });
    const RunResult run = Run("/update --console --user-type public");
    oldCopyEnds.join();
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_THAT(run.output, HasSubstr("检测完毕"));
}

TEST(UpdateHandOver, OldProgramFileIsRemovedOrGivenUpOn) {
    TempSandbox sandbox;
    platform::FileSystem& files = *sandbox.Context().files;
    const std::string old = files.GetModuleFileName() + ".old";
    const auto soon = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    EXPECT_TRUE(nestora::RemoveOldProgramFile(sandbox.Context(), soon));
    ASSERT_TRUE(files.WriteFile(old, "old program"));
    EXPECT_TRUE(nestora::RemoveOldProgramFile(sandbox.Context(), soon));
    EXPECT_FALSE(files.PathFileExists(old));
    // A folder in its place can never be deleted as a file: the wait ends at the deadline.
    ASSERT_TRUE(files.CreateDirectory(old));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(
        nestora::RemoveOldProgramFile(sandbox.Context(), start + std::chrono::milliseconds(300)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    files.RemoveDirectory(old);
}

}  // namespace
}  // namespace nestora_test
