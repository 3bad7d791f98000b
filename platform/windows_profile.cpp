#include "platform/windows_profile.h"

#include <charconv>
#include <limits>
#include <nlohmann/json.hpp>
#include <variant>

#include "platform/registry.h"
#include "platform/text.h"

namespace platform {
namespace {

// ---------------------------------------------------------------------------------------------
// Derived answers

bool IsAfterWindows8(const WindowsProfile& profile) {
    return profile.majorVersion > 6 || (profile.majorVersion == 6 && profile.minorVersion > 2);
}

bool IsNt6OrLater(const WindowsProfile& profile) {
    return profile.platformId == VER_PLATFORM_WIN32_NT && profile.majorVersion >= 6;
}

// ---------------------------------------------------------------------------------------------
// The field table: one entry per settable field, used by `set`, JSON reading and writing.

using FieldMember = std::variant<win::DWORD WindowsProfile::*, std::uint16_t WindowsProfile::*,
                                 std::uint8_t WindowsProfile::*, std::string WindowsProfile::*,
                                 bool WindowsProfile::*>;

struct Field {
    const char* name;
    FieldMember member;
};

const Field kFields[] = {
    {"majorVersion", &WindowsProfile::majorVersion},
    {"minorVersion", &WindowsProfile::minorVersion},
    {"buildNumber", &WindowsProfile::buildNumber},
    {"platformId", &WindowsProfile::platformId},
    {"csdVersion", &WindowsProfile::csdVersion},
    {"servicePackMajor", &WindowsProfile::servicePackMajor},
    {"servicePackMinor", &WindowsProfile::servicePackMinor},
    {"suiteMask", &WindowsProfile::suiteMask},
    {"productType", &WindowsProfile::productType},
    {"processorArchitecture", &WindowsProfile::processorArchitecture},
    {"productInfo", &WindowsProfile::productInfo},
    {"serverR2", &WindowsProfile::serverR2},
    {"productName", &WindowsProfile::productName},
    {"ieVersion", &WindowsProfile::ieVersion},
    {"ieSvcVersion", &WindowsProfile::ieSvcVersion},
    {"userName", &WindowsProfile::userName},
    {"computerName", &WindowsProfile::computerName},
};

const Field* FindField(std::string_view name) {
    for (const Field& field : kFields) {
        if (name == field.name)
            return &field;
    }
    return nullptr;
}

// Decimal or 0x hexadecimal, within the range of T.
template <typename T>
bool ParseNumber(std::string_view text, T& out) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return false;
    if (value > std::numeric_limits<T>::max())
        return false;
    out = static_cast<T>(value);
    return true;
}

bool ParseFlag(std::string_view text, bool& out) {
    if (text == "true" || text == "1") {
        out = true;
        return true;
    }
    if (text == "false" || text == "0") {
        out = false;
        return true;
    }
    return false;
}

template <typename T>
bool ReadJsonNumber(const nlohmann::json& value, T& out) {
    if (!value.is_number_unsigned())
        return false;
    const auto number = value.get<std::uint64_t>();
    if (number > std::numeric_limits<T>::max())
        return false;
    out = static_cast<T>(number);
    return true;
}

bool ReadJsonField(const nlohmann::json& value, WindowsProfile& profile,
                   const FieldMember& member) {
    return std::visit(
        [&](auto pointer) {
            using T = std::remove_reference_t<decltype(profile.*pointer)>;
            if constexpr (std::is_same_v<T, std::string>) {
                if (!value.is_string())
                    return false;
                profile.*pointer = value.get<std::string>();
                return true;
            } else if constexpr (std::is_same_v<T, bool>) {
                if (!value.is_boolean())
                    return false;
                profile.*pointer = value.get<bool>();
                return true;
            } else {
                return ReadJsonNumber(value, profile.*pointer);
            }
        },
        member);
}

// ---------------------------------------------------------------------------------------------
// Presets

WindowsProfile Windows7(std::uint16_t architecture) {
    WindowsProfile profile;
    profile.processorArchitecture = architecture;
    return profile;
}

WindowsProfile WindowsXp() {
    WindowsProfile profile;
    profile.majorVersion = 5;
    profile.minorVersion = 1;
    profile.buildNumber = 2600;
    profile.csdVersion = "Service Pack 3";
    profile.servicePackMajor = 3;
    profile.processorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    profile.productInfo = PRODUCT_UNDEFINED;
    profile.productName = "Microsoft Windows XP";
    profile.ieVersion = "8.0.6001.18702";
    profile.ieSvcVersion = "";
    return profile;
}

WindowsProfile WindowsXpX64() {
    WindowsProfile profile = WindowsXp();
    profile.minorVersion = 2;
    profile.buildNumber = 3790;
    profile.csdVersion = "Service Pack 2";
    profile.servicePackMajor = 2;
    profile.processorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    return profile;
}

WindowsProfile WindowsVista() {
    WindowsProfile profile;
    profile.majorVersion = 6;
    profile.minorVersion = 0;
    profile.buildNumber = 6002;
    profile.csdVersion = "Service Pack 2";
    profile.servicePackMajor = 2;
    profile.processorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    profile.productInfo = PRODUCT_BUSINESS;
    profile.productName = "Windows Vista (TM) Business";
    profile.ieVersion = "9.0.8112.16421";
    profile.ieSvcVersion = "";
    return profile;
}

WindowsProfile WindowsWithoutServicePack(win::DWORD minor, win::DWORD build, const char* name) {
    WindowsProfile profile;
    profile.minorVersion = minor;
    profile.buildNumber = build;
    profile.csdVersion = "";
    profile.servicePackMajor = 0;
    profile.productInfo = PRODUCT_PROFESSIONAL;
    profile.productName = name;
    return profile;
}

WindowsProfile Windows8() {
    WindowsProfile profile = WindowsWithoutServicePack(2, 9200, "Windows 8 Pro");
    profile.ieVersion = "9.10.9200.16384";
    profile.ieSvcVersion = "10.0.9200.16384";
    return profile;
}

WindowsProfile Windows81() {
    WindowsProfile profile = WindowsWithoutServicePack(3, 9600, "Windows 8.1 Pro");
    profile.ieVersion = "9.11.9600.17031";
    profile.ieSvcVersion = "11.0.9600.17031";
    return profile;
}

WindowsProfile Windows10() {
    WindowsProfile profile = WindowsWithoutServicePack(0, 19045, "Windows 10 Pro");
    profile.majorVersion = 10;
    profile.ieVersion = "9.11.19041.0";
    profile.ieSvcVersion = "11.1.19041.0";
    return profile;
}

WindowsProfile AsServer(WindowsProfile profile, win::DWORD productInfo, std::uint16_t suiteMask,
                        const char* name) {
    profile.productType = VER_NT_SERVER;
    profile.productInfo = productInfo;
    profile.suiteMask = suiteMask;
    profile.productName = name;
    return profile;
}

WindowsProfile Server2003(bool r2) {
    WindowsProfile profile = WindowsXpX64();
    profile.processorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    profile.serverR2 = r2;
    return AsServer(profile, PRODUCT_UNDEFINED, VER_SUITE_TERMINAL | VER_SUITE_SINGLEUSERTS,
                    r2 ? "Microsoft Windows Server 2003 R2" : "Microsoft Windows Server 2003");
}

WindowsProfile Server2008() {
    WindowsProfile profile = WindowsVista();
    profile.processorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    return AsServer(profile, PRODUCT_STANDARD_SERVER, VER_SUITE_TERMINAL | VER_SUITE_SINGLEUSERTS,
                    "Windows Server (R) 2008 Standard");
}

WindowsProfile Server2008R2() {
    return AsServer(WindowsProfile(), PRODUCT_ENTERPRISE_SERVER,
                    VER_SUITE_ENTERPRISE | VER_SUITE_TERMINAL | VER_SUITE_SINGLEUSERTS,
                    "Windows Server 2008 R2 Enterprise");
}

WindowsProfile Server2012() {
    return AsServer(Windows8(), PRODUCT_STANDARD_SERVER,
                    VER_SUITE_TERMINAL | VER_SUITE_SINGLEUSERTS, "Windows Server 2012 Standard");
}

struct Preset {
    const char* name;
    WindowsProfile (*make)();
};

const Preset kPresets[] = {
    {"7-sp1-64", [] { return Windows7(PROCESSOR_ARCHITECTURE_AMD64); }},
    {"7-sp1-32", [] { return Windows7(PROCESSOR_ARCHITECTURE_INTEL); }},
    {"xp-sp3-32", WindowsXp},
    {"xp-x64", WindowsXpX64},
    {"vista", WindowsVista},
    {"8", Windows8},
    {"8.1", Windows81},
    {"10", Windows10},
    {"2003", [] { return Server2003(false); }},
    {"2003-r2", [] { return Server2003(true); }},
    {"2008", Server2008},
    {"2008-r2", Server2008R2},
    {"2012", Server2012},
};

// ---------------------------------------------------------------------------------------------
// Registry mirror

constexpr std::string_view kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::string_view kInternetExplorerKey = "SOFTWARE\\Microsoft\\Internet Explorer";

// Windows 8.1 and later keep "6.3" here for old programs and give the real numbers in
// CurrentMajorVersionNumber / CurrentMinorVersionNumber (from Windows 10 on).
std::string CurrentVersionText(const WindowsProfile& profile) {
    if (IsAfterWindows8(profile))
        return "6.3";
    return std::to_string(profile.majorVersion) + "." + std::to_string(profile.minorVersion);
}

class ValueWriter {
public:
    ValueWriter(Registry& registry, const RegKey& key) : registry_(registry), key_(key) {}

    void Text(std::string_view name, std::string_view text) {
        if (text.empty())
            return Delete(name);
        const auto bytes = RegSzBytes(text);
        Keep(registry_.SetValue(key_, name, REG_SZ, bytes.data(),
                                static_cast<win::DWORD>(bytes.size())));
    }
    void Dword(std::string_view name, std::optional<win::DWORD> value) {
        if (!value)
            return Delete(name);
        const auto bytes = RegDwordBytes(*value);
        Keep(registry_.SetValue(key_, name, REG_DWORD, bytes.data(),
                                static_cast<win::DWORD>(bytes.size())));
    }
    win::LONG Result() const { return result_; }

private:
    void Delete(std::string_view name) {
        const win::LONG status = registry_.DeleteValue(key_, name);
        if (status != win::ERROR_FILE_NOT_FOUND)
            Keep(status);
    }
    void Keep(win::LONG status) {
        if (result_ == win::ERROR_SUCCESS)
            result_ = status;
    }

    Registry& registry_;
    RegKey key_;
    win::LONG result_ = win::ERROR_SUCCESS;
};

win::LONG MirrorCurrentVersion(const WindowsProfile& profile, Registry& registry, win::DWORD view) {
    RegKey key;
    const win::LONG opened = registry.CreateKey(RegKey::Root(Hive::LocalMachine),
                                                kCurrentVersionKey, KEY_ALL_ACCESS | view, key);
    if (opened != win::ERROR_SUCCESS)
        return opened;
    ValueWriter writer(registry, key);
    writer.Text("ProductName", profile.productName);
    writer.Text("CurrentVersion", CurrentVersionText(profile));
    writer.Text("CurrentBuildNumber", std::to_string(profile.buildNumber));
    writer.Text("CurrentBuild", std::to_string(profile.buildNumber));
    writer.Text("CSDVersion", profile.csdVersion);
    const bool hasVersionNumbers = profile.majorVersion >= 10;
    writer.Dword("CurrentMajorVersionNumber",
                 hasVersionNumbers ? std::optional(profile.majorVersion) : std::nullopt);
    writer.Dword("CurrentMinorVersionNumber",
                 hasVersionNumbers ? std::optional(profile.minorVersion) : std::nullopt);
    return writer.Result();
}

win::LONG MirrorBrowserVersion(const WindowsProfile& profile, Registry& registry, win::DWORD view) {
    RegKey key;
    const win::LONG opened = registry.CreateKey(RegKey::Root(Hive::LocalMachine),
                                                kInternetExplorerKey, KEY_ALL_ACCESS | view, key);
    if (opened != win::ERROR_SUCCESS)
        return opened;
    ValueWriter writer(registry, key);
    writer.Text("Version", profile.ieVersion);
    writer.Text("svcVersion", profile.ieSvcVersion);
    return writer.Result();
}

}  // namespace

OsVersionInfoEx WindowsProfile::GetVersionEx() const {
    OsVersionInfoEx info{majorVersion,     minorVersion,     buildNumber, platformId, csdVersion,
                         servicePackMajor, servicePackMinor, suiteMask,   productType};
    if (IsAfterWindows8(*this)) {
        info.majorVersion = 6;
        info.minorVersion = 2;
        info.buildNumber = 9200;
    }
    return info;
}

bool WindowsProfile::HasGetProductInfo() const {
    return IsNt6OrLater(*this);
}

bool WindowsProfile::Is64Bit() const {
    return processorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           processorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

bool WindowsProfile::TaskDialogSupported() const {
    return IsNt6OrLater(*this);
}

bool WindowsProfile::HasUsersFolder() const {
    return majorVersion >= 6;
}

std::optional<WindowsProfile> FindProfilePreset(std::string_view name) {
    for (const Preset& preset : kPresets) {
        if (EqualsIgnoreCase(name, preset.name))
            return preset.make();
    }
    return std::nullopt;
}

std::vector<std::string> ProfilePresetNames() {
    std::vector<std::string> names;
    for (const Preset& preset : kPresets)
        names.emplace_back(preset.name);
    return names;
}

bool SetProfileField(WindowsProfile& profile, std::string_view name, std::string_view value) {
    const Field* field = FindField(name);
    if (!field)
        return false;
    return std::visit(
        [&](auto pointer) {
            using T = std::remove_reference_t<decltype(profile.*pointer)>;
            if constexpr (std::is_same_v<T, std::string>) {
                profile.*pointer = std::string(value);
                return true;
            } else if constexpr (std::is_same_v<T, bool>) {
                return ParseFlag(value, profile.*pointer);
            } else {
                return ParseNumber(value, profile.*pointer);
            }
        },
        field->member);
}

std::vector<std::string> ProfileFieldNames() {
    std::vector<std::string> names;
    for (const Field& field : kFields)
        names.emplace_back(field.name);
    return names;
}

std::string ProfileToJson(const WindowsProfile& profile) {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    for (const Field& field : kFields) {
        std::visit([&](auto pointer) { json[field.name] = profile.*pointer; }, field.member);
    }
    return json.dump(2);
}

bool ProfileFromJson(std::string_view text, WindowsProfile& profile) {
    const auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return false;
    WindowsProfile read;
    for (const Field& field : kFields) {
        const auto found = json.find(field.name);
        if (found != json.end() && !ReadJsonField(*found, read, field.member))
            return false;
    }
    profile = read;
    return true;
}

win::LONG MirrorProfileToRegistry(const WindowsProfile& profile, Registry& registry) {
    // The 32-bit program reads HKLM\SOFTWARE through its own view; tools may use either.
    std::vector<win::DWORD> views = {0};
    if (profile.Is64Bit())
        views = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
    win::LONG result = win::ERROR_SUCCESS;
    for (const win::DWORD view : views) {
        for (const win::LONG status : {MirrorCurrentVersion(profile, registry, view),
                                       MirrorBrowserVersion(profile, registry, view)}) {
            if (result == win::ERROR_SUCCESS)
                result = status;
        }
    }
    return result;
}

}  // namespace platform
