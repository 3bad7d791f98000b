// Helpers for the component tests: files, control files and class registrations in a sandbox,
// and a recorder of the processes it is asked to start.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/context.h"
#include "platform/control_file.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"

namespace components::testing {

// Writes `bytes` at a Windows path of the sandbox, creating the folders.
inline void WriteSandboxFile(platform::Context& context, std::string_view path,
                             std::string_view bytes) {
    const std::filesystem::path linuxPath = context.files->ToLinuxPath(path);
    std::filesystem::create_directories(linuxPath.parent_path());
    context.files->WriteFile(path, bytes);
}

inline std::string ControlText(std::string_view clsid, std::array<std::uint16_t, 4> version) {
    platform::ControlFile control;
    control.clsid = std::string(clsid);
    control.version = version;
    return platform::FormatControlFile(control);
}

inline void RegisterClass(platform::Context& context, std::string_view clsid,
                          std::string_view serverPath) {
    platform::RegKey key;
    context.registry->CreateKey(platform::RegKey::Root(platform::Hive::ClassesRoot),
                                "CLSID\\" + std::string(clsid) + "\\InprocServer32",
                                platform::KEY_ALL_ACCESS, key);
    const auto bytes = platform::RegSzBytes(serverPath);
    context.registry->SetValue(key, "", platform::REG_SZ, bytes.data(),
                               static_cast<win::DWORD>(bytes.size()));
}

inline void DisableAddOn(platform::Context& context, std::string_view clsid, win::DWORD flags) {
    platform::RegKey key;
    context.registry->CreateKey(
        platform::RegKey::Root(platform::Hive::CurrentUser),
        "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\" + std::string(clsid),
        platform::KEY_ALL_ACCESS, key);
    const auto bytes = platform::RegDwordBytes(flags);
    context.registry->SetValue(key, "Flags", platform::REG_DWORD, bytes.data(), 4);
}

// Forwards to the sandbox's own processes and keeps the command lines it was asked to start and
// the interpreter commands it was asked to run. Read the lists once the workers have ended.
class RecordingProcesses : public platform::Processes {
public:
    // Puts a recorder in place of the processes of `context`, which owns it.
    static RecordingProcesses& ReplaceIn(platform::Context& context) {
        auto recording = std::make_unique<RecordingProcesses>(std::move(context.processes));
        RecordingProcesses& recorder = *recording;
        context.processes = std::move(recording);
        return recorder;
    }

    explicit RecordingProcesses(std::unique_ptr<platform::Processes> real)
        : real_(std::move(real)) {}
    win::LONG CreateProcess(std::string_view commandLine,
                            std::unique_ptr<platform::Process>& process) override {
        Record(started, commandLine);
        return real_->CreateProcess(commandLine, process);
    }
    win::LONG ShellExecute(std::string_view file, std::string_view parameters,
                           std::unique_ptr<platform::Process>& process) override {
        return real_->ShellExecute(file, parameters, process);
    }
    bool Snapshot(std::vector<platform::ProcessEntry>& entries) override {
        return real_->Snapshot(entries);
    }
    int RunSystemCommand(std::string_view command) override {
        Record(commands, command);
        return real_->RunSystemCommand(command);
    }

    std::vector<std::string> started;
    std::vector<std::string> commands;

private:
    void Record(std::vector<std::string>& list, std::string_view entry) {
        std::lock_guard<std::mutex> guard(mutex_);
        list.emplace_back(entry);
    }

    std::unique_ptr<platform::Processes> real_;
    std::mutex mutex_;
};

}  // namespace components::testing
