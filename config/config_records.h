// The records of a loaded item.xml. Every value is kept as UTF-8 text as the document gave it,
// except the local paths, which the loader computes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace config {

struct ConfigEntry {
    std::string text;
    std::string name;   // "registry" and "dns" sections only
    std::string type;   // "registry" sections only
    std::string value;  // "registry": attribute value; "dns": attribute ip
    std::string mask;   // "registry" sections only
};

// All entries of every `config` element with the same type, in document order.
struct ConfigSection {
    std::string type;
    std::vector<ConfigEntry> entries;
};

struct DetectRule {
    std::string value;
    std::string type;
};

struct InstallerRule {
    std::string url;
    std::string command;
    std::string localPath;
    std::string md5;
};

struct UninstallerRule {
    std::string command;
    std::string type;
    std::string bit;
};

struct ComponentFile {
    std::string text;
    std::string localPath;
    std::string url;
    std::string version;
    std::string md5;
    std::string install;
};

// Bits of ComponentItem::status above the state.
constexpr std::int32_t kStatusAddOnDisabled = 0x40000000;
constexpr std::int32_t kStatusUsbKeyAbsent = static_cast<std::int32_t>(0x80000000u);
// The state of an item before detection has run.
constexpr std::int32_t kStatusNotDetected = 7;

// One `item` or `component` element.
struct ComponentItem {
    std::string name;
    std::string type;
    std::string tips;
    std::string image;
    std::string className;  // attribute "class": the USB-key adapter class
    std::vector<DetectRule> detects;
    std::vector<InstallerRule> installers;
    std::vector<UninstallerRule> uninstallers;
    std::vector<ComponentFile> files;
    std::int32_t selectedId = 0;
    std::int32_t status = kStatusNotDetected;  // owned by component detection after loading
};

struct AppInfo {
    std::string imperative;
    std::string version;
    std::string remote;
    std::string localPath;
    std::string md5;
    std::string installer;
};

}  // namespace config
