// Starting installers and uninstallers: a command line run as CreateProcessW runs it, with or
// without waiting, and an uninstaller waited for together with the processes it starts.
#pragma once

#include <chrono>
#include <string_view>

namespace platform {
class Processes;
}

namespace components {

// A command line of this many UTF-16 units or more is not run.
constexpr std::size_t kMaxRunCommandChars = 260;
// The pause between two looks at the process list while an uninstaller's children run.
constexpr std::chrono::milliseconds kChildPollInterval{100};

// True when the process could be created (and, with `wait`, has ended). The exit code is not
// looked at.
bool RunCommandLine(platform::Processes& processes, std::string_view commandLine, bool wait);

// Starts the command line, waits for it, then waits until no process names it as its parent
// any more, looking at the process list every `pollInterval`. Nothing is reported; a command
// that cannot start returns at once.
void RunAndWaitForChildren(platform::Processes& processes, std::string_view commandLine,
                           std::chrono::milliseconds pollInterval = kChildPollInterval);

}  // namespace components
