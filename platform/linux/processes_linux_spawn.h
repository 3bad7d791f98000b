// Starting, waiting for and listing Linux processes: the mechanics under the Windows-shaped
// Processes facility.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace platform {

struct SpawnRequest {
    std::filesystem::path executable;  // what execve runs
    std::vector<std::string> argv;
    std::vector<std::string> environment;  // "NAME=value"
    // An ELF file without the execute permission is run from an in-memory copy instead.
    bool runFromCopy = false;
};

// Starts the process: the child gets the standard streams and nothing else of this process's
// open files, default signal handling, an empty signal mask and kCreatorVariable set to its
// own id (replacing any inherited value). Returns 0 and the pid, or
// the errno of the failed start (exec failures included).
int SpawnProcess(const SpawnRequest& request, pid_t& pid);

// The handle of a child started by SpawnProcess; it reaps the child (at the latest in the
// background after the handle is gone), so no zombie is left.
std::unique_ptr<Process> MakeChildProcess(pid_t pid);

// This process's environment with the given "NAME=value" entries replacing their namesakes.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides);

// Every process listed under `procRoot` (normally /proc). A process whose creator (its
// inherited kCreatorVariable) has ended reports the creator as its parent, as Windows keeps
// the parent id of a process whose parent is gone. False when the list cannot be read.
bool ReadProcessSnapshot(std::vector<ProcessEntry>& entries,
                         const std::filesystem::path& procRoot = "/proc");

}  // namespace platform
