// The real program in the console against the demo bank server, each test on a fresh sandbox:
// a whole pass, the single instance, the server down, a sandbox broken on purpose and
// repaired, and the components installed and removed.
#include <gmock/gmock.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/context.h"
#include "platform/files.h"
#include "tests/support/bank_server.h"
#include "tests/support/shell.h"
#include "tests/support/temp_sandbox.h"

namespace nestora_test {
namespace {

using ::testing::HasSubstr;

class ConsoleE2eTest : public WithBankServer<> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WithBankServer::SetUp());
        bankHost_ = server_->HttpsHost();
        json_ = sandbox_.Root() / "state.json";
        // The demo authority goes into the sandbox's ROOT store the way a user would add it.
        ASSERT_TRUE(TrustDemoAuthorityWithCertutil(*server_, sandbox_));
    }

    std::string Environment() const { return ProgramEnvironment(sandbox_.Root(), bankHost_); }
    static std::string Program(const char* name) { return ShellQuote((BinDir() / name).string()); }
    RunResult Run(const std::string& arguments) const {
        return RunShell(Environment() + Program("nestora") + " " + arguments + " --json " +
                        ShellQuote(json_.string()) + " </dev/null 2>&1");
    }
    RunResult Tool(const std::string& arguments) const {
        return RunShell(Environment() + Program("nestora-win") + " " + arguments +
                        " </dev/null 2>&1");
    }
    nlohmann::json State() const {
        std::ifstream file(json_);
        return nlohmann::json::parse(file, nullptr, false);
    }
    std::string HostsPath() {
        return sandbox_.Context().files->ExpandEnvironment(
            "%SystemRoot%\\System32\\drivers\\etc\\hosts");
    }

    TempSandbox sandbox_;
    std::string bankHost_;
    std::filesystem::path json_;
};

TEST_F(ConsoleE2eTest, FreshSandboxReachesTheVerdict) {
    const RunResult run = Run("--console --user-type public");
    EXPECT_THAT(run.output, HasSubstr("检测完毕"));
    const nlohmann::json state = State();
    ASSERT_TRUE(state.is_object()) << run.output;
    ASSERT_TRUE(state["verdict"].is_number()) << run.output;
    EXPECT_EQ(run.exitCode, state["verdict"] == 0 ? 0 : 1) << run.output;
    // The network and the demo server are there: items 5 and 7 are normal.
    EXPECT_EQ(state["state"]["1/5"], 0);
    EXPECT_EQ(state["state"]["1/7"], 0);
}

TEST_F(ConsoleE2eTest, SecondCopyStartedMeanwhileExitsAtOnce) {
    std::thread first([this] { Run("--console --user-type public --do check:0 --do check:0"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const auto start = std::chrono::steady_clock::now();
    const RunResult second =
        RunShell(Environment() + Program("nestora") + " --console --user-type public 2>&1");
    const auto took = std::chrono::steady_clock::now() - start;
    first.join();
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.output.find("检测完毕"), std::string::npos) << second.output;
    EXPECT_LT(took, std::chrono::seconds(2));
}

TEST_F(ConsoleE2eTest, ServerDownGivesTheNoticeAndExitCodeTwo) {
    bankHost_ = "127.0.0.1:" + std::to_string(server_->HttpsPort()) + "0";
    if (std::stoi(bankHost_.substr(10)) > 65535)
        bankHost_ = "127.0.0.1:1";
    const RunResult run = Run("--console --user-type public");
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_THAT(run.output, HasSubstr("网络检测失败"));
}

TEST_F(ConsoleE2eTest, OneKeyRepairMakesABrokenSandboxNormal) {
    platform::FileSystem& files = *sandbox_.Context().files;
    const std::string otherLines = "127.0.0.1 localhost\n# the office printer\n10.0.0.9 printer\n";
    ASSERT_TRUE(files.WriteFile(HostsPath(), otherLines + "10.6.6.6 ebank.tinglanbank.example\n"));
    const char* breaks[] = {
        "reg add \"HKCU\\Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel\" /v "
        "Homepage /t REG_DWORD /d 1 /f",
        "reg add \"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet "
        "Settings\\Zones\\3\" /v CurrentLevel /t REG_DWORD /d 0x12000 /f",
        "reg add \"HKCU\\Software\\Microsoft\\Internet Explorer\\Main\" /v Check_Associations "
        "/t REG_SZ /d yes /f",
        "reg add \"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\" /v "
        "DisableRegistryTools /t REG_DWORD /d 1 /f",
    };
    for (const char* command : breaks) {
        const RunResult broken = Tool(command);
        ASSERT_EQ(broken.exitCode, 0) << command << "\n" << broken.output;
    }

    const char* repairable[] = {"1/2", "1/3", "1/4", "1/9", "1/10", "1/11"};
    Run("--console --user-type public");
    const nlohmann::json before = State();
    ASSERT_TRUE(before.is_object());
    for (const char* item : repairable)
        EXPECT_EQ(before["state"][item], 1) << item;
    EXPECT_NE(before["verdict"], 0);

    const RunResult repaired = Run("--console --user-type public --yes --do fix:0 --do check:0");
    const nlohmann::json after = State();
    ASSERT_TRUE(after.is_object()) << repaired.output;
    for (const char* item : repairable)
        EXPECT_EQ(after["state"][item], 0) << item << "\n" << repaired.output;

    std::string hosts;
    ASSERT_TRUE(files.ReadFile(HostsPath(), hosts));
    EXPECT_EQ(hosts.find("ebank.tinglanbank.example"), std::string::npos) << hosts;
    EXPECT_THAT(hosts, HasSubstr(otherLines));
}

TEST_F(ConsoleE2eTest, ComponentsInstallAndUninstallThroughThePage) {
    const RunResult installed = Run("--console --user-type ft1 --yes --do install:0 --do check:0");
    const nlohmann::json state = State();
    ASSERT_TRUE(state.is_object()) << installed.output;
    // The two controls and the first-generation key's driver are installed and current; the
    // driver's word also carries the mark of a key that is not plugged in.
    for (const char* item : {"2/1", "2/2", "2/3"}) {
        ASSERT_TRUE(state["state"][item].is_number()) << item << "\n" << installed.output;
        EXPECT_EQ(state["state"][item].get<std::int32_t>() & 0x3FFFFFFF, 0) << item << "\n"
                                                                            << installed.output;
    }

    for (const char* item : {"1", "2"}) {
        const RunResult removed =
            Run(std::string("--console --user-type ft1 --yes --do uninstall:") + item);
        const nlohmann::json after = State();
        ASSERT_TRUE(after.is_object()) << removed.output;
        EXPECT_NE(after["state"][std::string("2/") + item], 0) << item << "\n" << removed.output;
    }
}

TEST_F(ConsoleE2eTest, LinksOpenTheBankSitesInTheSandboxBrowser) {
    // A desktop opener of our own records what the browser hands on.
    const std::filesystem::path bin = sandbox_.Root() / "opener";
    std::filesystem::create_directories(bin);
    const std::filesystem::path opened = sandbox_.Root() / "opened.log";
    std::ofstream(bin / "xdg-open")
        << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + opened.string() + "'\n";
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);

    const RunResult run = RunShell("PATH=" + ShellQuote(bin.string()) + ":\"$PATH\" " +
                                   Environment() + Program("nestora") +
                                   " --console --user-type public --do link:1 --do link:2 "
                                   "</dev/null 2>&1");
    ASSERT_THAT(run.output, HasSubstr("link(2)"));
    const std::string corporate = "https://" + bankHost_ + "/corporbank/";
    const std::string personal = "https://" + bankHost_ + "/perbank/";
    std::ifstream logFile(sandbox_.Root() / "iexplore.log");
    const std::string log{std::istreambuf_iterator<char>(logFile), {}};
    EXPECT_EQ(log, corporate + "\n" + personal + "\n");
    // The opener runs in the background: give it a moment to write.
    std::string handedOn;
    for (int i = 0; i < 50 && handedOn.size() < log.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::ifstream file(opened);
        handedOn.assign(std::istreambuf_iterator<char>(file), {});
    }
    EXPECT_THAT(handedOn, HasSubstr(corporate));
    EXPECT_THAT(handedOn, HasSubstr(personal));
}

}  // namespace
}  // namespace nestora_test
