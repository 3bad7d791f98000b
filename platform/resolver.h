// Name resolution with the shape of the socket library's host calls: forward and reverse
// lookups that return one host entry with its official name, aliases and IPv4 addresses.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The address family of IPv4 host entries (AF_INET).
constexpr int kAddressFamilyInet = 2;
// What InetAddr returns for text that is not an address (INADDR_NONE).
constexpr std::uint32_t kInvalidAddress = 0xFFFFFFFFu;

// An IPv4 address is held as the four bytes in network order, read as one 32-bit number in
// memory order (the in_addr layout): InetAddr("127.0.0.1") has the bytes 7F 00 00 01.
struct HostEntry {
    std::string name;  // the official name
    std::vector<std::string> aliases;
    int addressType = kAddressFamilyInet;
    std::vector<std::uint32_t> addresses;
};

class Resolver {
public:
    virtual ~Resolver() = default;

    // gethostbyname: a name, or a dotted address (which comes back as it is); nothing when
    // the name does not resolve to any IPv4 address.
    virtual std::optional<HostEntry> GetHostByName(std::string_view name) = 0;
    // gethostbyaddr of an IPv4 address: nothing when there is no reverse record.
    virtual std::optional<HostEntry> GetHostByAddr(std::uint32_t address) = 0;
};

// inet_addr: dotted text (also the shorter and hexadecimal forms) to an address;
// kInvalidAddress when the text is not one.
std::uint32_t InetAddr(std::string_view text);
// inet_ntoa: the dotted text of an address.
std::string InetNtoa(std::uint32_t address);

}  // namespace platform
