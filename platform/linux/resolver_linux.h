// Name resolution by the system's resolver (hosts file, DNS, as configured on this machine).
// Given a hosts file of Windows form (the sandbox's drivers\etc\hosts), the IPv4 lines of that
// file answer first, as the Windows resolver answers from its hosts file before asking DNS;
// the file is read again for every question, so an edit counts at once.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/resolver.h"

namespace platform {

std::unique_ptr<Resolver> MakeSystemResolver(std::filesystem::path hostsFile = {});

}  // namespace platform
