#include "platform/linux/internet_curl_transfer.h"

#include <curl/curl.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <mutex>

#include "platform/internet.h"
#include "platform/linux/tls_session_cache.h"
#include "platform/text.h"

namespace platform {
namespace {

// The body held while the reader has not taken it; the transfer pauses beyond this.
constexpr std::size_t kMaxBuffered = 1 << 20;
// Large receives keep the calls into libcurl and the socket few on fast links.
constexpr long kReceiveBufferSize = 512 * 1024;
constexpr long kMaxRedirects = 10;
constexpr std::chrono::milliseconds kPollSlice{500};

struct CurlErrorMapping {
    CURLcode curl;
    win::DWORD internet;
};

constexpr CurlErrorMapping kCurlErrors[] = {
    {CURLE_UNSUPPORTED_PROTOCOL, ERROR_INTERNET_UNRECOGNIZED_SCHEME},
    {CURLE_URL_MALFORMAT, ERROR_INTERNET_INVALID_URL},
    {CURLE_COULDNT_RESOLVE_HOST, ERROR_INTERNET_NAME_NOT_RESOLVED},
    {CURLE_COULDNT_RESOLVE_PROXY, ERROR_INTERNET_NAME_NOT_RESOLVED},
    {CURLE_COULDNT_CONNECT, ERROR_INTERNET_CANNOT_CONNECT},
    {CURLE_OPERATION_TIMEDOUT, ERROR_INTERNET_TIMEOUT},
    {CURLE_PARTIAL_FILE, ERROR_INTERNET_CONNECTION_ABORTED},
    {CURLE_RECV_ERROR, ERROR_INTERNET_CONNECTION_RESET},
    {CURLE_SEND_ERROR, ERROR_INTERNET_CONNECTION_RESET},
    {CURLE_GOT_NOTHING, ERROR_HTTP_INVALID_SERVER_RESPONSE},
    {CURLE_WEIRD_SERVER_REPLY, ERROR_HTTP_INVALID_SERVER_RESPONSE},
    {CURLE_TOO_MANY_REDIRECTS, ERROR_HTTP_INVALID_SERVER_RESPONSE},
    {CURLE_SSL_CONNECT_ERROR, ERROR_INTERNET_SECURITY_CHANNEL_ERROR},
    {CURLE_SSL_CACERT_BADFILE, ERROR_INTERNET_SECURITY_CHANNEL_ERROR},
};

// A rejected server certificate, told apart by what the verification found.
win::DWORD CertificateError(long verifyResult) {
    switch (verifyResult) {
        case X509_V_OK:  // the chain was good, so the name did not match
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return ERROR_INTERNET_SEC_CERT_CN_INVALID;
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
        default:
            return ERROR_INTERNET_INVALID_CA;
    }
}

win::DWORD InternetErrorOf(CURLcode code, long verifyResult) {
    if (code == CURLE_PEER_FAILED_VERIFICATION)
        return CertificateError(verifyResult);
    for (const auto& mapping : kCurlErrors) {
        if (mapping.curl == code)
            return mapping.internet;
    }
    return ERROR_INTERNET_INTERNAL_ERROR;
}

void InitialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string_view TrimSpace(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

CurlTransfer::CurlTransfer(const TransferSettings& settings)
    : receiveTimeout_(settings.receiveTimeout), lastActivity_(Clock::now()) {
    InitialiseCurlOnce();
    multi_ = curl_multi_init();
    easy_ = curl_easy_init();
    if (!multi_ || !easy_) {
        curl_easy_cleanup(easy_);
        curl_multi_cleanup(multi_);
        throw InternetException(ERROR_INTERNET_INTERNAL_ERROR, "cannot start a transfer");
    }
    curl_blob caBundle{const_cast<char*>(settings.caBundlePem.data()), settings.caBundlePem.size(),
                       CURL_BLOB_COPY};
    if ((tlsSessions_ = CurrentTlsSessionShare()))
        UseTlsSessionShare(easy_, *tlsSessions_);
    curl_easy_setopt(easy_, CURLOPT_URL, settings.url.c_str());
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, settings.userAgent.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(settings.connectTimeout.count()));
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy_, CURLOPT_CAINFO_BLOB, &caBundle);
    curl_easy_setopt(easy_, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorText_);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlTransfer::OnHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlTransfer::OnBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_multi_add_handle(multi_, easy_);

    // The destructor does not run for a constructor that raises, so release here.
    try {
        AdvanceUntil([this] { return headersDone_; });
        if (!headersDone_ && result_ != CURLE_OK)
            ThrowTransferError();
    } catch (...) {
        curl_multi_remove_handle(multi_, easy_);
        curl_easy_cleanup(easy_);
        curl_multi_cleanup(multi_);
        throw;
    }
    if (!headersDone_) {
        long code = 0;
        curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
        statusCode_ = static_cast<win::DWORD>(code);
        headersDone_ = true;
    }
}

CurlTransfer::~CurlTransfer() {
    curl_multi_remove_handle(multi_, easy_);
    curl_easy_cleanup(easy_);
    curl_multi_cleanup(multi_);
}

std::size_t CurlTransfer::Read(void* buffer, std::size_t size) {
    if (size == 0)
        return 0;
    // Most reads are served from what earlier transfer steps left; only an empty buffer
    // drives the transfer on.
    if (Buffered() == 0)
        AdvanceUntil([this] { return Buffered() > 0; });
    if (Buffered() == 0) {
        if (result_ != CURLE_OK)
            ThrowTransferError();
        return 0;
    }
    const std::size_t count = std::min(size, Buffered());
    std::memcpy(buffer, body_.data() + bodyOffset_, count);
    bodyOffset_ += count;
    if (bodyOffset_ == body_.size()) {
        body_.clear();
        bodyOffset_ = 0;
    }
    return count;
}

std::size_t CurlTransfer::OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
    static_cast<CurlTransfer*>(self)->TakeHeaderLine(std::string_view(data, size * count));
    return size * count;
}

std::size_t CurlTransfer::OnBody(char* data, std::size_t size, std::size_t count, void* self) {
    return static_cast<CurlTransfer*>(self)->TakeBody(data, size * count);
}

void CurlTransfer::TakeHeaderLine(std::string_view line) {
    lastActivity_ = Clock::now();
    if (headersDone_)
        return;  // trailers of a chunked body
    if (line.starts_with("HTTP/")) {
        sawLocation_ = false;
        contentLength_ = 0;
        return;
    }
    const std::string_view content = TrimSpace(line);
    if (content.empty()) {
        long code = 0;
        curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
        const bool interim = code >= 100 && code < 200;
        const bool followed = code >= 300 && code < 400 && sawLocation_;
        if (interim || followed)
            return;
        statusCode_ = static_cast<win::DWORD>(code);
        headersDone_ = true;
        return;
    }
    const auto colon = content.find(':');
    if (colon == std::string_view::npos)
        return;
    const std::string_view name = TrimSpace(content.substr(0, colon));
    const std::string_view value = TrimSpace(content.substr(colon + 1));
    if (EqualsIgnoreCase(name, "location")) {
        sawLocation_ = !value.empty();
    } else if (EqualsIgnoreCase(name, "content-length")) {
        std::uint64_t length = 0;
        const auto parsed = std::from_chars(value.data(), value.data() + value.size(), length);
        contentLength_ = parsed.ec == std::errc() ? length : 0;
    }
}

std::size_t CurlTransfer::TakeBody(const char* data, std::size_t size) {
    if (Buffered() >= kMaxBuffered) {
        paused_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    lastActivity_ = Clock::now();
    headersDone_ = true;
    body_.insert(body_.end(), data, data + size);
    return size;
}

template <typename Done>
void CurlTransfer::AdvanceUntil(Done done) {
    lastActivity_ = Clock::now();  // the time-out counts only the time spent waiting here
    while (!done() && !finished_) {
        if (paused_) {
            paused_ = false;
            curl_easy_pause(easy_, CURLPAUSE_CONT);
        }
        int running = 0;
        if (curl_multi_perform(multi_, &running) != CURLM_OK) {
            throw InternetException(ERROR_INTERNET_INTERNAL_ERROR, "transfer failed");
        }
        CollectCompletion();
        if (done() || finished_)
            return;
        CheckReceiveTimeout();
        const auto waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastActivity_);
        const auto slice =
            std::clamp(receiveTimeout_ - waited, std::chrono::milliseconds(1), kPollSlice);
        curl_multi_poll(multi_, nullptr, 0, static_cast<int>(slice.count()), nullptr);
    }
}

void CurlTransfer::CollectCompletion() {
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
        if (message->msg == CURLMSG_DONE) {
            finished_ = true;
            result_ = message->data.result;
        }
    }
}

// The receive time-out counts from the last bytes received; while the connection is still
// being made, the connect time-out applies instead.
void CurlTransfer::CheckReceiveTimeout() {
    curl_off_t connectTime = 0;
    curl_easy_getinfo(easy_, CURLINFO_CONNECT_TIME_T, &connectTime);
    if (connectTime == 0) {
        lastActivity_ = Clock::now();
        return;
    }
    if (Clock::now() - lastActivity_ >= receiveTimeout_) {
        throw InternetException(ERROR_INTERNET_TIMEOUT, "no data received within the time-out");
    }
}

void CurlTransfer::ThrowTransferError() const {
    const auto code = static_cast<CURLcode>(result_);
    long verifyResult = X509_V_OK;
    curl_easy_getinfo(easy_, CURLINFO_SSL_VERIFYRESULT, &verifyResult);
    const std::string message = errorText_[0] ? errorText_ : curl_easy_strerror(code);
    throw InternetException(InternetErrorOf(code, verifyResult), message);
}

}  // namespace platform
