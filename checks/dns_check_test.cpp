#include "checks/dns_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/context.h"
#include "platform/resolver.h"
#include "tests/support/temp_sandbox.h"

namespace checks {
namespace {

using Addresses = std::vector<std::string>;

// Answers from a table and records what was asked.
class TableResolver : public platform::Resolver {
public:
    std::map<std::string, Addresses> forward;
    std::map<std::string, Addresses> reverse;  // by dotted address
    std::vector<std::string> asked;

    std::optional<platform::HostEntry> GetHostByName(std::string_view name) override {
        asked.emplace_back(name);
        return EntryOf(forward, std::string(name));
    }
    std::optional<platform::HostEntry> GetHostByAddr(std::uint32_t address) override {
        const std::string dotted = platform::InetNtoa(address);
        asked.push_back("reverse " + dotted);
        return EntryOf(reverse, dotted);
    }

private:
    static std::optional<platform::HostEntry> EntryOf(const std::map<std::string, Addresses>& table,
                                                      const std::string& key) {
        const auto found = table.find(key);
        if (found == table.end())
            return std::nullopt;
        platform::HostEntry entry{key, {}, platform::kAddressFamilyInet, {}};
        for (const std::string& address : found->second)
            entry.addresses.push_back(platform::InetAddr(address));
        return entry;
    }
};

class DnsCheckTest : public ::testing::Test {
protected:
    DnsCheckTest() {
        auto resolver = std::make_unique<TableResolver>();
        resolver_ = resolver.get();
        sandbox_.Context().resolver = std::move(resolver);
    }

    // Entries of the "dns" section: host name, address, display name.
    void SetEntries(const std::vector<std::array<std::string, 3>>& entries) {
        config_.sections.clear();
        config::ConfigSection section{"dns", {}};
        for (const auto& [host, address, display] : entries)
            section.entries.push_back({host, display, "", address, ""});
        config_.sections.push_back(section);
    }

    bool Check() { return CheckDns(sandbox_.Context(), config_); }

    nestora_test::TempSandbox sandbox_;
    TableResolver* resolver_ = nullptr;
    config::CheckConfig config_;
};

TEST_F(DnsCheckTest, EveryAddressMustBeAmongTheConfiguredOnes) {
    SetEntries({{"bank.example", "1.1.1.1", ""}, {"bank.example", "2.2.2.2", ""}});
    const std::pair<Addresses, bool> cases[] = {
        {{"2.2.2.2"}, true},
        {{"1.1.1.1", "2.2.2.2"}, true},
        {{"1.1.1.1", "3.3.3.3"}, false},
        {{"3.3.3.3"}, false},
        {{}, false},
    };
    for (const auto& [resolved, ok] : cases) {
        SCOPED_TRACE(::testing::PrintToString(resolved));
        resolver_->forward["bank.example"] = resolved;
        config_.results.dnsOk = !ok;
        EXPECT_EQ(Check(), ok);
        EXPECT_EQ(config_.results.dnsOk, ok);
    }
}

TEST_F(DnsCheckTest, ANameThatDoesNotResolveFails) {
    SetEntries({{"bank.example", "1.1.1.1", ""}});
    EXPECT_FALSE(Check());
}

TEST_F(DnsCheckTest, HostNamesAreResolvedInByteOrderUntilOneFails) {
    SetEntries(
        {{"b.example", "2.2.2.2", ""}, {"a.example", "1.1.1.1", ""}, {"B.example", "3.3.3.3", ""}});
    resolver_->forward["a.example"] = {"1.1.1.1"};
    resolver_->forward["B.example"] = {"9.9.9.9"};
    resolver_->forward["b.example"] = {"2.2.2.2"};
    EXPECT_FALSE(Check());
    EXPECT_EQ(resolver_->asked, (std::vector<std::string>{"B.example"}));

    resolver_->forward["B.example"] = {"3.3.3.3"};
    resolver_->asked.clear();
    EXPECT_TRUE(Check());
    EXPECT_EQ(resolver_->asked, (std::vector<std::string>{"B.example", "a.example", "b.example"}));
}

TEST_F(DnsCheckTest, NumericNamesAreLookedUpInReverse) {
    SetEntries({{"10.0.0.7", "10.0.0.7", ""}});
    EXPECT_FALSE(Check());  // no reverse record
    EXPECT_EQ(resolver_->asked, (std::vector<std::string>{"reverse 10.0.0.7"}));

    resolver_->reverse["10.0.0.7"] = {"10.0.0.7"};
    EXPECT_TRUE(Check());

    resolver_->asked.clear();
    SetEntries({{"1.2.3.4.5", "1.2.3.4", ""}});
    EXPECT_FALSE(Check());
    EXPECT_TRUE(resolver_->asked.empty());  // not an address: nothing to look up
}

TEST_F(DnsCheckTest, TheLastEntryWithTheAddressAndADisplayNameNamesTheResult) {
    SetEntries({{"bank.example", "1.1.1.1", "First"},
                {"other.example", "1.1.1.1", "Second"},
                {"bank.example", "2.2.2.2", "Third"},
                {"other.example", "1.1.1.1", ""}});
    resolver_->forward["bank.example"] = {"1.1.1.1"};
    resolver_->forward["other.example"] = {"1.1.1.1"};
    EXPECT_TRUE(Check());
    EXPECT_EQ(config_.results.dnsDisplayName, "Second");

    // A later failure does not clear the name.
    resolver_->forward["other.example"] = {"5.5.5.5"};
    EXPECT_FALSE(Check());
    EXPECT_EQ(config_.results.dnsDisplayName, "Second");
}

TEST_F(DnsCheckTest, WithoutADnsSectionNothingIsResolved) {
    config_.results.dnsOk = false;
    EXPECT_TRUE(Check());
    EXPECT_TRUE(config_.results.dnsOk);
    EXPECT_TRUE(resolver_->asked.empty());
}

TEST(ResolveHostAddresses, UsesTheSystemResolver) {
    nestora_test::TempSandbox sandbox;
    const Addresses forward = ResolveHostAddresses(sandbox.Context(), "localhost");
    EXPECT_NE(std::find(forward.begin(), forward.end(), "127.0.0.1"), forward.end());
    EXPECT_EQ(ResolveHostAddresses(sandbox.Context(), "127.0.0.1"), Addresses{"127.0.0.1"});
    EXPECT_TRUE(ResolveHostAddresses(sandbox.Context(), "255.255.255.255").empty());
    EXPECT_TRUE(
        ResolveHostAddresses(sandbox.Context(), "name.that.does.not.exist.invalid").empty());
}

}  // namespace
}  // namespace checks
