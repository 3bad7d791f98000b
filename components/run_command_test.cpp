#include "components/run_command.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "components/test_files.h"
#include "platform/processes.h"
#include "tests/support/temp_sandbox.h"

namespace components {
namespace {

using Clock = std::chrono::steady_clock;
using namespace components::testing;

// A process list in which the started process has a child for the first `childLooks` looks.
class ScriptedProcesses : public platform::Processes {
public:
    class Ended : public platform::Process {
    public:
        win::DWORD Id() const override { return 4242; }
        win::DWORD Wait(win::DWORD) override { return win::WAIT_OBJECT_0; }
        win::DWORD ExitCode() override { return 0; }
    };

    win::LONG CreateProcess(std::string_view commandLine,
                            std::unique_ptr<platform::Process>& process) override {
        started = std::string(commandLine);
        if (failStart)
            return win::ERROR_FILE_NOT_FOUND;
        process = std::make_unique<Ended>();
        return win::ERROR_SUCCESS;
    }
    win::LONG ShellExecute(std::string_view, std::string_view,
                           std::unique_ptr<platform::Process>&) override {
        return win::ERROR_FILE_NOT_FOUND;
    }
    bool Snapshot(std::vector<platform::ProcessEntry>& entries) override {
        looks.push_back(Clock::now());
        entries = {{4242, 1, "uninst.exe"}, {7, 1, "other.exe"}};
        if (static_cast<int>(looks.size()) <= childLooks)
            entries.push_back({99, 4242, "child.exe"});
        return !failSnapshot;
    }
    int RunSystemCommand(std::string_view) override { return -1; }

    int childLooks = 0;
    bool failStart = false;
    bool failSnapshot = false;
    std::string started;
    std::vector<Clock::time_point> looks;
};

TEST(RunAndWaitForChildren, PausesBetweenLooksWhileAChildRuns) {
    ScriptedProcesses processes;
    processes.childLooks = 3;
    RunAndWaitForChildren(processes, "C:\\Program Files\\X\\uninst.exe",
                          std::chrono::milliseconds(100));
    EXPECT_EQ(processes.started, "C:\\Program Files\\X\\uninst.exe");
    ASSERT_EQ(processes.looks.size(), 4u);
    for (std::size_t i = 1; i < processes.looks.size(); ++i) {
        EXPECT_GE(processes.looks[i] - processes.looks[i - 1], std::chrono::milliseconds(100))
            << "look " << i;
    }
}

TEST(RunAndWaitForChildren, StopsWhenNothingStartsOrTheListCannotBeRead) {
    ScriptedProcesses notStarted;
    notStarted.failStart = true;
    RunAndWaitForChildren(notStarted, "C:\\missing.exe");
    EXPECT_TRUE(notStarted.looks.empty());

    ScriptedProcesses unreadable;
    unreadable.childLooks = 1000;
    unreadable.failSnapshot = true;
    RunAndWaitForChildren(unreadable, "C:\\uninst.exe");
    EXPECT_EQ(unreadable.looks.size(), 1u);
}

TEST(RunAndWaitForChildren, WaitsForARealChildThatOutlivesTheProgram) {
    nestora_test::TempSandbox sandbox;
    platform::Context& context = sandbox.Context();
    const std::filesystem::path marker = sandbox.Root() / "child-done";
    WriteSandboxFile(context, "C:\\Program Files\\Demo\\uninst.sh",
                     "#!/bin/sh\n(sleep 1; touch '" + marker.string() + "') &\nexit 0\n");
    RunAndWaitForChildren(*context.processes, "C:\\Program Files\\Demo\\uninst.sh");
    EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST(RunCommandLine, StartsWaitsAndRefusesOverLongLines) {
    nestora_test::TempSandbox sandbox;
    platform::Context& context = sandbox.Context();
    const std::filesystem::path marker = sandbox.Root() / "ran";
    WriteSandboxFile(context, "C:\\t\\run.sh",
                     "#!/bin/sh\nsleep 0.3\ntouch '" + marker.string() + "'\n");

    EXPECT_TRUE(RunCommandLine(*context.processes, "C:\\t\\run.sh", true));
    EXPECT_TRUE(std::filesystem::exists(marker)) << "waited for the end";
    EXPECT_FALSE(RunCommandLine(*context.processes, "C:\\t\\missing.exe", true));
    EXPECT_FALSE(RunCommandLine(*context.processes, "", true));

    ScriptedProcesses scripted;
    const std::string longest(259, 'a');
    EXPECT_TRUE(RunCommandLine(scripted, longest, false));
    scripted.started.clear();
    EXPECT_FALSE(RunCommandLine(scripted, longest + "a", false));
    EXPECT_EQ(scripted.started, "") << "not even tried";
    std::string chinese;
    for (int i = 0; i < 200; ++i)
        chinese += "汉";  // 600 bytes, 200 UTF-16 units
    EXPECT_TRUE(RunCommandLine(scripted, chinese, false)) << "UTF-16 units count, not bytes";
}

}  // namespace
}  // namespace components
