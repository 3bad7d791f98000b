// nestora-win regsvr32 [/u] [/s] PATH...: registers (or with /u unregisters) the class of a
// control file in the sandbox registry, as regsvr32 runs a control's DllRegisterServer.
//
// The registration goes into the registry view of the control's machine: an x64 control into
// the 64-bit view, an x86 control into the 32-bit view (Wow6432Node), as the 32-bit and the
// 64-bit regsvr32 do on 64-bit Windows. A 32-bit Windows has one view and cannot load an x64
// control.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/context.h"
#include "platform/control_file.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/windows_profile.h"
#include "tools/nestora-win/command.h"
#include "tools/nestora-win/process_bits.h"

namespace nestora_win {
namespace {

using platform::ControlFile;
using platform::Hive;
using platform::Registry;
using platform::RegKey;

// regsvr32's exit codes.
constexpr int kSuccess = 0;
constexpr int kBadArguments = 1;
constexpr int kLoadFailed = 3;
constexpr int kNoEntryPoint = 4;
constexpr int kRegistrationFailed = 5;

struct Options {
    bool unregister = false;
    bool silent = false;
    std::vector<std::string> paths;
};

bool ParseOptions(std::span<const std::string> args, Options& options) {
    for (const std::string& arg : args) {
        if (arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-')) {
            const std::string name = platform::AsciiLower(arg.substr(1));
            if (name == "u") {
                options.unregister = true;
            } else if (name == "s") {
                options.silent = true;
            } else {
                return false;
            }
        } else {
            options.paths.push_back(arg);
        }
    }
    return !options.paths.empty();
}

std::string AbsoluteWindowsPath(platform::FileSystem& files, const std::string& path) {
    if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/'))
        return path;
    std::error_code error;
    std::string current = files.ToWindowsPath(std::filesystem::current_path(error));
    if (!current.ends_with('\\'))
        current += '\\';
    return current + path;
}

// The root of HKCR seen through one registry view.
RegKey ClassesRoot(win::DWORD view) {
    RegKey root = RegKey::Root(Hive::ClassesRoot);
    root.access |= view;
    return root;
}

win::LONG SetDefaultString(Registry& registry, const RegKey& root, const std::string& subKey,
                           std::string_view name, std::string_view value) {
    RegKey key;
    win::LONG result = registry.CreateKey(root, subKey, platform::KEY_WRITE, key);
    if (result != win::ERROR_SUCCESS)
        return result;
    const std::vector<std::uint8_t> bytes = platform::RegSzBytes(value);
    return registry.SetValue(key, name, platform::REG_SZ, bytes.data(),
                             static_cast<win::DWORD>(bytes.size()));
}

win::LONG Register(Registry& registry, const RegKey& root, const ControlFile& control,
                   const std::string& windowsPath) {
    const std::string classKey = "CLSID\\" + control.clsid;
    struct Write {
        std::string key, name, value;
    };
    std::vector<Write> writes = {
        {classKey, "", control.name},
        {classKey + "\\InprocServer32", "", windowsPath},
        {classKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
    };
    if (!control.progId.empty()) {
        writes.push_back({classKey + "\\ProgID", "", control.progId});
        writes.push_back({control.progId, "", control.name});
        writes.push_back({control.progId + "\\CLSID", "", control.clsid});
    }
    for (const Write& write : writes) {
        const win::LONG result =
            SetDefaultString(registry, root, write.key, write.name, write.value);
        if (result != win::ERROR_SUCCESS)
            return result;
    }
    return win::ERROR_SUCCESS;
}

// The ProgID key names this class, and not one that another control registered since.
bool ProgIdNamesClass(Registry& registry, const RegKey& root, const ControlFile& control) {
    RegKey key;
    if (registry.OpenKey(root, control.progId + "\\CLSID", platform::KEY_READ, key) !=
        win::ERROR_SUCCESS) {
        return false;
    }
    std::uint8_t data[512];
    win::DWORD size = sizeof data;
    win::DWORD type = 0;
    if (registry.QueryValue(key, "", &type, data, &size) != win::ERROR_SUCCESS)
        return false;
    return platform::EqualsIgnoreCase(platform::RegSzToUtf8(data, size), control.clsid);
}

// Deletes a key that registration created; one that holds keys of others stays.
win::LONG DeleteOwnKey(Registry& registry, const RegKey& root, const std::string& subKey) {
    RegKey key;
    win::LONG result = registry.OpenKey(root, subKey, platform::KEY_READ, key);
    if (result == win::ERROR_FILE_NOT_FOUND)
        return win::ERROR_SUCCESS;
    std::vector<std::string> children;
    if (result == win::ERROR_SUCCESS)
        result = registry.EnumSubKeyNames(key, children);
    if (result != win::ERROR_SUCCESS || !children.empty())
        return result;
    return registry.DeleteKey(root, subKey);
}

// Removes what Register wrote, and only that.
win::LONG Unregister(Registry& registry, const RegKey& root, const ControlFile& control) {
    const std::string classKey = "CLSID\\" + control.clsid;
    std::vector<std::string> keys = {classKey + "\\InprocServer32", classKey + "\\ProgID",
                                     classKey};
    if (!control.progId.empty() && ProgIdNamesClass(registry, root, control)) {
        keys.push_back(control.progId + "\\CLSID");
        keys.push_back(control.progId);
    }
    for (const std::string& key : keys) {
        const win::LONG result = DeleteOwnKey(registry, root, key);
        if (result != win::ERROR_SUCCESS)
            return result;
    }
    return win::ERROR_SUCCESS;
}

int Report(const CommandIo& io, bool silent, int code, const std::string& message) {
    if (!silent)
        (code == kSuccess ? io.out : io.err) << message << '\n';
    return code;
}

int RegisterOne(platform::Context& context, const Options& options, const std::string& path,
                const CommandIo& io) {
    const std::string entry = options.unregister ? "DllUnregisterServer" : "DllRegisterServer";
    const std::string windowsPath = AbsoluteWindowsPath(*context.files, path);
    const std::filesystem::path file = context.files->ToLinuxPath(windowsPath);
    std::error_code error;
    if (file.empty() || !std::filesystem::is_regular_file(file, error)) {
        return Report(io, options.silent, kLoadFailed,
                      "The module \"" + path + "\" failed to load: the file was not found.");
    }
    const std::optional<ControlFile> control = platform::ReadControlFile(file);
    if (!control) {
        return Report(io, options.silent, kNoEntryPoint,
                      "The module \"" + path + "\" was loaded but the entry-point " + entry +
                          " was not found.");
    }
    const bool is64Bit = context.profile->Is64Bit();
    if (control->machine == platform::Machine::X64 && !is64Bit) {
        return Report(
            io, options.silent, kLoadFailed,
            "The module \"" + path + "\" failed to load: it is not a valid image for this system.");
    }
    if (control->clsid.empty()) {
        return Report(io, options.silent, kRegistrationFailed,
                      "The call to " + entry + " failed: the module has no class to register.");
    }
    const RegKey root =
        ClassesRoot(control->machine == platform::Machine::X64 ? platform::KEY_WOW64_64KEY
                                                               : platform::KEY_WOW64_32KEY);
    const win::LONG result = options.unregister
                                 ? Unregister(*context.registry, root, *control)
                                 : Register(*context.registry, root, *control, windowsPath);
    if (result != win::ERROR_SUCCESS) {
        return Report(io, options.silent, kRegistrationFailed,
                      "The call to " + entry + " in \"" + path + "\" failed with error code " +
                          std::to_string(result) + ".");
    }
    return Report(io, options.silent, kSuccess, entry + " in " + path + " succeeded.");
}

int RunRegsvr32(platform::Context& context, std::span<const std::string> args, CommandIo io) {
    Options options;
    if (!ParseOptions(args, options)) {
        io.err << "usage: nestora-win regsvr32 [/u] [/s] PATH...\n";
        return kBadArguments;
    }
    FollowProcessBits(context);
    int code = kSuccess;
    for (const std::string& path : options.paths) {
        const int result = RegisterOne(context, options, path, io);
        if (code == kSuccess)
            code = result;
    }
    return code;
}

}  // namespace

NESTORA_WIN_COMMAND("regsvr32", "regsvr32 [/u] [/s] PATH...  (register a control file)",
                    RunRegsvr32);

}  // namespace nestora_win
