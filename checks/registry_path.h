// Registry keys named by a text: "ROOT\subkey\path", the root written as HKLM,
// HKEY_LOCAL_MACHINE, HKCU, HKEY_CURRENT_USER, HKCR or HKEY_CLASSES_ROOT in any letter case,
// any other root text standing for the current user.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace platform {
struct Context;
}

namespace checks {

// Keys are opened with read and write rights also for checking, so that a key the user may
// not change counts as a failed check.
constexpr win::DWORD kCheckKeyAccess = platform::KEY_READ | platform::KEY_WRITE;

// A key path split at its first backslash.
struct RegistryPath {
    platform::Hive hive = platform::Hive::CurrentUser;
    std::string subKey;
};

// The hive a root text names; HKEY_CURRENT_USER for anything not in the table.
platform::Hive HiveOfRootName(std::string_view root);

// Splits "ROOT\subkey" at its first backslash; nothing when there is none.
std::optional<RegistryPath> ParseRegistryPath(std::string_view keyPath);

// Opens the key with kCheckKeyAccess.
win::LONG OpenCheckKey(platform::Registry& registry, const RegistryPath& path,
                       platform::RegKey& out);
// Opens the key with kCheckKeyAccess, creating it and its missing parents.
win::LONG CreateCheckKey(platform::Registry& registry, const RegistryPath& path,
                         platform::RegKey& out);

// Whether "root,subkey,value name" names an existing key and, for a non-empty value name, an
// existing value under it. False when either comma is missing. Never writes.
bool RegistryValueExists(platform::Context& context, std::string_view spec);

}  // namespace checks
