#include "platform/windows_profile.h"

#include <gtest/gtest.h>

#include "platform/context.h"
#include "platform/registry.h"
#include "platform/sandbox.h"
#include "tests/support/temp_sandbox.h"

namespace platform {
namespace {

TEST(WindowsProfile, DefaultIsWindows7UltimateSp1On64Bit) {
    const WindowsProfile profile;
    const OsVersionInfoEx version = profile.GetVersionEx();
    EXPECT_EQ(version.majorVersion, 6u);
    EXPECT_EQ(version.minorVersion, 1u);
    EXPECT_EQ(version.buildNumber, 7601u);
    EXPECT_EQ(version.platformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(version.csdVersion, "Service Pack 1");
    EXPECT_EQ(version.servicePackMajor, 1);
    EXPECT_EQ(version.productType, VER_NT_WORKSTATION);
    EXPECT_EQ(profile.productInfo, PRODUCT_ULTIMATE);
    EXPECT_EQ(profile.processorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_TRUE(profile.IsWow64());
    EXPECT_TRUE(profile.HasGetProductInfo());
    EXPECT_TRUE(profile.TaskDialogSupported());
    EXPECT_EQ(FindProfilePreset("7-sp1-64"), profile);
}

TEST(WindowsProfile, PresetsDescribeTheirSystems) {
    struct Case {
        const char* preset;
        win::DWORD reportedMajor, reportedMinor, reportedBuild;
        std::uint8_t productType;
        bool is64Bit;
        bool nt6;
    };
    const Case cases[] = {
        {"xp-sp3-32", 5, 1, 2600, VER_NT_WORKSTATION, false, false},
        {"XP-SP3-32", 5, 1, 2600, VER_NT_WORKSTATION, false, false},
        {"xp-x64", 5, 2, 3790, VER_NT_WORKSTATION, true, false},
        {"vista", 6, 0, 6002, VER_NT_WORKSTATION, false, true},
        {"7-sp1-32", 6, 1, 7601, VER_NT_WORKSTATION, false, true},
        {"8", 6, 2, 9200, VER_NT_WORKSTATION, true, true},
        // Later systems report 6.2 to programs that do not declare support for them.
        {"8.1", 6, 2, 9200, VER_NT_WORKSTATION, true, true},
        {"10", 6, 2, 9200, VER_NT_WORKSTATION, true, true},
        {"2003", 5, 2, 3790, VER_NT_SERVER, false, false},
        {"2003-r2", 5, 2, 3790, VER_NT_SERVER, false, false},
        {"2008", 6, 0, 6002, VER_NT_SERVER, true, true},
        {"2008-r2", 6, 1, 7601, VER_NT_SERVER, true, true},
        {"2012", 6, 2, 9200, VER_NT_SERVER, true, true},
    };
    for (const Case& c : cases) {
        const auto profile = FindProfilePreset(c.preset);
        ASSERT_TRUE(profile) << c.preset;
        const OsVersionInfoEx version = profile->GetVersionEx();
        EXPECT_EQ(version.majorVersion, c.reportedMajor) << c.preset;
        EXPECT_EQ(version.minorVersion, c.reportedMinor) << c.preset;
        EXPECT_EQ(version.buildNumber, c.reportedBuild) << c.preset;
        EXPECT_EQ(version.productType, c.productType) << c.preset;
        EXPECT_EQ(profile->Is64Bit(), c.is64Bit) << c.preset;
        EXPECT_EQ(profile->HasGetProductInfo(), c.nt6) << c.preset;
        EXPECT_EQ(profile->TaskDialogSupported(), c.nt6) << c.preset;
    }
    EXPECT_TRUE(FindProfilePreset("2003-r2")->serverR2);
    EXPECT_EQ(FindProfilePreset("10")->productName, "Windows 10 Pro");
    EXPECT_EQ(FindProfilePreset("xp-sp3-32")->ieSvcVersion, "");
    EXPECT_FALSE(FindProfilePreset("windows-95"));
    EXPECT_EQ(ProfilePresetNames().size(), 13u);
}

TEST(WindowsProfile, SetsEveryFieldByName) {
    WindowsProfile profile;
    struct Case {
        const char* name;
        const char* value;
        bool accepted;
    };
    const Case cases[] = {
        {"majorVersion", "5", true},
        {"minorVersion", "0x1", true},
        {"buildNumber", "2600", true},
        {"platformId", "2", true},
        {"csdVersion", "Service Pack 3", true},
        {"servicePackMajor", "3", true},
        {"servicePackMinor", "0", true},
        {"suiteMask", "0x200", true},
        {"productType", "1", true},
        {"processorArchitecture", "0", true},
        {"productInfo", "0", true},
        {"serverR2", "true", true},
        {"productName", "Microsoft Windows XP", true},
        {"ieVersion", "8.0.6001.18702", true},
        {"ieSvcVersion", "", true},
        {"userName", "李雷", true},
        {"computerName", "HOME-PC", true},
        {"productType", "256", false},    // does not fit a byte
        {"suiteMask", "0x10000", false},  // nor a word
        {"majorVersion", "-1", false},
        {"majorVersion", "six", false},
        {"majorVersion", "", false},
        {"serverR2", "yes", false},
        {"noSuchField", "1", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SetProfileField(profile, c.name, c.value), c.accepted)
            << c.name << "=" << c.value;
    }
    EXPECT_EQ(profile.minorVersion, 1u);
    EXPECT_EQ(profile.suiteMask, VER_SUITE_PERSONAL);
    EXPECT_EQ(profile.productType, VER_NT_WORKSTATION);
    EXPECT_EQ(profile.majorVersion, 5u);
    EXPECT_TRUE(profile.serverR2);
    EXPECT_EQ(profile.userName, "李雷");
    EXPECT_EQ(ProfileFieldNames().size(), 17u);
}

TEST(WindowsProfile, JsonRoundTripsAndRejectsWrongTypes) {
    WindowsProfile profile = *FindProfilePreset("2003-r2");
    profile.userName = "张三";
    WindowsProfile read;
    ASSERT_TRUE(ProfileFromJson(ProfileToJson(profile), read));
    EXPECT_EQ(read, profile);

    WindowsProfile partial;
    ASSERT_TRUE(ProfileFromJson(R"({"majorVersion": 5, "unknown": 1})", partial));
    EXPECT_EQ(partial.majorVersion, 5u);
    EXPECT_EQ(partial.buildNumber, 7601u);

    for (const char* bad : {"", "[]", "{", R"({"majorVersion": "6"})", R"({"productType": 300})",
                            R"({"serverR2": 1})", R"({"csdVersion": 1})"}) {
        WindowsProfile untouched = profile;
        EXPECT_FALSE(ProfileFromJson(bad, untouched)) << bad;
        EXPECT_EQ(untouched, profile) << bad;
    }
}

std::string ReadText(Registry& registry, std::string_view subKey, std::string_view name,
                     win::DWORD view = 0) {
    RegKey key;
    if (registry.OpenKey(RegKey::Root(Hive::LocalMachine), subKey, KEY_READ | view, key) != 0)
        return "<no key>";
    std::uint8_t data[1024];
    win::DWORD size = sizeof data;
    win::DWORD type = 0;
    if (registry.QueryValue(key, name, &type, data, &size) != 0)
        return "<no value>";
    return type == REG_SZ ? RegSzToUtf8(data, size) : "<not REG_SZ>";
}

constexpr std::string_view kCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::string_view kBrowser = "SOFTWARE\\Microsoft\\Internet Explorer";

TEST(WindowsProfileRegistry, MirrorFollowsTheProfileInBothViews) {
    nestora_test::TempSandbox sandbox;
    Registry& registry = *sandbox.Context().registry;
    for (const win::DWORD view : {win::DWORD{0}, KEY_WOW64_64KEY}) {
        EXPECT_EQ(ReadText(registry, kCurrentVersion, "ProductName", view), "Windows 7 Ultimate");
        EXPECT_EQ(ReadText(registry, kCurrentVersion, "CurrentVersion", view), "6.1");
        EXPECT_EQ(ReadText(registry, kCurrentVersion, "CurrentBuildNumber", view), "7601");
        EXPECT_EQ(ReadText(registry, kCurrentVersion, "CSDVersion", view), "Service Pack 1");
        EXPECT_EQ(ReadText(registry, kBrowser, "svcVersion", view), "11.0.9600.19180");
        EXPECT_EQ(ReadText(registry, kBrowser, "Version", view), "9.11.9600.19180");
    }

    ASSERT_TRUE(ChangeProfile(sandbox.Context(), *FindProfilePreset("10")));
    Registry& after = *sandbox.Context().registry;
    EXPECT_EQ(ReadText(after, kCurrentVersion, "ProductName"), "Windows 10 Pro");
    EXPECT_EQ(ReadText(after, kCurrentVersion, "CurrentVersion"), "6.3");
    EXPECT_EQ(ReadText(after, kCurrentVersion, "CurrentBuildNumber"), "19045");
    EXPECT_EQ(ReadText(after, kCurrentVersion, "CSDVersion"), "<no value>");

    ASSERT_TRUE(ChangeProfile(sandbox.Context(), *FindProfilePreset("xp-sp3-32")));
    Registry& xp = *sandbox.Context().registry;
    EXPECT_EQ(ReadText(xp, kCurrentVersion, "ProductName"), "Microsoft Windows XP");
    EXPECT_EQ(ReadText(xp, kCurrentVersion, "CurrentVersion"), "5.1");
    EXPECT_EQ(ReadText(xp, kCurrentVersion, "CSDVersion"), "Service Pack 3");
    EXPECT_EQ(ReadText(xp, kBrowser, "svcVersion"), "<no value>");
    EXPECT_EQ(ReadText(xp, kBrowser, "Version"), "8.0.6001.18702");
}

TEST(WindowsProfileRegistry, ChangedProfileIsKeptInTheSandbox) {
    nestora_test::TempSandbox sandbox("vista");
    EXPECT_EQ(sandbox.Context().profile->buildNumber, 6002u);
    sandbox.Reopen();
    EXPECT_EQ(*sandbox.Context().profile, *FindProfilePreset("vista"));
    EXPECT_EQ(ReadText(*sandbox.Context().registry, kCurrentVersion, "CurrentBuildNumber"), "6002");
}

}  // namespace
}  // namespace platform
