#include "tests/support/test_certificate.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

namespace nestora_test {
namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct OpenSslFree {
    void operator()(unsigned char* bytes) const { OPENSSL_free(bytes); }
};

}  // namespace

platform::EncodedCertificate MakeSelfSignedCertificate(const std::vector<NameEntry>& subject,
                                                       long serialNumber) {
    const std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_EC_gen("P-256"));
    const std::unique_ptr<X509, CertificateFree> certificate(X509_new());
    if (!key || !certificate)
        return {};
    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), serialNumber);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 3600);
    X509_NAME* name = X509_get_subject_name(certificate.get());
    for (const auto& [field, text] : subject) {
        X509_NAME_add_entry_by_txt(name, field.c_str(), MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(text.c_str()), -1, -1, 0);
    }
    X509_set_issuer_name(certificate.get(), name);
    X509_set_pubkey(certificate.get(), key.get());
    if (X509_sign(certificate.get(), key.get(), EVP_sha256()) <= 0)
        return {};
    unsigned char* der = nullptr;
    const int size = i2d_X509(certificate.get(), &der);
    const std::unique_ptr<unsigned char, OpenSslFree> owned(der);
    if (size <= 0)
        return {};
    return platform::EncodedCertificate(der, der + size);
}

}  // namespace nestora_test
