#include "checks/browser_policies.h"

#include <array>
#include <memory>

#include "platform/context.h"
#include "platform/registry.h"
#include "platform/ssl_cache.h"
#include "platform/zones.h"

namespace checks {
namespace {

using platform::RegKey;
using win::DWORD;

constexpr std::string_view kHomepagePolicyKey =
    "SOFTWARE\\Policies\\Microsoft\\Internet Explorer\\Control Panel";
constexpr std::string_view kHomepagePolicyValue = "Homepage";

// The zones whose level is checked, in the order they are looked at.
constexpr std::array<DWORD, 3> kCheckedZones = {
    platform::URLZONE_INTERNET, platform::URLZONE_TRUSTED, platform::URLZONE_UNTRUSTED};

// The header counter that tells the browser its secure connections' state changed.
constexpr DWORD kSslStateCounter = 14;

bool Succeeded(win::HRESULT result) {
    return result >= 0;
}

platform::ZoneAttributes FreshAttributesRecord() {
    platform::ZoneAttributes attributes;
    attributes.cbSize = platform::kZoneAttributesSize;
    attributes.flags = platform::ZAFLAGS_NO_CACHE;
    return attributes;
}

std::unique_ptr<platform::ZoneManager> CreateZoneManager(platform::Context& context) {
    return context.zones ? context.zones->CreateZoneManager() : nullptr;
}

// True when the policy value is a non-zero REG_DWORD of four bytes.
bool HomepageLocked(platform::Registry& registry, const RegKey& key) {
    DWORD type = 0;
    std::uint8_t data[4] = {};
    DWORD size = sizeof data;
    if (registry.QueryValue(key, kHomepagePolicyValue, &type, data, &size) != win::ERROR_SUCCESS)
        return false;
    return type == platform::REG_DWORD && (data[0] | data[1] | data[2] | data[3]) != 0;
}

bool HomepageLockVerdict(platform::Context& context, bool fix) {
    if (!context.registry)
        return true;
    platform::Registry& registry = *context.registry;
    RegKey key;
    if (registry.OpenKey(RegKey::Root(platform::Hive::CurrentUser), kHomepagePolicyKey,
                         platform::KEY_READ | platform::KEY_WRITE, key) != win::ERROR_SUCCESS) {
        return true;
    }
    if (!HomepageLocked(registry, key))
        return true;
    return fix && registry.DeleteValue(key, kHomepagePolicyValue) == win::ERROR_SUCCESS;
}

// Puts a zone back to its recommended level and that level's policies. The results of the
// two writes are not looked at: the check that follows a repair tells.
void ResetZoneLevel(platform::ZoneManager& manager, DWORD zone,
                    platform::ZoneAttributes& attributes) {
    attributes.templateCurrentLevel = attributes.templateRecommended;
    manager.SetZoneAttributes(zone, attributes);
    manager.CopyTemplatePoliciesToZone(attributes.templateRecommended, zone, 0);
}

bool SecurityLevelVerdict(platform::Context& context, bool fix) {
    const auto manager = CreateZoneManager(context);
    if (!manager)
        return false;
    for (const DWORD zone : kCheckedZones) {
        platform::ZoneAttributes attributes = FreshAttributesRecord();
        if (!Succeeded(manager->GetZoneAttributes(zone, attributes)))
            continue;
        if (attributes.templateCurrentLevel == attributes.templateRecommended)
            continue;
        if (!fix)
            return false;
        ResetZoneLevel(*manager, zone, attributes);
    }
    return true;
}

DWORD ZoneOfAddress(platform::SecurityManager& manager, std::string_view address) {
    DWORD zone = platform::URLZONE_INVALID;
    if (!Succeeded(manager.MapUrlToZone(address, zone, 0)))
        return platform::URLZONE_INVALID;
    return zone;
}

bool TrustedSitesVerdict(platform::Context& context, const config::ConfigSection& section,
                         bool fix) {
    const auto manager = context.zones ? context.zones->CreateSecurityManager() : nullptr;
    if (!manager)
        return false;
    for (const config::ConfigEntry& entry : section.entries) {
        if (ZoneOfAddress(*manager, entry.text) == platform::URLZONE_TRUSTED)
            continue;
        if (!fix)
            return false;
        AddTrustedSite(context, *manager, entry.text, platform::URLZONE_TRUSTED,
                       platform::SZM_CREATE);
    }
    return true;
}

// Maps the address with the zone's server-verification requirement lifted, then restores the
// requirement. Only reached when the zone refused the address.
bool AddWithVerificationLifted(platform::Context& context, platform::SecurityManager& manager,
                               std::string_view address, DWORD zone, DWORD flags) {
    const auto zoneManager = CreateZoneManager(context);
    if (!zoneManager)
        return false;
    platform::ZoneAttributes attributes = FreshAttributesRecord();
    if (!Succeeded(zoneManager->GetZoneAttributes(zone, attributes)) ||
        !(attributes.flags & platform::ZAFLAGS_REQUIRE_VERIFICATION)) {
        return false;
    }
    attributes.flags &= ~platform::ZAFLAGS_REQUIRE_VERIFICATION;
    zoneManager->SetZoneAttributes(zone, attributes);
    const win::HRESULT mapped = manager.SetZoneMapping(zone, address, flags);
    attributes.flags |= platform::ZAFLAGS_REQUIRE_VERIFICATION;
    zoneManager->SetZoneAttributes(zone, attributes);
    return Succeeded(mapped);
}

}  // namespace

bool CheckHomepageLock(platform::Context& context, config::CheckConfig& config, bool fix) {
    config.results.homepageOk = HomepageLockVerdict(context, fix);
    return config.results.homepageOk;
}

bool CheckSecurityLevel(platform::Context& context, config::CheckConfig& config, bool fix) {
    config.results.securityLevelOk = SecurityLevelVerdict(context, fix);
    return config.results.securityLevelOk;
}

bool CheckTrustedSites(platform::Context& context, config::CheckConfig& config, bool fix) {
    const config::ConfigSection* section = config.FindSection("trust");
    config.results.trustedSitesOk = !section || TrustedSitesVerdict(context, *section, fix);
    return config.results.trustedSitesOk;
}

bool AddTrustedSite(platform::Context& context, platform::SecurityManager& manager,
                    std::string_view address, DWORD zone, DWORD flags) {
    const win::HRESULT mapped = manager.SetZoneMapping(zone, address, flags);
    if (mapped != platform::E_ACCESSDENIED)
        return Succeeded(mapped);
    return AddWithVerificationLifted(context, manager, address, zone, flags);
}

bool ClearSslCache(platform::Context& context) {
    if (!context.sslCache || !context.sslCache->SslEmptyCache())
        return false;
    DWORD counter = 0;
    return context.sslCache->IncrementUrlCacheHeaderData(kSslStateCounter, counter);
}

}  // namespace checks
