#include "checks/os_version.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/context.h"
#include "platform/registry.h"
#include "platform/windows_profile.h"

namespace checks {
namespace {

using platform::OsVersionInfoEx;
using platform::WindowsProfile;
using win::DWORD;

constexpr std::string_view kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::string_view kBrowserKey = "SOFTWARE\\Microsoft\\Internet Explorer";
constexpr DWORD kProductNameBufferBytes = 1024;
constexpr DWORD kBrowserVersionBufferBytes = 200;

struct Edition {
    DWORD productType;
    const char* text;
};

// Editions of version 6.x by the product type GetProductInfo reports.
constexpr Edition kEditions[] = {
    {platform::PRODUCT_ULTIMATE, "旗舰版"},
    {platform::PRODUCT_HOME_BASIC, "家庭普通版"},
    {platform::PRODUCT_HOME_PREMIUM, "家庭高级版"},
    {platform::PRODUCT_ENTERPRISE, "企业版"},
    {platform::PRODUCT_BUSINESS, "商用版"},
    {platform::PRODUCT_STANDARD_SERVER, "Standard Edition"},
    {platform::PRODUCT_DATACENTER_SERVER, "Datacenter Edition"},
    {platform::PRODUCT_SMALLBUSINESS_SERVER, "Small Business Server"},
    {platform::PRODUCT_ENTERPRISE_SERVER, "Enterprise Edition"},
    {platform::PRODUCT_STARTER, "初级版"},
    {platform::PRODUCT_DATACENTER_SERVER_CORE, "Datacenter Edition (core installation)"},
    {platform::PRODUCT_STANDARD_SERVER_CORE, "Standard Edition (core installation)"},
    {platform::PRODUCT_ENTERPRISE_SERVER_CORE, "Enterprise Edition (core installation)"},
    {platform::PRODUCT_ENTERPRISE_SERVER_IA64, "Enterprise Edition for Itanium-based Systems"},
    {platform::PRODUCT_WEB_SERVER, "Web Server Edition"},
    {platform::PRODUCT_CLUSTER_SERVER, "Cluster Server Edition"},
    {platform::PRODUCT_SMALLBUSINESS_SERVER_PREMIUM, "Small Business Server Premium Edition"},
    {platform::PRODUCT_PROFESSIONAL, "专业版"},
};

bool Has(const OsVersionInfoEx& version, std::uint16_t suite) {
    return (version.suiteMask & suite) != 0;
}

bool IsWorkstation(const OsVersionInfoEx& version) {
    return version.productType == platform::VER_NT_WORKSTATION;
}

std::string EditionText(DWORD productType) {
    for (const Edition& edition : kEditions) {
        if (edition.productType == productType)
            return edition.text;
    }
    return {};
}

std::string Version6Name(const OsVersionInfoEx& version, const WindowsProfile& profile) {
    const bool workstation = IsWorkstation(version);
    std::string text;
    if (version.minorVersion == 0)
        text = workstation ? "Windows Vista " : "Windows Server 2008 ";
    else if (version.minorVersion == 1)
        text = workstation ? "Windows 7 " : "Windows Server 2008 R2 ";
    else if (version.minorVersion == 2 && workstation)
        text = "Windows 8 ";
    if (profile.HasGetProductInfo())
        text += EditionText(profile.productInfo);
    return text;
}

std::string Server2003Edition(const OsVersionInfoEx& version, std::uint16_t architecture) {
    const bool datacenter = Has(version, platform::VER_SUITE_DATACENTER);
    const bool enterprise = Has(version, platform::VER_SUITE_ENTERPRISE);
    if (architecture == platform::PROCESSOR_ARCHITECTURE_IA64) {
        if (datacenter)
            return "Datacenter Edition for Itanium-based Systems";
        return enterprise ? "Enterprise Edition for Itanium-based Systems" : "";
    }
    if (architecture == platform::PROCESSOR_ARCHITECTURE_AMD64) {
        if (datacenter)
            return "Datacenter x64 Edition";
        return enterprise ? "Enterprise x64 Edition" : "Standard x64 Edition";
    }
    if (Has(version, platform::VER_SUITE_COMPUTE_SERVER))
        return "Compute Cluster Edition";
    if (datacenter)
        return "Datacenter Edition";
    if (enterprise)
        return "Enterprise Edition";
    return Has(version, platform::VER_SUITE_BLADE) ? "Web Edition" : "Standard Edition";
}

std::string Version52Name(const OsVersionInfoEx& version, const WindowsProfile& profile) {
    const std::uint16_t architecture = profile.processorArchitecture;
    std::string text;
    if (profile.serverR2)
        text = "Windows Server 2003 R2, ";
    else if (Has(version, platform::VER_SUITE_STORAGE_SERVER))
        text = "Windows Storage Server 2003";
    else if (Has(version, platform::VER_SUITE_WH_SERVER))
        text = "Windows Home Server";
    else if (IsWorkstation(version) && architecture == platform::PROCESSOR_ARCHITECTURE_AMD64)
        text = "Windows XP Professional x64 Edition";
    else
        text = "Windows Server 2003, ";
    if (!IsWorkstation(version))
        text += Server2003Edition(version, architecture);
    return text;
}

std::string Version51Name(const OsVersionInfoEx& version) {
    return std::string("Windows XP ") +
           (Has(version, platform::VER_SUITE_PERSONAL) ? "家庭版" : "专业版");
}

std::string Version50Name(const OsVersionInfoEx& version) {
    std::string text = "Windows 2000 ";
    if (IsWorkstation(version))
        return text + "专业版";
    if (Has(version, platform::VER_SUITE_DATACENTER))
        return text + "数据中心版";
    return text + (Has(version, platform::VER_SUITE_ENTERPRISE) ? "高级服务器版" : "服务器版");
}

std::string NameOfVersion(const OsVersionInfoEx& version, const WindowsProfile& profile) {
    if (version.majorVersion == 6)
        return Version6Name(version, profile);
    if (version.majorVersion != 5)
        return {};
    switch (version.minorVersion) {
        case 2:
            return Version52Name(version, profile);
        case 1:
            return Version51Name(version);
        case 0:
            return Version50Name(version);
        default:
            return {};
    }
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::string BitnessText(std::uint16_t architecture) {
    if (architecture == platform::PROCESSOR_ARCHITECTURE_AMD64)
        return " 64位";
    if (architecture == platform::PROCESSOR_ARCHITECTURE_INTEL)
        return " 32位";
    return {};
}

// A string value of HKLM (the program's view) that fits in `bufferBytes`, terminator
// included; nothing when it cannot be read or is not a string.
std::optional<std::string> ReadMachineString(platform::Context& context, std::string_view subKey,
                                             std::string_view name, DWORD bufferBytes) {
    if (!context.registry)
        return std::nullopt;
    platform::RegKey key;
    if (context.registry->OpenKey(platform::RegKey::Root(platform::Hive::LocalMachine), subKey,
                                  platform::KEY_READ, key) != win::ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> buffer(bufferBytes);
    DWORD size = bufferBytes;
    DWORD type = 0;
    if (context.registry->QueryValue(key, name, &type, buffer.data(), &size) !=
            win::ERROR_SUCCESS ||
        (type != platform::REG_SZ && type != platform::REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    return platform::RegSzToUtf8(buffer.data(), size);
}

}  // namespace

std::string GetOsDisplayName(platform::Context& context) {
    if (!context.profile)
        return "Error";
    const WindowsProfile& profile = *context.profile;
    const OsVersionInfoEx version = profile.GetVersionEx();
    if (version.platformId != platform::VER_PLATFORM_WIN32_NT || version.majorVersion <= 4)
        return "Unknown version of Windows";
    std::string text = NameOfVersion(version, profile);
    if (!version.csdVersion.empty()) {
        text += " " + version.csdVersion;
        ReplaceAll(text, "Service Pack ", "SP");
    }
    text += " (build " + std::to_string(version.buildNumber) + ")";
    if (version.majorVersion >= 6)
        text += BitnessText(profile.processorArchitecture);
    return text;
}

std::string GetWindowsProductName(platform::Context& context) {
    return ReadMachineString(context, kCurrentVersionKey, "ProductName", kProductNameBufferBytes)
        .value_or("");
}

std::string GetIeVersion(platform::Context& context) {
    for (const std::string_view name : {"svcVersion", "Version"}) {
        if (auto version =
                ReadMachineString(context, kBrowserKey, name, kBrowserVersionBufferBytes))
            return *version;
    }
    return "0";
}

std::string OsVersionText(platform::Context& context) {
    std::string productName = GetWindowsProductName(context);
    if (productName.find("Windows 10") != std::string::npos)
        return productName;
    return GetOsDisplayName(context);
}

}  // namespace checks
