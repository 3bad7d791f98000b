#include "platform/linux/resolver_linux.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>

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

class SystemResolver : public Resolver {
public:
    std::optional<HostEntry> GetHostByName(std::string_view name) override {
        const std::string text(name);
        return LookUp(
            [&](hostent* entry, char* buffer, std::size_t size, hostent** found, int* hostError) {
                return gethostbyname_r(text.c_str(), entry, buffer, size, found, hostError);
            });
    }

    std::optional<HostEntry> GetHostByAddr(std::uint32_t address) override {
        return LookUp(
            [&](hostent* entry, char* buffer, std::size_t size, hostent** found, int* hostError) {
                return gethostbyaddr_r(&address, sizeof address, AF_INET, entry, buffer, size,
                                       found, hostError);
            });
    }
};

}  // namespace

std::unique_ptr<Resolver> MakeSystemResolver() {
    return std::make_unique<SystemResolver>();
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
