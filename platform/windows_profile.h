// The Windows that the sandbox pretends to be: what GetVersionExW, GetNativeSystemInfo,
// GetProductInfo, GetSystemMetrics(SM_SERVERR2) and IsWow64Process report, the registry values
// that mirror them, and the browser version. The program is a 32-bit process, so on a 64-bit
// profile it runs under WOW64.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace platform {

class Registry;

// OSVERSIONINFOEXW fields.
constexpr win::DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr win::DWORD VER_PLATFORM_WIN32_NT = 2;
constexpr std::uint8_t VER_NT_WORKSTATION = 1;
constexpr std::uint8_t VER_NT_DOMAIN_CONTROLLER = 2;
constexpr std::uint8_t VER_NT_SERVER = 3;
constexpr std::uint16_t VER_SUITE_SMALLBUSINESS = 0x0001;
constexpr std::uint16_t VER_SUITE_ENTERPRISE = 0x0002;
constexpr std::uint16_t VER_SUITE_TERMINAL = 0x0010;
constexpr std::uint16_t VER_SUITE_DATACENTER = 0x0080;
constexpr std::uint16_t VER_SUITE_SINGLEUSERTS = 0x0100;
constexpr std::uint16_t VER_SUITE_PERSONAL = 0x0200;
constexpr std::uint16_t VER_SUITE_BLADE = 0x0400;
constexpr std::uint16_t VER_SUITE_STORAGE_SERVER = 0x2000;
constexpr std::uint16_t VER_SUITE_COMPUTE_SERVER = 0x4000;
constexpr std::uint16_t VER_SUITE_WH_SERVER = 0x8000;

// SYSTEM_INFO.wProcessorArchitecture.
constexpr std::uint16_t PROCESSOR_ARCHITECTURE_INTEL = 0;
constexpr std::uint16_t PROCESSOR_ARCHITECTURE_IA64 = 6;
constexpr std::uint16_t PROCESSOR_ARCHITECTURE_AMD64 = 9;

// GetProductInfo product types.
constexpr win::DWORD PRODUCT_UNDEFINED = 0x00;
constexpr win::DWORD PRODUCT_ULTIMATE = 0x01;
constexpr win::DWORD PRODUCT_HOME_BASIC = 0x02;
constexpr win::DWORD PRODUCT_HOME_PREMIUM = 0x03;
constexpr win::DWORD PRODUCT_ENTERPRISE = 0x04;
constexpr win::DWORD PRODUCT_BUSINESS = 0x06;
constexpr win::DWORD PRODUCT_STANDARD_SERVER = 0x07;
constexpr win::DWORD PRODUCT_DATACENTER_SERVER = 0x08;
constexpr win::DWORD PRODUCT_SMALLBUSINESS_SERVER = 0x09;
constexpr win::DWORD PRODUCT_ENTERPRISE_SERVER = 0x0A;
constexpr win::DWORD PRODUCT_STARTER = 0x0B;
constexpr win::DWORD PRODUCT_DATACENTER_SERVER_CORE = 0x0C;
constexpr win::DWORD PRODUCT_STANDARD_SERVER_CORE = 0x0D;
constexpr win::DWORD PRODUCT_ENTERPRISE_SERVER_CORE = 0x0E;
constexpr win::DWORD PRODUCT_ENTERPRISE_SERVER_IA64 = 0x0F;
constexpr win::DWORD PRODUCT_WEB_SERVER = 0x11;
constexpr win::DWORD PRODUCT_CLUSTER_SERVER = 0x12;
constexpr win::DWORD PRODUCT_SMALLBUSINESS_SERVER_PREMIUM = 0x19;
constexpr win::DWORD PRODUCT_PROFESSIONAL = 0x30;

// The record GetVersionExW fills (OSVERSIONINFOEXW), with the service-pack text as UTF-8.
struct OsVersionInfoEx {
    win::DWORD majorVersion = 0;
    win::DWORD minorVersion = 0;
    win::DWORD buildNumber = 0;
    win::DWORD platformId = 0;
    std::string csdVersion;
    std::uint16_t servicePackMajor = 0;
    std::uint16_t servicePackMinor = 0;
    std::uint16_t suiteMask = 0;
    std::uint8_t productType = 0;
};

// Every field is settable (by tests and by `nestora-win profile set`). The defaults are
// Windows 7 Ultimate SP1 64-bit with Internet Explorer 11.
class WindowsProfile {
public:
    // The real version of the system. GetVersionEx reports at most 6.2.9200, as Windows 8.1
    // and later do for programs whose manifest does not declare support for them.
    win::DWORD majorVersion = 6;
    win::DWORD minorVersion = 1;
    win::DWORD buildNumber = 7601;
    win::DWORD platformId = VER_PLATFORM_WIN32_NT;
    std::string csdVersion = "Service Pack 1";  // "" without a service pack
    std::uint16_t servicePackMajor = 1;
    std::uint16_t servicePackMinor = 0;
    std::uint16_t suiteMask = VER_SUITE_SINGLEUSERTS;
    std::uint8_t productType = VER_NT_WORKSTATION;
    std::uint16_t processorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;  // native
    win::DWORD productInfo = PRODUCT_ULTIMATE;  // GetProductInfo; the call exists from 6.0
    bool serverR2 = false;                      // GetSystemMetrics(SM_SERVERR2)
    std::string productName = "Windows 7 Ultimate";
    // HKLM\SOFTWARE\Microsoft\Internet Explorer "Version" and "svcVersion" ("" = absent).
    std::string ieVersion = "9.11.9600.19180";
    std::string ieSvcVersion = "11.0.9600.19180";
    std::string userName = "User";
    std::string computerName = "NESTORA-PC";

    // GetVersionExW with OSVERSIONINFOEXW.
    OsVersionInfoEx GetVersionEx() const;
    // GetProductInfo is present in kernel32 from Windows Vista on.
    bool HasGetProductInfo() const;
    // A 64-bit system: the program (32-bit) runs under WOW64.
    bool Is64Bit() const;
    bool IsWow64() const { return Is64Bit(); }
    // Task dialogs exist from Windows Vista on.
    bool TaskDialogSupported() const;
    // Vista and later keep user folders under C:\Users; earlier systems under
    // C:\Documents and Settings.
    bool HasUsersFolder() const;

    friend bool operator==(const WindowsProfile&, const WindowsProfile&) = default;
};

// Named presets: "7-sp1-64" (the default), "7-sp1-32", "xp-sp3-32", "xp-x64", "vista",
// "8", "8.1", "10", "2003", "2003-r2", "2008", "2008-r2", "2012".
std::optional<WindowsProfile> FindProfilePreset(std::string_view name);
std::vector<std::string> ProfilePresetNames();

// The settable fields by name (the names of the profile's JSON form, e.g. "majorVersion",
// "csdVersion", "processorArchitecture"). Numbers are decimal or 0x hexadecimal, flags
// true/false. False (and the profile unchanged) for an unknown name or an unreadable value.
bool SetProfileField(WindowsProfile& profile, std::string_view name, std::string_view value);
std::vector<std::string> ProfileFieldNames();

// The profile as a JSON object text and back. Fields absent from the text keep their default;
// false when the text is not a JSON object or a field has the wrong type.
std::string ProfileToJson(const WindowsProfile& profile);
bool ProfileFromJson(std::string_view json, WindowsProfile& profile);

// Rewrites the registry values that mirror the profile, in both registry views:
// HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion (ProductName, CurrentVersion,
// CurrentBuildNumber, CurrentBuild, CSDVersion, and CurrentMajorVersionNumber /
// CurrentMinorVersionNumber from Windows 10 on) and HKLM\SOFTWARE\Microsoft\Internet Explorer
// (Version, svcVersion). Values the profile leaves empty are deleted.
win::LONG MirrorProfileToRegistry(const WindowsProfile& profile, Registry& registry);

}  // namespace platform
