// HTTP and HTTPS requests with the shape the program's internet calls have: a session made
// with a user agent that uses the system's proxy settings, addresses opened with cache flags,
// an open request that gives its status, the length the server announced and the body in
// chunks. Every failure of the network is raised as an InternetException, the one exception
// the program catches. Redirects are followed and certificates are always verified.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "platform/win_types.h"

namespace platform {

// Flags of OpenUrl. Only the secure flag changes what is done: it is what an https address
// is opened with; a plain http address works without it. Requests never use a cache, so the
// reload and no-cache-write flags are accepted and always hold.
constexpr win::DWORD INTERNET_FLAG_RELOAD = 0x80000000;
constexpr win::DWORD INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;
constexpr win::DWORD INTERNET_FLAG_SECURE = 0x00800000;
constexpr win::DWORD INTERNET_FLAG_TRANSFER_ASCII = 0x00000001;

// Options of InternetSession::SetOption, in milliseconds.
constexpr win::DWORD INTERNET_OPTION_CONNECT_TIMEOUT = 2;
constexpr win::DWORD INTERNET_OPTION_RECEIVE_TIMEOUT = 6;

// Error codes carried by InternetException.
constexpr win::DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr win::DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr win::DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr win::DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr win::DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr win::DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr win::DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr win::DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr win::DWORD ERROR_INTERNET_SEC_CERT_DATE_INVALID = 12037;
constexpr win::DWORD ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038;
constexpr win::DWORD ERROR_INTERNET_INVALID_CA = 12045;
constexpr win::DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr win::DWORD ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;

class InternetException : public std::exception {
public:
    InternetException(win::DWORD errorCode, std::string message)
        : errorCode_(errorCode), message_(std::move(message)) {}

    win::DWORD ErrorCode() const { return errorCode_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    win::DWORD errorCode_;
    std::string message_;
};

// An open request; the connection is released when the object goes.
class HttpFile {
public:
    virtual ~HttpFile() = default;

    // Sends the request again on this file, as a fresh request of the same address; the
    // status, length and body are then those of the new answer.
    virtual void SendRequest() = 0;
    // The status code of the final answer (after redirects).
    virtual win::DWORD StatusCode() const = 0;
    // The Content-Length the server announced; 0 when it sent none.
    virtual std::uint64_t ContentLength() const = 0;
    // Copies up to `size` bytes of the body into `buffer`; returns the count, 0 at the end of
    // the body. Raises when the connection fails or is cut before the announced length, or
    // when nothing arrives within the session's receive time-out.
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
};

// One session, used by one thread at a time.
class InternetSession {
public:
    virtual ~InternetSession() = default;

    // INTERNET_OPTION_CONNECT_TIMEOUT or INTERNET_OPTION_RECEIVE_TIMEOUT in milliseconds
    // (0 means the default of 60 s); false for any other option.
    virtual bool SetOption(win::DWORD option, win::DWORD value) = 0;
    // Opens an http or https address and returns once the final answer's headers arrived.
    // Never returns null: every failure (bad or non-http address, name not resolved, no
    // connection, time-out, certificate rejected) raises an InternetException.
    virtual std::unique_ptr<HttpFile> OpenUrl(const std::string& url, win::DWORD flags) = 0;
};

class Internet {
public:
    virtual ~Internet() = default;

    // A session with this user agent and the system's proxy settings.
    virtual std::unique_ptr<InternetSession> OpenSession(const std::string& userAgent) = 0;
    // InternetGetConnectedState: true when a network interface other than loopback is up.
    virtual bool GetConnectedState() = 0;
};

}  // namespace platform
