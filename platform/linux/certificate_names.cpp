// The certificate name functions of certificate_store.h over OpenSSL.
#include <openssl/asn1.h>
#include <openssl/bn.h>
#include <openssl/objects.h>
#include <openssl/sha.h>
#include <openssl/x509.h>

#include <array>
#include <cstdio>
#include <ctime>

#include "platform/certificate_store.h"
#include "platform/text.h"

namespace platform {
namespace {

struct X509Deleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using X509Pointer = std::unique_ptr<X509, X509Deleter>;

X509Pointer ParseCertificate(std::span<const std::uint8_t> der) {
    const unsigned char* cursor = der.data();
    X509Pointer certificate(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
    if (!certificate || cursor != der.data() + der.size())
        return nullptr;
    return certificate;
}

std::string EntryText(const X509_NAME_ENTRY* entry) {
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(entry));
    if (length < 0)
        return {};
    std::string text(reinterpret_cast<const char*>(utf8), static_cast<std::size_t>(length));
    OPENSSL_free(utf8);
    return text;
}

// "C=CN, O=CFCA Root CA" with `withNames`, else the values alone: "CN, CFCA Root CA".
std::string NameText(const X509_NAME* name, bool withNames) {
    std::string text;
    for (int i = 0; i < X509_NAME_entry_count(name); ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
        if (!text.empty())
            text += ", ";
        if (withNames) {
            const int nid = OBJ_obj2nid(X509_NAME_ENTRY_get_object(entry));
            const char* shortName = nid == NID_undef ? nullptr : OBJ_nid2sn(nid);
            text += shortName ? shortName : "?";
            text += '=';
        }
        text += EntryText(entry);
    }
    return text;
}

std::string ObjectIdentifier(const ASN1_OBJECT* object) {
    std::array<char, 128> text{};
    OBJ_obj2txt(text.data(), static_cast<int>(text.size()), object, 1);
    return text.data();
}

std::string UpperHex(const unsigned char* bytes, std::size_t size) {
    std::string hex;
    for (std::size_t i = 0; i < size; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        hex += pair;
    }
    return hex;
}

std::string SerialText(const X509* certificate) {
    BIGNUM* serial = ASN1_INTEGER_to_BN(X509_get0_serialNumber(certificate), nullptr);
    if (!serial)
        return {};
    char* hex = BN_bn2hex(serial);
    std::string text = hex ? hex : "";
    OPENSSL_free(hex);
    BN_free(serial);
    return text;
}

std::string TimeText(const ASN1_TIME* time) {
    std::tm parts{};
    if (!time || ASN1_TIME_to_tm(time, &parts) != 1)
        return {};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

}  // namespace

std::vector<EncodedCertificate> FindCertificatesBySubject(const CertificateStore& store,
                                                          std::string_view text) {
    const std::string wanted = AsciiLower(text);
    std::vector<EncodedCertificate> found;
    for (EncodedCertificate& der : store.Certificates()) {
        const X509Pointer certificate = ParseCertificate(der);
        if (!certificate)
            continue;
        const std::string subject =
            AsciiLower(NameText(X509_get_subject_name(certificate.get()), false));
        if (subject.find(wanted) != std::string::npos)
            found.push_back(std::move(der));
    }
    return found;
}

std::string GetSubjectAttribute(std::span<const std::uint8_t> der, std::string_view oid) {
    const X509Pointer certificate = ParseCertificate(der);
    if (!certificate)
        return {};
    const X509_NAME* subject = X509_get_subject_name(certificate.get());
    for (int i = 0; i < X509_NAME_entry_count(subject); ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(subject, i);
        if (ObjectIdentifier(X509_NAME_ENTRY_get_object(entry)) == oid)
            return EntryText(entry);
    }
    return {};
}

std::optional<CertificateSummary> SummarizeCertificate(std::span<const std::uint8_t> der) {
    const X509Pointer certificate = ParseCertificate(der);
    if (!certificate)
        return std::nullopt;
    std::array<unsigned char, SHA_DIGEST_LENGTH> digest{};
    SHA1(der.data(), der.size(), digest.data());
    return CertificateSummary{
        NameText(X509_get_subject_name(certificate.get()), true),
        NameText(X509_get_issuer_name(certificate.get()), true),
        SerialText(certificate.get()),
        UpperHex(digest.data(), digest.size()),
        TimeText(X509_get0_notBefore(certificate.get())),
        TimeText(X509_get0_notAfter(certificate.get())),
    };
}

}  // namespace platform
