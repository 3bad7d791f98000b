#include "components/removal.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "components/detection.h"
#include "components/test_files.h"
#include "tests/support/temp_sandbox.h"

namespace components {
namespace {

namespace fs = std::filesystem;
using namespace components::testing;

constexpr const char* kSigningClsid = "{93363B01-B699-4100-8FFC-3EC580F4F653}";
constexpr const char* kPasswordClsid = "{3A2C8BC3-5B68-4AE5-81D6-6DC378708F3E}";

class RecordingHost : public RemovalHost {
public:
    void ShowRemovalWarning() override { events.push_back("warning"); }
    void StartCheckPass() override { events.push_back("check"); }
    std::vector<std::string> events;
};

config::ComponentItem ItemUninstalledBy(std::string command, std::string type = "cmd",
                                        std::string bit = "32") {
    config::ComponentItem item;
    item.uninstallers.push_back({std::move(command), std::move(type), std::move(bit)});
    return item;
}

class Removal : public ::testing::Test {
protected:
    explicit Removal(const char* profile = "7-sp1-64")
        : sandbox_(profile), processes_(&RecordingProcesses::ReplaceIn(sandbox_.Context())) {}

    platform::Context& context() { return sandbox_.Context(); }

    // Runs a command of the sandbox's own tool as the program would.
    void System(const std::string& command, bool redirectionOff = false) {
        bool old = false;
        if (redirectionOff)
            context().files->Wow64DisableWow64FsRedirection(old);
        context().processes->RunSystemCommand(command);
        if (redirectionOff)
            context().files->Wow64RevertWow64FsRedirection(old);
        processes_->commands.clear();
    }

    bool ClassKeyExists(const std::string& clsid, win::DWORD view) {
        platform::RegKey key;
        return context().registry->OpenKey(platform::RegKey::Root(platform::Hive::ClassesRoot),
                                           "CLSID\\" + clsid, platform::KEY_READ | view,
                                           key) == win::ERROR_SUCCESS;
    }

    nestora_test::TempSandbox sandbox_;
    RecordingProcesses* processes_;
    RecordingHost host_;
};

class Removal32 : public Removal {
protected:
    Removal32() : Removal("7-sp1-32") {}
};

TEST_F(Removal32, MissingUninstallerOfThePasswordControlRunsTheThreeCommands) {
    const char* control = "C:\\Windows\\System32\\Qiventa\\Lockfern\\LockfernCtrl.dll";
    WriteSandboxFile(context(), control, ControlText(kPasswordClsid, {1, 0, 0, 1}));
    System(std::string("regsvr32 /s \"") + control + "\"");
    ASSERT_TRUE(IsControlRegistered(context(), kPasswordClsid));

    UninstallItem(context(), {ItemUninstalledBy("%ProgramFiles%\\Qiventa\\Lockfern\\gone.exe")}, 1,
                  host_);

    EXPECT_EQ(host_.events, (std::vector<std::string>{"warning", "check"}));
    EXPECT_EQ(processes_->commands,
              (std::vector<std::string>{
                  "regsvr32 /u /s \"%SystemRoot%\\System32\\Qiventa\\Lockfern\\LockfernCtrl.dll\"",
                  "rd /s /q \"%SystemRoot%\\System32\\Qiventa\\Lockfern\"",
                  "reg delete /f "
                  "HKEY_CLASSES_ROOT\\CLSID\\{3A2C8BC3-5B68-4AE5-81D6-6DC378708F3E} "}));
    EXPECT_FALSE(IsControlRegistered(context(), kPasswordClsid));
    EXPECT_FALSE(context().files->PathFileExists("C:\\Windows\\System32\\Qiventa\\Lockfern"));
    EXPECT_FALSE(ClassKeyExists(kPasswordClsid, 0));
}

TEST_F(Removal32, NothingOfTheSigningControlGivesTheWarningAndACheckOnly) {
    UninstallItem(context(), {{}, ItemUninstalledBy("C:\\gone.exe")}, 2, host_);
    EXPECT_EQ(host_.events, (std::vector<std::string>{"warning", "check"}));
    EXPECT_TRUE(processes_->commands.empty());
}

TEST_F(Removal32, ConfiguredUninstallerIsWaitedForWithItsChild) {
    const fs::path marker = sandbox_.Root() / "child-finished";
    WriteSandboxFile(context(), "C:\\Program Files\\Demo\\uninstall.sh",
                     "#!/bin/sh\n(sleep 1; touch '" + marker.string() + "') &\n");
    UninstallItem(context(), {ItemUninstalledBy("%ProgramFiles%\\Demo\\uninstall.sh")}, 1, host_);
    EXPECT_TRUE(fs::exists(marker)) << "the child outlived the uninstaller and was waited for";
    EXPECT_EQ(processes_->started,
              std::vector<std::string>{"C:\\Program Files\\Demo\\uninstall.sh"});
    EXPECT_EQ(host_.events, std::vector<std::string>{"check"});
    EXPECT_TRUE(processes_->commands.empty());
}

TEST_F(Removal32, NothingHappensOutOfRangeWithoutUninstallersOrForOtherTypes) {
    const std::vector<config::ComponentItem> items = {
        ItemUninstalledBy("C:\\gone.exe", "msi"), config::ComponentItem{},
        ItemUninstalledBy("C:\\gone.exe", "CMD"), ItemUninstalledBy("", "cmd")};
    for (int n : {0, -1, 1, 2, 3, 4, 5})
        UninstallItem(context(), items, n, host_);
    EXPECT_TRUE(host_.events.empty());
    EXPECT_TRUE(processes_->started.empty());
    EXPECT_TRUE(processes_->commands.empty());
}

TEST_F(Removal, SixtyFourBitSigningFileIsUnregisteredAndDeletedWithRedirectionOff) {
    ASSERT_TRUE(IsWow64(context()));
    const char* file = "C:\\Windows\\System32\\videra_svs_acx_tarvel_x64.dll";
    {
        bool old = false;
        context().files->Wow64DisableWow64FsRedirection(old);
        platform::ControlFile control;
        control.machine = platform::Machine::X64;
        control.clsid = kSigningClsid;
        control.version = std::array<std::uint16_t, 4>{1, 0, 0, 1};
        WriteSandboxFile(context(), file, platform::FormatControlFile(control));
        context().files->Wow64RevertWow64FsRedirection(old);
    }
    System(std::string("regsvr32 /s \"") + file + "\"", true);
    ASSERT_TRUE(ClassKeyExists(kSigningClsid, platform::KEY_WOW64_64KEY));
    ASSERT_FALSE(context().files->PathFileExists(file)) << "redirected to SysWOW64";

    UninstallItem(context(), {{}, ItemUninstalledBy("C:\\gone.exe")}, 2, host_);

    EXPECT_EQ(host_.events, (std::vector<std::string>{"warning", "check"}));
    EXPECT_EQ(processes_->commands.size(), 3u);
    EXPECT_FALSE(ClassKeyExists(kSigningClsid, platform::KEY_WOW64_64KEY));
    EXPECT_FALSE(
        fs::exists(sandbox_.Root() / "drive_c/Windows/System32/videra_svs_acx_tarvel_x64.dll"));
    EXPECT_TRUE(context().files->IsWow64FsRedirectionEnabled()) << "switched back on";
}

TEST_F(Removal, FixedListsFollowTheFilesPresent) {
    platform::FileSystem& files = *context().files;
    EXPECT_TRUE(FixedRemovalCommands(files, 1, true).empty());
    EXPECT_TRUE(FixedRemovalCommands(files, 2, true).empty());
    EXPECT_TRUE(FixedRemovalCommands(files, 3, true).empty());
    EXPECT_EQ(FixedRemovalCommands(files, 1, false).size(), 3u) << "32-bit: no test";

    WriteSandboxFile(context(), "C:\\Windows\\SysWOW64\\npvidera_svs_acx_tarvel.dll", "x");
    EXPECT_EQ(FixedRemovalCommands(files, 2, true),
              (std::vector<RemovalCommand>{
                  {"regsvr32 /u /s \"%SystemRoot%\\SysWOW64\\npvidera_svs_acx_tarvel.dll\""},
                  {"del \"%SystemRoot%\\SysWOW64\\npvidera_svs_acx_tarvel.dll\""},
                  {"reg delete /f HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\"
                   "{93363B01-B699-4100-8FFC-3EC580F4F653} "}}));

    WriteSandboxFile(context(), "C:\\Windows\\System32\\Qiventa\\Lockfern\\LockfernX64.dll", "x");
    EXPECT_EQ(FixedRemovalCommands(files, 1, true),
              (std::vector<RemovalCommand>{
                  {"regsvr32 /u /s \"%SystemRoot%\\System32\\Qiventa\\Lockfern\\LockfernX64.dll\""},
                  {"rd /s /q \"%SystemRoot%\\System32\\Qiventa\\Lockfern\""},
                  {"reg delete /f  HKEY_CLASSES_ROOT\\CLSID\\"
                   "{206F48A0-61BB-48C8-B54C-7700B7923CFD}  "}}))
        << "the 64-bit file, looked at through the 32-bit view";

    WriteSandboxFile(context(), "C:\\Windows\\SysWOW64\\Qiventa\\Lockfern\\LockfernCtrl.dll", "x");
    EXPECT_EQ(FixedRemovalCommands(files, 1, true).front().command,
              "regsvr32 /u /s \"%SystemRoot%\\SysWOW64\\Qiventa\\Lockfern\\LockfernCtrl.dll\"");
}

TEST_F(Removal, SixtyFourBitUninstallerIsLookedForInThe64BitProgramFolder) {
    const fs::path marker = sandbox_.Root() / "ran";
    WriteSandboxFile(context(), "C:\\Program Files\\Feitian\\uninstall.sh",
                     "#!/bin/sh\ntouch '" + marker.string() + "'\n");
    UninstallItem(context(),
                  {ItemUninstalledBy("%ProgramFiles%\\Feitian\\uninstall.sh", "cmd", "64")}, 1,
                  host_);
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_EQ(processes_->started,
              std::vector<std::string>{"C:\\Program Files\\Feitian\\uninstall.sh"});
    EXPECT_EQ(host_.events, std::vector<std::string>{"check"});
}

}  // namespace
}  // namespace components
