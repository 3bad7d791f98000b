#include "platform/linux/resolver_linux.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace platform {
namespace {

std::vector<std::string> DottedAddresses(const HostEntry& entry) {
    std::vector<std::string> texts;
    for (std::uint32_t address : entry.addresses)
        texts.push_back(InetNtoa(address));
    return texts;
}

TEST(ResolverTest, LocalhostResolvesForwardToLoopback) {
    const auto entry = MakeSystemResolver()->GetHostByName("localhost");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->addressType, kAddressFamilyInet);
    const auto addresses = DottedAddresses(*entry);
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), "127.0.0.1"), addresses.end());
}

TEST(ResolverTest, LoopbackResolvesInReverseToLocalhost) {
    const auto entry = MakeSystemResolver()->GetHostByAddr(InetAddr("127.0.0.1"));
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->name, "localhost");
    EXPECT_EQ(DottedAddresses(*entry), std::vector<std::string>{"127.0.0.1"});
}

TEST(ResolverTest, DottedAddressComesBackAsItIs) {
    const auto entry = MakeSystemResolver()->GetHostByName("192.0.2.44");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(DottedAddresses(*entry), std::vector<std::string>{"192.0.2.44"});
}

TEST(ResolverTest, UnknownNamesAndAddressesGiveNothing) {
    auto resolver = MakeSystemResolver();
    EXPECT_FALSE(resolver->GetHostByName("name.that.does.not.exist.invalid").has_value());
    // TEST-NET-1 addresses have no reverse records.
    EXPECT_FALSE(resolver->GetHostByAddr(InetAddr("192.0.2.1")).has_value());
}

TEST(ResolverTest, InetAddrReadsDottedText) {
    struct Case {
        const char* text;
        std::uint32_t bytes;  // the address in network order, as big-endian digits
        bool valid;
    };
    const Case cases[] = {
        {"127.0.0.1", 0x7F000001u, true}, {"10.1.2.3", 0x0A010203u, true},
        {"10.258", 0x0A000102u, true},    {"0x7f.1", 0x7F000001u, true},
        {"0.0.0.0", 0x00000000u, true},   {"", 0, false},
        {"256.1.1.1", 0, false},          {"1.2.3.4.5", 0, false},
        {"bank.example", 0, false},       {"255.255.255.255", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::uint32_t address = InetAddr(c.text);
        if (!c.valid) {
            EXPECT_EQ(address, kInvalidAddress);
            continue;
        }
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&address);
        const std::uint32_t bigEndian = (std::uint32_t{bytes[0]} << 24) |
                                        (std::uint32_t{bytes[1]} << 16) |
                                        (std::uint32_t{bytes[2]} << 8) | bytes[3];
        EXPECT_EQ(bigEndian, c.bytes);
    }
}

TEST(ResolverTest, InetNtoaWritesDottedText) {
    for (const char* text : {"127.0.0.1", "0.0.0.0", "192.168.100.254", "255.255.255.255"}) {
        std::uint32_t address = 0;
        unsigned a = 0, b = 0, c = 0, d = 0;
        ASSERT_EQ(std::sscanf(text, "%u.%u.%u.%u", &a, &b, &c, &d), 4);
        const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                                       static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(d)};
        std::memcpy(&address, bytes, sizeof address);
        EXPECT_EQ(InetNtoa(address), text);
    }
}

// Windows answers from its hosts file before asking DNS; the sandbox's file plays that part.
class HostsFileResolverTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "nestora-hosts-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::unique_ptr<Resolver> ResolverWithHosts(const std::string& text) {
        std::ofstream(folder_ / "hosts", std::ios::binary) << text;
        return MakeSystemResolver(folder_ / "hosts");
    }

    std::filesystem::path folder_;
};

TEST_F(HostsFileResolverTest, ListedNamesAnswerFirstWithoutRegardToCase) {
    auto resolver = ResolverWithHosts(
        "# 10.9.9.9 commented.example\r\n"
        "192.0.2.7\tEBank.Example alias.example # pinned\r\n"
        "::1 ebank.example\r\n"
        "not-an-address ebank.example\r\n"
        "192.0.2.8 ebank.example\r\n"
        "192.0.2.9 localhost\r\n");
    const auto entry = resolver->GetHostByName("ebank.example");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(DottedAddresses(*entry), (std::vector<std::string>{"192.0.2.7", "192.0.2.8"}));
    EXPECT_EQ(DottedAddresses(*resolver->GetHostByName("ALIAS.example")),
              std::vector<std::string>{"192.0.2.7"});
    EXPECT_EQ(DottedAddresses(*resolver->GetHostByName("localhost")),
              std::vector<std::string>{"192.0.2.9"});
    EXPECT_FALSE(resolver->GetHostByName("commented.example").has_value());

    const auto reverse = resolver->GetHostByAddr(InetAddr("192.0.2.7"));
    ASSERT_TRUE(reverse.has_value());
    EXPECT_EQ(reverse->name, "EBank.Example");
    EXPECT_EQ(reverse->aliases, std::vector<std::string>{"alias.example"});
}

TEST_F(HostsFileResolverTest, NamesNotListedGoToTheSystemResolver) {
    auto resolver = ResolverWithHosts("192.0.2.7 ebank.example\n");
    const auto entry = resolver->GetHostByName("localhost");
    ASSERT_TRUE(entry.has_value());
    const auto addresses = DottedAddresses(*entry);
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), "127.0.0.1"), addresses.end());
    EXPECT_EQ(MakeSystemResolver(folder_ / "missing")->GetHostByAddr(InetAddr("127.0.0.1"))->name,
              "localhost");
}

}  // namespace
}  // namespace platform
