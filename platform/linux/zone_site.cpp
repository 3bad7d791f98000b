#include "platform/linux/zone_site.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/text.h"

namespace platform {
namespace {

// Second-level labels under which a country's domains are registered ("example.com.cn").
constexpr std::array<std::string_view, 7> kGenericSecondLevels = {"com", "net", "org", "gov",
                                                                  "edu", "ac",  "co"};

std::vector<std::string_view> SplitLabels(std::string_view text) {
    std::vector<std::string_view> labels;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = text.find('.', start);
        labels.push_back(text.substr(start, dot - start));
        if (dot == std::string_view::npos)
            return labels;
        start = dot + 1;
    }
}

bool IsSchemeText(std::string_view scheme) {
    return !scheme.empty() && std::all_of(scheme.begin(), scheme.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    });
}

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool IsOctetPattern(std::string_view part) {
    if (part == "*")
        return true;
    if (part.empty() || part.size() > 3 ||
        !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    return std::stoi(std::string(part)) <= 255;
}

// Four dot-separated parts, each a number up to 255 or "*".
bool IsAddressPattern(std::string_view host) {
    const auto parts = SplitLabels(host);
    return parts.size() == 4 && std::all_of(parts.begin(), parts.end(), IsOctetPattern);
}

// A host name made of non-empty labels of host characters.
bool IsDomainName(std::string_view host) {
    const auto labels = SplitLabels(host);
    return std::all_of(labels.begin(), labels.end(), [](std::string_view label) {
        return !label.empty() && std::all_of(label.begin(), label.end(), IsHostCharacter);
    });
}

// Splits "scheme://rest"; the scheme is "*" when there is none.
std::pair<std::string, std::string_view> TakeScheme(std::string_view text) {
    const std::size_t separator = text.find("://");
    if (separator == std::string_view::npos)
        return {"*", text};
    return {AsciiLower(text.substr(0, separator)), text.substr(separator + 3)};
}

}  // namespace

std::optional<ZoneSite> ParseSitePattern(std::string_view pattern) {
    auto [scheme, rest] = TakeScheme(pattern);
    if (scheme != "*" && !IsSchemeText(scheme))
        return std::nullopt;
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const std::size_t colon = rest.find(':'); colon != std::string_view::npos) {
        const std::string_view port = rest.substr(colon + 1);
        if (port.empty() ||
            !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return std::nullopt;
        }
        rest = rest.substr(0, colon);
    }
    ZoneSite site{scheme, AsciiLower(rest)};
    if (site.host.starts_with("*.")) {
        site.wildcard = true;
        site.host.erase(0, 2);
    }
    if (site.host.empty())
        return std::nullopt;
    if (IsAddressPattern(site.host)) {
        site.isAddress = !site.wildcard;
        return site.isAddress ? std::optional(site) : std::nullopt;
    }
    if (!IsDomainName(site.host))
        return std::nullopt;
    return site;
}

std::optional<ZoneSite> ParseAddressSite(std::string_view url) {
    const std::size_t colon = url.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    ZoneSite site{AsciiLower(url.substr(0, colon)), {}};
    if (!IsSchemeText(site.scheme))
        return std::nullopt;
    std::string_view rest = url.substr(colon + 1);
    if (!rest.starts_with("//"))
        return site;  // an address without an authority, such as "about:blank"
    rest.remove_prefix(2);
    rest = rest.substr(0, rest.find_first_of("/?#\\"));
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos)
        rest.remove_prefix(at + 1);
    rest = rest.substr(0, rest.find(':'));
    site.host = AsciiLower(rest);
    site.isAddress = IsAddressPattern(site.host) && site.host.find('*') == std::string::npos;
    return site;
}

DomainKey SplitDomain(std::string_view host) {
    const auto labels = SplitLabels(host);
    std::size_t domainLabels = 2;
    if (labels.size() >= 3 && labels.back().size() == 2 &&
        std::find(kGenericSecondLevels.begin(), kGenericSecondLevels.end(),
                  labels[labels.size() - 2]) != kGenericSecondLevels.end()) {
        domainLabels = 3;
    }
    if (labels.size() <= domainLabels)
        return {std::string(host), {}};
    std::size_t prefixLength = 0;
    for (std::size_t i = 0; i < labels.size() - domainLabels; ++i)
        prefixLength += labels[i].size() + 1;
    return {std::string(host.substr(prefixLength)), std::string(host.substr(0, prefixLength - 1))};
}

bool RangeCoversAddress(std::string_view range, std::string_view address) {
    const auto rangeParts = SplitLabels(range);
    const auto addressParts = SplitLabels(address);
    if (rangeParts.size() != 4 || addressParts.size() != 4)
        return false;
    for (std::size_t i = 0; i < 4; ++i) {
        if (rangeParts[i] != "*" && rangeParts[i] != addressParts[i])
            return false;
    }
    return true;
}

}  // namespace platform
