#include "platform/linux/processes_linux.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/files.h"
#include "tests/support/temp_sandbox.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// Writes what it was given, one argument per line, and the sandbox it was told about, then
// ends with the exit code its first argument names.
constexpr const char* kRecorder =
    "#!/bin/sh\n"
    "code=\"$1\"\n"
    "out=\"$NESTORA_ROOT/recorded.txt\"\n"
    ": > \"$out\"\n"
    "for argument in \"$@\"; do printf '[%s]\\n' \"$argument\" >> \"$out\"; done\n"
    "exit \"$code\"\n";

class ProcessesTest : public ::testing::Test {
protected:
    Context& context() { return sandbox_.Context(); }
    Processes& processes() { return *sandbox_.Context().processes; }
    FileSystem& files() { return *sandbox_.Context().files; }

    void WriteWindowsFile(const std::string& windowsPath, std::string_view text) {
        const fs::path file = files().ToLinuxPath(windowsPath);
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

    std::string Recorded() {
        std::ifstream in(sandbox_.Root() / "recorded.txt");
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Starts the command line, waits for it and returns its exit code (-1 if it did not start).
    int RunToEnd(std::string_view commandLine) {
        std::unique_ptr<Process> process;
        const win::LONG result = processes().CreateProcess(commandLine, process);
        EXPECT_EQ(result, win::ERROR_SUCCESS) << commandLine;
        if (!process)
            return -1;
        EXPECT_EQ(process->Wait(win::INFINITE), win::WAIT_OBJECT_0);
        return static_cast<int>(process->ExitCode());
    }

    nestora_test::TempSandbox sandbox_;
};

TEST_F(ProcessesTest, ScriptGetsItsArgumentsSplitTheWindowsWayAndItsExitCodeIsRead) {
    WriteWindowsFile(R"(C:\Program Files\Bank Tools\record args.exe)", kRecorder);
    struct Case {
        const char* commandLine;
        int exitCode;
        const char* recorded;
    };
    const Case cases[] = {
        {R"("C:\Program Files\Bank Tools\record args.exe" 7 "two words" a\"b "" c\\d)", 7,
         "[7]\n[two words]\n[a\"b]\n[]\n[c\\\\d]\n"},
        // Unquoted with blanks: each blank may end the program name.
        {R"(C:\Program Files\Bank Tools\record args.exe 0 x)", 0, "[0]\n[x]\n"},
        // Case does not matter, ".exe" is added, slashes are separators.
        {R"("c:/PROGRAM FILES/bank tools/Record Args" 3)", 3, "[3]\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RunToEnd(c.commandLine), c.exitCode) << c.commandLine;
        EXPECT_EQ(Recorded(), c.recorded) << c.commandLine;
    }
}

TEST_F(ProcessesTest, ChildSeesTheSandboxAndTheCommandTool) {
    WriteWindowsFile(R"(C:\env.exe)",
                     "#!/bin/sh\nprintf '%s\\n%s\\n' \"$NESTORA_ROOT\" \"$NESTORA_WIN\" > "
                     "\"$NESTORA_ROOT/recorded.txt\"\n");
    EXPECT_EQ(RunToEnd(R"(C:\env.exe)"), 0);
    // The tool beside the running program, which is where the build puts nestora-win.
    const char* binDir = std::getenv("NESTORA_BIN_DIR");
    const fs::path folder =
        binDir ? fs::path(binDir) : fs::read_symlink("/proc/self/exe").parent_path();
    const std::string tool = (folder / "nestora-win").string();
    EXPECT_EQ(Recorded(), context().root.string() + "\n" + tool + "\n");
}

TEST_F(ProcessesTest, FullPathWithoutExtensionRunsTheLinuxProgramWhenNoExeIsThere) {
    WriteWindowsFile(R"(C:\tools\prog)", "#!/bin/sh\nexit 7\n");
    EXPECT_EQ(RunToEnd(R"("C:\tools\prog" /update)"), 7);
    WriteWindowsFile(R"(C:\tools\prog.exe)", "#!/bin/sh\nexit 8\n");
    EXPECT_EQ(RunToEnd(R"(C:\tools\prog)"), 8);
}

TEST_F(ProcessesTest, BareNamesAreSearchedThroughSystem32AsThe32BitProgramSeesIt) {
    WriteWindowsFile(R"(C:\Windows\SysWOW64\only32.exe)", "#!/bin/sh\nexit 32\n");
    WriteWindowsFile(R"(C:\Windows\Sysnative\only64.exe)", "#!/bin/sh\nexit 64\n");
    WriteWindowsFile(R"(C:\Windows\inwindows.exe)", "#!/bin/sh\nexit 5\n");
    EXPECT_EQ(RunToEnd("only32"), 32);
    EXPECT_EQ(RunToEnd("INWINDOWS.EXE arg"), 5);
    std::unique_ptr<Process> process;
    EXPECT_EQ(processes().CreateProcess("only64", process), win::ERROR_FILE_NOT_FOUND);

    bool previous = false;
    ASSERT_TRUE(files().Wow64DisableWow64FsRedirection(previous));
    EXPECT_EQ(RunToEnd("only64"), 64);
    EXPECT_EQ(processes().CreateProcess("only32", process), win::ERROR_FILE_NOT_FOUND);
    files().Wow64RevertWow64FsRedirection(previous);
}

TEST_F(ProcessesTest, BinaryRunsWithOrWithoutTheExecutePermission) {
    for (const mode_t mode : {0755, 0644}) {
        const fs::path copy = files().ToLinuxPath(R"(C:\bin)") / "false.exe";
        fs::create_directories(copy.parent_path());
        fs::copy_file("/bin/false", copy, fs::copy_options::overwrite_existing);
        ::chmod(copy.c_str(), mode);
        EXPECT_EQ(RunToEnd(R"(C:\bin\false.exe)"), 1) << std::oct << mode;
    }
}

TEST_F(ProcessesTest, WhatCannotRunFailsToStartWithTheWindowsError) {
    WriteWindowsFile(R"(C:\docs\readme.exe)", "just text\n");
    WriteWindowsFile(R"(C:\docs\control.dll)", "NESTORA-CONTROL 1\nmachine=x86\n");
    WriteWindowsFile(R"(C:\docs\pe.exe)", std::string("MZ\x90\0\3\0\0\0", 8));
    WriteWindowsFile(R"(C:\docs\nointerpreter.exe)", "#!/no/such/interpreter\n");
    struct Case {
        std::string commandLine;
        win::LONG error;
    };
    const Case cases[] = {
        {"", win::ERROR_INVALID_PARAMETER},
        {"   ", win::ERROR_INVALID_PARAMETER},
        {R"(C:\docs\missing.exe)", win::ERROR_FILE_NOT_FOUND},
        {R"(C:\no such folder\x.exe)", win::ERROR_FILE_NOT_FOUND},  // "C:\no.exe" is tried first
        {R"("C:\no such folder\x.exe")", win::ERROR_PATH_NOT_FOUND},
        {"nosuchprogram /x", win::ERROR_FILE_NOT_FOUND},
        {R"(C:\docs\readme.exe)", win::ERROR_BAD_EXE_FORMAT},
        {R"(C:\docs\control.dll)", win::ERROR_BAD_EXE_FORMAT},
        {R"(C:\docs\pe.exe)", win::ERROR_BAD_EXE_FORMAT},
        {R"(C:\docs\nointerpreter.exe)", win::ERROR_BAD_EXE_FORMAT},
        {R"("C:\docs.")", win::ERROR_ACCESS_DENIED},  // a trailing period: no ".exe"
        {"regsvr32 " + std::string(kMaxCommandLineChars, 'x'), win::ERROR_FILENAME_EXCED_RANGE},
    };
    for (const Case& c : cases) {
        std::unique_ptr<Process> process;
        EXPECT_EQ(processes().CreateProcess(c.commandLine, process), c.error)
            << c.commandLine.substr(0, 60);
        EXPECT_FALSE(process);
    }
}

TEST_F(ProcessesTest, WaitTimesOutWhileTheProcessRuns) {
    WriteWindowsFile(R"(C:\slow.exe)", "#!/bin/sh\nsleep 1\nexit 4\n");
    std::unique_ptr<Process> process;
    ASSERT_EQ(processes().CreateProcess(R"(C:\slow.exe)", process), win::ERROR_SUCCESS);
    EXPECT_EQ(process->Wait(0), win::WAIT_TIMEOUT);
    EXPECT_EQ(process->Wait(10), win::WAIT_TIMEOUT);
    EXPECT_EQ(process->ExitCode(), win::STILL_ACTIVE);
    EXPECT_EQ(process->Wait(win::INFINITE), win::WAIT_OBJECT_0);
    EXPECT_EQ(process->ExitCode(), 4u);
    EXPECT_EQ(process->Wait(0), win::WAIT_OBJECT_0);
}

TEST_F(ProcessesTest, SnapshotShowsTheChildWithThisProcessAsItsParent) {
    const fs::path napper = files().ToLinuxPath(R"(C:\napper.exe)");
    fs::copy_file("/bin/sleep", napper);
    std::unique_ptr<Process> process;
    ASSERT_EQ(processes().CreateProcess(R"(C:\napper.exe 5)", process), win::ERROR_SUCCESS);

    std::vector<ProcessEntry> entries;
    ASSERT_TRUE(processes().Snapshot(entries));
    const auto child = std::find_if(entries.begin(), entries.end(), [&](const ProcessEntry& e) {
        return e.processId == process->Id();
    });
    ASSERT_NE(child, entries.end());
    EXPECT_EQ(child->parentProcessId, static_cast<win::DWORD>(::getpid()));
    EXPECT_EQ(child->exeFile, "napper.exe");
    const auto self = std::find_if(entries.begin(), entries.end(), [](const ProcessEntry& e) {
        return e.processId == static_cast<win::DWORD>(::getpid());
    });
    EXPECT_NE(self, entries.end());
    ::kill(static_cast<pid_t>(process->Id()), SIGTERM);
    EXPECT_EQ(process->Wait(win::INFINITE), win::WAIT_OBJECT_0);
    EXPECT_EQ(process->ExitCode(), 128u + SIGTERM);
}

TEST_F(ProcessesTest, OrphanStillNamesTheProcessThatStartedItAsParent) {
    // An uninstaller that starts a helper and ends at once.
    WriteWindowsFile(R"(C:\uninst.exe)",
                     "#!/bin/sh\nsleep 5 &\necho $! > \"$NESTORA_ROOT/recorded.txt\"\n");
    std::unique_ptr<Process> process;
    ASSERT_EQ(processes().CreateProcess(R"(C:\uninst.exe)", process), win::ERROR_SUCCESS);
    ASSERT_EQ(process->Wait(win::INFINITE), win::WAIT_OBJECT_0);
    const win::DWORD helper = static_cast<win::DWORD>(std::stoul(Recorded()));

    // The shell forks the helper before the helper's exec of sleep; a snapshot in between
    // still shows the shell's name, so look again until the exec has happened.
    std::optional<ProcessEntry> found;
    for (int attempt = 0; attempt < 100 && (!found || found->exeFile != "sleep"); ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::vector<ProcessEntry> entries;
        ASSERT_TRUE(processes().Snapshot(entries));
        const auto entry = std::find_if(entries.begin(), entries.end(), [&](const ProcessEntry& e) {
            return e.processId == helper;
        });
        found = entry == entries.end() ? std::nullopt : std::optional<ProcessEntry>(*entry);
    }
    ::kill(static_cast<pid_t>(helper), SIGTERM);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->parentProcessId, process->Id());
    EXPECT_EQ(found->exeFile, "sleep");
}

TEST_F(ProcessesTest, ChildInheritsNoStrayDescriptors) {
    // A descriptor that is not close-on-exec, far above what the shell and ls use.
    const int opened = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(opened, 0);
    const int stray = ::dup2(opened, 100);
    ::close(opened);
    ASSERT_EQ(stray, 100);
    WriteWindowsFile(R"(C:\fds.exe)",
                     "#!/bin/sh\nls /proc/self/fd > \"$NESTORA_ROOT/recorded.txt\"\n");
    EXPECT_EQ(RunToEnd(R"(C:\fds.exe)"), 0);
    ::close(stray);
    std::istringstream listed(Recorded());
    std::vector<int> descriptors;
    for (int fd; listed >> fd;)
        descriptors.push_back(fd);
    EXPECT_FALSE(descriptors.empty());
    EXPECT_EQ(std::count(descriptors.begin(), descriptors.end(), stray), 0);
}

TEST_F(ProcessesTest, ShellExecuteOpensProgramsOnly) {
    WriteWindowsFile(R"(C:\Program Files\Internet Explorer\iexplore.exe)", kRecorder);
    WriteWindowsFile(R"(C:\notes.txt)", "text\n");
    std::unique_ptr<Process> process;
    ASSERT_EQ(processes().ShellExecute(R"(C:\Program Files\Internet Explorer\iexplore.exe)",
                                       "0 https://bank.example/perbank/", process),
              win::ERROR_SUCCESS);
    EXPECT_EQ(process->Wait(win::INFINITE), win::WAIT_OBJECT_0);
    EXPECT_EQ(Recorded(), "[0]\n[https://bank.example/perbank/]\n");
    EXPECT_EQ(processes().ShellExecute(R"(C:\missing.exe)", "", process),
              win::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(processes().ShellExecute(R"(C:\notes.txt)", "", process), win::ERROR_NO_ASSOCIATION);
}

TEST_F(ProcessesTest, SystemCommandRunsThroughTheInterpreter) {
    WriteWindowsFile(R"(C:\Windows\SysWOW64\Doomed Folder\file.dll)", "x");
    WriteWindowsFile(R"(C:\exit9.exe)", "#!/bin/sh\nexit 9\n");
    EXPECT_EQ(processes().RunSystemCommand(R"(del "%SystemRoot%\System32\Doomed Folder\file.dll")"),
              0);
    EXPECT_FALSE(files().PathFileExists(R"(C:\Windows\SysWOW64\Doomed Folder\file.dll)"));
    EXPECT_EQ(processes().RunSystemCommand(R"(C:\exit9.exe)"), 9);
    EXPECT_NE(processes().RunSystemCommand(R"(del "C:\not there.txt")"), 0);
}

}  // namespace
}  // namespace platform
