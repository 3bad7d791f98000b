// The zone manager and the security manager over the registry, where the browser keeps them:
// the zones' attributes and policies under HKCU\...\Internet Settings\Zones\N, the user's
// mappings under HKCU\...\Internet Settings\ZoneMap (Domains for names, Ranges for IPv4
// addresses) and the level templates under HKLM\...\Internet Settings\TemplatePolicies.
#pragma once

#include <memory>

#include "platform/win_types.h"
#include "platform/zones.h"

namespace platform {

struct Context;
class Registry;

// Works on the context's registry as it is at each call (the context must stay where it is);
// an object cannot be created while the context has no registry.
std::unique_ptr<InternetZones> MakeRegistryZones(Context& context);

// Writes the policies of the five level templates, as a fresh installation has them, under
// HKLM in the registry view `view` (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY).
win::LONG SeedTemplatePolicies(Registry& registry, win::DWORD view);

}  // namespace platform
