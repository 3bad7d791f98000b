// Name resolution by the system's resolver (hosts file, DNS, as configured on this machine).
#pragma once

#include <memory>

#include "platform/resolver.h"

namespace platform {

std::unique_ptr<Resolver> MakeSystemResolver();

}  // namespace platform
