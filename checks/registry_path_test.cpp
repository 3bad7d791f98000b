#include "checks/registry_path.h"

#include <gtest/gtest.h>

#include "platform/context.h"
#include "platform/registry.h"
#include "tests/support/temp_sandbox.h"

namespace checks {
namespace {

using platform::Hive;
using platform::RegKey;

TEST(HiveOfRootName, MapsTheTableInAnyCaseAndEverythingElseToTheCurrentUser) {
    const std::pair<const char*, Hive> cases[] = {
        {"HKLM", Hive::LocalMachine},
        {"hklm", Hive::LocalMachine},
        {"Hkey_Local_Machine", Hive::LocalMachine},
        {"HKCU", Hive::CurrentUser},
        {"HKEY_CURRENT_USER", Hive::CurrentUser},
        {"hkcr", Hive::ClassesRoot},
        {"HKEY_CLASSES_ROOT", Hive::ClassesRoot},
        {"HKU", Hive::CurrentUser},
        {"HKEY_USERS", Hive::CurrentUser},
        {"", Hive::CurrentUser},
        {"HKLM ", Hive::CurrentUser},
    };
    for (const auto& [root, hive] : cases)
        EXPECT_EQ(HiveOfRootName(root), hive) << "'" << root << "'";
}

TEST(ParseRegistryPath, SplitsAtTheFirstBackslash) {
    EXPECT_FALSE(ParseRegistryPath("HKLM").has_value());
    EXPECT_FALSE(ParseRegistryPath("").has_value());

    const auto users = ParseRegistryPath("HKU\\S-1-5-18\\Software");
    ASSERT_TRUE(users.has_value());
    EXPECT_EQ(users->hive, Hive::CurrentUser);
    EXPECT_EQ(users->subKey, "S-1-5-18\\Software");

    const auto machine = ParseRegistryPath("hklm\\SOFTWARE\\Bank");
    ASSERT_TRUE(machine.has_value());
    EXPECT_EQ(machine->hive, Hive::LocalMachine);
    EXPECT_EQ(machine->subKey, "SOFTWARE\\Bank");
}

TEST(RegistryValueExists, TestsTheKeyAndANamedValue) {
    nestora_test::TempSandbox sandbox;
    platform::Registry& registry = *sandbox.Context().registry;
    RegKey key;
    ASSERT_EQ(registry.CreateKey(RegKey::Root(Hive::CurrentUser), "Software\\Bank\\Control",
                                 kCheckKeyAccess, key),
              win::ERROR_SUCCESS);
    const auto data = platform::RegDwordBytes(1);
    ASSERT_EQ(registry.SetValue(key, "Present", platform::REG_DWORD, data.data(), 4),
              win::ERROR_SUCCESS);

    const std::pair<const char*, bool> cases[] = {
        {"HKCU,Software\\Bank\\Control,", true},
        {"HKCU,Software\\Bank\\Control,Present", true},
        {"hkey_current_user,software\\bank\\control,present", true},
        {"HKU,Software\\Bank\\Control,Present", true},  // unknown roots mean the current user
        {"HKCU,Software\\Bank\\Control,Absent", false},
        {"HKCU,Software\\Bank\\Other,", false},
        {"HKLM,Software\\Bank\\Control,", false},
        {"HKCU,Software\\Bank\\Control", false},  // one comma only
        {"HKCU", false},
    };
    for (const auto& [spec, exists] : cases)
        EXPECT_EQ(RegistryValueExists(sandbox.Context(), spec), exists) << spec;
}

TEST(RegistryValueExists, AKeyTheUserMayNotWriteCountsAsAbsent) {
    nestora_test::TempSandbox sandbox;
    platform::Registry& registry = *sandbox.Context().registry;
    RegKey key;
    ASSERT_EQ(registry.CreateKey(RegKey::Root(Hive::CurrentUser), "Software\\Locked",
                                 kCheckKeyAccess, key),
              win::ERROR_SUCCESS);
    ASSERT_EQ(registry.SetWriteProtected(RegKey::Root(Hive::CurrentUser), "Software\\Locked", true),
              win::ERROR_SUCCESS);
    EXPECT_FALSE(RegistryValueExists(sandbox.Context(), "HKCU,Software\\Locked,"));
}

}  // namespace
}  // namespace checks
