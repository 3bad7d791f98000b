// The sandbox folder: where each emulated facility keeps its state, and the first-use seeding
// that makes a fresh folder look like a freshly installed Windows.
#pragma once

#include <filesystem>
#include <string>

#include "platform/win_types.h"

namespace platform {

struct Context;
class Registry;
class WindowsProfile;

struct SandboxLayout {
    std::filesystem::path root;

    std::filesystem::path RegistryDatabase() const { return root / "registry.db"; }
    std::filesystem::path DriveC() const { return root / "drive_c"; }
    std::filesystem::path ProfileFile() const { return root / "profile.json"; }
    std::filesystem::path PendingMovesFile() const { return root / "pending_moves.json"; }
    std::filesystem::path CertificateStores() const { return root / "certificates"; }
    // Held (flock) while a process seeds the sandbox, so that two first uses do not collide.
    std::filesystem::path LockFile() const { return root / ".lock"; }
    // Present once the registry has been seeded.
    std::filesystem::path SeededMarker() const { return root / ".seeded"; }
};

// The text of a default Windows hosts file (CR LF line ends).
std::string DefaultHostsFileText();

// Creates the folders of drive C: that the profile's Windows has (Windows, System32, SysWOW64
// on 64-bit, drivers\etc with the default hosts file when it is missing, the program folders,
// the user's profile and temporary folders). Existing files are left alone.
bool EnsureDriveC(const SandboxLayout& layout, const WindowsProfile& profile);

// The registry of a new sandbox: the values mirroring the profile and the browser's default
// security zones (0-4) under HKCU and HKLM.
win::LONG SeedRegistry(Registry& registry, const WindowsProfile& profile);

// Switches the sandbox of `context` to another profile: saves it, rewrites the mirrored
// registry values and creates the new profile's folders. The profile object is changed in
// place, so the file system and the processes follow it at once. When the bitness changes the
// registry is reopened with the other view, which leaves references to the old one dangling.
bool ChangeProfile(Context& context, const WindowsProfile& profile);

}  // namespace platform
