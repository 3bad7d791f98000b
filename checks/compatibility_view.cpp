#include "checks/compatibility_view.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "checks/registry_check.h"
#include "checks/registry_path.h"
#include "platform/context.h"
#include "platform/registry.h"

namespace checks {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::Registry;
using platform::RegKey;
using win::DWORD;

constexpr std::string_view kBrowserEmulationKey =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\BrowserEmulation";
constexpr std::string_view kListKey =
    "Software\\Microsoft\\Internet Explorer\\BrowserEmulation\\ClearableListData";
constexpr std::string_view kListValue = "UserFilter";

// The list starts with a 24-byte header: a fixed mark, the number of entries, the number of
// bytes from offset 12 to the end, a fixed 1, and the number of entries again. All numbers
// are 32-bit little-endian.
constexpr size_t kHeaderSize = 24;
constexpr size_t kCountOffset = 8;
constexpr size_t kLengthOffset = 12;
constexpr size_t kSecondCountOffset = 20;
constexpr std::array<std::uint8_t, kHeaderSize> kNewHeader = {
    0x41, 0x1F, 0x00, 0x00, 0x53, 0x08, 0xAD, 0xBA, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};

bool AllSitesInCompatibilityView(platform::Context& context) {
    const config::ConfigEntry allSites{std::string(kBrowserEmulationKey),
                                       "AllSitesCompatibilityMode", "reg_dword", "1", ""};
    return CheckRegistryEntry(context, allSites, false);
}

std::uint32_t ReadLe32(const Bytes& bytes, size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

void WriteLe32(Bytes& bytes, size_t offset, std::uint32_t value) {
    for (size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Five bytes of the entry's time stamp, drawn from a generator seeded with the current second,
// so entries added within one second get the same bytes: a number of twelve random decimal
// digits written as hexadecimal, padded on the right with zeros to ten digits.
std::array<std::uint8_t, 5> TimeStampLowBytes(std::time_t now) {
    std::minstd_rand generator(static_cast<std::minstd_rand::result_type>(now));
    std::int64_t number = 0;
    float power = 1.0f;
    for (int digit = 0; digit < 12; ++digit) {
        number += static_cast<std::int64_t>(static_cast<double>(generator() % 10) * power);
        power *= 10.0f;
    }
    constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::uint64_t rest = static_cast<std::uint64_t>(number); rest != 0; rest /= 16)
        hex.insert(hex.begin(), kDigits[rest % 16]);
    hex.resize(10, '0');
    std::array<std::uint8_t, 5> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto nibble = [&](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
        bytes[i] = static_cast<std::uint8_t>(nibble(hex[2 * i]) << 4 | nibble(hex[2 * i + 1]));
    }
    return bytes;
}

// One entry: 0C 00 00 00, the time stamp (five random bytes, then 84 CD 01), 01 00 00 00, the
// domain's length as 16 bits, and the domain with a zero byte after each of its bytes.
void AppendEntry(Bytes& list, std::string_view domain) {
    const Bytes fixedStart = {0x0C, 0x00, 0x00, 0x00};
    list.insert(list.end(), fixedStart.begin(), fixedStart.end());
    const auto stamp = TimeStampLowBytes(std::time(nullptr));
    list.insert(list.end(), stamp.begin(), stamp.end());
    const Bytes fixedMiddle = {0x84, 0xCD, 0x01, 0x01, 0x00, 0x00, 0x00};
    list.insert(list.end(), fixedMiddle.begin(), fixedMiddle.end());
    list.push_back(static_cast<std::uint8_t>(domain.size()));
    list.push_back(static_cast<std::uint8_t>(domain.size() >> 8));
    for (const char c : domain) {
        list.push_back(static_cast<std::uint8_t>(c));
        list.push_back(0);
    }
}

void AppendEntryAndUpdateHeader(Bytes& list, std::string_view domain) {
    AppendEntry(list, domain);
    const std::uint32_t count = ReadLe32(list, kCountOffset) + 1;
    WriteLe32(list, kCountOffset, count);
    WriteLe32(list, kSecondCountOffset, count);
    WriteLe32(list, kLengthOffset, static_cast<std::uint32_t>(list.size() - kLengthOffset));
}

std::string UpperHexText(const Bytes& bytes) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

// What a listed domain looks like in the list's hexadecimal text: the zero high byte of its
// length, then each byte of the domain followed by a zero byte. Found anywhere, so a domain
// also counts as listed inside a longer listed name; the letter case of the bytes counts.
std::string DomainSearchText(std::string_view domain) {
    Bytes bytes = {0};
    for (const char c : domain) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(0);
    }
    return UpperHexText(bytes);
}

// The stored list when it is a REG_BINARY value holding at least the header.
bool ReadUsableList(Registry& registry, const RegKey& key, Bytes& list) {
    DWORD type = 0;
    DWORD size = 0;
    if (registry.QueryValue(key, kListValue, &type, nullptr, &size) != win::ERROR_SUCCESS)
        return false;
    list.resize(size);
    if (registry.QueryValue(key, kListValue, &type, list.data(), &size) != win::ERROR_SUCCESS)
        return false;
    list.resize(size);
    return type == platform::REG_BINARY && list.size() >= kHeaderSize;
}

bool WriteList(Registry& registry, const RegKey& key, const Bytes& list) {
    return registry.SetValue(key, kListValue, platform::REG_BINARY, list.data(),
                             static_cast<DWORD>(list.size())) == win::ERROR_SUCCESS;
}

// Adds the domains that are not yet listed (when fixing); false when one is missing and
// fixing was not asked for, or when the grown list cannot be written.
bool CheckExistingList(Registry& registry, const RegKey& key, Bytes& list,
                       const config::ConfigSection& section, bool fix) {
    bool appended = false;
    for (const config::ConfigEntry& entry : section.entries) {
        if (UpperHexText(list).find(DomainSearchText(entry.text)) != std::string::npos)
            continue;
        if (!fix)
            return false;
        AppendEntryAndUpdateHeader(list, entry.text);
        appended = true;
    }
    return !appended || WriteList(registry, key, list);
}

bool WriteNewList(Registry& registry, const RegKey& key, const config::ConfigSection& section) {
    Bytes list(kNewHeader.begin(), kNewHeader.end());
    for (const config::ConfigEntry& entry : section.entries)
        AppendEntryAndUpdateHeader(list, entry.text);
    return WriteList(registry, key, list);
}

bool CheckList(platform::Context& context, const config::ConfigSection& section, bool fix) {
    if (AllSitesInCompatibilityView(context))
        return true;
    Registry& registry = *context.registry;
    const RegistryPath path{platform::Hive::CurrentUser, std::string(kListKey)};
    RegKey key;
    if (OpenCheckKey(registry, path, key) == win::ERROR_SUCCESS) {
        Bytes list;
        if (ReadUsableList(registry, key, list))
            return CheckExistingList(registry, key, list, section, fix);
    } else if (CreateCheckKey(registry, path, key) != win::ERROR_SUCCESS) {
        return false;
    }
    return fix && WriteNewList(registry, key, section);
}

}  // namespace

bool CheckCompatibilityView(platform::Context& context, config::CheckConfig& config, bool fix) {
    const config::ConfigSection* section = config.FindSection("compatibility");
    const bool ok = section == nullptr || CheckList(context, *section, fix);
    config.results.registryOk = ok;
    return ok;
}

}  // namespace checks
