// One HTTP request driven by libcurl's multi interface from the reading thread: the caller
// pulls the body in chunks and the transfer advances only as far as the reads need, so at
// most about one and a half megabytes of the body are held at any time, whatever its size.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

typedef void CURL;
typedef void CURLM;

namespace platform {

class TlsSessionShare;

struct TransferSettings {
    std::string url;
    std::string userAgent;
    std::chrono::milliseconds connectTimeout{60000};
    std::chrono::milliseconds receiveTimeout{60000};
    std::string caBundlePem;  // the certificates that server certificates must chain to
};

class CurlTransfer {
public:
    // Sends the request and returns once the final answer's headers arrived (redirects are
    // followed). Raises InternetException.
    explicit CurlTransfer(const TransferSettings& settings);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    win::DWORD StatusCode() const { return statusCode_; }
    std::uint64_t ContentLength() const { return contentLength_; }
    // Up to `size` bytes of the body; 0 at its end. Raises InternetException.
    std::size_t Read(void* buffer, std::size_t size);

private:
    using Clock = std::chrono::steady_clock;

    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self);
    void TakeHeaderLine(std::string_view line);
    std::size_t TakeBody(const char* data, std::size_t size);

    template <typename Done>
    void AdvanceUntil(Done done);
    void CollectCompletion();
    void CheckReceiveTimeout();
    [[noreturn]] void ThrowTransferError() const;
    std::size_t Buffered() const { return body_.size() - bodyOffset_; }

    std::shared_ptr<TlsSessionShare> tlsSessions_;  // outlives the handles below
    CURLM* multi_ = nullptr;
    CURL* easy_ = nullptr;
    std::chrono::milliseconds receiveTimeout_;
    Clock::time_point lastActivity_;
    char errorText_[256] = {};

    // The answer being received; a redirect or interim answer starts a new one.
    bool sawLocation_ = false;
    std::uint64_t contentLength_ = 0;
    bool headersDone_ = false;
    win::DWORD statusCode_ = 0;

    std::vector<char> body_;
    std::size_t bodyOffset_ = 0;
    bool paused_ = false;
    bool finished_ = false;
    int result_ = 0;  // the CURLcode of the finished transfer
};

}  // namespace platform
