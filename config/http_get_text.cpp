#include "config/http_get_text.h"

#include <array>

#include "platform/internet.h"
#include "platform/text.h"

namespace config {
namespace {

constexpr win::DWORD kConnectTimeoutMs = 30000;
constexpr std::size_t kChunkSize = 4096;

bool IsSecureAddress(const std::string& url) {
    constexpr std::string_view kHttps = "https://";
    return url.size() >= kHttps.size() &&
           platform::EqualsIgnoreCase(std::string_view(url).substr(0, kHttps.size()), kHttps);
}

std::string ReadWholeBody(platform::HttpFile& file) {
    std::string body;
    std::array<char, kChunkSize> chunk;
    while (std::size_t count = file.Read(chunk.data(), chunk.size())) {
        body.append(chunk.data(), count);
    }
    return body;
}

}  // namespace

win::DWORD RequestOpenFlags(const std::string& url) {
    win::DWORD flags = platform::INTERNET_FLAG_RELOAD | platform::INTERNET_FLAG_NO_CACHE_WRITE |
                       platform::INTERNET_FLAG_TRANSFER_ASCII;
    if (IsSecureAddress(url)) {
        flags |= platform::INTERNET_FLAG_SECURE;
    }
    return flags;
}

std::string HttpGetText(platform::InternetSession& session, const std::string& url) {
    try {
        session.SetOption(platform::INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs);
        std::unique_ptr<platform::HttpFile> file = session.OpenUrl(url, RequestOpenFlags(url));
        if (!file) {
            return {};
        }
        file->SendRequest();
        const win::DWORD status = file->StatusCode();
        const std::uint64_t announced = file->ContentLength();
        std::string body = status == 200 ? ReadWholeBody(*file) : std::string();
        if (announced != 0 && announced != body.size()) {
            return {};
        }
        return body;
    } catch (const platform::InternetException&) {
        return {};
    }
}

}  // namespace config
