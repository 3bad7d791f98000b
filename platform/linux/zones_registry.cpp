#include "platform/linux/zones_registry.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/context.h"
#include "platform/linux/zone_site.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace platform {
namespace {

using win::DWORD;
using win::HRESULT;
using win::LONG;

constexpr std::string_view kInternetSettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr std::string_view kRangeValue = ":Range";

// ---------------------------------------------------------------------------------------------
// Level templates

struct TemplatePolicy {
    const char* action;  // the URL action number in hexadecimal, as the value is named
    DWORD low, medLow, medium, medHigh, high;
};

// 0 allow, 1 prompt, 3 disallow; logon: 0x10000 prompt, 0x20000 automatic in the intranet,
// 0 automatic with the current user's name.
constexpr TemplatePolicy kTemplatePolicies[] = {
    {"1001", 0, 1, 1, 1, 3},                          // download signed controls
    {"1004", 1, 3, 3, 3, 3},                          // download unsigned controls
    {"1200", 0, 0, 0, 0, 3},                          // run controls and plug-ins
    {"1201", 1, 3, 3, 3, 3},                          // controls not marked safe
    {"1400", 0, 0, 0, 0, 3},                          // active scripting
    {"1406", 0, 1, 3, 3, 3},                          // data sources across domains
    {"1609", 1, 1, 1, 1, 3},                          // mixed content
    {"1803", 0, 0, 0, 0, 3},                          // file download
    {"1A00", 0, 0x20000, 0x20000, 0x20000, 0x10000},  // logon
    {"2500", 3, 3, 3, 0, 0},                          // protected mode (0 on)
};

struct TemplateLevel {
    DWORD level;
    const char* name;
    DWORD TemplatePolicy::*value;
};

constexpr TemplateLevel kTemplateLevels[] = {
    {URLTEMPLATE_LOW, "Low", &TemplatePolicy::low},
    {URLTEMPLATE_MEDLOW, "MedLow", &TemplatePolicy::medLow},
    {URLTEMPLATE_MEDIUM, "Medium", &TemplatePolicy::medium},
    {URLTEMPLATE_MEDHIGH, "MedHigh", &TemplatePolicy::medHigh},
    {URLTEMPLATE_HIGH, "High", &TemplatePolicy::high},
};

std::string TemplateKeyPath(const char* name) {
    return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\TemplatePolicies\\" +
           std::string(name);
}

const TemplateLevel* FindTemplate(DWORD level) {
    for (const TemplateLevel& entry : kTemplateLevels) {
        if (entry.level == level)
            return &entry;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Registry helpers

std::string ZoneKeyPath(DWORD zone) {
    return std::string(kInternetSettings) + "\\Zones\\" + std::to_string(zone);
}

std::string DomainsKeyPath() {
    return std::string(kInternetSettings) + "\\ZoneMap\\Domains";
}

std::string RangesKeyPath() {
    return std::string(kInternetSettings) + "\\ZoneMap\\Ranges";
}

HRESULT ToHresult(LONG status) {
    return win::HRESULT_FROM_WIN32(status);
}

std::optional<std::vector<std::uint8_t>> ReadRaw(Registry& registry, const RegKey& key,
                                                 std::string_view name, DWORD& type) {
    DWORD size = 0;
    if (registry.QueryValue(key, name, &type, nullptr, &size) != win::ERROR_SUCCESS)
        return std::nullopt;
    std::vector<std::uint8_t> data(size);
    if (registry.QueryValue(key, name, &type, data.data(), &size) != win::ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size);
    return data;
}

std::optional<DWORD> ReadDword(Registry& registry, const RegKey& key, std::string_view name) {
    DWORD type = 0;
    const auto data = ReadRaw(registry, key, name, type);
    if (!data || type != REG_DWORD || data->size() != 4)
        return std::nullopt;
    return static_cast<DWORD>((*data)[0]) | static_cast<DWORD>((*data)[1]) << 8 |
           static_cast<DWORD>((*data)[2]) << 16 | static_cast<DWORD>((*data)[3]) << 24;
}

// A string value cut to what a buffer of `maxChars` UTF-16 characters (terminator included)
// holds; "" when absent or not a string.
std::string ReadText(Registry& registry, const RegKey& key, std::string_view name,
                     std::size_t maxChars) {
    DWORD type = 0;
    const auto data = ReadRaw(registry, key, name, type);
    if (!data || (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::u16string text = Utf8ToUtf16(RegSzToUtf8(data->data(), data->size()));
    if (text.size() >= maxChars)
        text.resize(maxChars - 1);
    return Utf16ToUtf8(text);
}

LONG WriteDword(Registry& registry, const RegKey& key, std::string_view name, DWORD value) {
    const auto bytes = RegDwordBytes(value);
    return registry.SetValue(key, name, REG_DWORD, bytes.data(), static_cast<DWORD>(bytes.size()));
}

LONG WriteText(Registry& registry, const RegKey& key, std::string_view name, std::string_view text,
               std::size_t maxChars) {
    std::u16string wide = Utf8ToUtf16(text);
    if (wide.size() >= maxChars)
        wide.resize(maxChars - 1);
    const auto bytes = RegSzBytes(Utf16ToUtf8(wide));
    return registry.SetValue(key, name, REG_SZ, bytes.data(), static_cast<DWORD>(bytes.size()));
}

LONG FirstFailure(std::initializer_list<LONG> statuses) {
    for (const LONG status : statuses) {
        if (status != win::ERROR_SUCCESS)
            return status;
    }
    return win::ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// The zone manager

class RegistryZoneManager : public ZoneManager {
public:
    explicit RegistryZoneManager(Context& context) : context_(context) {}

    HRESULT GetZoneAttributes(DWORD zone, ZoneAttributes& attributes) override {
        if (attributes.cbSize < kZoneAttributesSize || !context_.registry)
            return E_INVALIDARG;
        Registry& registry = *context_.registry;
        RegKey key;
        if (registry.OpenKey(RegKey::Root(Hive::CurrentUser), ZoneKeyPath(zone), KEY_READ, key) !=
            win::ERROR_SUCCESS) {
            return E_INVALIDARG;
        }
        attributes.displayName = ReadText(registry, key, "DisplayName", kZoneDisplayNameChars);
        attributes.description = ReadText(registry, key, "Description", kZoneDescriptionChars);
        attributes.iconPath = ReadText(registry, key, "Icon", kZoneIconPathChars);
        attributes.templateMinLevel = ReadDword(registry, key, "MinLevel").value_or(0);
        attributes.templateRecommended = ReadDword(registry, key, "RecommendedLevel").value_or(0);
        attributes.templateCurrentLevel = ReadDword(registry, key, "CurrentLevel").value_or(0);
        attributes.flags = ReadDword(registry, key, "Flags").value_or(0);
        return win::S_OK;
    }

    HRESULT SetZoneAttributes(DWORD zone, const ZoneAttributes& attributes) override {
        if (attributes.cbSize < kZoneAttributesSize)
            return E_INVALIDARG;
        RegKey key;
        if (const HRESULT opened = OpenZoneForWriting(zone, key); opened != win::S_OK)
            return opened;
        Registry& registry = *context_.registry;
        return ToHresult(FirstFailure({
            WriteText(registry, key, "DisplayName", attributes.displayName, kZoneDisplayNameChars),
            WriteText(registry, key, "Description", attributes.description, kZoneDescriptionChars),
            WriteText(registry, key, "Icon", attributes.iconPath, kZoneIconPathChars),
            WriteDword(registry, key, "MinLevel", attributes.templateMinLevel),
            WriteDword(registry, key, "RecommendedLevel", attributes.templateRecommended),
            WriteDword(registry, key, "CurrentLevel", attributes.templateCurrentLevel),
            WriteDword(registry, key, "Flags", attributes.flags),
        }));
    }

    HRESULT CopyTemplatePoliciesToZone(DWORD templateLevel, DWORD zone, DWORD) override {
        const TemplateLevel* level = FindTemplate(templateLevel);
        if (!level || !context_.registry)
            return E_INVALIDARG;
        Registry& registry = *context_.registry;
        RegKey source;
        const LONG opened = registry.OpenKey(RegKey::Root(Hive::LocalMachine),
                                             TemplateKeyPath(level->name), KEY_READ, source);
        if (opened != win::ERROR_SUCCESS)
            return ToHresult(opened);
        RegKey target;
        if (const HRESULT status = OpenZoneForWriting(zone, target); status != win::S_OK)
            return status;
        std::vector<std::string> names;
        if (const LONG listed = registry.EnumValueNames(source, names);
            listed != win::ERROR_SUCCESS) {
            return ToHresult(listed);
        }
        for (const std::string& name : names) {
            DWORD type = 0;
            const auto data = ReadRaw(registry, source, name, type);
            if (!data)
                return win::E_FAIL;
            const LONG written = registry.SetValue(target, name, type, data->data(),
                                                   static_cast<DWORD>(data->size()));
            if (written != win::ERROR_SUCCESS)
                return ToHresult(written);
        }
        return win::S_OK;
    }

private:
    HRESULT OpenZoneForWriting(DWORD zone, RegKey& key) {
        if (!context_.registry)
            return E_INVALIDARG;
        const LONG opened = context_.registry->OpenKey(
            RegKey::Root(Hive::CurrentUser), ZoneKeyPath(zone), KEY_READ | KEY_WRITE, key);
        if (opened == win::ERROR_FILE_NOT_FOUND)
            return E_INVALIDARG;
        return ToHresult(opened);
    }

    Context& context_;
};

// ---------------------------------------------------------------------------------------------
// The security manager

class RegistrySecurityManager : public SecurityManager {
public:
    explicit RegistrySecurityManager(Context& context) : context_(context) {}

    HRESULT MapUrlToZone(std::string_view url, DWORD& zone, DWORD) override {
        zone = URLZONE_INVALID;
        const auto site = ParseAddressSite(url);
        if (!site || !context_.registry)
            return E_INVALIDARG;
        if (site->scheme == "file") {
            zone = URLZONE_LOCAL_MACHINE;
            return win::S_OK;
        }
        const auto mapped = site->isAddress ? LookUpRange(*site) : LookUpDomain(*site);
        zone = mapped.value_or(ZoneByForm(*site));
        return win::S_OK;
    }

    HRESULT SetZoneMapping(DWORD zone, std::string_view pattern, DWORD flags) override {
        const auto site = ParseSitePattern(pattern);
        if (!site || !context_.registry || (flags != SZM_CREATE && flags != SZM_DELETE))
            return E_INVALIDARG;
        return flags == SZM_CREATE ? CreateMapping(zone, *site) : DeleteMapping(zone, *site);
    }

private:
    Registry& registry() { return *context_.registry; }

    // Names without a dot belong to the intranet; everything else to the Internet.
    static DWORD ZoneByForm(const ZoneSite& site) {
        if (!site.isAddress && !site.host.empty() && site.host.find('.') == std::string::npos)
            return URLZONE_INTRANET;
        return URLZONE_INTERNET;
    }

    std::optional<DWORD> MappingIn(const std::string& path, const std::string& scheme) {
        RegKey key;
        if (registry().OpenKey(RegKey::Root(Hive::CurrentUser), path, KEY_READ, key) !=
            win::ERROR_SUCCESS) {
            return std::nullopt;
        }
        if (auto zone = ReadDword(registry(), key, scheme))
            return zone;
        return ReadDword(registry(), key, "*");
    }

    std::vector<std::string> SubKeysOf(const std::string& path) {
        RegKey key;
        std::vector<std::string> names;
        if (registry().OpenKey(RegKey::Root(Hive::CurrentUser), path, KEY_READ, key) ==
            win::ERROR_SUCCESS) {
            registry().EnumSubKeyNames(key, names);
        }
        return names;
    }

    // The host's own key, then the longest "*.suffix" key that covers it, then the domain's
    // key, which covers every host in the domain.
    std::optional<DWORD> LookUpDomain(const ZoneSite& site) {
        const DomainKey name = SplitDomain(site.host);
        const std::string domainPath = DomainsKeyPath() + "\\" + name.domain;
        if (!name.prefix.empty()) {
            if (auto zone = MappingIn(domainPath + "\\" + name.prefix, site.scheme))
                return zone;
            std::size_t bestLength = 0;
            std::optional<DWORD> bestZone;
            for (const std::string& subKey : SubKeysOf(domainPath)) {
                if (!subKey.starts_with("*."))
                    continue;
                const std::string suffix = AsciiLower(subKey).substr(1);  // ".suffix"
                if (!name.prefix.ends_with(suffix) || suffix.size() <= bestLength)
                    continue;
                if (auto zone = MappingIn(domainPath + "\\" + subKey, site.scheme)) {
                    bestLength = suffix.size();
                    bestZone = zone;
                }
            }
            if (bestZone)
                return bestZone;
        }
        return MappingIn(domainPath, site.scheme);
    }

    std::optional<DWORD> LookUpRange(const ZoneSite& site) {
        for (const std::string& range : SubKeysOf(RangesKeyPath())) {
            const std::string path = RangesKeyPath() + "\\" + range;
            if (!RangeCoversAddress(RangeTextOf(path), site.host))
                continue;
            if (auto zone = MappingIn(path, site.scheme))
                return zone;
        }
        return std::nullopt;
    }

    std::string RangeTextOf(const std::string& path) {
        RegKey key;
        if (registry().OpenKey(RegKey::Root(Hive::CurrentUser), path, KEY_READ, key) !=
            win::ERROR_SUCCESS) {
            return {};
        }
        return ReadText(registry(), key, kRangeValue, 260);
    }

    // The key holding the site's mappings; for an address, the range with the same text or,
    // when `create`, a new range key after the existing ones.
    std::string SiteKeyPath(const ZoneSite& site, bool create) {
        if (!site.isAddress) {
            const DomainKey name = SplitDomain(site.host);
            std::string path = DomainsKeyPath() + "\\" + name.domain;
            if (!name.prefix.empty())
                path += "\\" + std::string(site.wildcard ? "*." : "") + name.prefix;
            return path;
        }
        int lastNumber = 0;
        for (const std::string& range : SubKeysOf(RangesKeyPath())) {
            const std::string path = RangesKeyPath() + "\\" + range;
            if (RangeTextOf(path) == site.host)
                return path;
            if (AsciiLower(range).starts_with("range"))
                lastNumber = std::max(lastNumber, std::atoi(range.c_str() + 5));
        }
        return create ? RangesKeyPath() + "\\Range" + std::to_string(lastNumber + 1)
                      : std::string();
    }

    HRESULT CreateMapping(DWORD zone, const ZoneSite& site) {
        RegKey zoneKey;
        if (registry().OpenKey(RegKey::Root(Hive::CurrentUser), ZoneKeyPath(zone), KEY_READ,
                               zoneKey) != win::ERROR_SUCCESS) {
            return E_INVALIDARG;
        }
        const DWORD zoneFlags = ReadDword(registry(), zoneKey, "Flags").value_or(0);
        if ((zoneFlags & ZAFLAGS_REQUIRE_VERIFICATION) && site.scheme != "https")
            return E_ACCESSDENIED;

        const std::string path = SiteKeyPath(site, true);
        RegKey key;
        bool created = false;
        const LONG opened = registry().CreateKey(RegKey::Root(Hive::CurrentUser), path,
                                                 KEY_ALL_ACCESS, key, &created);
        if (opened != win::ERROR_SUCCESS)
            return ToHresult(opened);
        if (const auto existing = ReadDword(registry(), key, site.scheme);
            existing && *existing != zone) {
            return win::HRESULT_FROM_WIN32(win::ERROR_FILE_EXISTS);
        }
        if (site.isAddress && created) {
            if (const LONG status = WriteText(registry(), key, kRangeValue, site.host, 260);
                status != win::ERROR_SUCCESS) {
                return ToHresult(status);
            }
        }
        return ToHresult(WriteDword(registry(), key, site.scheme, zone));
    }

    HRESULT DeleteMapping(DWORD zone, const ZoneSite& site) {
        const std::string path = SiteKeyPath(site, false);
        RegKey key;
        if (path.empty() || registry().OpenKey(RegKey::Root(Hive::CurrentUser), path,
                                               KEY_READ | KEY_WRITE, key) != win::ERROR_SUCCESS) {
            return win::HRESULT_FROM_WIN32(win::ERROR_FILE_NOT_FOUND);
        }
        if (ReadDword(registry(), key, site.scheme) != zone)
            return win::HRESULT_FROM_WIN32(win::ERROR_FILE_NOT_FOUND);
        if (const LONG status = registry().DeleteValue(key, site.scheme);
            status != win::ERROR_SUCCESS) {
            return ToHresult(status);
        }
        RemoveKeyWhenUnused(path, key);
        return win::S_OK;
    }

    // A site key that maps nothing any more goes, as the browser's own removal does.
    void RemoveKeyWhenUnused(const std::string& path, const RegKey& key) {
        std::vector<std::string> values;
        std::vector<std::string> subKeys;
        registry().EnumValueNames(key, values);
        registry().EnumSubKeyNames(key, subKeys);
        const bool mapsNothing = std::all_of(values.begin(), values.end(),
                                             [](const auto& name) { return name == kRangeValue; });
        if (!mapsNothing || !subKeys.empty())
            return;
        const std::size_t slash = path.rfind('\\');
        RegKey parent;
        if (registry().OpenKey(RegKey::Root(Hive::CurrentUser), path.substr(0, slash),
                               KEY_ALL_ACCESS, parent) == win::ERROR_SUCCESS) {
            registry().DeleteKey(parent, path.substr(slash + 1));
        }
    }

    Context& context_;
};

class RegistryZones : public InternetZones {
public:
    explicit RegistryZones(Context& context) : context_(context) {}

    std::unique_ptr<ZoneManager> CreateZoneManager() override {
        if (!context_.registry)
            return nullptr;
        return std::make_unique<RegistryZoneManager>(context_);
    }
    std::unique_ptr<SecurityManager> CreateSecurityManager() override {
        if (!context_.registry)
            return nullptr;
        return std::make_unique<RegistrySecurityManager>(context_);
    }

private:
    Context& context_;
};

}  // namespace

std::unique_ptr<InternetZones> MakeRegistryZones(Context& context) {
    return std::make_unique<RegistryZones>(context);
}

LONG SeedTemplatePolicies(Registry& registry, DWORD view) {
    for (const TemplateLevel& level : kTemplateLevels) {
        RegKey key;
        const LONG opened =
            registry.CreateKey(RegKey::Root(Hive::LocalMachine), TemplateKeyPath(level.name),
                               KEY_ALL_ACCESS | view, key);
        if (opened != win::ERROR_SUCCESS)
            return opened;
        for (const TemplatePolicy& policy : kTemplatePolicies) {
            if (const LONG status = WriteDword(registry, key, policy.action, policy.*level.value);
                status != win::ERROR_SUCCESS) {
                return status;
            }
        }
    }
    return win::ERROR_SUCCESS;
}

}  // namespace platform
