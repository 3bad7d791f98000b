// The USB driver stack's device requests, as a program on Windows issues them to a host
// controller ("\\.\HCD0" or a device path of the host-controller interface class) and to the
// hubs below it ("\\.\" + hub name). A handle answers the requests its device understands;
// every failure comes back as an empty name or false.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// USB_CONNECTION_STATUS values.
constexpr std::uint32_t NoDeviceConnected = 0;
constexpr std::uint32_t DeviceConnected = 1;
constexpr std::uint32_t DeviceFailedEnumeration = 2;

// What a hub reports for one of its ports (the fields of USB_NODE_CONNECTION_INFORMATION[_EX]
// that are read: the device descriptor's ids, DeviceIsHub and ConnectionStatus).
struct UsbPortConnection {
    std::uint16_t idVendor = 0;
    std::uint16_t idProduct = 0;
    bool deviceIsHub = false;
    std::uint32_t connectionStatus = NoDeviceConnected;
};

// An open USB device: a host controller or a hub.
class UsbDeviceHandle {
public:
    virtual ~UsbDeviceHandle() = default;

    // IOCTL_GET_HCD_DRIVERKEY_NAME (host controller): its driver-key name, "" on failure.
    virtual std::string GetHcdDriverKeyName() = 0;
    // IOCTL_USB_GET_ROOT_HUB_NAME (host controller): the root hub's device name, "" on failure.
    virtual std::string GetRootHubName() = 0;
    // IOCTL_USB_GET_NODE_INFORMATION (hub): the hub descriptor's bNumberOfPorts.
    virtual bool GetNodeInformation(std::uint8_t& numberOfPorts) = 0;
    // IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX and the plain request (hub), ports from 1.
    virtual bool GetNodeConnectionInformationEx(std::uint32_t port, UsbPortConnection& out) = 0;
    virtual bool GetNodeConnectionInformation(std::uint32_t port, UsbPortConnection& out) = 0;
    // IOCTL_USB_GET_NODE_CONNECTION_NAME (hub): the name of the hub on a port, "" on failure.
    virtual std::string GetNodeConnectionName(std::uint32_t port) = 0;
};

class UsbStack {
public:
    virtual ~UsbStack() = default;

    // CreateFileW of a device name ("\\.\HCD0", "\\.\" + hub name, or an interface path);
    // null when it does not open.
    virtual std::unique_ptr<UsbDeviceHandle> Open(std::string_view deviceName) = 0;
    // The device paths of the present devices of the host-controller interface class
    // (SetupDiGetClassDevsW with DIGCF_PRESENT | DIGCF_DEVICEINTERFACE); empty when the class
    // cannot be enumerated.
    virtual std::vector<std::string> HostControllerInterfacePaths() = 0;
};

// The USB tree of this machine, read from sysfs below `root`: $NESTORA_USB_ROOT when set,
// else /sys/bus/usb/devices.
std::string DefaultUsbSysfsRoot();
std::unique_ptr<UsbStack> OpenSysfsUsbStack(const std::string& root = DefaultUsbSysfsRoot());

}  // namespace platform
