#include "checks/root_certificates.h"

#include <optional>

#include "platform/certificate_store.h"
#include "platform/context.h"
#include "res/certs/certificate_resources.h"

namespace checks {
namespace {

using win::HRESULT;

constexpr std::string_view kOrganizationOid = "2.5.4.10";

struct CfcaCertificate {
    std::string_view resource;
    std::string_view store;
    std::string_view organization;  // the certificate's name: its subject has no common name
};

// In the order they are checked and installed; the root comes first.
constexpr CfcaCertificate kCertificates[] = {
    {"Root_CA", "ROOT", "CFCA Root CA"},           {"Policy_CA", "CA", "CFCA Policy CA"},
    {"Operation_CA", "CA", "CFCA Operation CA"},   {"Operation_CA1", "CA", "CFCA Operation CA1"},
    {"Operation_CA2", "CA", "CFCA Operation CA2"},
};

std::unique_ptr<platform::CertificateStore> OpenStore(platform::Context& context,
                                                      std::string_view name) {
    return context.certificates ? context.certificates->OpenSystemStore(name) : nullptr;
}

HRESULT Look(platform::Context& context, const CfcaCertificate& certificate) {
    return FindCertificateByOrganization(certificate.organization,
                                         OpenStore(context, certificate.store));
}

// Nothing when the certificate is present, else the status of its addition.
std::optional<HRESULT> AddIfMissing(platform::Context& context,
                                    const CfcaCertificate& certificate) {
    if (Look(context, certificate) >= 0)
        return std::nullopt;
    return AddResourceCertificate(OpenStore(context, certificate.store), certificate.resource);
}

}  // namespace

HRESULT CheckRootCertificates(platform::Context& context) {
    for (const CfcaCertificate& certificate : kCertificates) {
        if (const HRESULT status = Look(context, certificate); status < 0)
            return status;
    }
    return win::S_OK;
}

HRESULT InstallRootCertificates(platform::Context& context) {
    const CfcaCertificate& root = kCertificates[0];
    if (const auto added = AddIfMissing(context, root); added && *added < 0)
        return *added;
    HRESULT status = win::S_OK;
    for (std::size_t i = 1; i < std::size(kCertificates); ++i) {
        if (const auto added = AddIfMissing(context, kCertificates[i]))
            status = *added;
    }
    return status;
}

HRESULT FindCertificateByOrganization(std::string_view name,
                                      std::unique_ptr<platform::CertificateStore> store) {
    if (!store)
        return win::E_FAIL;
    const auto candidates = platform::FindCertificatesBySubject(*store, name);
    store.reset();
    for (const auto& candidate : candidates) {
        if (platform::GetSubjectAttribute(candidate, kOrganizationOid) == name)
            return win::S_OK;
    }
    return win::E_FAIL;
}

HRESULT AddResourceCertificate(std::unique_ptr<platform::CertificateStore> store,
                               std::string_view resource) {
    if (!store)
        return win::E_FAIL;
    const std::vector<std::uint8_t> bytes = LoadCertificateResource(resource);
    if (bytes.empty())
        return win::E_FAIL;
    const win::LONG added = store->AddEncodedCertificate(bytes);
    store.reset();
    if (added == win::ERROR_SUCCESS)
        return win::S_OK;
    return added == win::ERROR_CANCELLED ? win::E_ABORT : win::E_FAIL;
}

std::vector<std::uint8_t> LoadCertificateResource(std::string_view resource) {
    const auto bytes = res::FindCertificateResource(resource);
    return {bytes.begin(), bytes.end()};
}

}  // namespace checks
