// The browser settings of page items 9 to 12: the home-page lock, the security level of the
// Internet, Trusted sites and Restricted sites zones, the trusted sites of the configuration,
// and the clearing of the SSL cache.
#pragma once

#include <string_view>

#include "config/check_config.h"
#include "platform/win_types.h"

namespace platform {
struct Context;
class SecurityManager;
}  // namespace platform

namespace checks {

// Normal when no policy locks the home page. A repair deletes the policy value. Stores the
// verdict in results.homepageOk and returns it.
bool CheckHomepageLock(platform::Context& context, config::CheckConfig& config, bool fix);

// Normal when the Internet, Trusted sites and Restricted sites zones are at their recommended
// level; zones that cannot be read are passed over. A repair puts each zone back to its
// recommended level with that level's policies. Abnormal when the zone manager cannot be
// created. Stores the verdict in results.securityLevelOk and returns it.
bool CheckSecurityLevel(platform::Context& context, config::CheckConfig& config, bool fix);

// Normal when every address of the "trust" section (or no such section) maps to the Trusted
// sites zone. A repair adds the addresses that do not. Abnormal when the security manager
// cannot be created. Stores the verdict in results.trustedSitesOk and returns it.
bool CheckTrustedSites(platform::Context& context, config::CheckConfig& config, bool fix);

// Maps `address` to `zone`. An address of the plain web scheme refused by a zone that requires
// server verification is added with the requirement lifted for the moment and put back after.
// True when the mapping was made.
bool AddTrustedSite(platform::Context& context, platform::SecurityManager& manager,
                    std::string_view address, win::DWORD zone, win::DWORD flags);

// Empties the TLS session cache and marks the URL cache's secure state as changed. True only
// when both succeeded.
bool ClearSslCache(platform::Context& context);

}  // namespace checks
