#include "checks/registry_check.h"

#include <algorithm>
#include <limits>

#include "checks/compatibility_view.h"
#include "checks/registry_path.h"
#include "platform/context.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace checks {
namespace {

using platform::Registry;
using platform::RegKey;
using win::DWORD;
using win::LONG;

constexpr std::string_view kRegistryToolsPolicyKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr std::string_view kRegistryToolsPolicyValue = "Disableregistrytools";
constexpr LONG kErrorInvalidData = 13;
// A string value is read into 512 UTF-16 characters, terminator included.
constexpr DWORD kStringBufferBytes = 512 * 2;

enum class ValueKind { Dword, String, Binary, Unknown };

ValueKind KindOfTypeText(std::string_view type) {
    if (type == "reg_dword")
        return ValueKind::Dword;
    if (type == "reg_sz")
        return ValueKind::String;
    if (type == "reg_binary")
        return ValueKind::Binary;
    return ValueKind::Unknown;
}

enum class Comparison { Match, Mismatch, Missing, Failure };

bool IsMissing(LONG status) {
    return status == win::ERROR_FILE_NOT_FOUND || status == win::ERROR_PATH_NOT_FOUND;
}

Comparison FailureOrMissing(LONG status) {
    return IsMissing(status) ? Comparison::Missing : Comparison::Failure;
}

// A REG_DWORD of exactly four bytes; anything else is invalid data.
LONG QueryDword(Registry& registry, const RegKey& key, std::string_view name, DWORD& value) {
    DWORD type = 0;
    std::uint8_t data[4] = {};
    DWORD size = sizeof data;
    const LONG status = registry.QueryValue(key, name, &type, data, &size);
    if (status != win::ERROR_SUCCESS)
        return status;
    if (type != platform::REG_DWORD || size != sizeof data)
        return kErrorInvalidData;
    value = static_cast<DWORD>(data[0]) | static_cast<DWORD>(data[1]) << 8 |
            static_cast<DWORD>(data[2]) << 16 | static_cast<DWORD>(data[3]) << 24;
    return win::ERROR_SUCCESS;
}

// A REG_SZ or REG_EXPAND_SZ that fits the buffer and ends in a terminator; the string is
// what comes before the first terminator.
LONG QueryString(Registry& registry, const RegKey& key, std::string_view name,
                 std::u16string& value) {
    DWORD type = 0;
    std::uint8_t data[kStringBufferBytes];
    DWORD size = sizeof data;
    const LONG status = registry.QueryValue(key, name, &type, data, &size);
    if (status != win::ERROR_SUCCESS)
        return status;
    if (type != platform::REG_SZ && type != platform::REG_EXPAND_SZ)
        return kErrorInvalidData;
    if (size < 2 || size % 2 != 0 || data[size - 1] != 0 || data[size - 2] != 0)
        return kErrorInvalidData;
    value.clear();
    for (DWORD i = 0; i + 1 < size; i += 2) {
        const char16_t unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (unit == 0)
            break;
        value.push_back(unit);
    }
    return win::ERROR_SUCCESS;
}

struct DwordEntry {
    DWORD expected;
    DWORD mask;
};

DwordEntry DwordEntryOf(const config::ConfigEntry& entry) {
    return {ParseDwordText(entry.value),
            entry.mask.empty() ? ~DWORD{0} : ParseDwordText(entry.mask)};
}

Comparison CompareDword(Registry& registry, const RegKey& key, const config::ConfigEntry& entry,
                        DWORD& stored) {
    const DwordEntry dword = DwordEntryOf(entry);
    const LONG status = QueryDword(registry, key, entry.name, stored);
    if (status != win::ERROR_SUCCESS)
        return FailureOrMissing(status);
    return (stored & dword.mask) == (dword.expected & dword.mask) ? Comparison::Match
                                                                  : Comparison::Mismatch;
}

// Bits outside the mask keep their stored state; a missing value gets only the masked bits.
void RepairDword(Registry& registry, const RegKey& key, const config::ConfigEntry& entry,
                 Comparison found, DWORD stored) {
    const DwordEntry dword = DwordEntryOf(entry);
    DWORD value = dword.expected & dword.mask;
    if (found == Comparison::Mismatch)
        value |= stored & ~dword.mask;
    const auto bytes = platform::RegDwordBytes(value);
    registry.SetValue(key, entry.name, platform::REG_DWORD, bytes.data(),
                      static_cast<DWORD>(bytes.size()));
}

Comparison CompareString(Registry& registry, const RegKey& key, const config::ConfigEntry& entry) {
    std::u16string stored;
    const LONG status = QueryString(registry, key, entry.name, stored);
    if (status != win::ERROR_SUCCESS)
        return FailureOrMissing(status);
    return stored == platform::Utf8ToUtf16(entry.value) ? Comparison::Match : Comparison::Mismatch;
}

void RepairString(Registry& registry, const RegKey& key, const config::ConfigEntry& entry) {
    const auto bytes = platform::RegSzBytes(entry.value);
    registry.SetValue(key, entry.name, platform::REG_SZ, bytes.data(),
                      static_cast<DWORD>(bytes.size()));
}

// A stored value matches when it is the expected bytes or a beginning of them (the empty
// value included). A longer stored value does not match, and nothing past the expected
// length is read.
Comparison CompareBinary(Registry& registry, const RegKey& key, const config::ConfigEntry& entry) {
    const std::vector<std::uint8_t> expected = ParseBinaryText(entry.value);
    DWORD type = 0;
    DWORD size = 0;
    LONG status = registry.QueryValue(key, entry.name, &type, nullptr, &size);
    if (status != win::ERROR_SUCCESS)
        return FailureOrMissing(status);
    if (type != platform::REG_BINARY)
        return Comparison::Failure;
    if (size > expected.size())
        return Comparison::Mismatch;
    std::vector<std::uint8_t> stored(size);
    status = registry.QueryValue(key, entry.name, &type, stored.data(), &size);
    if (status == win::ERROR_MORE_DATA)
        return Comparison::Mismatch;  // grown since it was measured
    if (status != win::ERROR_SUCCESS)
        return FailureOrMissing(status);
    if (type != platform::REG_BINARY)
        return Comparison::Failure;
    return std::equal(stored.begin(), stored.begin() + size, expected.begin())
               ? Comparison::Match
               : Comparison::Mismatch;
}

void RepairBinary(Registry& registry, const RegKey& key, const config::ConfigEntry& entry) {
    const std::vector<std::uint8_t> expected = ParseBinaryText(entry.value);
    registry.SetValue(key, entry.name, platform::REG_BINARY, expected.data(),
                      static_cast<DWORD>(expected.size()));
}

Comparison CompareValue(Registry& registry, const RegKey& key, const config::ConfigEntry& entry,
                        ValueKind kind, DWORD& storedDword) {
    switch (kind) {
        case ValueKind::Dword:
            return CompareDword(registry, key, entry, storedDword);
        case ValueKind::String:
            return CompareString(registry, key, entry);
        case ValueKind::Binary:
            return CompareBinary(registry, key, entry);
        case ValueKind::Unknown:
            break;
    }
    return Comparison::Failure;
}

void RepairValue(Registry& registry, const RegKey& key, const config::ConfigEntry& entry,
                 ValueKind kind, Comparison found, DWORD storedDword) {
    switch (kind) {
        case ValueKind::Dword:
            RepairDword(registry, key, entry, found, storedDword);
            return;
        case ValueKind::String:
            RepairString(registry, key, entry);
            return;
        case ValueKind::Binary:
            RepairBinary(registry, key, entry);
            return;
        case ValueKind::Unknown:
            return;
    }
}

bool OpenEntryKey(Registry& registry, const RegistryPath& path, bool fix, RegKey& key) {
    if (OpenCheckKey(registry, path, key) == win::ERROR_SUCCESS)
        return true;
    return fix && CreateCheckKey(registry, path, key) == win::ERROR_SUCCESS;
}

bool RunEntries(platform::Context& context, const config::CheckConfig& config, bool fix) {
    const config::ConfigSection* section = config.FindSection("registry");
    if (section == nullptr)
        return true;
    return std::all_of(
        section->entries.begin(), section->entries.end(),
        [&](const config::ConfigEntry& entry) { return CheckRegistryEntry(context, entry, fix); });
}

// Normal unless the policy is set as a non-zero REG_DWORD; a repair deletes it.
bool CheckRegistryToolsPolicy(Registry& registry, bool fix) {
    RegKey key;
    const RegistryPath path{platform::Hive::CurrentUser, std::string(kRegistryToolsPolicyKey)};
    if (OpenCheckKey(registry, path, key) != win::ERROR_SUCCESS)
        return true;
    DWORD value = 0;
    if (QueryDword(registry, key, kRegistryToolsPolicyValue, value) != win::ERROR_SUCCESS ||
        value == 0) {
        return true;
    }
    return fix && registry.DeleteValue(key, kRegistryToolsPolicyValue) == win::ERROR_SUCCESS;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

win::DWORD ParseDwordText(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = std::min<std::int64_t>(magnitude * 10 + (text[i] - '0'), kMax + 1);
    }
    const std::int64_t number = std::clamp(negative ? -magnitude : magnitude, kMin, kMax);
    return static_cast<DWORD>(static_cast<std::int32_t>(number));
}

std::vector<std::uint8_t> ParseBinaryText(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(
            static_cast<std::uint8_t>(HexDigitValue(text[i]) << 4 | HexDigitValue(text[i + 1])));
    }
    return bytes;
}

bool CheckRegistryEntry(platform::Context& context, const config::ConfigEntry& entry, bool fix) {
    const std::optional<RegistryPath> path = ParseRegistryPath(entry.text);
    if (!path)
        return false;
    Registry& registry = *context.registry;
    RegKey key;
    if (!OpenEntryKey(registry, *path, fix, key))
        return false;

    const ValueKind kind = KindOfTypeText(entry.type);
    DWORD storedDword = 0;
    Comparison found = CompareValue(registry, key, entry, kind, storedDword);
    if (fix && (found == Comparison::Mismatch || found == Comparison::Missing)) {
        // The read-back decides, not the write's own result.
        RepairValue(registry, key, entry, kind, found, storedDword);
        found = CompareValue(registry, key, entry, kind, storedDword);
    }
    return found == Comparison::Match;
}

bool CheckRegistry(platform::Context& context, config::CheckConfig& config, bool fix) {
    const bool ok = CheckCompatibilityView(context, config, fix) &&
                    RunEntries(context, config, fix) &&
                    CheckRegistryToolsPolicy(*context.registry, fix);
    config.results.registryOk = ok;
    return ok;
}

}  // namespace checks
