#include "checks/browser_policies.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/context.h"
#include "platform/registry.h"
#include "platform/ssl_cache.h"
#include "platform/zones.h"
#include "tests/support/temp_sandbox.h"

namespace checks {
namespace {

using platform::Hive;
using platform::RegKey;
using win::DWORD;

constexpr std::string_view kHomepageKey =
    "SOFTWARE\\Policies\\Microsoft\\Internet Explorer\\Control Panel";
constexpr std::string_view kZonesKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\";
constexpr std::string_view kZoneMapKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap";

std::string ZoneKey(DWORD zone) {
    return std::string(kZonesKey) + std::to_string(zone);
}

class BrowserPoliciesTest : public ::testing::Test {
protected:
    platform::Context& context() { return sandbox_.Context(); }
    platform::Registry& registry() { return *context().registry; }

    void SetUserValue(std::string_view subKey, std::string_view name, DWORD type,
                      const std::vector<std::uint8_t>& bytes) {
        RegKey key;
        ASSERT_EQ(registry().CreateKey(RegKey::Root(Hive::CurrentUser), subKey,
                                       platform::KEY_ALL_ACCESS, key),
                  0);
        ASSERT_EQ(
            registry().SetValue(key, name, type, bytes.data(), static_cast<DWORD>(bytes.size())),
            0);
    }
    void SetUserDword(std::string_view subKey, std::string_view name, DWORD value) {
        SetUserValue(subKey, name, platform::REG_DWORD, platform::RegDwordBytes(value));
    }
    std::optional<DWORD> UserDword(std::string_view subKey, std::string_view name) {
        RegKey key;
        if (registry().OpenKey(RegKey::Root(Hive::CurrentUser), subKey, platform::KEY_READ, key) !=
            0) {
            return std::nullopt;
        }
        std::uint8_t data[4];
        DWORD size = sizeof data;
        DWORD type = 0;
        if (registry().QueryValue(key, name, &type, data, &size) != 0 ||
            type != platform::REG_DWORD) {
            return std::nullopt;
        }
        return data[0] | data[1] << 8 | data[2] << 16 | static_cast<DWORD>(data[3]) << 24;
    }
    bool HasUserValue(std::string_view subKey, std::string_view name) {
        RegKey key;
        return registry().OpenKey(RegKey::Root(Hive::CurrentUser), subKey, platform::KEY_READ,
                                  key) == 0 &&
               registry().QueryValue(key, name, nullptr, nullptr, nullptr) == 0;
    }
    void SetTrustEntries(const std::vector<std::string>& addresses) {
        config::ConfigSection section{"trust", {}};
        for (const auto& address : addresses)
            section.entries.push_back({address, "", "", "", ""});
        config_.sections.push_back(section);
    }
    DWORD ZoneOf(std::string_view url) {
        DWORD zone = 0;
        context().zones->CreateSecurityManager()->MapUrlToZone(url, zone, 0);
        return zone;
    }
    DWORD TrustedZoneFlags() { return UserDword(ZoneKey(2), "Flags").value_or(0); }

    nestora_test::TempSandbox sandbox_;
    config::CheckConfig config_;
};

// ---------------------------------------------------------------------------------------------
// Home-page lock

TEST_F(BrowserPoliciesTest, HomepageLockByPolicyValue) {
    const struct {
        const char* name;
        DWORD type;
        std::vector<std::uint8_t> bytes;
        bool checked;       // verdict without repair
        bool keptAfterFix;  // the value is still there after a repair
    } cases[] = {
        {"locked", platform::REG_DWORD, platform::RegDwordBytes(1), false, false},
        {"locked high bit", platform::REG_DWORD, platform::RegDwordBytes(0x80000000u), false,
         false},
        {"zero", platform::REG_DWORD, platform::RegDwordBytes(0), true, true},
        {"text", platform::REG_SZ, platform::RegSzBytes("1"), true, true},
        {"oversized", platform::REG_DWORD, {1, 0, 0, 0, 1, 0, 0, 0}, true, true},
    };
    for (const auto& c : cases) {
        SetUserValue(kHomepageKey, "Homepage", c.type, c.bytes);
        EXPECT_EQ(CheckHomepageLock(context(), config_, false), c.checked) << c.name;
        EXPECT_EQ(config_.results.homepageOk, c.checked) << c.name;
        EXPECT_TRUE(CheckHomepageLock(context(), config_, true)) << c.name;
        EXPECT_EQ(HasUserValue(kHomepageKey, "Homepage"), c.keptAfterFix) << c.name;
        EXPECT_TRUE(CheckHomepageLock(context(), config_, false)) << c.name;
    }
}

TEST_F(BrowserPoliciesTest, HomepageWithoutPolicyKeyOrWithAnUnwritableKeyIsNormal) {
    EXPECT_TRUE(CheckHomepageLock(context(), config_, false));
    SetUserDword(kHomepageKey, "Homepage", 1);
    ASSERT_EQ(registry().SetWriteProtected(RegKey::Root(Hive::CurrentUser), kHomepageKey, true), 0);
    EXPECT_TRUE(CheckHomepageLock(context(), config_, false));
    EXPECT_TRUE(CheckHomepageLock(context(), config_, true));
    EXPECT_EQ(UserDword(kHomepageKey, "Homepage"), 1u);
}

// ---------------------------------------------------------------------------------------------
// Security level

TEST_F(BrowserPoliciesTest, OneRepairResetsEveryZoneToItsRecommendedLevelAndPolicies) {
    SetUserDword(ZoneKey(3), "CurrentLevel", platform::URLTEMPLATE_HIGH);
    SetUserDword(ZoneKey(2), "CurrentLevel", platform::URLTEMPLATE_LOW);
    SetUserDword(ZoneKey(3), "1406", 0);
    SetUserDword(ZoneKey(2), "1406", 0);
    EXPECT_FALSE(CheckSecurityLevel(context(), config_, false));
    EXPECT_FALSE(config_.results.securityLevelOk);

    EXPECT_TRUE(CheckSecurityLevel(context(), config_, true));
    EXPECT_EQ(UserDword(ZoneKey(3), "CurrentLevel"), platform::URLTEMPLATE_MEDHIGH);
    EXPECT_EQ(UserDword(ZoneKey(2), "CurrentLevel"), platform::URLTEMPLATE_MEDLOW);
    EXPECT_EQ(UserDword(ZoneKey(3), "1406"), 3u);  // the medium-high template's policy
    EXPECT_EQ(UserDword(ZoneKey(2), "1406"), 1u);  // the medium-low template's policy
    EXPECT_TRUE(CheckSecurityLevel(context(), config_, false));
    EXPECT_TRUE(config_.results.securityLevelOk);
}

TEST_F(BrowserPoliciesTest, SecurityLevelLooksOnlyAtTheThreeZonesAndSkipsUnreadableOnes) {
    SetUserDword(ZoneKey(1), "CurrentLevel", platform::URLTEMPLATE_LOW);
    EXPECT_TRUE(CheckSecurityLevel(context(), config_, false));

    SetUserDword(ZoneKey(4), "CurrentLevel", platform::URLTEMPLATE_MEDIUM);
    EXPECT_FALSE(CheckSecurityLevel(context(), config_, false));
    RegKey zones;
    ASSERT_EQ(registry().OpenKey(RegKey::Root(Hive::CurrentUser), kZonesKey,
                                 platform::KEY_ALL_ACCESS, zones),
              0);
    ASSERT_EQ(registry().DeleteKey(zones, "4"), 0);
    EXPECT_TRUE(CheckSecurityLevel(context(), config_, false));
}

// A zone facility whose objects cannot be created.
class UncreatableZones : public platform::InternetZones {
public:
    std::unique_ptr<platform::ZoneManager> CreateZoneManager() override { return nullptr; }
    std::unique_ptr<platform::SecurityManager> CreateSecurityManager() override { return nullptr; }
};

TEST_F(BrowserPoliciesTest, ZoneObjectsThatCannotBeCreatedMakeItemsTenAndElevenAbnormal) {
    SetTrustEntries({"https://ebank.example.com"});
    for (bool facilityPresent : {true, false}) {
        context().zones = facilityPresent ? std::make_unique<UncreatableZones>() : nullptr;
        for (bool fix : {false, true}) {
            config_.results.securityLevelOk = true;
            config_.results.trustedSitesOk = true;
            EXPECT_FALSE(CheckSecurityLevel(context(), config_, fix));
            EXPECT_FALSE(config_.results.securityLevelOk);
            EXPECT_FALSE(CheckTrustedSites(context(), config_, fix));
            EXPECT_FALSE(config_.results.trustedSitesOk);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Trusted sites

TEST_F(BrowserPoliciesTest, WithoutTrustSectionTrustedSitesAreNormal) {
    context().zones = std::make_unique<UncreatableZones>();
    EXPECT_TRUE(CheckTrustedSites(context(), config_, false));
    EXPECT_TRUE(config_.results.trustedSitesOk);
}

TEST_F(BrowserPoliciesTest, RepairAddsSecureAndPlainSitesAndKeepsTheVerificationRequirement) {
    SetTrustEntries({"https://ebank.tinglan.com.cn", "http://www.tinglan.com.cn/index.html"});
    ASSERT_TRUE(TrustedZoneFlags() & platform::ZAFLAGS_REQUIRE_VERIFICATION);
    EXPECT_FALSE(CheckTrustedSites(context(), config_, false));

    EXPECT_TRUE(CheckTrustedSites(context(), config_, true));
    EXPECT_EQ(ZoneOf("https://ebank.tinglan.com.cn/login"), platform::URLZONE_TRUSTED);
    EXPECT_EQ(ZoneOf("http://www.tinglan.com.cn/"), platform::URLZONE_TRUSTED);
    EXPECT_TRUE(TrustedZoneFlags() & platform::ZAFLAGS_REQUIRE_VERIFICATION);
    EXPECT_TRUE(CheckTrustedSites(context(), config_, false));
}

TEST_F(BrowserPoliciesTest, TrustedSitesIgnoreTheLetterCaseOfAddresses) {
    SetTrustEntries({"HTTPS://EBank.Example.COM/"});
    EXPECT_TRUE(CheckTrustedSites(context(), config_, true));
    EXPECT_EQ(UserDword(std::string(kZoneMapKey) + "\\Domains\\example.com\\ebank", "https"),
              platform::URLZONE_TRUSTED);
    config_.sections.clear();
    SetTrustEntries({"https://ebank.example.com", "https://EBANK.EXAMPLE.COM/x"});
    EXPECT_TRUE(CheckTrustedSites(context(), config_, false));
}

TEST_F(BrowserPoliciesTest, CheckStopsAtTheFirstUntrustedSiteAndRepairGoesOnAfterAFailure) {
    // The first site is already restricted: its mapping fails, the next one is still added.
    ASSERT_EQ(context().zones->CreateSecurityManager()->SetZoneMapping(
                  platform::URLZONE_UNTRUSTED, "https://bad.example.com", platform::SZM_CREATE),
              win::S_OK);
    SetTrustEntries({"https://bad.example.com", "https://good.example.com"});
    EXPECT_TRUE(CheckTrustedSites(context(), config_, true));
    EXPECT_EQ(ZoneOf("https://good.example.com/"), platform::URLZONE_TRUSTED);
    EXPECT_FALSE(CheckTrustedSites(context(), config_, false));
    EXPECT_FALSE(config_.results.trustedSitesOk);
}

// A security manager that refuses every mapping as a zone requiring verification does.
class RefusingSecurityManager : public platform::SecurityManager {
public:
    win::HRESULT MapUrlToZone(std::string_view, DWORD& zone, DWORD) override {
        zone = platform::URLZONE_INTERNET;
        return win::S_OK;
    }
    win::HRESULT SetZoneMapping(DWORD, std::string_view, DWORD) override {
        ++calls;
        return platform::E_ACCESSDENIED;
    }
    int calls = 0;
};

TEST_F(BrowserPoliciesTest, AddTrustedSiteRestoresTheVerificationFlagWhenTheRetryFails) {
    RefusingSecurityManager manager;
    EXPECT_FALSE(AddTrustedSite(context(), manager, "http://www.example.com",
                                platform::URLZONE_TRUSTED, platform::SZM_CREATE));
    EXPECT_EQ(manager.calls, 2);
    EXPECT_TRUE(TrustedZoneFlags() & platform::ZAFLAGS_REQUIRE_VERIFICATION);
}

TEST_F(BrowserPoliciesTest, AddTrustedSiteRetriesOnlyForAZoneRequiringVerification) {
    RefusingSecurityManager manager;
    const DWORD restrictedFlags = UserDword(ZoneKey(4), "Flags").value_or(0);
    ASSERT_FALSE(restrictedFlags & platform::ZAFLAGS_REQUIRE_VERIFICATION);
    EXPECT_FALSE(AddTrustedSite(context(), manager, "http://www.example.com",
                                platform::URLZONE_UNTRUSTED, platform::SZM_CREATE));
    EXPECT_EQ(manager.calls, 1);
    EXPECT_EQ(UserDword(ZoneKey(4), "Flags"), restrictedFlags);
}

// ---------------------------------------------------------------------------------------------
// SSL cache

class FakeSslCache : public platform::SslCache {
public:
    FakeSslCache(bool emptyWorks, bool incrementWorks)
        : emptyWorks_(emptyWorks), incrementWorks_(incrementWorks) {}
    bool SslEmptyCache() override {
        ++emptied;
        return emptyWorks_;
    }
    bool IncrementUrlCacheHeaderData(DWORD index, DWORD& data) override {
        incrementedIndex = index;
        data = 1;
        return incrementWorks_;
    }
    int emptied = 0;
    std::optional<DWORD> incrementedIndex;

private:
    bool emptyWorks_;
    bool incrementWorks_;
};

TEST_F(BrowserPoliciesTest, ClearSslCacheNeedsBothSteps) {
    const struct {
        bool emptyWorks, incrementWorks, result, incremented;
    } cases[] = {
        {true, true, true, true},
        {true, false, false, true},
        {false, true, false, false},
    };
    for (const auto& c : cases) {
        auto cache = std::make_unique<FakeSslCache>(c.emptyWorks, c.incrementWorks);
        FakeSslCache& fake = *cache;
        context().sslCache = std::move(cache);
        EXPECT_EQ(ClearSslCache(context()), c.result);
        EXPECT_EQ(fake.emptied, 1);
        EXPECT_EQ(fake.incrementedIndex.has_value(), c.incremented);
        if (c.incremented) {
            EXPECT_EQ(*fake.incrementedIndex, 14u);
        }
    }
    context().sslCache = nullptr;
    EXPECT_FALSE(ClearSslCache(context()));
}

TEST_F(BrowserPoliciesTest, ClearSslCacheOnTheSandboxCountsInTheUrlCacheHeader) {
    EXPECT_TRUE(ClearSslCache(context()));
    DWORD counter = 0;
    ASSERT_TRUE(context().sslCache->IncrementUrlCacheHeaderData(14, counter));
    EXPECT_EQ(counter, 2u);
}

}  // namespace
}  // namespace checks
