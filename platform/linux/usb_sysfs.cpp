#include "platform/linux/usb_sysfs.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <system_error>

namespace platform {
namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";
constexpr std::string_view kHcdPrefix = "HCD";
constexpr std::string_view kInterfacePrefix = "\\\\?\\usb#hcd#";
constexpr std::string_view kHubClass = "09";

std::optional<std::string> ReadLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) {
        return std::nullopt;
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

template <typename Number>
std::optional<Number> ReadNumber(const std::filesystem::path& file, int base) {
    const std::optional<std::string> text = ReadLine(file);
    if (!text || text->empty()) {
        return std::nullopt;
    }
    Number value{};
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value, base);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<unsigned> BusNumber(std::string_view busName) {
    if (!busName.starts_with("usb") || busName.size() == 3) {
        return std::nullopt;
    }
    unsigned number = 0;
    const char* end = busName.data() + busName.size();
    const auto [stop, error] = std::from_chars(busName.data() + 3, end, number);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return number;
}

// Linux gives every USB device a "maxchild" file, 0 for all but hubs, so a port count above 0
// or the hub device class marks a hub.
bool IsHubFolder(const std::filesystem::path& device) {
    if (ReadLine(device / "bDeviceClass") == std::string(kHubClass)) {
        return true;
    }
    const std::optional<unsigned> ports = ReadNumber<unsigned>(device / "maxchild", 10);
    return ports && *ports > 0;
}

bool IsPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string_view::npos;
}

// The root hub of one bus, seen as its host controller.
class SysfsHostController : public UsbDeviceHandle {
public:
    explicit SysfsHostController(std::string busName) : busName_(std::move(busName)) {}

    std::string GetHcdDriverKeyName() override { return "USBHCD\\" + busName_; }
    std::string GetRootHubName() override { return busName_; }
    bool GetNodeInformation(std::uint8_t&) override { return false; }
    bool GetNodeConnectionInformationEx(std::uint32_t, UsbPortConnection&) override {
        return false;
    }
    bool GetNodeConnectionInformation(std::uint32_t, UsbPortConnection&) override { return false; }
    std::string GetNodeConnectionName(std::uint32_t) override { return {}; }

private:
    std::string busName_;
};

class SysfsHub : public UsbDeviceHandle {
public:
    SysfsHub(std::filesystem::path root, std::string name)
        : root_(std::move(root)), name_(std::move(name)) {}

    std::string GetHcdDriverKeyName() override { return {}; }
    std::string GetRootHubName() override { return {}; }

    bool GetNodeInformation(std::uint8_t& numberOfPorts) override {
        const std::optional<unsigned> ports = ReadNumber<unsigned>(root_ / name_ / "maxchild", 10);
        if (!ports) {
            return false;
        }
        numberOfPorts = static_cast<std::uint8_t>(std::min(*ports, 255u));
        return true;
    }

    bool GetNodeConnectionInformationEx(std::uint32_t port, UsbPortConnection& out) override {
        return ReadPort(port, out);
    }
    bool GetNodeConnectionInformation(std::uint32_t port, UsbPortConnection& out) override {
        return ReadPort(port, out);
    }

    std::string GetNodeConnectionName(std::uint32_t port) override {
        UsbPortConnection connection;
        if (!ReadPort(port, connection) || !connection.deviceIsHub) {
            return {};
        }
        return ChildName(port);
    }

private:
    std::string ChildName(std::uint32_t port) const {
        if (const std::optional<unsigned> bus = BusNumber(name_)) {
            return std::to_string(*bus) + "-" + std::to_string(port);
        }
        return name_ + "." + std::to_string(port);
    }

    bool ReadPort(std::uint32_t port, UsbPortConnection& out) const {
        if (port == 0) {
            return false;
        }
        out = UsbPortConnection{};
        const std::filesystem::path device = root_ / ChildName(port);
        std::error_code error;
        if (!std::filesystem::is_directory(device, error)) {
            return true;
        }
        const auto vendor = ReadNumber<std::uint16_t>(device / "idVendor", 16);
        const auto product = ReadNumber<std::uint16_t>(device / "idProduct", 16);
        if (!vendor || !product) {
            out.connectionStatus = DeviceFailedEnumeration;
            return true;
        }
        out.connectionStatus = DeviceConnected;
        out.idVendor = *vendor;
        out.idProduct = *product;
        out.deviceIsHub = IsHubFolder(device);
        return true;
    }

    std::filesystem::path root_;
    std::string name_;
};

}  // namespace

std::vector<std::string> SysfsUsbStack::BusNames() const {
    std::vector<std::pair<unsigned, std::string>> buses;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(root_, error)) {
        const std::string name = entry.path().filename().string();
        if (const std::optional<unsigned> number = BusNumber(name)) {
            buses.emplace_back(*number, name);
        }
    }
    std::sort(buses.begin(), buses.end());
    std::vector<std::string> names;
    for (auto& bus : buses) {
        names.push_back(std::move(bus.second));
    }
    return names;
}

std::unique_ptr<UsbDeviceHandle> SysfsUsbStack::Open(std::string_view deviceName) {
    if (deviceName.starts_with(kInterfacePrefix)) {
        const std::string bus(deviceName.substr(kInterfacePrefix.size()));
        const std::vector<std::string> buses = BusNames();
        if (std::find(buses.begin(), buses.end(), bus) == buses.end()) {
            return nullptr;
        }
        return std::make_unique<SysfsHostController>(bus);
    }
    if (!deviceName.starts_with(kDevicePrefix)) {
        return nullptr;
    }
    const std::string_view name = deviceName.substr(kDevicePrefix.size());
    if (name.starts_with(kHcdPrefix)) {
        unsigned index = 0;
        const char* end = name.data() + name.size();
        const auto [stop, error] = std::from_chars(name.data() + kHcdPrefix.size(), end, index);
        const std::vector<std::string> buses = BusNames();
        if (error != std::errc() || stop != end || index >= buses.size()) {
            return nullptr;
        }
        return std::make_unique<SysfsHostController>(buses[index]);
    }
    std::error_code error;
    if (!IsPlainName(name) || !std::filesystem::is_directory(root_ / name, error)) {
        return nullptr;
    }
    return std::make_unique<SysfsHub>(root_, std::string(name));
}

std::vector<std::string> SysfsUsbStack::HostControllerInterfacePaths() {
    std::vector<std::string> paths;
    for (const std::string& bus : BusNames()) {
        paths.push_back(std::string(kInterfacePrefix) + bus);
    }
    return paths;
}

std::string DefaultUsbSysfsRoot() {
    const char* root = std::getenv("NESTORA_USB_ROOT");
    return root && *root ? root : "/sys/bus/usb/devices";
}

std::unique_ptr<UsbStack> OpenSysfsUsbStack(const std::string& root) {
    return std::make_unique<SysfsUsbStack>(root);
}

}  // namespace platform
