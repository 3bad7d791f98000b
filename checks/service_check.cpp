#include "checks/service_check.h"

#include <memory>

#include "platform/context.h"
#include "platform/internet.h"
#include "platform/text.h"

namespace checks {
namespace {

constexpr char kUserAgent[] = "Mozilla/5.0";

bool IsHttpsAddress(const std::string& url) {
    return platform::AsciiLower(url.substr(0, 8)) == "https://";
}

bool OpensUrl(platform::InternetSession& session, const std::string& url) {
    win::DWORD flags = platform::INTERNET_FLAG_RELOAD;
    if (IsHttpsAddress(url))
        flags |= platform::INTERNET_FLAG_SECURE;
    try {
        session.OpenUrl(url, flags);  // the request is closed again at once
        return true;
    } catch (const platform::InternetException&) {
        return false;
    }
}

std::vector<std::string> AddressesOf(const config::ConfigSection& section) {
    std::vector<std::string> urls;
    for (const config::ConfigEntry& entry : section.entries)
        urls.push_back(entry.text);
    return urls;
}

}  // namespace

bool OpenAllUrls(platform::Context& context, const std::vector<std::string>& urls,
                 std::chrono::milliseconds timeout) {
    if (!context.internet)
        return false;
    const std::unique_ptr<platform::InternetSession> session =
        context.internet->OpenSession(kUserAgent);
    if (!session)
        return false;
    const auto milliseconds = static_cast<win::DWORD>(timeout.count());
    session->SetOption(platform::INTERNET_OPTION_CONNECT_TIMEOUT, milliseconds);
    session->SetOption(platform::INTERNET_OPTION_RECEIVE_TIMEOUT, milliseconds);
    for (const std::string& url : urls) {
        if (!OpensUrl(*session, url))
            return false;
    }
    return true;
}

unsigned ServiceCheckThread(platform::Context& context, config::CheckConfig& config,
                            std::chrono::milliseconds timeout) {
    const config::ConfigSection* section = config.FindSection("service");
    const bool reachable =
        section == nullptr || OpenAllUrls(context, AddressesOf(*section), timeout);
    config.results.serviceOk.store(reachable, std::memory_order_release);
    config.results.serviceDone.store(true, std::memory_order_release);
    return reachable ? 1 : 0;
}

}  // namespace checks
