#include "components/run_command.h"

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "platform/processes.h"
#include "platform/text.h"

namespace components {
namespace {

bool HasChildOf(platform::Processes& processes, win::DWORD parentId, bool& snapshotFailed) {
    std::vector<platform::ProcessEntry> entries;
    if (!processes.Snapshot(entries)) {
        snapshotFailed = true;
        return false;
    }
    return std::any_of(entries.begin(), entries.end(), [&](const platform::ProcessEntry& entry) {
        return entry.parentProcessId == parentId && entry.processId != parentId;
    });
}

}  // namespace

bool RunCommandLine(platform::Processes& processes, std::string_view commandLine, bool wait) {
    if (platform::Utf8ToUtf16(commandLine).size() >= kMaxRunCommandChars) {
        return false;
    }
    std::unique_ptr<platform::Process> process;
    if (processes.CreateProcess(commandLine, process) != win::ERROR_SUCCESS || !process) {
        return false;
    }
    if (wait) {
        process->Wait(win::INFINITE);
    }
    return true;
}

void RunAndWaitForChildren(platform::Processes& processes, std::string_view commandLine,
                           std::chrono::milliseconds pollInterval) {
    std::unique_ptr<platform::Process> process;
    if (processes.CreateProcess(commandLine, process) != win::ERROR_SUCCESS || !process) {
        return;
    }
    process->Wait(win::INFINITE);
    const win::DWORD id = process->Id();
    process.reset();
    bool snapshotFailed = false;
    while (HasChildOf(processes, id, snapshotFailed)) {
        std::this_thread::sleep_for(pollInterval);
    }
}

}  // namespace components
