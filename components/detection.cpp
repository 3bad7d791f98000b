#include "components/detection.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

#include "checks/registry_path.h"
#include "components/file_checks.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/usb.h"
#include "usbkey/usb_devices.h"

namespace components {
namespace {

constexpr std::string_view kAddOnSettingsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";

void SetState(std::int32_t& status, std::int32_t state) {
    status = (status & ~kStateMask) | state;
}

bool IsInstallable(const config::ComponentItem& item) {
    return !item.installers.empty() ||
           std::any_of(item.files.begin(), item.files.end(),
                       [](const config::ComponentFile& file) { return !file.url.empty(); });
}

bool FileRulePasses(const platform::FileSystem& files, std::string_view value) {
    std::string expanded;
    const win::DWORD size = files.ExpandEnvironmentStringsW(value, expanded, win::MAX_PATH);
    return size != 0 && size <= win::MAX_PATH && files.PathFileExists(expanded);
}

// Applies one rule; false when it is a presence rule that failed and the walk stops.
bool ApplyRule(const config::DetectRule& rule, config::ComponentItem& item,
               platform::Context& context, const UsbDeviceLister& listUsbDevices) {
    if (rule.type == "clsid") {
        if (IsAddonDisabled(*context.registry, rule.value, false)) {
            item.status |= config::kStatusAddOnDisabled;
        }
        return IsControlRegistered(context, rule.value);
    }
    if (rule.type == "reg") {
        return checks::RegistryValueExists(context, rule.value);
    }
    if (rule.type == "file") {
        return FileRulePasses(*context.files, rule.value);
    }
    if (rule.type == "usbkey") {
        if (AnyUsbDevicePresent(ParseUsbKeyList(rule.value), listUsbDevices)) {
            item.status &= ~config::kStatusUsbKeyAbsent;
        } else {
            item.status |= config::kStatusUsbKeyAbsent;
        }
    }
    return true;  // "service" and unknown types pass
}

void DetectItem(config::ComponentItem& item, platform::Context& context,
                const UsbDeviceLister& listUsbDevices) {
    item.status = kStateInstalled;
    for (const config::DetectRule& rule : item.detects) {
        if (!ApplyRule(rule, item, context, listUsbDevices)) {
            SetState(item.status, kStateMissing);
            break;
        }
    }
    if (StateOf(item.status) == kStateInstalled) {
        for (const config::ComponentFile& file : item.files) {
            if (!CheckComponentFile(*context.files, file)) {
                SetState(item.status, kStateOutdated);
                break;
            }
        }
    }
    const std::int32_t state = StateOf(item.status);
    if ((state == kStateOutdated || state == kStateMissing) && IsInstallable(item)) {
        SetState(item.status, state == kStateOutdated ? kStateUpgradable : kStateInstallable);
    }
}

std::int32_t ReadLikeStrtol(const std::string& part) {
    errno = 0;
    const long value = std::strtol(part.c_str(), nullptr, 0);
    return static_cast<std::int32_t>(std::clamp<long>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

UsbDeviceLister SystemUsbDeviceLister() {
    return [] {
        const std::unique_ptr<platform::UsbStack> stack = platform::OpenSysfsUsbStack();
        return usbkey::EnumerateUsbDevices(*stack);
    };
}

void DetectComponents(std::vector<config::ComponentItem>& items, platform::Context& context,
                      const UsbDeviceLister& listUsbDevices) {
    for (config::ComponentItem& item : items) {
        DetectItem(item, context, listUsbDevices);
    }
}

bool IsControlRegistered(platform::Context& context, std::string_view clsid) {
    platform::RegKey key;
    const std::string subKey = "CLSID\\" + std::string(clsid) + "\\InprocServer32";
    if (context.registry->OpenKey(platform::RegKey::Root(platform::Hive::ClassesRoot), subKey,
                                  platform::KEY_READ, key) != win::ERROR_SUCCESS) {
        return false;
    }
    std::uint8_t buffer[win::MAX_PATH * 2];
    win::DWORD size = sizeof buffer;
    win::DWORD type = 0;
    if (context.registry->QueryValue(key, "", &type, buffer, &size) != win::ERROR_SUCCESS ||
        (type != platform::REG_SZ && type != platform::REG_EXPAND_SZ) || size < 2 ||
        size % 2 != 0 || buffer[size - 1] != 0 || buffer[size - 2] != 0) {
        return false;
    }
    return context.files->PathFileExists(platform::RegSzToUtf8(buffer, size));
}

bool IsAddonDisabled(platform::Registry& registry, std::string_view clsid, bool reenable) {
    const std::string subKey = std::string(kAddOnSettingsKey) + std::string(clsid);
    const platform::RegKey currentUser = platform::RegKey::Root(platform::Hive::CurrentUser);
    platform::RegKey key;
    if (registry.OpenKey(currentUser, subKey, platform::KEY_READ, key) != win::ERROR_SUCCESS) {
        return false;
    }
    std::uint8_t flags[4] = {};
    win::DWORD size = sizeof flags;
    win::DWORD type = 0;
    const bool disabled =
        registry.QueryValue(key, "Flags", &type, flags, &size) == win::ERROR_SUCCESS &&
        type == platform::REG_DWORD && size == 4 && flags[0] == 1 && flags[1] == 0 &&
        flags[2] == 0 && flags[3] == 0;
    if (disabled && reenable) {
        registry.DeleteKey(currentUser, subKey);
        return false;
    }
    return disabled;
}

std::vector<std::uint32_t> ParseUsbKeyList(std::string_view text) {
    std::vector<std::uint32_t> ids;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::int32_t value = ReadLikeStrtol(std::string(
            text.substr(start, comma == std::string_view::npos ? text.npos : comma - start)));
        if (value != 0) {
            ids.push_back(static_cast<std::uint32_t>(value));
        }
        if (comma == std::string_view::npos) {
            return ids;
        }
        start = comma + 1;
    }
}

bool AnyUsbDevicePresent(const std::vector<std::uint32_t>& ids,
                         const UsbDeviceLister& listUsbDevices) {
    if (ids.empty()) {
        return false;
    }
    const std::vector<std::uint32_t> attached = listUsbDevices();
    return std::any_of(ids.begin(), ids.end(), [&](std::uint32_t id) {
        return std::find(attached.begin(), attached.end(), id) != attached.end();
    });
}

}  // namespace components
