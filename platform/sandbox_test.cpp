#include "platform/sandbox.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "platform/context.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/windows_profile.h"
#include "tests/support/temp_sandbox.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kZones =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\";

std::optional<win::DWORD> ReadDword(Registry& registry, Hive hive, std::string_view subKey,
                                    std::string_view name) {
    RegKey key;
    if (registry.OpenKey(RegKey::Root(hive), subKey, KEY_READ, key) != 0)
        return std::nullopt;
    std::uint8_t data[4];
    win::DWORD size = sizeof data;
    win::DWORD type = 0;
    if (registry.QueryValue(key, name, &type, data, &size) != 0 || type != REG_DWORD) {
        return std::nullopt;
    }
    return data[0] | data[1] << 8 | data[2] << 16 | static_cast<win::DWORD>(data[3]) << 24;
}

void WriteDword(Registry& registry, Hive hive, std::string_view subKey, std::string_view name,
                win::DWORD value) {
    RegKey key;
    ASSERT_EQ(registry.CreateKey(RegKey::Root(hive), subKey, KEY_ALL_ACCESS, key), 0);
    const auto bytes = RegDwordBytes(value);
    ASSERT_EQ(registry.SetValue(key, name, REG_DWORD, bytes.data(), 4), 0);
}

TEST(Sandbox, NewSandboxHasTheWindowsFolders) {
    nestora_test::TempSandbox sandbox;
    const fs::path c = sandbox.Root() / "drive_c";
    for (const char* folder : {"Windows/System32/drivers/etc", "Windows/SysWOW64", "Program Files",
                               "Program Files (x86)", "Users/User/AppData/Local/Temp",
                               "Users/User/AppData/Roaming", "ProgramData"}) {
        EXPECT_TRUE(fs::is_directory(c / folder)) << folder;
    }
    std::ifstream hosts(c / "Windows/System32/drivers/etc/hosts", std::ios::binary);
    std::stringstream text;
    text << hosts.rdbuf();
    EXPECT_EQ(text.str(), DefaultHostsFileText());
    EXPECT_NE(text.str().find("localhost\r\n"), std::string::npos);
    EXPECT_EQ(text.str().find("\n", 0), text.str().find("\r\n", 0) + 1);  // CR LF line ends
}

TEST(Sandbox, ZonesHaveTheBrowserDefaultsInBothHives) {
    nestora_test::TempSandbox sandbox;
    Registry& registry = *sandbox.Context().registry;
    struct Case {
        int zone;
        win::DWORD current, recommended, flags;
    };
    const Case cases[] = {
        {1, 0x10500, 0x10500, 0xDB},
        {2, 0x10500, 0x10500, 0x47},
        {3, 0x11500, 0x11500, 0x01},
        {4, 0x12000, 0x12000, 0x03},
    };
    for (const Hive hive : {Hive::CurrentUser, Hive::LocalMachine}) {
        for (const Case& c : cases) {
            const std::string key = std::string(kZones) + std::to_string(c.zone);
            EXPECT_EQ(ReadDword(registry, hive, key, "CurrentLevel"), c.current) << key;
            EXPECT_EQ(ReadDword(registry, hive, key, "RecommendedLevel"), c.recommended) << key;
            EXPECT_EQ(ReadDword(registry, hive, key, "Flags"), c.flags) << key;
        }
    }
}

TEST(Sandbox, SeedingHappensOnceAndKeepsLaterChanges) {
    nestora_test::TempSandbox sandbox;
    const std::string internet = std::string(kZones) + "3";
    WriteDword(*sandbox.Context().registry, Hive::CurrentUser, internet, "CurrentLevel", 0x12000);
    ASSERT_TRUE(sandbox.Context().files->WriteFile("C:\\Windows\\System32\\drivers\\etc\\hosts",
                                                   "10.0.0.1 bank\r\n"));
    sandbox.Reopen();
    EXPECT_EQ(ReadDword(*sandbox.Context().registry, Hive::CurrentUser, internet, "CurrentLevel"),
              0x12000u);
    std::string hosts;
    FileSystem& files = *sandbox.Context().files;
    ASSERT_TRUE(
        files.ReadFile(files.ExpandEnvironment("%windir%\\system32\\drivers\\etc\\hosts"), hosts));
    EXPECT_EQ(hosts, "10.0.0.1 bank\r\n");
}

TEST(Sandbox, TwoOpeningsOfANewSandboxAtOnceBothSucceed) {
    nestora_test::TempSandbox holder;  // only for a temporary folder that is cleaned up
    const fs::path root = holder.Root() / "fresh";
    std::unique_ptr<Context> first, second;
    std::thread a([&] { first = OpenSandbox(root); });
    std::thread b([&] { second = OpenSandbox(root); });
    a.join();
    b.join();
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_EQ(ReadDword(*first->registry, Hive::CurrentUser, std::string(kZones) + "4", "MinLevel"),
              0x12000u);
}

TEST(Sandbox, TwoProcessesOpeningANewSandboxAtOnceBothSucceed) {
    nestora_test::TempSandbox holder;
    const fs::path root = holder.Root() / "fresh";
    std::vector<pid_t> children;
    for (int i = 0; i < 2; ++i) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const auto context = OpenSandbox(root);
            ::_exit(context && context->registry ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto context = OpenSandbox(root);
    ASSERT_TRUE(context);
    EXPECT_EQ(ReadDword(*context->registry, Hive::LocalMachine, std::string(kZones) + "3",
                        "RecommendedLevel"),
              0x11500u);
}

TEST(Sandbox, UnreadableProfileRefusesToOpen) {
    nestora_test::TempSandbox holder;
    const fs::path root = holder.Root() / "broken";
    fs::create_directories(root);
    std::ofstream(root / "profile.json") << "{ not json";
    EXPECT_FALSE(OpenSandbox(root));
}

// Each test runs in its own process, so the environment changes stay here.
TEST(Sandbox, DefaultRootFollowsTheEnvironment) {
    ::setenv("NESTORA_ROOT", "/some/where", 1);
    EXPECT_EQ(DefaultSandboxRoot(), "/some/where");
    ::unsetenv("NESTORA_ROOT");
    ::setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(DefaultSandboxRoot(), "/data/nestora");
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(DefaultSandboxRoot(), "/home/someone/.local/share/nestora");
}

}  // namespace
}  // namespace platform
