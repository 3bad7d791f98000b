#pragma once

#include <vector>

#include "config/config_records.h"

namespace platform {
class Registry;
}

namespace components {

class InstallQueue;

// The page's install request for item n (1-based), or every item for 0: a switched-off add-on
// is switched back on, and an item that is outdated, upgradable, missing or installable (only
// upgrades while its USB key is absent; drivers only for the user's key type) gets its jobs
// queued: the first installer, else one job per file. Ignored while the worker runs, unless
// install(0) itself is queueing.
void InstallItem(InstallQueue& queue, const std::vector<config::ComponentItem>& items, int n,
                 int userType, platform::Registry& registry);

}  // namespace components
