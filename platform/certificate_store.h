// The current user's certificate stores: "ROOT" (trusted root authorities, which the internet
// layer trusts besides the system's own authorities) and "CA" (intermediate authorities).
// Certificates are kept as their DER encoding.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace platform {

using EncodedCertificate = std::vector<std::uint8_t>;

class CertificateStore {
public:
    virtual ~CertificateStore() = default;

    // CertAddEncodedCertificateToStore with CERT_STORE_ADD_REPLACE_EXISTING: a certificate
    // already in the store is replaced by the new copy. ERROR_SUCCESS, ERROR_BAD_FORMAT when
    // the bytes are not one DER-encoded X.509 certificate, ERROR_ACCESS_DENIED when the
    // store cannot be written.
    virtual win::LONG AddEncodedCertificate(std::span<const std::uint8_t> der) = 0;
    // Every certificate of the store, in a stable order.
    virtual std::vector<EncodedCertificate> Certificates() const = 0;
};

class CertificateStores {
public:
    virtual ~CertificateStores() = default;

    // CertOpenSystemStoreW of the current user: "ROOT" or "CA", the name without regard to
    // case. Null for any other name or when the store cannot be made.
    virtual std::unique_ptr<CertificateStore> OpenSystemStore(std::string_view name) = 0;
};

}  // namespace platform
