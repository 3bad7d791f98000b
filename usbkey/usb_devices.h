// The USB devices attached now: every host controller, its root hub and every hub below it
// walked through the USB stack's requests, one identifier per device found on a hub port.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {
class UsbStack;
}

namespace usbkey {

// idVendor in the high 16 bits, idProduct in the low 16 bits.
using UsbDeviceId = std::uint32_t;

constexpr UsbDeviceId MakeUsbDeviceId(std::uint16_t vendor, std::uint16_t product) {
    return (static_cast<UsbDeviceId>(vendor) << 16) | product;
}

// The identifiers in discovery order (not sorted, not made unique): controllers "\\.\HCD0" to
// "\\.\HCD9" first, then those of the host-controller interface class, each controller walked
// once; hubs depth first, port by port. Hubs themselves are not listed; a device that failed
// enumeration is, with the ids its hub reported. Failures leave parts out, never the caller.
std::vector<UsbDeviceId> EnumerateUsbDevices(platform::UsbStack& stack);

}  // namespace usbkey
