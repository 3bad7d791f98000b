#include "platform/linux/internet_curl.h"

#include <curl/curl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

#include <fstream>
#include <iterator>

#include "platform/linux/certificate_store_sandbox.h"
#include "platform/linux/internet_curl_transfer.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::milliseconds kDefaultTimeout{60000};
constexpr const char* kFallbackCaBundle = "/etc/ssl/certs/ca-certificates.crt";

// The CA bundle libcurl was built to use, read once per process.
const std::string& SystemCaBundle() {
    static const std::string bundle = [] {
        std::string path = kFallbackCaBundle;
        if (CURL* probe = curl_easy_init()) {
            char* builtIn = nullptr;
            if (curl_easy_getinfo(probe, CURLINFO_CAINFO, &builtIn) == CURLE_OK && builtIn) {
                path = builtIn;
            }
            curl_easy_cleanup(probe);
        }
        std::ifstream in(path, std::ios::binary);
        std::string text{std::istreambuf_iterator<char>(in), {}};
        if (!text.empty() && text.back() != '\n')
            text += '\n';
        return text;
    }();
    return bundle;
}

std::chrono::milliseconds TimeoutOrDefault(win::DWORD milliseconds) {
    return milliseconds == 0 ? kDefaultTimeout : std::chrono::milliseconds(milliseconds);
}

bool AnyNetworkInterfaceUp() {
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0)
        return false;
    bool up = false;
    for (const ifaddrs* entry = interfaces; entry && !up; entry = entry->ifa_next) {
        if (!entry->ifa_addr)
            continue;
        const int family = entry->ifa_addr->sa_family;
        const bool isInternet = family == AF_INET || family == AF_INET6;
        const unsigned flags = entry->ifa_flags;
        up = isInternet && (flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK);
    }
    freeifaddrs(interfaces);
    return up;
}

class CurlHttpFile : public HttpFile {
public:
    explicit CurlHttpFile(TransferSettings settings)
        : settings_(std::move(settings)), transfer_(std::make_unique<CurlTransfer>(settings_)) {}

    void SendRequest() override { transfer_ = std::make_unique<CurlTransfer>(settings_); }
    win::DWORD StatusCode() const override { return transfer_->StatusCode(); }
    std::uint64_t ContentLength() const override { return transfer_->ContentLength(); }
    std::size_t Read(void* buffer, std::size_t size) override {
        return transfer_->Read(buffer, size);
    }

private:
    TransferSettings settings_;
    std::unique_ptr<CurlTransfer> transfer_;
};

class CurlSession : public InternetSession {
public:
    CurlSession(std::string userAgent, fs::path sandboxRoot)
        : userAgent_(std::move(userAgent)), sandboxRoot_(std::move(sandboxRoot)) {}

    bool SetOption(win::DWORD option, win::DWORD value) override {
        switch (option) {
            case INTERNET_OPTION_CONNECT_TIMEOUT:
                connectTimeout_ = TimeoutOrDefault(value);
                return true;
            case INTERNET_OPTION_RECEIVE_TIMEOUT:
                receiveTimeout_ = TimeoutOrDefault(value);
                return true;
            default:
                return false;
        }
    }

    // The flags change nothing: the scheme of the address decides on TLS, and no request
    // ever reads from or writes to a cache.
    std::unique_ptr<HttpFile> OpenUrl(const std::string& url, win::DWORD) override {
        return std::make_unique<CurlHttpFile>(TransferSettings{
            url, userAgent_, connectTimeout_, receiveTimeout_, TrustedCertificatesPem()});
    }

private:
    std::string TrustedCertificatesPem() const {
        std::string pem = SystemCaBundle();
        if (auto root = MakeSandboxCertificateStores(sandboxRoot_)->OpenSystemStore("ROOT")) {
            pem += EncodePemBundle(root->Certificates());
        }
        return pem;
    }

    std::string userAgent_;
    fs::path sandboxRoot_;
    std::chrono::milliseconds connectTimeout_ = kDefaultTimeout;
    std::chrono::milliseconds receiveTimeout_ = kDefaultTimeout;
};

class CurlInternet : public Internet {
public:
    explicit CurlInternet(fs::path sandboxRoot) : sandboxRoot_(std::move(sandboxRoot)) {}

    std::unique_ptr<InternetSession> OpenSession(const std::string& userAgent) override {
        return std::make_unique<CurlSession>(userAgent, sandboxRoot_);
    }
    bool GetConnectedState() override { return AnyNetworkInterfaceUp(); }

private:
    fs::path sandboxRoot_;
};

}  // namespace

std::unique_ptr<Internet> MakeCurlInternet(const fs::path& sandboxRoot) {
    return std::make_unique<CurlInternet>(sandboxRoot);
}

}  // namespace platform
