#include "checks/dns_check.h"

#include <algorithm>
#include <map>
#include <optional>

#include "platform/context.h"
#include "platform/resolver.h"

namespace checks {
namespace {

using AllowedAddresses = std::map<std::string, std::vector<std::string>>;

bool ContainsLetter(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

std::optional<platform::HostEntry> LookUp(platform::Resolver& resolver, std::string_view host) {
    if (ContainsLetter(host))
        return resolver.GetHostByName(host);
    const std::uint32_t address = platform::InetAddr(host);
    if (address == platform::kInvalidAddress)
        return std::nullopt;
    return resolver.GetHostByAddr(address);
}

// Host names in byte order, each with the addresses of all its entries in file order.
AllowedAddresses GroupByHostName(const config::ConfigSection& section) {
    AllowedAddresses allowed;
    for (const config::ConfigEntry& entry : section.entries)
        allowed[entry.text].push_back(entry.value);
    return allowed;
}

void TakeDisplayName(const config::ConfigSection& section, const std::string& address,
                     config::CheckResults& results) {
    for (const config::ConfigEntry& entry : section.entries) {
        if (entry.value == address && !entry.name.empty())
            results.dnsDisplayName = entry.name;
    }
}

bool ResolvesOnlyToAllowed(platform::Context& context, const config::ConfigSection& section,
                           const std::string& host, const std::vector<std::string>& allowed,
                           config::CheckResults& results) {
    const std::vector<std::string> resolved = ResolveHostAddresses(context, host);
    if (resolved.empty())
        return false;
    for (const std::string& address : resolved) {
        if (std::find(allowed.begin(), allowed.end(), address) == allowed.end())
            return false;
        TakeDisplayName(section, address, results);
    }
    return true;
}

}  // namespace

std::vector<std::string> ResolveHostAddresses(platform::Context& context, std::string_view host) {
    const std::optional<platform::HostEntry> entry = LookUp(*context.resolver, host);
    if (!entry || entry->addressType != platform::kAddressFamilyInet)
        return {};
    std::vector<std::string> addresses;
    for (const std::uint32_t address : entry->addresses)
        addresses.push_back(platform::InetNtoa(address));
    return addresses;
}

bool CheckDns(platform::Context& context, config::CheckConfig& config) {
    const config::ConfigSection* section = config.FindSection("dns");
    bool ok = true;
    if (section != nullptr) {
        for (const auto& [host, allowed] : GroupByHostName(*section)) {
            if (!ResolvesOnlyToAllowed(context, *section, host, allowed, config.results)) {
                ok = false;
                break;
            }
        }
    }
    config.results.dnsOk = ok;
    return ok;
}

}  // namespace checks
