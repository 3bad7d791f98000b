// Page items 1 and 8, shown for information: the operating system's name and the browser's
// version. Texts are UTF-8.
#pragma once

#include <string>

namespace platform {
struct Context;
}

namespace checks {

// The name built from the reported version, edition, service pack, build and bitness, e.g.
// "Windows 7 旗舰版 SP1 (build 7601) 64位"; "Error" when the version cannot be read.
std::string GetOsDisplayName(platform::Context& context);

// ProductName of the machine's current version key; "" when it cannot be read.
std::string GetWindowsProductName(platform::Context& context);

// The browser's svcVersion, else its Version, from the machine's settings only; "0" when
// neither can be read.
std::string GetIeVersion(platform::Context& context);

// Page item 1: the product name when it names Windows 10 (which reports itself as 6.2 to this
// program), else the built name.
std::string OsVersionText(platform::Context& context);

}  // namespace checks
