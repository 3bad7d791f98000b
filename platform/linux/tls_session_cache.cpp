#include "platform/linux/tls_session_cache.h"

#include <curl/curl.h>

#include <mutex>

namespace platform {

// One share handle of libcurl holding TLS sessions, with the lock that libcurl asks for when
// transfers on several threads use it.
class TlsSessionShare {
public:
    TlsSessionShare() : handle_(curl_share_init()) {
        if (!handle_)
            return;
        curl_share_setopt(handle_, CURLSHOPT_LOCKFUNC, &TlsSessionShare::Lock);
        curl_share_setopt(handle_, CURLSHOPT_UNLOCKFUNC, &TlsSessionShare::Unlock);
        curl_share_setopt(handle_, CURLSHOPT_USERDATA, this);
        curl_share_setopt(handle_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    }
    ~TlsSessionShare() {
        if (handle_)
            curl_share_cleanup(handle_);
    }
    TlsSessionShare(const TlsSessionShare&) = delete;
    TlsSessionShare& operator=(const TlsSessionShare&) = delete;

    CURLSH* Handle() const { return handle_; }

private:
    static void Lock(CURL*, curl_lock_data, curl_lock_access, void* self) {
        static_cast<TlsSessionShare*>(self)->mutex_.lock();
    }
    static void Unlock(CURL*, curl_lock_data, void* self) {
        static_cast<TlsSessionShare*>(self)->mutex_.unlock();
    }

    std::mutex mutex_;
    CURLSH* handle_;
};

namespace {

std::mutex currentMutex;
std::shared_ptr<TlsSessionShare> current;

std::shared_ptr<TlsSessionShare> MakeShare() {
    auto share = std::make_shared<TlsSessionShare>();
    return share->Handle() ? share : nullptr;
}

}  // namespace

std::shared_ptr<TlsSessionShare> CurrentTlsSessionShare() {
    std::lock_guard lock(currentMutex);
    if (!current)
        current = MakeShare();
    return current;
}

void UseTlsSessionShare(CURL* easy, TlsSessionShare& share) {
    curl_easy_setopt(easy, CURLOPT_SHARE, share.Handle());
}

bool EmptyTlsSessionCache() {
    auto fresh = MakeShare();
    if (!fresh)
        return false;
    std::lock_guard lock(currentMutex);
    current = std::move(fresh);
    return true;
}

}  // namespace platform
