#include "checks/registry_check.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "checks/registry_path.h"
#include "platform/context.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/temp_sandbox.h"

namespace checks {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::Hive;
using platform::RegKey;
using win::DWORD;

constexpr char kKeyPath[] = "HKCU\\Software\\Bank\\Settings";
constexpr char kSubKey[] = "Software\\Bank\\Settings";
constexpr char kPolicyKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

struct StoredValue {
    DWORD type = platform::REG_NONE;
    Bytes data;

    friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

std::ostream& operator<<(std::ostream& out, const StoredValue& value) {
    out << "type " << value.type << " bytes";
    for (const std::uint8_t byte : value.data)
        out << ' ' << std::hex << static_cast<int>(byte) << std::dec;
    return out;
}

StoredValue Dword(DWORD value) {
    return {platform::REG_DWORD, platform::RegDwordBytes(value)};
}
StoredValue Sz(const std::string& text, DWORD type = platform::REG_SZ) {
    return {type, platform::RegSzBytes(text)};
}
StoredValue Binary(Bytes bytes) {
    return {platform::REG_BINARY, std::move(bytes)};
}

class RegistryCheckTest : public ::testing::Test {
protected:
    platform::Context& Context() { return sandbox_.Context(); }
    platform::Registry& Registry() { return *sandbox_.Context().registry; }

    void Store(Hive hive, const std::string& subKey, const std::string& name,
               const StoredValue& value) {
        RegKey key;
        ASSERT_EQ(Registry().CreateKey(RegKey::Root(hive), subKey, kCheckKeyAccess, key),
                  win::ERROR_SUCCESS);
        ASSERT_EQ(Registry().SetValue(key, name, value.type, value.data.data(),
                                      static_cast<DWORD>(value.data.size())),
                  win::ERROR_SUCCESS);
    }

    std::optional<StoredValue> Read(Hive hive, const std::string& subKey, const std::string& name) {
        RegKey key;
        if (Registry().OpenKey(RegKey::Root(hive), subKey, platform::KEY_READ, key) !=
            win::ERROR_SUCCESS) {
            return std::nullopt;
        }
        StoredValue value;
        DWORD size = 0;
        if (Registry().QueryValue(key, name, &value.type, nullptr, &size) != win::ERROR_SUCCESS)
            return std::nullopt;
        value.data.resize(size);
        Registry().QueryValue(key, name, &value.type, value.data.data(), &size);
        return value;
    }

    bool KeyExists(Hive hive, const std::string& subKey) {
        RegKey key;
        return Registry().OpenKey(RegKey::Root(hive), subKey, platform::KEY_READ, key) ==
               win::ERROR_SUCCESS;
    }

    nestora_test::TempSandbox sandbox_;
};

TEST(ParseDwordText, ReadsSignedDecimalAsA32BitPattern) {
    const std::pair<const char*, DWORD> cases[] = {
        {"1", 1},
        {"  \t+12abc", 12},
        {"-1", 0xFFFFFFFFu},
        {"0x10", 0},
        {"", 0},
        {"abc", 0},
        {"99999999999", 0x7FFFFFFFu},
        {"-99999999999", 0x80000000u},
        {"2147483648", 0x7FFFFFFFu},
        {"-2147483648", 0x80000000u},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ParseDwordText(text), value) << "'" << text << "'";
}

TEST(ParseBinaryText, TakesWholePairsAndReadsOtherCharactersAsZero) {
    const std::pair<const char*, Bytes> cases[] = {
        {"0102034", {0x01, 0x02, 0x03}},
        {"aBcD", {0xAB, 0xCD}},
        {"zz1g", {0x00, 0x10}},
        {"", {}},
        {"7", {}},
    };
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(ParseBinaryText(text), bytes) << "'" << text << "'";
}

// One stored value (or none), one entry, checked and then repaired.
struct EntryCase {
    const char* label;
    std::optional<StoredValue> stored;
    config::ConfigEntry entry;
    bool checkResult;
    bool repairResult;
    std::optional<StoredValue> afterRepair;  // what the repair leaves stored
};

TEST_F(RegistryCheckTest, ComparesAndRepairsEachValueType) {
    const std::string longText(600, 'x');
    const EntryCase cases[] = {
        {"dword masked mismatch keeps other bits",
         Dword(6),
         {kKeyPath, "Flags", "reg_dword", "1", "1"},
         false,
         true,
         Dword(7)},
        {"dword masked match",
         Dword(5),
         {kKeyPath, "Flags", "reg_dword", "1", "1"},
         true,
         true,
         Dword(5)},
        {"dword empty mask compares all bits",
         Dword(0x101),
         {kKeyPath, "Flags", "reg_dword", "1", ""},
         false,
         true,
         Dword(1)},
        {"dword mask -1 compares all bits",
         Dword(3),
         {kKeyPath, "Flags", "reg_dword", "-1", "-1"},
         false,
         true,
         Dword(0xFFFFFFFFu)},
        {"dword missing gets masked bits",
         std::nullopt,
         {kKeyPath, "Flags", "reg_dword", "7", "4"},
         false,
         true,
         Dword(4)},
        {"dword hexadecimal text reads 0",
         Dword(0),
         {kKeyPath, "Flags", "reg_dword", "0x10", ""},
         true,
         true,
         Dword(0)},
        {"dword stored as a string fails unrepaired",
         Sz("1"),
         {kKeyPath, "Flags", "reg_dword", "1", ""},
         false,
         false,
         Sz("1")},
        {"sz equal", Sz("Yes"), {kKeyPath, "Mode", "reg_sz", "Yes", ""}, true, true, Sz("Yes")},
        {"sz expand type accepted",
         Sz("Yes", platform::REG_EXPAND_SZ),
         {kKeyPath, "Mode", "reg_sz", "Yes", ""},
         true,
         true,
         Sz("Yes", platform::REG_EXPAND_SZ)},
        {"sz compared with case",
         Sz("yes"),
         {kKeyPath, "Mode", "reg_sz", "Yes", ""},
         false,
         true,
         Sz("Yes")},
        {"sz longer stored string differs",
         Sz("Yes!"),
         {kKeyPath, "Mode", "reg_sz", "Yes", ""},
         false,
         true,
         Sz("Yes")},
        {"sz missing is written",
         std::nullopt,
         {kKeyPath, "Mode", "reg_sz", "是", ""},
         false,
         true,
         Sz("是")},
        {"sz default value", Sz("d"), {kKeyPath, "", "reg_sz", "d", ""}, true, true, Sz("d")},
        {"sz without terminator fails unrepaired",
         StoredValue{platform::REG_SZ, {'Y', 0, 'e', 0, 's', 0}},
         {kKeyPath, "Mode", "reg_sz", "Yes", ""},
         false,
         false,
         StoredValue{platform::REG_SZ, {'Y', 0, 'e', 0, 's', 0}}},
        {"sz too long for the buffer fails unrepaired",
         Sz(longText),
         {kKeyPath, "Mode", "reg_sz", "Yes", ""},
         false,
         false,
         Sz(longText)},
        {"sz stored as binary fails unrepaired",
         Binary({'Y', 0, 0, 0}),
         {kKeyPath, "Mode", "reg_sz", "Y", ""},
         false,
         false,
         Binary({'Y', 0, 0, 0})},
        {"binary prefix matches",
         Binary({1, 2}),
         {kKeyPath, "Bits", "reg_binary", "0102034", ""},
         true,
         true,
         Binary({1, 2})},
        {"binary empty value matches",
         Binary({}),
         {kKeyPath, "Bits", "reg_binary", "010203", ""},
         true,
         true,
         Binary({})},
        {"binary different byte",
         Binary({1, 2, 4}),
         {kKeyPath, "Bits", "reg_binary", "0102034", ""},
         false,
         true,
         Binary({1, 2, 3})},
        {"binary longer than expected",
         Binary({1, 2, 3, 5}),
         {kKeyPath, "Bits", "reg_binary", "010203", ""},
         false,
         true,
         Binary({1, 2, 3})},
        {"binary far longer than the read buffer",
         Binary(Bytes(2000, 1)),
         {kKeyPath, "Bits", "reg_binary", "0101", ""},
         false,
         true,
         Binary({1, 1})},
        {"binary missing is written",
         std::nullopt,
         {kKeyPath, "Bits", "reg_binary", "aBcD", ""},
         false,
         true,
         Binary({0xAB, 0xCD})},
        {"binary stored as dword fails unrepaired",
         Dword(1),
         {kKeyPath, "Bits", "reg_binary", "01000000", ""},
         false,
         false,
         Dword(1)},
        {"type text in upper case is unknown",
         Dword(1),
         {kKeyPath, "Flags", "REG_DWORD", "1", ""},
         false,
         false,
         Dword(1)},
    };
    int index = 0;
    for (const EntryCase& c : cases) {
        SCOPED_TRACE(c.label);
        // Each case in a key of its own.
        const std::string subKey = "Software\\Bank\\Case" + std::to_string(++index);
        config::ConfigEntry entry = c.entry;
        entry.text = "HKCU\\" + subKey;
        platform::Context& context = Context();
        RegKey key;
        ASSERT_EQ(context.registry->CreateKey(RegKey::Root(Hive::CurrentUser), subKey,
                                              kCheckKeyAccess, key),
                  win::ERROR_SUCCESS);
        if (c.stored) {
            ASSERT_EQ(
                context.registry->SetValue(key, entry.name, c.stored->type, c.stored->data.data(),
                                           static_cast<DWORD>(c.stored->data.size())),
                win::ERROR_SUCCESS);
        }
        EXPECT_EQ(CheckRegistryEntry(context, entry, false), c.checkResult);
        EXPECT_EQ(CheckRegistryEntry(context, entry, true), c.repairResult);

        StoredValue after;
        DWORD size = 0;
        const bool present = context.registry->QueryValue(key, entry.name, &after.type, nullptr,
                                                          &size) == win::ERROR_SUCCESS;
        ASSERT_EQ(present, c.afterRepair.has_value());
        if (present) {
            after.data.resize(size);
            context.registry->QueryValue(key, entry.name, &after.type, after.data.data(), &size);
            EXPECT_EQ(after, *c.afterRepair);
        }
        EXPECT_EQ(CheckRegistryEntry(context, entry, false), c.repairResult);
    }
}

TEST_F(RegistryCheckTest, OnlyARepairCreatesAMissingKey) {
    const config::ConfigEntry entry{"HKCU\\Software\\Bank\\New\\Deep", "On", "reg_dword", "1", ""};
    EXPECT_FALSE(CheckRegistryEntry(Context(), entry, false));
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, "Software\\Bank\\New"));

    EXPECT_TRUE(CheckRegistryEntry(Context(), entry, true));
    EXPECT_EQ(Read(Hive::CurrentUser, "Software\\Bank\\New\\Deep", "On"), Dword(1));
}

TEST_F(RegistryCheckTest, AKeyPathWithoutBackslashFailsWithoutTouchingTheRegistry) {
    const config::ConfigEntry entry{"HKCU", "On", "reg_dword", "1", ""};
    EXPECT_FALSE(CheckRegistryEntry(Context(), entry, true));
    std::vector<std::string> values;
    Registry().EnumValueNames(RegKey::Root(Hive::CurrentUser), values);
    EXPECT_TRUE(values.empty());
}

TEST_F(RegistryCheckTest, RootNamesSelectTheHive) {
    EXPECT_TRUE(
        CheckRegistryEntry(Context(), {"hklm\\SOFTWARE\\Bank", "A", "reg_sz", "m", ""}, true));
    EXPECT_TRUE(
        CheckRegistryEntry(Context(), {"HKU\\Software\\Bank", "A", "reg_sz", "u", ""}, true));
    EXPECT_EQ(Read(Hive::LocalMachine, "SOFTWARE\\Bank", "A"), Sz("m"));
    EXPECT_EQ(Read(Hive::CurrentUser, "Software\\Bank", "A"), Sz("u"));
}

TEST_F(RegistryCheckTest, AKeyTheUserMayNotWriteFailsAlsoWhenTheValueMatches) {
    Store(Hive::CurrentUser, kSubKey, "On", Dword(1));
    ASSERT_EQ(Registry().SetWriteProtected(RegKey::Root(Hive::CurrentUser), kSubKey, true),
              win::ERROR_SUCCESS);
    const config::ConfigEntry entry{kKeyPath, "On", "reg_dword", "1", ""};
    EXPECT_FALSE(CheckRegistryEntry(Context(), entry, false));
    EXPECT_FALSE(CheckRegistryEntry(Context(), entry, true));
}

TEST_F(RegistryCheckTest, RegistryToolsPolicy) {
    struct Case {
        const char* label;
        std::optional<StoredValue> policy;
        bool checkResult;
    };
    const Case cases[] = {
        {"absent", std::nullopt, true},
        {"zero", Dword(0), true},
        {"a string", Sz("1"), true},
        {"set", Dword(1), false},
        {"set to another number", Dword(2), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        nestora_test::TempSandbox sandbox;
        config::CheckConfig config;
        if (c.policy) {
            RegKey key;
            ASSERT_EQ(sandbox.Context().registry->CreateKey(RegKey::Root(Hive::CurrentUser),
                                                            kPolicyKey, kCheckKeyAccess, key),
                      win::ERROR_SUCCESS);
            sandbox.Context().registry->SetValue(key, "DisableRegistryTools", c.policy->type,
                                                 c.policy->data.data(),
                                                 static_cast<DWORD>(c.policy->data.size()));
        }
        config.results.registryOk = !c.checkResult;
        EXPECT_EQ(CheckRegistry(sandbox.Context(), config, false), c.checkResult);
        EXPECT_EQ(config.results.registryOk, c.checkResult);

        EXPECT_TRUE(CheckRegistry(sandbox.Context(), config, true));
        EXPECT_TRUE(CheckRegistry(sandbox.Context(), config, false));
        EXPECT_TRUE(config.results.registryOk);
    }
}

TEST_F(RegistryCheckTest, ThePolicyIsNotDeletedWhereTheUserMayNotWrite) {
    Store(Hive::CurrentUser, kPolicyKey, "Disableregistrytools", Dword(1));
    ASSERT_EQ(Registry().SetWriteProtected(RegKey::Root(Hive::CurrentUser), kPolicyKey, true),
              win::ERROR_SUCCESS);
    config::CheckConfig config;
    // A key that does not open for writing reads as no policy.
    EXPECT_TRUE(CheckRegistry(Context(), config, false));
    EXPECT_EQ(Read(Hive::CurrentUser, kPolicyKey, "Disableregistrytools"), Dword(1));
}

TEST_F(RegistryCheckTest, EntriesRunInOrderAndStopAtTheFirstFailure) {
    Store(Hive::CurrentUser, kSubKey, "Wrong", Sz("text"));
    config::CheckConfig config;
    config.sections.push_back({"registry",
                               {{kKeyPath, "First", "reg_dword", "1", ""},
                                {kKeyPath, "Wrong", "reg_dword", "1", ""},
                                {kKeyPath, "Later", "reg_dword", "1", ""}}});
    EXPECT_FALSE(CheckRegistry(Context(), config, true));
    EXPECT_FALSE(config.results.registryOk);
    EXPECT_EQ(Read(Hive::CurrentUser, kSubKey, "First"), Dword(1));
    EXPECT_FALSE(Read(Hive::CurrentUser, kSubKey, "Later").has_value());
}

TEST_F(RegistryCheckTest, ARepairFixesEveryEntryAndThePolicy) {
    Store(Hive::CurrentUser, kPolicyKey, "Disableregistrytools", Dword(1));
    config::CheckConfig config;
    config.sections.push_back({"registry",
                               {{kKeyPath, "A", "reg_dword", "1", ""},
                                {"HKLM\\SOFTWARE\\Bank", "B", "reg_sz", "on", ""}}});
    EXPECT_FALSE(CheckRegistry(Context(), config, false));
    EXPECT_TRUE(CheckRegistry(Context(), config, true));
    EXPECT_TRUE(CheckRegistry(Context(), config, false));
    EXPECT_FALSE(Read(Hive::CurrentUser, kPolicyKey, "Disableregistrytools").has_value());
}

TEST_F(RegistryCheckTest, AFailingCompatibilityViewStopsBeforeTheEntries) {
    config::CheckConfig config;
    config.sections.push_back({"compatibility", {{"bank.example", "", "", "", ""}}});
    config.sections.push_back({"registry", {{kKeyPath, "A", "reg_dword", "1", ""}}});
    config.results.registryOk = true;
    EXPECT_FALSE(CheckRegistry(Context(), config, false));
    EXPECT_FALSE(config.results.registryOk);
    EXPECT_TRUE(CheckRegistry(Context(), config, true));
    EXPECT_TRUE(config.results.registryOk);
}

}  // namespace
}  // namespace checks
