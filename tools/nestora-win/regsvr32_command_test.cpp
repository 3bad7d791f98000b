// Runs the real nestora-win through the sandbox's processes, as the program starts regsvr32.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/context.h"
#include "platform/control_file.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "tests/support/temp_sandbox.h"

namespace {

using platform::Hive;
using platform::RegKey;

constexpr const char* kClassId = "{3A2C8BC3-5B68-4AE5-81D6-6DC378708F3E}";

platform::ControlFile MakeControl(platform::Machine machine) {
    platform::ControlFile control;
    control.machine = machine;
    control.version = std::array<std::uint16_t, 4>{1, 0, 2, 3};
    control.clsid = kClassId;
    control.progId = "Qiventa.Lockfern.1";
    control.name = "Lockfern Control";
    return control;
}

void WriteLinuxFile(const std::filesystem::path& file, std::string_view text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

int RunToEnd(platform::Context& context, const std::string& commandLine) {
    std::unique_ptr<platform::Process> process;
    const win::LONG result = context.processes->CreateProcess(commandLine, process);
    EXPECT_EQ(result, win::ERROR_SUCCESS) << commandLine;
    if (!process)
        return -1;
    EXPECT_EQ(process->Wait(win::INFINITE), win::WAIT_OBJECT_0);
    return static_cast<int>(process->ExitCode());
}

// The default value of HKCR\subKey in one view, or nullopt when the key is missing.
std::optional<std::string> ReadDefault(platform::Context& context, const std::string& subKey,
                                       win::DWORD view, std::string_view name = "") {
    RegKey key;
    if (context.registry->OpenKey(RegKey::Root(Hive::ClassesRoot), subKey,
                                  platform::KEY_READ | view, key) != win::ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::uint8_t data[1024];
    win::DWORD size = sizeof data;
    if (context.registry->QueryValue(key, name, nullptr, data, &size) != win::ERROR_SUCCESS) {
        return "";
    }
    return platform::RegSzToUtf8(data, size);
}

struct ViewCase {
    const char* profile;
    platform::Machine machine;
    const char* path;      // where the control lies, as the program names it
    win::DWORD view;       // where its registration belongs
    win::DWORD otherView;  // where it must not appear (0: the profile has one view)
};

TEST(Regsvr32, RegistersAndUnregistersInTheControlsView) {
    const ViewCase cases[] = {
        {"7-sp1-64", platform::Machine::X86, R"(C:\Windows\System32\Qiventa\LockfernCtrl.dll)",
         platform::KEY_WOW64_32KEY, platform::KEY_WOW64_64KEY},
        {"7-sp1-64", platform::Machine::X64, R"(C:\Windows\Sysnative\Qiventa\LockfernX64.dll)",
         platform::KEY_WOW64_64KEY, platform::KEY_WOW64_32KEY},
        {"7-sp1-32", platform::Machine::X86, R"(C:\Windows\System32\Qiventa\LockfernCtrl.dll)", 0,
         0},
    };
    for (const ViewCase& c : cases) {
        SCOPED_TRACE(std::string(c.profile) + " " + c.path);
        nestora_test::TempSandbox sandbox(c.profile);
        platform::Context& context = sandbox.Context();
        WriteLinuxFile(context.files->ToLinuxPath(c.path),
                       platform::FormatControlFile(MakeControl(c.machine)));
        const std::string classKey = std::string("CLSID\\") + kClassId;

        ASSERT_EQ(RunToEnd(context, std::string("regsvr32 /s \"") + c.path + "\""), 0);
        EXPECT_EQ(ReadDefault(context, classKey, c.view), "Lockfern Control");
        EXPECT_EQ(ReadDefault(context, classKey + "\\InprocServer32", c.view), c.path);
        EXPECT_EQ(ReadDefault(context, classKey + "\\InprocServer32", c.view, "ThreadingModel"),
                  "Apartment");
        EXPECT_EQ(ReadDefault(context, classKey + "\\ProgID", c.view), "Qiventa.Lockfern.1");
        EXPECT_EQ(ReadDefault(context, "Qiventa.Lockfern.1\\CLSID", c.view), kClassId);
        if (c.otherView != 0) {
            EXPECT_FALSE(ReadDefault(context, classKey, c.otherView));
        }

        ASSERT_EQ(RunToEnd(context, std::string("regsvr32 /u /s \"") + c.path + "\""), 0);
        EXPECT_FALSE(ReadDefault(context, classKey, c.view));
        EXPECT_FALSE(ReadDefault(context, "Qiventa.Lockfern.1", c.view));
        // Unregistering what is not registered succeeds, as a control's entry point does.
        EXPECT_EQ(RunToEnd(context, std::string("regsvr32 /u /s \"") + c.path + "\""), 0);
    }
}

TEST(Regsvr32, FailuresGiveRegsvr32ExitCodes) {
    nestora_test::TempSandbox sandbox("7-sp1-32");
    platform::Context& context = sandbox.Context();
    platform::ControlFile noClass = MakeControl(platform::Machine::X86);
    noClass.clsid.clear();
    WriteLinuxFile(context.files->ToLinuxPath(R"(C:\c\x64.dll)"),
                   platform::FormatControlFile(MakeControl(platform::Machine::X64)));
    WriteLinuxFile(context.files->ToLinuxPath(R"(C:\c\noclass.dll)"),
                   platform::FormatControlFile(noClass));
    WriteLinuxFile(context.files->ToLinuxPath(R"(C:\c\text.dll)"), "not a control\n");
    WriteLinuxFile(context.files->ToLinuxPath(R"(C:\c\protected.dll)"),
                   platform::FormatControlFile(MakeControl(platform::Machine::X86)));
    RegKey created;
    ASSERT_EQ(context.registry->CreateKey(RegKey::Root(Hive::ClassesRoot), "CLSID",
                                          platform::KEY_WRITE, created),
              win::ERROR_SUCCESS);
    ASSERT_EQ(context.registry->SetWriteProtected(RegKey::Root(Hive::ClassesRoot), "CLSID", true),
              win::ERROR_SUCCESS);
    struct Case {
        const char* commandLine;
        int exitCode;
    };
    const Case cases[] = {
        {R"(regsvr32 /s "C:\c\missing.dll")", 3},
        {R"(regsvr32 /s "C:\c\x64.dll")", 3},  // an x64 image on 32-bit Windows
        {R"(regsvr32 /s "C:\c\text.dll")", 4},
        {R"(regsvr32 /s "C:\c\noclass.dll")", 5},
        {R"(regsvr32 /s "C:\c\protected.dll")", 5},
        {R"(regsvr32 /s)", 1},
        {R"(regsvr32 /x "C:\c\protected.dll")", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RunToEnd(context, c.commandLine), c.exitCode) << c.commandLine;
    EXPECT_FALSE(ReadDefault(context, std::string("CLSID\\") + kClassId, 0));
}

}  // namespace
