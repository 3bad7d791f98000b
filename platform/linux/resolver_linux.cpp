#include "platform/linux/resolver_linux.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/text.h"

namespace platform {
namespace {

static_assert(kAddressFamilyInet == AF_INET);
static_assert(kInvalidAddress == INADDR_NONE);

// gethostbyname_r and gethostbyaddr_r, called with a buffer that grows until it is large
// enough; `lookup` is one of the two with its question bound.
template <typename Lookup>
std::optional<HostEntry> LookUp(Lookup lookup) {
    std::vector<char> buffer(1024);
    hostent entry{};
    hostent* found = nullptr;
    int hostError = 0;
    while (lookup(&entry, buffer.data(), buffer.size(), &found, &hostError) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    if (!found || found->h_addrtype != AF_INET || found->h_length != 4)
        return std::nullopt;
    HostEntry result;
    result.name = found->h_name ? found->h_name : "";
    for (char** alias = found->h_aliases; alias && *alias; ++alias) {
        result.aliases.emplace_back(*alias);
    }
    for (char** address = found->h_addr_list; address && *address; ++address) {
        std::uint32_t value = 0;
        std::memcpy(&value, *address, sizeof value);
        result.addresses.push_back(value);
    }
    return result;
}

// One line of a hosts file: an IPv4 address and the names given to it.
struct HostsLine {
    std::uint32_t address = 0;
    std::vector<std::string> names;
};

// The IPv4 lines of a hosts file, in file order; comments, IPv6 and malformed lines are
// left out. A missing file has no lines.
std::vector<HostsLine> ReadHostsFile(const std::filesystem::path& file) {
    std::vector<HostsLine> lines;
    if (file.empty())
        return lines;
    std::ifstream in(file, std::ios::binary);
    std::string text;
    while (std::getline(in, text)) {
        text = text.substr(0, text.find('#'));
        std::istringstream fields(text);
        std::string address;
        HostsLine line;
        if (!(fields >> address) || inet_pton(AF_INET, address.c_str(), &line.address) != 1)
            continue;
        for (std::string name; fields >> name;)
            line.names.push_back(name);
        if (!line.names.empty())
            lines.push_back(std::move(line));
    }
    return lines;
}

std::optional<HostEntry> FindNameInHostsFile(const std::filesystem::path& file,
                                             std::string_view name) {
    HostEntry entry;
    for (const auto& line : ReadHostsFile(file)) {
        for (const auto& listed : line.names) {
            if (EqualsIgnoreCase(listed, name)) {
                entry.addresses.push_back(line.address);
                break;
            }
        }
    }
    if (entry.addresses.empty())
        return std::nullopt;
    entry.name = std::string(name);
    return entry;
}

std::optional<HostEntry> FindAddressInHostsFile(const std::filesystem::path& file,
                                                std::uint32_t address) {
    for (const auto& line : ReadHostsFile(file)) {
        if (line.address == address) {
            return HostEntry{line.names.front(),
                             std::vector<std::string>(line.names.begin() + 1, line.names.end()),
                             kAddressFamilyInet,
                             {address}};
        }
    }
    return std::nullopt;
}

class SystemResolver : public Resolver {
public:
    explicit SystemResolver(std::filesystem::path hostsFile) : hostsFile_(std::move(hostsFile)) {}

    std::optional<HostEntry> GetHostByName(std::string_view name) override {
        if (auto listed = FindNameInHostsFile(hostsFile_, name))
            return listed;
        const std::string text(name);
        return LookUp(
            [&](hostent* entry, char* buffer, std::size_t size, hostent** found, int* hostError) {
                return gethostbyname_r(text.c_str(), entry, buffer, size, found, hostError);
            });
    }

    std::optional<HostEntry> GetHostByAddr(std::uint32_t address) override {
        if (auto listed = FindAddressInHostsFile(hostsFile_, address))
            return listed;
        return LookUp(
            [&](hostent* entry, char* buffer, std::size_t size, hostent** found, int* hostError) {
                return gethostbyaddr_r(&address, sizeof address, AF_INET, entry, buffer, size,
                                       found, hostError);
            });
    }

private:
    std::filesystem::path hostsFile_;
};

}  // namespace

std::unique_ptr<Resolver> MakeSystemResolver(std::filesystem::path hostsFile) {
    return std::make_unique<SystemResolver>(std::move(hostsFile));
}

std::uint32_t InetAddr(std::string_view text) {
    if (text.empty())
        return kInvalidAddress;
    const std::string terminated(text);
    return inet_addr(terminated.c_str());
}

std::string InetNtoa(std::uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

}  // namespace platform
