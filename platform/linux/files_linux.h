// The sandbox's drives on the Linux file system: C: is the sandbox's drive_c, Z: is /.
#pragma once

#include <memory>

#include "platform/files.h"
#include "platform/sandbox.h"

namespace platform {

class WindowsProfile;

// `profile` is read at every call (bitness, folder layout, user name), so a profile changed in
// place is followed at once; it must outlive the file system.
std::unique_ptr<FileSystem> MakeSandboxFileSystem(const SandboxLayout& layout,
                                                  const WindowsProfile& profile);

}  // namespace platform
