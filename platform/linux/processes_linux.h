// Processes of the sandbox on Linux: Windows command lines resolved through the sandbox's
// drives, the sandbox's own commands run by the nestora-win tool, Linux programs in the
// sandbox run for real.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/processes.h"

namespace platform {

class FileSystem;
class WindowsProfile;

// $NESTORA_WIN when set, else "nestora-win" in the folder of the running program.
std::filesystem::path DefaultCommandToolPath();

// `files` and `profile` are read at every call and must outlive the object. Children get
// NESTORA_ROOT = `sandboxRoot` and NESTORA_WIN = `commandTool`.
std::unique_ptr<Processes> MakeLinuxProcesses(FileSystem& files, const WindowsProfile& profile,
                                              const std::filesystem::path& sandboxRoot,
                                              const std::filesystem::path& commandTool);

}  // namespace platform
