#include "config/install_condition.h"

#include "platform/windows_profile.h"

namespace config {

bool IsNt6OrLater(const platform::WindowsProfile& profile) {
    return profile.GetVersionEx().majorVersion > 5;
}

bool ConditionMatches(std::string_view condition, bool isNt6OrLater) {
    if (condition.empty()) {
        return true;
    }
    if (condition == "NT6") {
        return isNt6OrLater;
    }
    if (condition == "NT5") {
        return !isNt6OrLater;
    }
    return false;
}

}  // namespace config
