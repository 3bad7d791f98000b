// Which installer and uninstaller elements apply to this computer.
#pragma once

#include <string_view>

namespace platform {
class WindowsProfile;
}

namespace config {

// True when the system reports a major version above 5 (Vista and later).
bool IsNt6OrLater(const platform::WindowsProfile& profile);

// "" always matches, "NT6" only on NT6 or later, "NT5" only before; any other text never
// matches (names are case-sensitive).
bool ConditionMatches(std::string_view condition, bool isNt6OrLater);

}  // namespace config
