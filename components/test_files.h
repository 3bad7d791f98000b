// Helpers for the component tests: files, control files and class registrations in a sandbox.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/context.h"
#include "platform/control_file.h"
#include "platform/files.h"
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

}  // namespace components::testing
