// Component detection: for every configured item, whether it is installed, whether its files
// meet their requirements, and whether the configuration offers a way to install it. The
// result is the item's status word; nothing on the computer changes.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "config/config_records.h"

namespace platform {
struct Context;
class Registry;
}  // namespace platform

namespace components {

// States in bits 0-29 of ComponentItem::status.
constexpr std::int32_t kStateInstalled = 0;
constexpr std::int32_t kStateOutdated = 1;
constexpr std::int32_t kStateUpgradable = 2;
constexpr std::int32_t kStateMissing = 4;
constexpr std::int32_t kStateInstallable = 5;
constexpr std::int32_t kStateMask = 0x3FFFFFFF;

constexpr std::int32_t StateOf(std::int32_t status) {
    return status & kStateMask;
}

// The identifiers of the USB devices attached now (vendor id high, product id low).
using UsbDeviceLister = std::function<std::vector<std::uint32_t>()>;

// The lister over this machine's USB tree (sysfs, see platform/usb.h).
UsbDeviceLister SystemUsbDeviceLister();

// Recomputes the status of every item, in list order.
void DetectComponents(std::vector<config::ComponentItem>& items, platform::Context& context,
                      const UsbDeviceLister& listUsbDevices);

// HKCR\CLSID\{clsid}\InprocServer32 names, as stored, a file that exists.
bool IsControlRegistered(platform::Context& context, std::string_view clsid);

// The browser add-on is switched off (HKCU\...\Ext\Settings\{clsid} "Flags" is the DWORD 1).
// With `reenable`, a switched-off add-on is switched back on (its settings key deleted) and
// the result is false.
bool IsAddonDisabled(platform::Registry& registry, std::string_view clsid, bool reenable);

// The numbers of a "usbkey" rule: comma-separated, each read like strtol in base 0 and
// saturated to the signed 32-bit range; parts that read as 0 are left out.
std::vector<std::uint32_t> ParseUsbKeyList(std::string_view text);

// One of `ids` is among the devices attached now (listed once per call). False for no ids.
bool AnyUsbDevicePresent(const std::vector<std::uint32_t>& ids,
                         const UsbDeviceLister& listUsbDevices);

}  // namespace components
