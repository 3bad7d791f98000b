// The hosts-file check of page item 3: no line of the system's hosts file may pin one of the
// configured host names to an address. The repair deletes exactly those lines.
#pragma once

#include <string>

#include "config/check_config.h"

namespace platform {
struct Context;
}

namespace checks {

// The hosts file's Windows path (%windir%\system32\drivers\etc\hosts, expanded).
std::string HostsFilePath(platform::Context& context);

// Checks (fix false) or repairs (fix true) the names of the "host" section; stores the
// verdict in results.hostsOk and returns it.
//
// A line pins a name when it starts with white space, digits or dots (an address and its
// spacing), continues with the name in any letter case, and ends after optional white space,
// or with a comment of at least one character. A line holding only the name pins it as well
// when the line above holds nothing but white space, digits and dots.
//
// The check reads a missing or unreadable file as clean. The repair deletes every pinning
// line and leaves every other byte as it was; the file is only rewritten when a line goes,
// after a backup copy beside it (hosts.bak), through a temporary file renamed over it. A file
// that exists but cannot be read fails the repair, which then writes nothing. A successful
// repair runs the DNS check again.
bool CheckHosts(platform::Context& context, config::CheckConfig& config, bool fix);

}  // namespace checks
