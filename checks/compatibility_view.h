// The browser's compatibility view: switched on for all sites, or every configured domain in
// the user's compatibility-view list. A repair adds the missing domains to the list.
#pragma once

#include "config/check_config.h"

namespace platform {
struct Context;
}

namespace checks {

// Verdict for the "compatibility" section (true without one), also stored in
// results.registryOk. Opening the list's key creates it when missing, also when only checking.
bool CheckCompatibilityView(platform::Context& context, config::CheckConfig& config, bool fix);

}  // namespace checks
