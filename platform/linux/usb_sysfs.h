// The USB requests answered from sysfs. Every bus "usbN" below the root stands for one host
// controller with root hub "usbN": it is "\\.\HCD<i>" for the i-th bus in bus-number order and
// "\\?\usb#hcd#usbN" in the interface-class list, so each controller is reachable both ways,
// as on Windows. A hub is a device folder of the hub class or with a "maxchild" port count
// above 0 (every device has that file; it is 0 for all but hubs); the device on port p of hub
// H is the folder "N-p" below root hub "usbN" and "H.p" below any other hub. A device folder
// whose ids cannot be read stands for a device that failed enumeration.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/usb.h"

namespace platform {

class SysfsUsbStack : public UsbStack {
public:
    explicit SysfsUsbStack(std::filesystem::path root) : root_(std::move(root)) {}

    std::unique_ptr<UsbDeviceHandle> Open(std::string_view deviceName) override;
    std::vector<std::string> HostControllerInterfacePaths() override;

private:
    std::vector<std::string> BusNames() const;

    std::filesystem::path root_;
};

}  // namespace platform
