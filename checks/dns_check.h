// The DNS check of page item 6: every configured host name resolves, and only to addresses
// configured for it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/check_config.h"

namespace platform {
struct Context;
}

namespace checks {

// The dotted IPv4 addresses of a host name in the resolver's order: a name with a letter is
// looked up forward, a dotted address in reverse (its reverse record's addresses). Empty when
// nothing resolves.
std::vector<std::string> ResolveHostAddresses(platform::Context& context, std::string_view host);

// For each host name of the "dns" section, in byte order: the name must resolve, and every
// address it resolves to must be among the `ip` values of its entries. Stores the verdict in
// results.dnsOk and returns it. For each accepted address, the last entry (of any host name)
// with that address and a non-empty display name sets results.dnsDisplayName, which is never
// cleared here.
bool CheckDns(platform::Context& context, config::CheckConfig& config);

}  // namespace checks
