// The browser's URL security zones: the zone manager (zone attributes and template policies)
// and the security manager (which zone an address belongs to, and the user's zone mappings).
// Both keep their state in the registry values the browser itself reads, so a change made
// through them is what the next reading finds.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace platform {

// Zones by their numbers.
constexpr win::DWORD URLZONE_INVALID = 0xFFFFFFFF;
constexpr win::DWORD URLZONE_LOCAL_MACHINE = 0;
constexpr win::DWORD URLZONE_INTRANET = 1;
constexpr win::DWORD URLZONE_TRUSTED = 2;
constexpr win::DWORD URLZONE_INTERNET = 3;
constexpr win::DWORD URLZONE_UNTRUSTED = 4;

// Security level templates.
constexpr win::DWORD URLTEMPLATE_LOW = 0x10000;
constexpr win::DWORD URLTEMPLATE_MEDLOW = 0x10500;
constexpr win::DWORD URLTEMPLATE_MEDIUM = 0x11000;
constexpr win::DWORD URLTEMPLATE_MEDHIGH = 0x11500;
constexpr win::DWORD URLTEMPLATE_HIGH = 0x12000;
constexpr win::DWORD URLTEMPLATE_CUSTOM = 0x20000;

// Zone attribute flags (dwFlags).
constexpr win::DWORD ZAFLAGS_REQUIRE_VERIFICATION = 0x4;
constexpr win::DWORD ZAFLAGS_NO_CACHE = 0x40000;

// SetZoneMapping flags.
constexpr win::DWORD SZM_CREATE = 0;
constexpr win::DWORD SZM_DELETE = 1;

constexpr win::HRESULT E_ACCESSDENIED = static_cast<win::HRESULT>(0x80070005u);
constexpr win::HRESULT E_INVALIDARG = static_cast<win::HRESULT>(0x80070057u);

// The size of the ZONEATTRIBUTES record: cbSize, three fixed text buffers (260, 200 and 260
// UTF-16 characters) and four levels and flags.
constexpr win::DWORD kZoneAttributesSize = 1460;
constexpr std::size_t kZoneDisplayNameChars = 260;
constexpr std::size_t kZoneDescriptionChars = 200;
constexpr std::size_t kZoneIconPathChars = 260;

// ZONEATTRIBUTES, with the texts as UTF-8. Texts longer than their buffer are cut on reading
// and on writing, as the fixed buffers would.
struct ZoneAttributes {
    win::DWORD cbSize = 0;
    std::string displayName;
    std::string description;
    std::string iconPath;
    win::DWORD templateMinLevel = 0;
    win::DWORD templateRecommended = 0;
    win::DWORD templateCurrentLevel = 0;
    win::DWORD flags = 0;
};

// IInternetZoneManager, the calls the program makes.
class ZoneManager {
public:
    virtual ~ZoneManager() = default;

    // E_INVALIDARG when `attributes.cbSize` is below kZoneAttributesSize or the zone does not
    // exist. ZAFLAGS_NO_CACHE in the record's flags is accepted: nothing is cached.
    virtual win::HRESULT GetZoneAttributes(win::DWORD zone, ZoneAttributes& attributes) = 0;
    // Stores the texts, the three levels and the flags of the zone. E_ACCESSDENIED when the
    // user's zone settings cannot be written.
    virtual win::HRESULT SetZoneAttributes(win::DWORD zone, const ZoneAttributes& attributes) = 0;
    // Copies every policy of a level template (URLTEMPLATE_LOW .. URLTEMPLATE_HIGH) into the
    // zone's own policies. E_INVALIDARG for another template or zone.
    virtual win::HRESULT CopyTemplatePoliciesToZone(win::DWORD templateLevel, win::DWORD zone,
                                                    win::DWORD reserved) = 0;
};

// IInternetSecurityManager, the calls the program makes.
class SecurityManager {
public:
    virtual ~SecurityManager() = default;

    // The zone of an address: a mapping of the user's (by scheme, host and the domains above
    // it) or else the zone the address falls in by its form. E_INVALIDARG for an address
    // without a scheme.
    virtual win::HRESULT MapUrlToZone(std::string_view url, win::DWORD& zone, win::DWORD flags) = 0;
    // Adds (SZM_CREATE) or removes (SZM_DELETE) a mapping of a site pattern such as
    // "https://www.example.com", "*.example.com" or "http://192.0.2.1". E_ACCESSDENIED when
    // the zone requires server verification and the pattern is not limited to https;
    // HRESULT_FROM_WIN32(ERROR_FILE_EXISTS) when the site is already mapped to another zone;
    // E_INVALIDARG for a pattern without a host. A port, path or query after the host is
    // ignored: mappings are kept by scheme and host.
    virtual win::HRESULT SetZoneMapping(win::DWORD zone, std::string_view pattern,
                                        win::DWORD flags) = 0;
};

// The two COM classes. Creation returns null when the object cannot be created.
class InternetZones {
public:
    virtual ~InternetZones() = default;

    virtual std::unique_ptr<ZoneManager> CreateZoneManager() = 0;
    virtual std::unique_ptr<SecurityManager> CreateSecurityManager() = 0;
};

}  // namespace platform
