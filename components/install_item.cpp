#include "components/install_item.h"

#include "components/detection.h"
#include "components/install_queue.h"

namespace components {
namespace {

bool IsOtherKeyTypesDriver(const config::ComponentItem& item, int n, int userType) {
    return item.type == "driver" && n != userType + 2;
}

void ReenableAddOns(const config::ComponentItem& item, platform::Registry& registry) {
    for (const config::DetectRule& rule : item.detects) {
        if (rule.type == "clsid") {
            IsAddonDisabled(registry, rule.value, true);
        }
    }
}

bool NeedsInstalling(std::int32_t status) {
    const std::int32_t state = StateOf(status);
    if (state == kStateInstalled || state == config::kStatusNotDetected) {
        return false;
    }
    const bool keyAbsent = (status & config::kStatusUsbKeyAbsent) != 0;
    return !keyAbsent || (state != kStateMissing && state != kStateInstallable);
}

void QueueItemJobs(InstallQueue& queue, const config::ComponentItem& item) {
    if (!item.installers.empty()) {
        queue.QueueInstallJob(JobFromInstaller(item.installers.front()));
        return;
    }
    for (const config::ComponentFile& file : item.files) {
        queue.QueueInstallJob(JobFromFile(file));
    }
}

}  // namespace

void InstallItem(InstallQueue& queue, const std::vector<config::ComponentItem>& items, int n,
                 int userType, platform::Registry& registry) {
    if (queue.IsBusy() && !queue.IsInstallAll()) {
        return;
    }
    if (n == 0) {
        queue.SetInstallAll(true);
        for (int i = 1; i <= static_cast<int>(items.size()); ++i) {
            InstallItem(queue, items, i, userType, registry);
        }
        queue.SetInstallAll(false);
        return;
    }
    if (n < 0 || n > static_cast<int>(items.size())) {
        return;
    }
    const config::ComponentItem& item = items[n - 1];
    if (IsOtherKeyTypesDriver(item, n, userType)) {
        return;
    }
    if (item.status & config::kStatusAddOnDisabled) {
        ReenableAddOns(item, registry);
    }
    if (NeedsInstalling(item.status)) {
        QueueItemJobs(queue, item);
    }
}

}  // namespace components
