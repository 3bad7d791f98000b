#include "checks/os_version.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/context.h"
#include "platform/registry.h"
#include "platform/windows_profile.h"
#include "tests/support/temp_sandbox.h"

namespace checks {
namespace {

using platform::WindowsProfile;

// The name for a profile alone: GetOsDisplayName reads nothing else.
std::string NameFor(const WindowsProfile& profile) {
    platform::Context context;
    context.profile = std::make_unique<WindowsProfile>(profile);
    return GetOsDisplayName(context);
}

WindowsProfile Preset(const char* name) {
    const auto profile = platform::FindProfilePreset(name);
    EXPECT_TRUE(profile) << name;
    return profile.value_or(WindowsProfile());
}

TEST(OsDisplayName, NamesOfThePresetSystems) {
    const struct {
        const char* preset;
        const char* name;
    } cases[] = {
        {"7-sp1-64", "Windows 7 旗舰版 SP1 (build 7601) 64位"},
        {"7-sp1-32", "Windows 7 旗舰版 SP1 (build 7601) 32位"},
        {"xp-sp3-32", "Windows XP 专业版 SP3 (build 2600)"},
        {"xp-x64", "Windows XP Professional x64 Edition SP2 (build 3790)"},
        {"vista", "Windows Vista 商用版 SP2 (build 6002) 32位"},
        {"8", "Windows 8 专业版 (build 9200) 64位"},
        {"8.1", "Windows 8 专业版 (build 9200) 64位"},  // reported as 6.2
        {"10", "Windows 8 专业版 (build 9200) 64位"},
        {"2003", "Windows Server 2003, Standard Edition SP2 (build 3790)"},
        {"2003-r2", "Windows Server 2003 R2, Standard Edition SP2 (build 3790)"},
        {"2008", "Windows Server 2008 Standard Edition SP2 (build 6002) 64位"},
        {"2008-r2", "Windows Server 2008 R2 Enterprise Edition SP1 (build 7601) 64位"},
        {"2012", "Standard Edition (build 9200) 64位"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NameFor(Preset(c.preset)), c.name) << c.preset;
}

TEST(OsDisplayName, EditionsOfVersionSix) {
    const struct {
        win::DWORD productType;
        const char* edition;
    } cases[] = {
        {0x01, "旗舰版"},
        {0x02, "家庭普通版"},
        {0x03, "家庭高级版"},
        {0x04, "企业版"},
        {0x06, "商用版"},
        {0x07, "Standard Edition"},
        {0x08, "Datacenter Edition"},
        {0x09, "Small Business Server"},
        {0x0A, "Enterprise Edition"},
        {0x0B, "初级版"},
        {0x0C, "Datacenter Edition (core installation)"},
        {0x0D, "Standard Edition (core installation)"},
        {0x0E, "Enterprise Edition (core installation)"},
        {0x0F, "Enterprise Edition for Itanium-based Systems"},
        {0x11, "Web Server Edition"},
        {0x12, "Cluster Server Edition"},
        {0x19, "Small Business Server Premium Edition"},
        {0x30, "专业版"},
        {0x05, ""},
        {0x65, ""},
    };
    WindowsProfile profile;
    profile.csdVersion = "";
    for (const auto& c : cases) {
        profile.productInfo = c.productType;
        EXPECT_EQ(NameFor(profile), "Windows 7 " + std::string(c.edition) + " (build 7601) 64位")
            << c.productType;
    }
}

TEST(OsDisplayName, VersionFiveBranches) {
    using platform::PROCESSOR_ARCHITECTURE_AMD64;
    using platform::PROCESSOR_ARCHITECTURE_IA64;
    using platform::PROCESSOR_ARCHITECTURE_INTEL;
    const auto server2003 = [](std::uint16_t architecture, std::uint16_t suite) {
        WindowsProfile profile = Preset("2003");
        profile.processorArchitecture = architecture;
        profile.suiteMask = suite;
        return profile;
    };
    const auto windows2000 = [](std::uint8_t productType, std::uint16_t suite) {
        WindowsProfile profile = Preset("xp-sp3-32");
        profile.minorVersion = 0;
        profile.buildNumber = 2195;
        profile.csdVersion = "Service Pack 4";
        profile.productType = productType;
        profile.suiteMask = suite;
        return profile;
    };
    WindowsProfile home = Preset("xp-sp3-32");
    home.suiteMask = platform::VER_SUITE_PERSONAL;
    WindowsProfile serverR2Storage =
        server2003(PROCESSOR_ARCHITECTURE_INTEL, platform::VER_SUITE_STORAGE_SERVER);
    serverR2Storage.serverR2 = true;

    const struct {
        const char* what;
        WindowsProfile profile;
        const char* name;
    } cases[] = {
        {"xp home", home, "Windows XP 家庭版 SP3 (build 2600)"},
        {"storage", server2003(PROCESSOR_ARCHITECTURE_INTEL, platform::VER_SUITE_STORAGE_SERVER),
         "Windows Storage Server 2003Standard Edition SP2 (build 3790)"},
        {"r2 before storage", serverR2Storage,
         "Windows Server 2003 R2, Standard Edition SP2 (build 3790)"},
        {"home server", server2003(PROCESSOR_ARCHITECTURE_INTEL, platform::VER_SUITE_WH_SERVER),
         "Windows Home ServerStandard Edition SP2 (build 3790)"},
        {"itanium datacenter",
         server2003(PROCESSOR_ARCHITECTURE_IA64,
                    platform::VER_SUITE_DATACENTER | platform::VER_SUITE_ENTERPRISE),
         "Windows Server 2003, Datacenter Edition for Itanium-based Systems SP2 (build 3790)"},
        {"itanium enterprise",
         server2003(PROCESSOR_ARCHITECTURE_IA64, platform::VER_SUITE_ENTERPRISE),
         "Windows Server 2003, Enterprise Edition for Itanium-based Systems SP2 (build 3790)"},
        {"itanium plain", server2003(PROCESSOR_ARCHITECTURE_IA64, 0),
         "Windows Server 2003,  SP2 (build 3790)"},
        {"x64 datacenter", server2003(PROCESSOR_ARCHITECTURE_AMD64, platform::VER_SUITE_DATACENTER),
         "Windows Server 2003, Datacenter x64 Edition SP2 (build 3790)"},
        {"x64 enterprise", server2003(PROCESSOR_ARCHITECTURE_AMD64, platform::VER_SUITE_ENTERPRISE),
         "Windows Server 2003, Enterprise x64 Edition SP2 (build 3790)"},
        {"x64 standard", server2003(PROCESSOR_ARCHITECTURE_AMD64, 0),
         "Windows Server 2003, Standard x64 Edition SP2 (build 3790)"},
        {"compute cluster",
         server2003(PROCESSOR_ARCHITECTURE_INTEL,
                    platform::VER_SUITE_COMPUTE_SERVER | platform::VER_SUITE_DATACENTER),
         "Windows Server 2003, Compute Cluster Edition SP2 (build 3790)"},
        {"datacenter", server2003(PROCESSOR_ARCHITECTURE_INTEL, platform::VER_SUITE_DATACENTER),
         "Windows Server 2003, Datacenter Edition SP2 (build 3790)"},
        {"enterprise",
         server2003(PROCESSOR_ARCHITECTURE_INTEL,
                    platform::VER_SUITE_ENTERPRISE | platform::VER_SUITE_BLADE),
         "Windows Server 2003, Enterprise Edition SP2 (build 3790)"},
        {"web", server2003(PROCESSOR_ARCHITECTURE_INTEL, platform::VER_SUITE_BLADE),
         "Windows Server 2003, Web Edition SP2 (build 3790)"},
        {"2000 professional", windows2000(platform::VER_NT_WORKSTATION, 0),
         "Windows 2000 专业版 SP4 (build 2195)"},
        {"2000 datacenter", windows2000(platform::VER_NT_SERVER, platform::VER_SUITE_DATACENTER),
         "Windows 2000 数据中心版 SP4 (build 2195)"},
        {"2000 advanced", windows2000(platform::VER_NT_SERVER, platform::VER_SUITE_ENTERPRISE),
         "Windows 2000 高级服务器版 SP4 (build 2195)"},
        {"2000 server", windows2000(platform::VER_NT_DOMAIN_CONTROLLER, 0),
         "Windows 2000 服务器版 SP4 (build 2195)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NameFor(c.profile), c.name) << c.what;
}

TEST(OsDisplayName, UnknownAndUnreadableVersions) {
    WindowsProfile old;
    old.majorVersion = 4;
    EXPECT_EQ(NameFor(old), "Unknown version of Windows");
    WindowsProfile nineX;
    nineX.platformId = platform::VER_PLATFORM_WIN32_WINDOWS;
    EXPECT_EQ(NameFor(nineX), "Unknown version of Windows");
    WindowsProfile itanium = Preset("2008-r2");
    itanium.processorArchitecture = platform::PROCESSOR_ARCHITECTURE_IA64;
    itanium.csdVersion = "Service Pack 1, v.721";
    EXPECT_EQ(NameFor(itanium),
              "Windows Server 2008 R2 Enterprise Edition SP1, v.721 (build 7601)");
    platform::Context empty;
    EXPECT_EQ(GetOsDisplayName(empty), "Error");
}

// Page items 1 and 8 on sandboxes of each kind.
TEST(VersionTexts, ShownOnThePage) {
    const struct {
        const char* preset;
        const char* osText;
        const char* browserText;
    } cases[] = {
        {"7-sp1-64", "Windows 7 旗舰版 SP1 (build 7601) 64位", "11.0.9600.19180"},
        {"xp-sp3-32", "Windows XP 专业版 SP3 (build 2600)", "8.0.6001.18702"},
        {"10", "Windows 10 Pro", "11.1.19041.0"},
        {"8.1", "Windows 8 专业版 (build 9200) 64位", "11.0.9600.17031"},
    };
    for (const auto& c : cases) {
        nestora_test::TempSandbox sandbox(c.preset);
        EXPECT_EQ(OsVersionText(sandbox.Context()), c.osText) << c.preset;
        EXPECT_EQ(GetIeVersion(sandbox.Context()), c.browserText) << c.preset;
    }
}

class BrowserVersionTest : public ::testing::Test {
protected:
    void SetBrowserValue(std::string_view name, win::DWORD type,
                         const std::vector<std::uint8_t>& bytes) {
        auto& registry = *sandbox_.Context().registry;
        platform::RegKey key;
        ASSERT_EQ(registry.CreateKey(platform::RegKey::Root(platform::Hive::LocalMachine),
                                     "SOFTWARE\\Microsoft\\Internet Explorer",
                                     platform::KEY_ALL_ACCESS, key),
                  0);
        ASSERT_EQ(
            registry.SetValue(key, name, type, bytes.data(), static_cast<win::DWORD>(bytes.size())),
            0);
    }
    void DeleteBrowserValue(std::string_view name) {
        auto& registry = *sandbox_.Context().registry;
        platform::RegKey key;
        ASSERT_EQ(registry.OpenKey(platform::RegKey::Root(platform::Hive::LocalMachine),
                                   "SOFTWARE\\Microsoft\\Internet Explorer",
                                   platform::KEY_ALL_ACCESS, key),
                  0);
        registry.DeleteValue(key, name);
    }

    nestora_test::TempSandbox sandbox_;
};

TEST_F(BrowserVersionTest, FallsBackToVersionThenToZero) {
    SetBrowserValue("svcVersion", platform::REG_SZ, platform::RegSzBytes(std::string(100, '1')));
    EXPECT_EQ(GetIeVersion(sandbox_.Context()), "9.11.9600.19180");  // too long for the buffer
    SetBrowserValue("svcVersion", platform::REG_DWORD, platform::RegDwordBytes(11));
    EXPECT_EQ(GetIeVersion(sandbox_.Context()), "9.11.9600.19180");
    SetBrowserValue("svcVersion", platform::REG_SZ, platform::RegSzBytes(std::string(99, '1')));
    EXPECT_EQ(GetIeVersion(sandbox_.Context()), std::string(99, '1'));
    DeleteBrowserValue("svcVersion");
    DeleteBrowserValue("Version");
    EXPECT_EQ(GetIeVersion(sandbox_.Context()), "0");
}

TEST_F(BrowserVersionTest, UserSettingsAreNotRead) {
    DeleteBrowserValue("svcVersion");
    DeleteBrowserValue("Version");
    auto& registry = *sandbox_.Context().registry;
    platform::RegKey key;
    ASSERT_EQ(
        registry.CreateKey(platform::RegKey::Root(platform::Hive::CurrentUser),
                           "SOFTWARE\\Microsoft\\Internet Explorer", platform::KEY_ALL_ACCESS, key),
        0);
    const auto bytes = platform::RegSzBytes("11.0.1");
    ASSERT_EQ(registry.SetValue(key, "svcVersion", platform::REG_SZ, bytes.data(),
                                static_cast<win::DWORD>(bytes.size())),
              0);
    EXPECT_EQ(GetIeVersion(sandbox_.Context()), "0");
}

}  // namespace
}  // namespace checks
