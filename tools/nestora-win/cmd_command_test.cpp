// Runs the real nestora-win through the sandbox's processes, as system() and the removal
// lists start cmd.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/context.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "tests/support/temp_sandbox.h"

namespace {

namespace fs = std::filesystem;
using platform::Hive;
using platform::RegKey;

// Linux keeps the low eight bits of an exit status, so cmd's 9009 arrives as 9009 % 256.
constexpr int kUnknownProgram = 9009 % 256;

class CmdTest : public ::testing::Test {
protected:
    platform::Context& context() { return sandbox_.Context(); }
    platform::FileSystem& files() { return *sandbox_.Context().files; }

    // A file at a Linux path under drive C: (no redirection involved).
    fs::path DriveC(const std::string& relative) { return sandbox_.Root() / "drive_c" / relative; }

    void Write(const fs::path& file, std::string_view text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

    int RunToEnd(const std::string& commandLine) {
        std::unique_ptr<platform::Process> process;
        const win::LONG result = context().processes->CreateProcess(commandLine, process);
        EXPECT_EQ(result, win::ERROR_SUCCESS) << commandLine;
        if (!process)
            return -1;
        EXPECT_EQ(process->Wait(win::INFINITE), win::WAIT_OBJECT_0);
        return static_cast<int>(process->ExitCode());
    }

    std::string Recorded() {
        std::ifstream in(sandbox_.Root() / "recorded.txt");
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    nestora_test::TempSandbox sandbox_;
};

TEST_F(CmdTest, RdRemovesATreeOnlyWithS) {
    const fs::path tree = DriveC("Windows/SysWOW64/Qiventa/Lockfern");
    const fs::path native = DriveC("Windows/System32/Qiventa/Lockfern/LockfernX64.dll");
    Write(tree / "LockfernCtrl.dll", "x");
    Write(tree / "sub" / "deeper.txt", "x");
    Write(native, "x");

    EXPECT_EQ(RunToEnd(R"(cmd /c rd "%SystemRoot%\System32\Qiventa\Lockfern")"), 1);
    EXPECT_TRUE(fs::exists(tree / "sub" / "deeper.txt"));
    EXPECT_EQ(RunToEnd(R"(cmd /c rd /s /q "%SystemRoot%\System32\Qiventa\Lockfern")"), 0);
    EXPECT_FALSE(fs::exists(tree));
    EXPECT_TRUE(fs::exists(native)) << "the 32-bit cmd sees SysWOW64 only";
    EXPECT_EQ(RunToEnd(R"(cmd /c rd/s/q C:\Windows\SysWOW64\Qiventa)"), 0);
    EXPECT_FALSE(fs::exists(DriveC("Windows/SysWOW64/Qiventa")));
    EXPECT_EQ(RunToEnd(R"(cmd /c rd /s /q C:\Windows\SysWOW64\Qiventa)"), 1);
}

TEST_F(CmdTest, DelRemovesFilesAndTheNativeCmdSeesTheRealSystem32) {
    Write(DriveC("Windows/SysWOW64/npcontrol.dll"), "32");
    Write(DriveC("Windows/System32/npcontrol.dll"), "64");
    EXPECT_EQ(
        RunToEnd(R"(C:\Windows\Sysnative\cmd.exe /c del "%SystemRoot%\System32\npcontrol.dll")"),
        0);
    EXPECT_FALSE(fs::exists(DriveC("Windows/System32/npcontrol.dll")));
    EXPECT_TRUE(fs::exists(DriveC("Windows/SysWOW64/npcontrol.dll")));
    EXPECT_EQ(RunToEnd(R"(cmd.exe /C del /f /q %windir%\system32\NPCONTROL.DLL)"), 0);
    EXPECT_FALSE(fs::exists(DriveC("Windows/SysWOW64/npcontrol.dll")));
    EXPECT_EQ(RunToEnd(R"(cmd /c del "%SystemRoot%\System32\npcontrol.dll")"), 1);
}

TEST_F(CmdTest, OtherCommandsRunAsPrograms) {
    Write(DriveC("Program Files/Bank/record args.exe"),
          "#!/bin/sh\nprintf '[%s]' \"$@\" > \"$NESTORA_ROOT/recorded.txt\"\nexit 6\n");
    struct Case {
        const char* commandLine;
        int exitCode;
        const char* recorded;
    };
    const Case cases[] = {
        // The outer quotes go; the rest is the program's command line.
        {R"(cmd /c ""C:\Program Files\Bank\record args.exe" one "two words"")", 6,
         "[one][two words]"},
        // One quoted program name with a blank keeps its quotes.
        {R"(cmd /c "C:\Program Files\Bank\record args.exe")", 6, "[]"},
        {R"(cmd /s /c ""%ProgramW6432%\Bank\record args.exe" %OS%")", 6, "[Windows_NT]"},
    };
    for (const Case& c : cases) {
        fs::remove(sandbox_.Root() / "recorded.txt");
        EXPECT_EQ(RunToEnd(c.commandLine), c.exitCode) << c.commandLine;
        EXPECT_EQ(Recorded(), c.recorded) << c.commandLine;
    }
    EXPECT_EQ(RunToEnd("cmd /c nosuchprogram /x"), kUnknownProgram);
    EXPECT_EQ(RunToEnd(R"(cmd /c del C:\x.txt & del C:\y.txt)"), 1);
    EXPECT_EQ(RunToEnd("cmd /k"), 0);
}

TEST_F(CmdTest, RemovalListRunsThroughSystem) {
    // The fixed removal of a 32-bit control on 64-bit Windows: unregister, delete the file,
    // delete the class key.
    const std::string clsid = "{93363B01-B699-4100-8FFC-3EC580F4F653}";
    Write(DriveC("Windows/SysWOW64/npcontrol.dll"),
          "NESTORA-CONTROL 1\nmachine=x86\nclsid=" + clsid + "\n");
    platform::Processes& processes = *context().processes;
    ASSERT_EQ(processes.RunSystemCommand(R"(regsvr32 /s "%SystemRoot%\SysWOW64\npcontrol.dll")"),
              0);
    RegKey key;
    ASSERT_EQ(context().registry->OpenKey(RegKey::Root(Hive::ClassesRoot), "CLSID\\" + clsid,
                                          platform::KEY_READ, key),
              win::ERROR_SUCCESS);
    RegKey extra;
    ASSERT_EQ(
        context().registry->CreateKey(RegKey::Root(Hive::ClassesRoot),
                                      "CLSID\\" + clsid + "\\Leftover", platform::KEY_WRITE, extra),
        win::ERROR_SUCCESS);

    EXPECT_EQ(processes.RunSystemCommand(R"(regsvr32 /u /s "%SystemRoot%\SysWOW64\npcontrol.dll")"),
              0);
    // Unregistering leaves the class key that still holds a key of someone else.
    ASSERT_EQ(context().registry->OpenKey(RegKey::Root(Hive::ClassesRoot), "CLSID\\" + clsid,
                                          platform::KEY_READ, key),
              win::ERROR_SUCCESS);
    EXPECT_EQ(context().registry->OpenKey(RegKey::Root(Hive::ClassesRoot),
                                          "CLSID\\" + clsid + "\\InprocServer32",
                                          platform::KEY_READ, key),
              win::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(processes.RunSystemCommand(R"(del "%SystemRoot%\SysWOW64\npcontrol.dll")"), 0);
    EXPECT_EQ(processes.RunSystemCommand(R"(reg delete /f HKEY_CLASSES_ROOT\Wow6432Node\CLSID\)" +
                                         clsid + " "),
              0);
    EXPECT_FALSE(fs::exists(DriveC("Windows/SysWOW64/npcontrol.dll")));
    EXPECT_EQ(context().registry->OpenKey(RegKey::Root(Hive::ClassesRoot), "CLSID\\" + clsid,
                                          platform::KEY_READ | platform::KEY_WOW64_32KEY, key),
              win::ERROR_FILE_NOT_FOUND);
}

}  // namespace
