#include "platform/linux/zones_registry.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/context.h"
#include "platform/registry.h"
#include "platform/zones.h"
#include "tests/support/temp_sandbox.h"

namespace platform {
namespace {

constexpr std::string_view kInternetSettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

std::optional<win::DWORD> ReadUserDword(Registry& registry, const std::string& subKey,
                                        std::string_view name) {
    RegKey key;
    if (registry.OpenKey(RegKey::Root(Hive::CurrentUser), subKey, KEY_READ, key) != 0)
        return std::nullopt;
    std::uint8_t data[4];
    win::DWORD size = sizeof data;
    win::DWORD type = 0;
    if (registry.QueryValue(key, name, &type, data, &size) != 0 || type != REG_DWORD)
        return std::nullopt;
    return data[0] | data[1] << 8 | data[2] << 16 | static_cast<win::DWORD>(data[3]) << 24;
}

std::string ZoneKey(int zone) {
    return std::string(kInternetSettings) + "\\Zones\\" + std::to_string(zone);
}

class ZonesTest : public ::testing::Test {
protected:
    Context& context() { return sandbox_.Context(); }
    Registry& registry() { return *context().registry; }
    std::unique_ptr<ZoneManager> ZoneManagerObject() {
        auto manager = context().zones->CreateZoneManager();
        EXPECT_NE(manager, nullptr);
        return manager;
    }
    std::unique_ptr<SecurityManager> SecurityManagerObject() {
        auto manager = context().zones->CreateSecurityManager();
        EXPECT_NE(manager, nullptr);
        return manager;
    }
    static ZoneAttributes EmptyRecord() {
        ZoneAttributes attributes;
        attributes.cbSize = kZoneAttributesSize;
        attributes.flags = ZAFLAGS_NO_CACHE;
        return attributes;
    }
    win::DWORD ZoneOf(std::string_view url) {
        win::DWORD zone = 0;
        EXPECT_EQ(SecurityManagerObject()->MapUrlToZone(url, zone, 0), win::S_OK) << url;
        return zone;
    }

    nestora_test::TempSandbox sandbox_;
};

TEST_F(ZonesTest, ReadsTheSeededZonesAndRefusesShortRecordsAndUnknownZones) {
    auto manager = ZoneManagerObject();
    ZoneAttributes internet = EmptyRecord();
    ASSERT_EQ(manager->GetZoneAttributes(URLZONE_INTERNET, internet), win::S_OK);
    EXPECT_EQ(internet.templateCurrentLevel, URLTEMPLATE_MEDHIGH);
    EXPECT_EQ(internet.templateRecommended, URLTEMPLATE_MEDHIGH);
    EXPECT_EQ(internet.displayName, "Internet");

    ZoneAttributes trusted = EmptyRecord();
    ASSERT_EQ(manager->GetZoneAttributes(URLZONE_TRUSTED, trusted), win::S_OK);
    EXPECT_TRUE(trusted.flags & ZAFLAGS_REQUIRE_VERIFICATION);

    ZoneAttributes shortRecord = EmptyRecord();
    shortRecord.cbSize = kZoneAttributesSize - 1;
    EXPECT_EQ(manager->GetZoneAttributes(URLZONE_INTERNET, shortRecord), E_INVALIDARG);
    ZoneAttributes unknown = EmptyRecord();
    EXPECT_EQ(manager->GetZoneAttributes(9, unknown), E_INVALIDARG);
}

TEST_F(ZonesTest, StoresAttributesWhereTheBrowserReadsThemAndCutsLongTexts) {
    auto manager = ZoneManagerObject();
    ZoneAttributes attributes = EmptyRecord();
    ASSERT_EQ(manager->GetZoneAttributes(URLZONE_INTERNET, attributes), win::S_OK);
    attributes.templateCurrentLevel = URLTEMPLATE_HIGH;
    attributes.flags &= ~ZAFLAGS_NO_CACHE;
    attributes.description = std::string(300, 'd');
    ASSERT_EQ(manager->SetZoneAttributes(URLZONE_INTERNET, attributes), win::S_OK);

    EXPECT_EQ(ReadUserDword(registry(), ZoneKey(3), "CurrentLevel"), URLTEMPLATE_HIGH);
    EXPECT_EQ(ReadUserDword(registry(), ZoneKey(3), "RecommendedLevel"), URLTEMPLATE_MEDHIGH);
    ZoneAttributes read = EmptyRecord();
    ASSERT_EQ(manager->GetZoneAttributes(URLZONE_INTERNET, read), win::S_OK);
    EXPECT_EQ(read.templateCurrentLevel, URLTEMPLATE_HIGH);
    EXPECT_EQ(read.description, std::string(kZoneDescriptionChars - 1, 'd'));
}

TEST_F(ZonesTest, WritingAProtectedZoneIsDenied) {
    RegKey user = RegKey::Root(Hive::CurrentUser);
    ASSERT_EQ(registry().SetWriteProtected(user, ZoneKey(3), true), 0);
    auto manager = ZoneManagerObject();
    ZoneAttributes attributes = EmptyRecord();
    ASSERT_EQ(manager->GetZoneAttributes(URLZONE_INTERNET, attributes), win::S_OK);
    EXPECT_EQ(manager->SetZoneAttributes(URLZONE_INTERNET, attributes), E_ACCESSDENIED);
    EXPECT_EQ(manager->CopyTemplatePoliciesToZone(URLTEMPLATE_HIGH, URLZONE_INTERNET, 0),
              E_ACCESSDENIED);
}

TEST_F(ZonesTest, CopiesATemplatesPoliciesIntoTheZone) {
    auto manager = ZoneManagerObject();
    ASSERT_EQ(manager->CopyTemplatePoliciesToZone(URLTEMPLATE_HIGH, URLZONE_INTERNET, 0),
              win::S_OK);
    EXPECT_EQ(ReadUserDword(registry(), ZoneKey(3), "1400"), 3u);  // scripting disallowed
    ASSERT_EQ(manager->CopyTemplatePoliciesToZone(URLTEMPLATE_MEDHIGH, URLZONE_INTERNET, 0),
              win::S_OK);
    EXPECT_EQ(ReadUserDword(registry(), ZoneKey(3), "1400"), 0u);
    EXPECT_EQ(manager->CopyTemplatePoliciesToZone(URLTEMPLATE_CUSTOM, URLZONE_INTERNET, 0),
              E_INVALIDARG);
    EXPECT_EQ(manager->CopyTemplatePoliciesToZone(URLTEMPLATE_HIGH, 9, 0), E_INVALIDARG);
}

TEST_F(ZonesTest, AddressesWithoutMappingFallInZonesByTheirForm) {
    const struct {
        const char* url;
        win::DWORD zone;
    } cases[] = {
        {"http://www.example.com/index.html", URLZONE_INTERNET},
        {"https://192.0.2.1:8443/", URLZONE_INTERNET},
        {"http://intranet/home", URLZONE_INTRANET},
        {"file:///C:/Windows/win.ini", URLZONE_LOCAL_MACHINE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ZoneOf(c.url), c.zone) << c.url;
    win::DWORD zone = 0;
    EXPECT_EQ(SecurityManagerObject()->MapUrlToZone("www.example.com", zone, 0), E_INVALIDARG);
    EXPECT_EQ(zone, URLZONE_INVALID);
}

TEST_F(ZonesTest, MappedSitesCoverTheirSchemesHostsAndSubdomains) {
    const struct {
        const char* pattern;
        win::DWORD zone;
        const char* url;
        win::DWORD expected;
    } cases[] = {
        {"https://www.example.com", URLZONE_TRUSTED, "https://WWW.Example.com/login", 2},
        {"https://www.example.com", URLZONE_TRUSTED, "http://www.example.com/", 3},
        {"https://www.example.com", URLZONE_TRUSTED, "https://mail.example.com/", 3},
        {"*.bank.com.cn", URLZONE_UNTRUSTED, "http://a.b.bank.com.cn/", 4},
        {"*.bank.com.cn", URLZONE_UNTRUSTED, "ftp://bank.com.cn/", 4},
        {"*.bank.com.cn", URLZONE_UNTRUSTED, "http://bank.com.cn.example.net/", 3},
        {"https://*.pay.example.org/", URLZONE_TRUSTED, "https://x.pay.example.org/", 2},
        {"https://*.pay.example.org/", URLZONE_TRUSTED, "https://pay.example.org/", 3},
        {"http://192.0.2.7", URLZONE_UNTRUSTED, "http://192.0.2.7/x", 4},
        {"http://192.0.2.7", URLZONE_UNTRUSTED, "http://192.0.2.8/", 3},
        {"http://198.51.100.*", URLZONE_UNTRUSTED, "http://198.51.100.20/", 4},
        {"https://127.0.0.1:8443/cfg", URLZONE_TRUSTED, "https://127.0.0.1:9443/", 2},
        {"https://www.example.com/path?q", URLZONE_TRUSTED, "https://www.example.com/", 2},
    };
    for (const auto& c : cases) {
        nestora_test::TempSandbox sandbox;
        auto manager = sandbox.Context().zones->CreateSecurityManager();
        ASSERT_EQ(manager->SetZoneMapping(c.zone, c.pattern, SZM_CREATE), win::S_OK) << c.pattern;
        win::DWORD zone = 0;
        ASSERT_EQ(manager->MapUrlToZone(c.url, zone, 0), win::S_OK) << c.url;
        EXPECT_EQ(zone, c.expected) << c.pattern << " -> " << c.url;
    }
}

TEST_F(ZonesTest, MappingsAreKeptInTheBrowsersZoneMap) {
    auto manager = SecurityManagerObject();
    ASSERT_EQ(manager->SetZoneMapping(URLZONE_TRUSTED, "https://ebank.tinglan.com.cn", SZM_CREATE),
              win::S_OK);
    ASSERT_EQ(manager->SetZoneMapping(URLZONE_UNTRUSTED, "http://192.0.2.9", SZM_CREATE),
              win::S_OK);
    const std::string map = std::string(kInternetSettings) + "\\ZoneMap";
    EXPECT_EQ(ReadUserDword(registry(), map + "\\Domains\\tinglan.com.cn\\ebank", "https"), 2u);
    EXPECT_EQ(ReadUserDword(registry(), map + "\\Ranges\\Range1", "http"), 4u);

    ASSERT_EQ(manager->SetZoneMapping(URLZONE_TRUSTED, "https://ebank.tinglan.com.cn", SZM_DELETE),
              win::S_OK);
    RegKey key;
    EXPECT_EQ(registry().OpenKey(RegKey::Root(Hive::CurrentUser),
                                 map + "\\Domains\\tinglan.com.cn\\ebank", KEY_READ, key),
              win::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ZoneOf("https://ebank.tinglan.com.cn/"), URLZONE_INTERNET);
}

TEST_F(ZonesTest, AZoneRequiringVerificationTakesOnlySecureSites) {
    auto manager = SecurityManagerObject();
    EXPECT_EQ(manager->SetZoneMapping(URLZONE_TRUSTED, "http://www.example.com", SZM_CREATE),
              E_ACCESSDENIED);
    EXPECT_EQ(manager->SetZoneMapping(URLZONE_TRUSTED, "www.example.com", SZM_CREATE),
              E_ACCESSDENIED);
    EXPECT_EQ(ZoneOf("http://www.example.com/"), URLZONE_INTERNET);

    auto zones = ZoneManagerObject();
    ZoneAttributes trusted = EmptyRecord();
    ASSERT_EQ(zones->GetZoneAttributes(URLZONE_TRUSTED, trusted), win::S_OK);
    trusted.flags &= ~ZAFLAGS_REQUIRE_VERIFICATION;
    ASSERT_EQ(zones->SetZoneAttributes(URLZONE_TRUSTED, trusted), win::S_OK);
    EXPECT_EQ(manager->SetZoneMapping(URLZONE_TRUSTED, "http://www.example.com", SZM_CREATE),
              win::S_OK);
    EXPECT_EQ(ZoneOf("http://www.example.com/"), URLZONE_TRUSTED);
}

TEST_F(ZonesTest, RefusesBadPatternsAndSitesOfAnotherZone) {
    auto manager = SecurityManagerObject();
    for (const char* pattern : {"", "https://", "https://:8443", "https://www.example.com:port",
                                "https://user@www.example.com", "https://a.*.example.com",
                                "https://*", "https://*.192.0.2.1"}) {
        EXPECT_EQ(manager->SetZoneMapping(URLZONE_UNTRUSTED, pattern, SZM_CREATE), E_INVALIDARG)
            << pattern;
    }
    EXPECT_EQ(manager->SetZoneMapping(7, "https://www.example.com", SZM_CREATE), E_INVALIDARG);
    ASSERT_EQ(manager->SetZoneMapping(URLZONE_UNTRUSTED, "https://www.example.com", SZM_CREATE),
              win::S_OK);
    EXPECT_EQ(manager->SetZoneMapping(URLZONE_TRUSTED, "https://www.example.com", SZM_CREATE),
              win::HRESULT_FROM_WIN32(win::ERROR_FILE_EXISTS));
    EXPECT_EQ(manager->SetZoneMapping(URLZONE_UNTRUSTED, "https://www.example.com", SZM_CREATE),
              win::S_OK);
    EXPECT_EQ(ZoneOf("https://www.example.com/"), URLZONE_UNTRUSTED);
}

TEST(ZonesWithoutRegistry, CannotBeCreated) {
    Context context;
    auto zones = MakeRegistryZones(context);
    EXPECT_EQ(zones->CreateZoneManager(), nullptr);
    EXPECT_EQ(zones->CreateSecurityManager(), nullptr);
}

}  // namespace
}  // namespace platform
