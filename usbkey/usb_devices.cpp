#include "usbkey/usb_devices.h"

#include <algorithm>
#include <memory>
#include <string>

#include "platform/usb.h"

namespace usbkey {
namespace {

constexpr int kNumberedControllers = 10;

// One enumeration: the list being filled and the controllers already walked.
class UsbWalk {
public:
    explicit UsbWalk(platform::UsbStack& stack) : stack_(stack) {}

    void WalkControllerNamed(const std::string& deviceName) {
        if (std::unique_ptr<platform::UsbDeviceHandle> controller = stack_.Open(deviceName)) {
            WalkController(*controller);
        }
    }

    std::vector<UsbDeviceId> TakeDevices() { return std::move(devices_); }

private:
    void WalkController(platform::UsbDeviceHandle& controller) {
        const std::string driverKey = controller.GetHcdDriverKeyName();
        if (driverKey.empty() || std::find(walkedControllers_.begin(), walkedControllers_.end(),
                                           driverKey) != walkedControllers_.end()) {
            return;
        }
        walkedControllers_.push_back(driverKey);
        const std::string rootHub = controller.GetRootHubName();
        if (!rootHub.empty()) {
            WalkHub(rootHub);
        }
    }

    void WalkHub(const std::string& hubName) {
        const std::unique_ptr<platform::UsbDeviceHandle> hub = stack_.Open("\\\\.\\" + hubName);
        std::uint8_t ports = 0;
        if (!hub || !hub->GetNodeInformation(ports)) {
            return;
        }
        for (std::uint32_t port = 1; port <= ports; ++port) {
            WalkPort(*hub, port);
        }
    }

    void WalkPort(platform::UsbDeviceHandle& hub, std::uint32_t port) {
        platform::UsbPortConnection connection;
        if (!hub.GetNodeConnectionInformationEx(port, connection) &&
            !hub.GetNodeConnectionInformation(port, connection)) {
            return;
        }
        if (connection.deviceIsHub) {
            const std::string childHub = hub.GetNodeConnectionName(port);
            if (!childHub.empty()) {
                WalkHub(childHub);
            }
        } else if (connection.connectionStatus != platform::NoDeviceConnected) {
            devices_.push_back(MakeUsbDeviceId(connection.idVendor, connection.idProduct));
        }
    }

    platform::UsbStack& stack_;
    std::vector<UsbDeviceId> devices_;
    std::vector<std::string> walkedControllers_;
};

}  // namespace

std::vector<UsbDeviceId> EnumerateUsbDevices(platform::UsbStack& stack) {
    UsbWalk walk(stack);
    for (int n = 0; n < kNumberedControllers; ++n) {
        walk.WalkControllerNamed("\\\\.\\HCD" + std::to_string(n));
    }
    for (const std::string& path : stack.HostControllerInterfacePaths()) {
        walk.WalkControllerNamed(path);
    }
    return walk.TakeDevices();
}

}  // namespace usbkey
