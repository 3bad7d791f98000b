#include "components/removal.h"

#include "components/run_command.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/windows_profile.h"

namespace components {
namespace {

constexpr std::string_view kSigningClsid = "{93363B01-B699-4100-8FFC-3EC580F4F653}";
constexpr std::string_view kPasswordClsid = "{3A2C8BC3-5B68-4AE5-81D6-6DC378708F3E}";
constexpr std::string_view kPasswordX64Clsid = "{206F48A0-61BB-48C8-B54C-7700B7923CFD}";

constexpr std::string_view kSigningWow64File =
    "%SystemRoot%\\SysWOW64\\npvidera_svs_acx_tarvel.dll";
constexpr std::string_view kSigningX64File =
    "%SystemRoot%\\System32\\videra_svs_acx_tarvel_x64.dll";
constexpr std::string_view kSigningX86File = "%SystemRoot%\\System32\\npvidera_svs_acx_tarvel.dll";
constexpr std::string_view kPasswordWow64Folder = "%SystemRoot%\\SysWOW64\\Qiventa\\Lockfern";
constexpr std::string_view kPasswordX64Folder = "%SystemRoot%\\System32\\Qiventa\\Lockfern";
constexpr std::string_view kPasswordX86Folder = "%SystemRoot%\\System32\\Qiventa\\Lockfern";

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

RemovalCommand Unregister(std::string_view file, bool redirectionOff = false) {
    return {"regsvr32 /u /s " + Quoted(file), redirectionOff};
}

RemovalCommand DeleteClass(std::string_view root, std::string_view clsid,
                           bool redirectionOff = false) {
    return {"reg delete /f " + std::string(root) + "\\CLSID\\" + std::string(clsid) + " ",
            redirectionOff};
}

bool Exists(const platform::FileSystem& files, std::string_view path) {
    std::string expanded;
    const win::DWORD size = files.ExpandEnvironmentStringsW(path, expanded, win::MAX_PATH);
    return size != 0 && size <= win::MAX_PATH && files.PathFileExists(expanded);
}

// The 64-bit file exists only for the 64-bit side: it is looked at, unregistered and deleted
// with redirection off, and its class is removed from the 64-bit view.
bool X64FileExists(platform::FileSystem& files, std::string_view path) {
    bool oldValue = false;
    const bool switched = files.Wow64DisableWow64FsRedirection(oldValue);
    const bool exists = Exists(files, path);
    if (switched) {
        files.Wow64RevertWow64FsRedirection(oldValue);
    }
    return exists;
}

std::vector<RemovalCommand> SigningControlCommands(platform::FileSystem& files, bool wow64) {
    if (!wow64) {
        if (!Exists(files, kSigningX86File)) {
            return {};
        }
        return {Unregister(kSigningX86File),
                {"del " + Quoted(kSigningX86File)},
                DeleteClass("HKEY_CLASSES_ROOT", kSigningClsid)};
    }
    if (Exists(files, kSigningWow64File)) {
        return {Unregister(kSigningWow64File),
                {"del " + Quoted(kSigningWow64File)},
                DeleteClass("HKEY_CLASSES_ROOT\\Wow6432Node", kSigningClsid)};
    }
    if (X64FileExists(files, kSigningX64File)) {
        return {Unregister(kSigningX64File, true),
                {"del " + Quoted(kSigningX64File), true},
                DeleteClass("HKEY_CLASSES_ROOT", kSigningClsid, true)};
    }
    return {};
}

std::vector<RemovalCommand> PasswordControlCommands(const platform::FileSystem& files, bool wow64) {
    const std::string wow64Control = std::string(kPasswordWow64Folder) + "\\LockfernCtrl.dll";
    const std::string x64Control = std::string(kPasswordX64Folder) + "\\LockfernX64.dll";
    const std::string x86Control = std::string(kPasswordX86Folder) + "\\LockfernCtrl.dll";
    if (!wow64) {
        return {Unregister(x86Control),
                {"rd /s /q " + Quoted(kPasswordX86Folder)},
                DeleteClass("HKEY_CLASSES_ROOT", kPasswordClsid)};
    }
    if (Exists(files, wow64Control)) {
        return {Unregister(wow64Control),
                {"rd /s /q " + Quoted(kPasswordWow64Folder)},
                DeleteClass("HKEY_CLASSES_ROOT\\Wow6432Node", kPasswordClsid)};
    }
    if (Exists(files, x64Control)) {
        return {
            Unregister(x64Control),
            {"rd /s /q " + Quoted(kPasswordX64Folder)},
            {"reg delete /f  HKEY_CLASSES_ROOT\\CLSID\\" + std::string(kPasswordX64Clsid) + "  "}};
    }
    return {};
}

void RunRemovalCommand(platform::Context& context, const RemovalCommand& command) {
    bool oldValue = false;
    const bool switched =
        command.redirectionOff && context.files->Wow64DisableWow64FsRedirection(oldValue);
    context.processes->RunSystemCommand(command.command);
    if (switched) {
        context.files->Wow64RevertWow64FsRedirection(oldValue);
    }
}

// The uninstaller's path: "%ProgramFiles%\..." of a 64-bit uninstaller names the 64-bit
// program folder on 64-bit Windows; only "cmd" uninstallers have a path.
std::string UninstallerPath(platform::Context& context, const config::UninstallerRule& rule) {
    const bool wow64 = IsWow64(context);
    const bool x64 = rule.bit == "64" && wow64;
    bool oldValue = false;
    const bool switched = x64 && context.files->Wow64DisableWow64FsRedirection(oldValue);
    std::string text = rule.command;
    if (x64 && text.find("ProgramFiles") != std::string::npos) {
        const std::size_t backslash = text.find('\\');
        if (backslash != std::string::npos) {
            text = "%ProgramW6432%" + text.substr(backslash);
        }
    }
    std::string path;
    if (rule.type == "cmd") {
        const win::DWORD size = context.files->ExpandEnvironmentStringsW(text, path, win::MAX_PATH);
        if (size == 0 || size > win::MAX_PATH) {
            path.clear();
        }
    }
    if (switched) {
        context.files->Wow64RevertWow64FsRedirection(oldValue);
    }
    return path;
}

}  // namespace

bool IsWow64(const platform::Context& context) {
    return context.profile && context.profile->IsWow64();
}

std::vector<RemovalCommand> FixedRemovalCommands(platform::FileSystem& files, int n, bool wow64) {
    switch (n) {
        case 1:
            return PasswordControlCommands(files, wow64);
        case 2:
            return SigningControlCommands(files, wow64);
        default:
            return {};
    }
}

void UninstallItem(platform::Context& context, const std::vector<config::ComponentItem>& items,
                   int n, RemovalHost& host) {
    if (n < 1 || n > static_cast<int>(items.size())) {
        return;
    }
    const config::ComponentItem& item = items[n - 1];
    if (item.uninstallers.empty()) {
        return;
    }
    const std::string path = UninstallerPath(context, item.uninstallers.front());
    if (path.empty()) {
        return;
    }
    if (context.files->PathFileExists(path)) {
        RunAndWaitForChildren(*context.processes, path);
        host.StartCheckPass();
        return;
    }
    host.ShowRemovalWarning();
    for (const RemovalCommand& command :
         FixedRemovalCommands(*context.files, n, IsWow64(context))) {
        RunRemovalCommand(context, command);
    }
    host.StartCheckPass();
}

}  // namespace components
