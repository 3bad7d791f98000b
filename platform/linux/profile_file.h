// The sandbox's Windows profile kept as JSON in the sandbox folder.
#pragma once

#include <filesystem>

#include "platform/windows_profile.h"

namespace platform {

// False when the file is missing or unreadable; `profile` is then left as it was.
bool LoadProfileFile(const std::filesystem::path& file, WindowsProfile& profile);
// Written to a temporary file and renamed over the old one, so a reader never sees half a file.
bool SaveProfileFile(const std::filesystem::path& file, const WindowsProfile& profile);

}  // namespace platform
