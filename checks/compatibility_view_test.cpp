#include "checks/compatibility_view.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "checks/registry_path.h"
#include "platform/context.h"
#include "platform/registry.h"
#include "tests/support/temp_sandbox.h"

namespace checks {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::Hive;
using platform::RegKey;
using win::DWORD;

constexpr char kEmulationKey[] = "Software\\Microsoft\\Internet Explorer\\BrowserEmulation";
constexpr char kListKey[] =
    "Software\\Microsoft\\Internet Explorer\\BrowserEmulation\\ClearableListData";
constexpr size_t kHeaderSize = 24;

std::uint32_t Le32(const Bytes& bytes, size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) | bytes[offset + 1] << 8 |
           bytes[offset + 2] << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

// The domain as the list holds it: each byte followed by a zero byte.
Bytes WideBytes(const std::string& domain) {
    Bytes bytes;
    for (const char c : domain) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

// Checks the entry starting at `offset` and returns the offset after it.
size_t ExpectEntry(const Bytes& list, size_t offset, const std::string& domain) {
    const size_t size = 18 + 2 * domain.size();
    EXPECT_LE(offset + size, list.size()) << domain;
    if (offset + size > list.size())
        return list.size();
    EXPECT_EQ(Bytes(list.begin() + offset, list.begin() + offset + 4), (Bytes{0x0C, 0, 0, 0}));
    EXPECT_EQ(Bytes(list.begin() + offset + 9, list.begin() + offset + 16),
              (Bytes{0x84, 0xCD, 0x01, 0x01, 0, 0, 0}));
    EXPECT_EQ(list[offset + 16] | list[offset + 17] << 8, static_cast<int>(domain.size()));
    EXPECT_EQ(Bytes(list.begin() + offset + 18, list.begin() + offset + size), WideBytes(domain))
        << domain;
    return offset + size;
}

void ExpectHeader(const Bytes& list, std::uint32_t count) {
    ASSERT_GE(list.size(), kHeaderSize);
    EXPECT_EQ(Bytes(list.begin(), list.begin() + 8),
              (Bytes{0x41, 0x1F, 0x00, 0x00, 0x53, 0x08, 0xAD, 0xBA}));
    EXPECT_EQ(Le32(list, 8), count);
    EXPECT_EQ(Le32(list, 12), list.size() - 12);
    EXPECT_EQ(Le32(list, 16), 1u);
    EXPECT_EQ(Le32(list, 20), count);
}

class CompatibilityViewTest : public ::testing::Test {
protected:
    platform::Registry& Registry() { return *sandbox_.Context().registry; }

    void SetDomains(const std::vector<std::string>& domains) {
        config_.sections.clear();
        config::ConfigSection section{"compatibility", {}};
        for (const std::string& domain : domains)
            section.entries.push_back({domain, "", "", "", ""});
        config_.sections.push_back(section);
    }

    bool Check(bool fix) { return CheckCompatibilityView(sandbox_.Context(), config_, fix); }

    void StoreValue(const char* subKey, const char* name, DWORD type, const Bytes& data) {
        RegKey key;
        ASSERT_EQ(
            Registry().CreateKey(RegKey::Root(Hive::CurrentUser), subKey, kCheckKeyAccess, key),
            win::ERROR_SUCCESS);
        ASSERT_EQ(
            Registry().SetValue(key, name, type, data.data(), static_cast<DWORD>(data.size())),
            win::ERROR_SUCCESS);
    }

    void SetAllSites(DWORD value) {
        StoreValue(kEmulationKey, "AllSitesCompatibilityMode", platform::REG_DWORD,
                   platform::RegDwordBytes(value));
    }

    bool ListKeyExists() {
        RegKey key;
        return Registry().OpenKey(RegKey::Root(Hive::CurrentUser), kListKey, platform::KEY_READ,
                                  key) == win::ERROR_SUCCESS;
    }

    // The stored list; nothing when the value is absent.
    std::optional<Bytes> List(DWORD* type = nullptr) {
        RegKey key;
        if (Registry().OpenKey(RegKey::Root(Hive::CurrentUser), kListKey, platform::KEY_READ,
                               key) != win::ERROR_SUCCESS) {
            return std::nullopt;
        }
        DWORD size = 0;
        if (Registry().QueryValue(key, "UserFilter", type, nullptr, &size) != win::ERROR_SUCCESS)
            return std::nullopt;
        Bytes data(size);
        Registry().QueryValue(key, "UserFilter", type, data.data(), &size);
        return data;
    }

    nestora_test::TempSandbox sandbox_;
    config::CheckConfig config_;
};

TEST_F(CompatibilityViewTest, WithoutASectionEverythingIsNormalAndNothingIsRead) {
    config_.results.registryOk = false;
    EXPECT_TRUE(Check(false));
    EXPECT_TRUE(config_.results.registryOk);
    EXPECT_FALSE(ListKeyExists());
}

TEST_F(CompatibilityViewTest, CompatibilityForAllSitesNeedsNoList) {
    SetDomains({"bank.example"});
    SetAllSites(2);
    EXPECT_FALSE(Check(false));
    SetAllSites(1);
    EXPECT_TRUE(Check(false));
    EXPECT_TRUE(config_.results.registryOk);
    EXPECT_TRUE(Check(true));
    EXPECT_FALSE(List().has_value());
}

TEST_F(CompatibilityViewTest, ACheckCreatesTheListKeyButWritesNoValue) {
    SetDomains({"bank.example"});
    EXPECT_FALSE(Check(false));
    EXPECT_FALSE(config_.results.registryOk);
    EXPECT_TRUE(ListKeyExists());
    EXPECT_FALSE(List().has_value());
}

TEST_F(CompatibilityViewTest, ARepairWritesANewListWithEveryDomain) {
    SetDomains({"bank.example", "ebank.example.com"});
    EXPECT_TRUE(Check(true));
    DWORD type = 0;
    const auto list = List(&type);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(type, platform::REG_BINARY);
    ExpectHeader(*list, 2);
    EXPECT_EQ((*list)[8], 2);
    EXPECT_EQ((*list)[20], 2);
    EXPECT_EQ((*list)[12], list->size() - 12);
    size_t offset = ExpectEntry(*list, kHeaderSize, "bank.example");
    offset = ExpectEntry(*list, offset, "ebank.example.com");
    EXPECT_EQ(offset, list->size());
    EXPECT_TRUE(Check(false));
}

TEST_F(CompatibilityViewTest, ARepairAppendsOnlyMissingDomainsToAnExistingList) {
    SetDomains({"bank.example"});
    ASSERT_TRUE(Check(true));
    const Bytes first = *List();

    SetDomains({"bank.example", "pay.example", "bank.example"});
    EXPECT_FALSE(Check(false));
    EXPECT_TRUE(Check(true));
    const Bytes second = *List();
    ExpectHeader(second, 2);
    EXPECT_EQ(Bytes(second.begin() + kHeaderSize, second.begin() + first.size()),
              Bytes(first.begin() + kHeaderSize, first.end()));
    EXPECT_EQ(ExpectEntry(second, first.size(), "pay.example"), second.size());
    EXPECT_TRUE(Check(false));
}

TEST_F(CompatibilityViewTest, SearchFindsDomainsInsideLongerNamesAndComparesCase) {
    SetDomains({"www.bank.example"});
    ASSERT_TRUE(Check(true));

    SetDomains({"bank.example"});
    EXPECT_TRUE(Check(false));
    EXPECT_TRUE(Check(true));
    ExpectHeader(*List(), 1);

    SetDomains({"Bank.example"});
    EXPECT_FALSE(Check(false));
    EXPECT_TRUE(Check(true));
    ExpectHeader(*List(), 2);
}

TEST_F(CompatibilityViewTest, CountsAndLengthStayWholeBeyond255) {
    std::vector<std::string> domains;
    for (int i = 0; i < 300; ++i)
        domains.push_back("site" + std::to_string(i) + ".example");
    SetDomains(domains);
    ASSERT_TRUE(Check(true));
    const Bytes list = *List();
    ExpectHeader(list, 300);
    EXPECT_GT(Le32(list, 12), 0xFFu);

    domains.push_back("one-more.example");
    SetDomains(domains);
    EXPECT_FALSE(Check(false));
    ASSERT_TRUE(Check(true));
    const Bytes grown = *List();
    ExpectHeader(grown, 301);
    EXPECT_EQ(ExpectEntry(grown, list.size(), "one-more.example"), grown.size());
    EXPECT_TRUE(Check(false));
}

TEST_F(CompatibilityViewTest, AnUnusableListIsReplacedByANewOne) {
    struct Case {
        const char* label;
        DWORD type;
        Bytes data;
    };
    const Case cases[] = {
        {"shorter than the header", platform::REG_BINARY, {0x41, 0x1F, 0, 0, 0x53, 0x08}},
        {"empty", platform::REG_BINARY, {}},
        {"not binary", platform::REG_SZ, platform::RegSzBytes("bank.example")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetDomains({"bank.example"});
        StoreValue(kListKey, "UserFilter", c.type, c.data);
        EXPECT_FALSE(Check(false));
        EXPECT_TRUE(Check(true));
        DWORD type = 0;
        const Bytes list = *List(&type);
        EXPECT_EQ(type, platform::REG_BINARY);
        ExpectHeader(list, 1);
        EXPECT_EQ(ExpectEntry(list, kHeaderSize, "bank.example"), list.size());
    }
}

TEST_F(CompatibilityViewTest, AListKeyTheUserMayNotWriteFails) {
    SetDomains({"bank.example"});
    ASSERT_TRUE(Check(true));
    ASSERT_EQ(Registry().SetWriteProtected(RegKey::Root(Hive::CurrentUser), kListKey, true),
              win::ERROR_SUCCESS);
    EXPECT_FALSE(Check(false));
    EXPECT_FALSE(Check(true));
    EXPECT_FALSE(config_.results.registryOk);
}

}  // namespace
}  // namespace checks
