#include "platform/sandbox.h"

#include <fstream>
#include <system_error>

#include "platform/context.h"
#include "platform/linux/files_linux.h"
#include "platform/linux/profile_file.h"
#include "platform/linux/registry_sqlite.h"
#include "platform/linux/zones_registry.h"
#include "platform/registry.h"
#include "platform/windows_profile.h"

namespace platform {
namespace {

constexpr std::string_view kHostsFile = "%SystemRoot%\\System32\\drivers\\etc\\hosts";

bool CreateFolders(const FileSystem& files, std::string_view windowsPath) {
    const std::filesystem::path linux = files.ToLinuxPath(files.ExpandEnvironment(windowsPath));
    if (linux.empty())
        return false;
    std::error_code error;
    std::filesystem::create_directories(linux, error);
    return !error;
}

std::vector<std::string> FoldersOf(const WindowsProfile& profile) {
    std::vector<std::string> folders = {"%SystemRoot%\\System32\\drivers\\etc",
                                        "%ProgramFiles%",
                                        "%CommonProgramFiles%",
                                        "%USERPROFILE%",
                                        "%APPDATA%",
                                        "%TEMP%",
                                        "%ALLUSERSPROFILE%"};
    if (profile.Is64Bit()) {
        folders.insert(folders.end(),
                       {"%SystemRoot%\\SysWOW64", "%ProgramW6432%", "%CommonProgramW6432%"});
    }
    if (profile.HasUsersFolder())
        folders.emplace_back("%LOCALAPPDATA%");
    return folders;
}

// ---------------------------------------------------------------------------------------------
// The browser's security zones as a fresh installation has them

struct ZoneDefaults {
    int zone;
    const char* displayName;
    const char* description;
    const char* icon;
    win::DWORD currentLevel;
    win::DWORD recommendedLevel;
    win::DWORD minLevel;
    win::DWORD flags;
};

// Trusted sites (2) requires server verification (flag 4) out of the box.
const ZoneDefaults kZones[] = {
    {0, "计算机", "本计算机上的文件和文件夹", "explorer.exe#0100", 0, 0, 0, 0x21},
    {1, "本地 Intranet", "本组织内部网络中的网站", "shell32.dll#0018", 0x10500, 0x10500, 0x10000,
     0xDB},
    {2, "受信任的站点", "您相信不会损害计算机或文件的网站", "inetcpl.cpl#00004480", 0x10500,
     0x10500, 0x10000, 0x47},
    {3, "Internet", "未放入其他区域的 Internet 网站", "inetcpl.cpl#001313", 0x11500, 0x11500,
     0x11000, 0x01},
    {4, "受限制的站点", "可能会损害计算机或文件的网站", "inetcpl.cpl#00004481", 0x12000, 0x12000,
     0x12000, 0x03},
};

constexpr std::string_view kZonesKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\";

win::LONG SetText(Registry& registry, const RegKey& key, std::string_view name,
                  std::string_view text) {
    const auto bytes = RegSzBytes(text);
    return registry.SetValue(key, name, REG_SZ, bytes.data(),
                             static_cast<win::DWORD>(bytes.size()));
}

win::LONG SetDword(Registry& registry, const RegKey& key, std::string_view name, win::DWORD value) {
    const auto bytes = RegDwordBytes(value);
    return registry.SetValue(key, name, REG_DWORD, bytes.data(),
                             static_cast<win::DWORD>(bytes.size()));
}

win::LONG SeedZone(Registry& registry, Hive hive, win::DWORD view, const ZoneDefaults& zone) {
    RegKey key;
    const win::LONG opened =
        registry.CreateKey(RegKey::Root(hive), std::string(kZonesKey) + std::to_string(zone.zone),
                           KEY_ALL_ACCESS | view, key);
    if (opened != win::ERROR_SUCCESS)
        return opened;
    for (const win::LONG status : {
             SetText(registry, key, "DisplayName", zone.displayName),
             SetText(registry, key, "Description", zone.description),
             SetText(registry, key, "Icon", zone.icon),
             SetDword(registry, key, "CurrentLevel", zone.currentLevel),
             SetDword(registry, key, "RecommendedLevel", zone.recommendedLevel),
             SetDword(registry, key, "MinLevel", zone.minLevel),
             SetDword(registry, key, "Flags", zone.flags),
         }) {
        if (status != win::ERROR_SUCCESS)
            return status;
    }
    return win::ERROR_SUCCESS;
}

// The sandbox's browser: it records each address it is asked to open and hands it to the
// desktop's opener when there is one.
std::string BrowserScript(const std::filesystem::path& root) {
    return "#!/bin/sh\n"
           "log=\"${NESTORA_ROOT:-" +
           root.string() +
           "}/iexplore.log\"\n"
           "printf '%s\\n' \"$*\" >> \"$log\"\n"
           "if command -v xdg-open >/dev/null 2>&1; then\n"
           "    xdg-open \"$@\" >/dev/null 2>&1 &\n"
           "fi\n";
}

// iexplore.exe in the browser's folder of every Program Files the profile has.
bool EnsureBrowser(const FileSystem& files, const WindowsProfile& profile,
                   const std::filesystem::path& root) {
    std::vector<std::string> folders = {"%ProgramFiles%\\Internet Explorer"};
    if (profile.Is64Bit())
        folders.emplace_back("%ProgramW6432%\\Internet Explorer");
    bool ok = true;
    for (const std::string& folder : folders) {
        if (!CreateFolders(files, folder)) {
            ok = false;
            continue;
        }
        const std::filesystem::path browser =
            files.ToLinuxPath(files.ExpandEnvironment(folder + "\\iexplore.exe"));
        std::error_code error;
        if (std::filesystem::exists(browser, error))
            continue;
        std::ofstream(browser) << BrowserScript(root);
        std::filesystem::permissions(
            browser,
            std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                std::filesystem::perms::others_exec,
            error);
        ok = !error && ok;
    }
    return ok;
}

}  // namespace

std::string DefaultHostsFileText() {
    return "# This is the hosts file of this computer.\r\n"
           "#\r\n"
           "# It maps host names to IP addresses. Each entry is one line: the IP address, then\r\n"
           "# at least one space or tab, then the host name. Everything after a '#' is a\r\n"
           "# comment.\r\n"
           "#\r\n"
           "# Example:\r\n"
           "#\r\n"
           "#      192.0.2.10     files.example.com      # the file server\r\n"
           "#      192.0.2.20     mail.example.com\r\n"
           "\r\n"
           "# The name localhost is resolved by the name service itself.\r\n"
           "#\t127.0.0.1       localhost\r\n"
           "#\t::1             localhost\r\n";
}

bool EnsureDriveC(const SandboxLayout& layout, const WindowsProfile& profile) {
    const auto files = MakeSandboxFileSystem(layout, profile);
    // The real System32 is meant, not the 32-bit program's view of it.
    bool oldRedirection = false;
    const bool redirectionOff = files->Wow64DisableWow64FsRedirection(oldRedirection);
    bool ok = true;
    for (const std::string& folder : FoldersOf(profile))
        ok = CreateFolders(*files, folder) && ok;
    const std::string hosts = files->ExpandEnvironment(kHostsFile);
    if (!files->PathFileExists(hosts))
        ok = files->WriteFile(hosts, DefaultHostsFileText()) && ok;
    ok = EnsureBrowser(*files, profile, layout.root) && ok;
    if (redirectionOff)
        files->Wow64RevertWow64FsRedirection(oldRedirection);
    return ok;
}

win::LONG SeedRegistry(Registry& registry, const WindowsProfile& profile) {
    win::LONG result = MirrorProfileToRegistry(profile, registry);
    const std::vector<win::DWORD> machineViews =
        profile.Is64Bit() ? std::vector<win::DWORD>{KEY_WOW64_64KEY, KEY_WOW64_32KEY}
                          : std::vector<win::DWORD>{0};
    for (const ZoneDefaults& zone : kZones) {
        std::vector<win::LONG> statuses = {SeedZone(registry, Hive::CurrentUser, 0, zone)};
        for (const win::DWORD view : machineViews) {
            statuses.push_back(SeedZone(registry, Hive::LocalMachine, view, zone));
        }
        for (const win::LONG status : statuses) {
            if (result == win::ERROR_SUCCESS)
                result = status;
        }
    }
    for (const win::DWORD view : machineViews) {
        const win::LONG status = SeedTemplatePolicies(registry, view);
        if (result == win::ERROR_SUCCESS)
            result = status;
    }
    return result;
}

bool ChangeProfile(Context& context, const WindowsProfile& profile) {
    const SandboxLayout layout{context.root};
    if (!SaveProfileFile(layout.ProfileFile(), profile))
        return false;
    const bool bitnessChanged = !context.profile || context.profile->Is64Bit() != profile.Is64Bit();
    if (context.profile) {
        *context.profile = profile;  // the file system reads the profile in place
    } else {
        context.profile = std::make_unique<WindowsProfile>(profile);
    }
    if (!context.files)
        context.files = MakeSandboxFileSystem(layout, *context.profile);
    if (bitnessChanged || !context.registry) {
        auto registry = MakeSqliteRegistry(layout.RegistryDatabase(), profile.Is64Bit());
        if (!registry)
            return false;
        context.registry = std::move(registry);
    }
    const bool foldersMade = EnsureDriveC(layout, profile);
    return MirrorProfileToRegistry(profile, *context.registry) == win::ERROR_SUCCESS && foldersMade;
}

}  // namespace platform
