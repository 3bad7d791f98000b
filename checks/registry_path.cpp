#include "checks/registry_path.h"

#include <array>
#include <utility>

#include "platform/context.h"

namespace checks {
namespace {

using platform::Hive;

constexpr std::array<std::pair<std::string_view, Hive>, 6> kRootNames = {{
    {"HKLM", Hive::LocalMachine},
    {"HKEY_LOCAL_MACHINE", Hive::LocalMachine},
    {"HKCU", Hive::CurrentUser},
    {"HKEY_CURRENT_USER", Hive::CurrentUser},
    {"HKCR", Hive::ClassesRoot},
    {"HKEY_CLASSES_ROOT", Hive::ClassesRoot},
}};

std::string AsciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

}  // namespace

Hive HiveOfRootName(std::string_view root) {
    const std::string upper = AsciiUpper(root);
    for (const auto& [name, hive] : kRootNames) {
        if (upper == name)
            return hive;
    }
    return Hive::CurrentUser;
}

std::optional<RegistryPath> ParseRegistryPath(std::string_view keyPath) {
    const size_t backslash = keyPath.find('\\');
    if (backslash == std::string_view::npos)
        return std::nullopt;
    return RegistryPath{HiveOfRootName(keyPath.substr(0, backslash)),
                        std::string(keyPath.substr(backslash + 1))};
}

win::LONG OpenCheckKey(platform::Registry& registry, const RegistryPath& path,
                       platform::RegKey& out) {
    return registry.OpenKey(platform::RegKey::Root(path.hive), path.subKey, kCheckKeyAccess, out);
}

win::LONG CreateCheckKey(platform::Registry& registry, const RegistryPath& path,
                         platform::RegKey& out) {
    return registry.CreateKey(platform::RegKey::Root(path.hive), path.subKey, kCheckKeyAccess, out);
}

bool RegistryValueExists(platform::Context& context, std::string_view spec) {
    const size_t firstComma = spec.find(',');
    if (firstComma == std::string_view::npos)
        return false;
    const std::string_view rest = spec.substr(firstComma + 1);
    const size_t secondComma = rest.find(',');
    if (secondComma == std::string_view::npos)
        return false;
    const RegistryPath path{HiveOfRootName(spec.substr(0, firstComma)),
                            std::string(rest.substr(0, secondComma))};
    const std::string_view valueName = rest.substr(secondComma + 1);

    platform::RegKey key;
    if (OpenCheckKey(*context.registry, path, key) != win::ERROR_SUCCESS)
        return false;
    if (valueName.empty())
        return true;
    win::DWORD size = 0;
    return context.registry->QueryValue(key, valueName, nullptr, nullptr, &size) ==
           win::ERROR_SUCCESS;
}

}  // namespace checks
