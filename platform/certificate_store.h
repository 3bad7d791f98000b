// The current user's certificate stores: "ROOT" (trusted root authorities, which the internet
// layer trusts besides the system's own authorities) and "CA" (intermediate authorities).
// Certificates are kept as their DER encoding.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace platform {

using EncodedCertificate = std::vector<std::uint8_t>;

// What the user is shown before a root authority is trusted.
struct CertificateSummary {
    std::string subject;  // "C=CN, O=CFCA Root CA"
    std::string issuer;
    std::string serialNumber;  // hexadecimal, upper case
    std::string thumbprint;    // SHA-1 of the encoding, hexadecimal, upper case
    std::string validFrom;     // "2000-06-12 04:07:06", UTC
    std::string validTo;
};

// Asked before a certificate that is not yet there is added to the "ROOT" store; true when the
// user accepts it. It may be called from any thread.
using RootAdditionPrompt = std::function<bool(const CertificateSummary&)>;

class CertificateStore {
public:
    virtual ~CertificateStore() = default;

    // CertAddEncodedCertificateToStore with CERT_STORE_ADD_REPLACE_EXISTING: a certificate
    // already in the store is replaced by the new copy. ERROR_SUCCESS, ERROR_BAD_FORMAT when
    // the bytes are not one DER-encoded X.509 certificate, ERROR_ACCESS_DENIED when the
    // store cannot be written. Adding a new certificate to "ROOT" asks the user first (the
    // stores' prompt) and gives ERROR_CANCELLED when the user refuses.
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
    // The question asked before a root authority is added, for stores opened before and
    // after. Without one (no host to ask through) the addition is accepted.
    virtual void SetRootAdditionPrompt(RootAdditionPrompt prompt) = 0;
};

// CertFindCertificateInStore with CERT_FIND_SUBJECT_STR_W, enumerated: the certificates whose
// subject (its attribute values joined by ", ") contains `text` without regard to case, in
// the store's order.
std::vector<EncodedCertificate> FindCertificatesBySubject(const CertificateStore& store,
                                                          std::string_view text);

// CertGetNameStringW with CERT_NAME_ATTR_TYPE: the first subject attribute with the object
// identifier `oid` ("2.5.4.10" for the organisation) as UTF-8; "" when there is none or the
// bytes are not a certificate.
std::string GetSubjectAttribute(std::span<const std::uint8_t> der, std::string_view oid);

// Nothing when the bytes are not one DER-encoded certificate.
std::optional<CertificateSummary> SummarizeCertificate(std::span<const std::uint8_t> der);

}  // namespace platform
