// Sites as the zone map stores them: a mapped site pattern ("https://www.example.com",
// "*.example.com", "http://192.0.2.1") or the host of an address, split into the registry key
// that holds its mapping and the value name (the scheme, or "*" for every scheme).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct ZoneSite {
    std::string scheme;      // lower case; "*" when the pattern names none
    std::string host;        // lower case, without a leading "*."
    bool wildcard = false;   // the pattern started with "*."
    bool isAddress = false;  // an IPv4 address, possibly with "*" parts
};

// A site pattern of SetZoneMapping. The zone map keys sites by scheme and host alone, so a
// port, path or query after the host is dropped. Nothing for a pattern with user information,
// a port that is not a number, an empty host or a misplaced "*".
std::optional<ZoneSite> ParseSitePattern(std::string_view pattern);

// The scheme and host of an address for MapUrlToZone; nothing without a scheme.
std::optional<ZoneSite> ParseAddressSite(std::string_view url);

// A domain name split as the zone map keys it: the registrable domain (the last two labels,
// or three below a country's generic second level such as "com.cn") and the labels before it.
struct DomainKey {
    std::string domain;
    std::string prefix;  // "" for the domain itself
};
DomainKey SplitDomain(std::string_view host);

// True when a range text ("192.0.2.1", "192.0.2.*") covers the address.
bool RangeCoversAddress(std::string_view range, std::string_view address);

}  // namespace platform
