#include "usbkey/usb_devices.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "platform/linux/usb_sysfs.h"
#include "platform/usb.h"

namespace usbkey {
namespace {

namespace fs = std::filesystem;

// A sysfs tree in a temporary folder, removed when the fixture goes.
class SysfsTree : public ::testing::Test {
protected:
    SysfsTree() {
        root_ = fs::temp_directory_path() /
                ("nestora-usb-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    ~SysfsTree() override { fs::remove_all(root_); }

    void Hub(const std::string& name, int ports, const char* ids = "1d6b:0002") {
        Device(name, ids, "09");
        Write(name + "/maxchild", std::to_string(ports));
    }
    // As on Linux, every device has a port count, 0 for all but hubs.
    void Device(const std::string& name, const std::string& ids, const char* deviceClass = "00") {
        fs::create_directories(root_ / name);
        Write(name + "/idVendor", ids.substr(0, 4));
        Write(name + "/idProduct", ids.substr(5));
        Write(name + "/bDeviceClass", deviceClass);
        Write(name + "/maxchild", "0");
    }
    void FailedDevice(const std::string& name) { fs::create_directories(root_ / name); }
    void Write(const std::string& relative, const std::string& text) {
        std::ofstream(root_ / relative) << text << "\n";
    }

    std::vector<UsbDeviceId> Enumerate() {
        platform::SysfsUsbStack stack(root_);
        return EnumerateUsbDevices(stack);
    }

    fs::path root_;
};

TEST_F(SysfsTree, KeyBehindAnExternalHubIsListedButTheHubIsNot) {
    Hub("usb1", 4);
    Device("1-1", "096e:0201");
    Hub("1-3", 2, "05e3:0608");
    Device("1-3.2", "1ea8:c001");
    Device("1-3.1", "abcd:0001", "00");
    Write("1-3.1/maxchild", "1");  // a hub known by its ports only
    Device("1-4", "046d:c077");

    EXPECT_EQ(Enumerate(), (std::vector<UsbDeviceId>{0x096E0201, 0x1EA8C001, 0x046DC077}));
}

TEST_F(SysfsTree, ControllersReachedTwiceAreWalkedOnceInBusOrder) {
    Hub("usb2", 2);
    Device("2-2", "2222:0002");
    Hub("usb1", 1);
    Device("1-1", "1111:0001");
    Hub("usb10", 1);
    Device("10-1", "aaaa:000a");

    EXPECT_EQ(Enumerate(), (std::vector<UsbDeviceId>{0x11110001, 0x22220002, 0xAAAA000A}));
}

TEST_F(SysfsTree, IdenticalKeysAreListedTwice) {
    Hub("usb1", 2);
    Device("1-1", "096e:0201");
    Device("1-2", "096e:0201");
    EXPECT_EQ(Enumerate(), (std::vector<UsbDeviceId>{0x096E0201, 0x096E0201}));
}

TEST_F(SysfsTree, FailedPortGivesZeroAndEmptyBusGivesNothing) {
    Hub("usb1", 3);
    FailedDevice("1-2");
    Hub("usb2", 6);
    EXPECT_EQ(Enumerate(), (std::vector<UsbDeviceId>{0}));
}

TEST_F(SysfsTree, NoUsbAtAllGivesAnEmptyList) {
    EXPECT_TRUE(Enumerate().empty());
    platform::SysfsUsbStack missing(root_ / "absent");
    EXPECT_TRUE(EnumerateUsbDevices(missing).empty());
}

TEST_F(SysfsTree, HubWithoutPortCountIsLeftOut) {
    Device("usb1", "1d6b:0002", "09");
    fs::remove(root_ / "usb1/maxchild");
    Hub("usb2", 1);
    Device("2-1", "1234:5678");
    EXPECT_EQ(Enumerate(), (std::vector<UsbDeviceId>{0x12345678}));
}

// A stack whose hubs refuse the extended request or both requests on some ports.
class ScriptedStack : public platform::UsbStack {
public:
    struct Port {
        bool exAnswers = true;
        bool plainAnswers = true;
        platform::UsbPortConnection connection;
    };
    std::map<int, Port> ports;  // of the single root hub
    int opened = 0;

    class Handle : public platform::UsbDeviceHandle {
    public:
        Handle(ScriptedStack& stack, bool controller) : stack_(stack), controller_(controller) {}
        std::string GetHcdDriverKeyName() override { return controller_ ? "HCD-A" : ""; }
        std::string GetRootHubName() override { return controller_ ? "ROOT" : ""; }
        bool GetNodeInformation(std::uint8_t& count) override {
            count = static_cast<std::uint8_t>(stack_.ports.size());
            return !controller_;
        }
        bool GetNodeConnectionInformationEx(std::uint32_t port,
                                            platform::UsbPortConnection& out) override {
            const Port& p = stack_.ports.at(static_cast<int>(port));
            out = p.connection;
            return p.exAnswers;
        }
        bool GetNodeConnectionInformation(std::uint32_t port,
                                          platform::UsbPortConnection& out) override {
            const Port& p = stack_.ports.at(static_cast<int>(port));
            out = p.connection;
            return p.plainAnswers;
        }
        std::string GetNodeConnectionName(std::uint32_t) override { return {}; }

    private:
        ScriptedStack& stack_;
        bool controller_;
    };

    std::unique_ptr<platform::UsbDeviceHandle> Open(std::string_view name) override {
        ++opened;
        if (name == "\\\\.\\HCD3" || name == "\\\\?\\hcd-a") {
            return std::make_unique<Handle>(*this, true);
        }
        if (name == "\\\\.\\ROOT") {
            return std::make_unique<Handle>(*this, false);
        }
        return nullptr;
    }
    std::vector<std::string> HostControllerInterfacePaths() override { return {"\\\\?\\hcd-a"}; }
};

TEST(EnumerateUsbDevices, FallsBackToThePlainRequestAndSkipsPortsThatAnswerNeither) {
    ScriptedStack stack;
    stack.ports[1] = {false, true, {0x1111, 0x0001, false, platform::DeviceConnected}};
    stack.ports[2] = {false, false, {0x2222, 0x0002, false, platform::DeviceConnected}};
    stack.ports[3] = {true, true, {0x3333, 0x0003, false, platform::NoDeviceConnected}};
    stack.ports[4] = {true, true, {0x4444, 0x0004, false, platform::DeviceConnected}};

    EXPECT_EQ(EnumerateUsbDevices(stack), (std::vector<UsbDeviceId>{0x11110001, 0x44440004}));
    // HCD0 to HCD9, the interface path, and the root hub once.
    EXPECT_EQ(stack.opened, 12);
}

}  // namespace
}  // namespace usbkey
