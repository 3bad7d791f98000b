// Page item 4: the five CFCA authority certificates that the program carries as resources,
// checked in and added to the current user's "ROOT" (the root) and "CA" (the four
// intermediates) stores. Results are COM-style: 0, E_FAIL, or E_ABORT when the user refused
// to trust the root.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace platform {
struct Context;
class CertificateStore;
}  // namespace platform

namespace checks {

// 0 when all five certificates are present (validity is not looked at), else the first
// failure.
win::HRESULT CheckRootCertificates(platform::Context& context);

// Adds the certificates that are missing. A failure to add the root ends it at once with that
// status; otherwise the status of the last addition made, 0 when nothing had to be added.
win::HRESULT InstallRootCertificates(platform::Context& context);

// 0 when `store` holds a certificate whose organisation is exactly `name`, else E_FAIL (also
// for a store that did not open). The store is closed before returning.
win::HRESULT FindCertificateByOrganization(std::string_view name,
                                           std::unique_ptr<platform::CertificateStore> store);

// Adds the certificate of the named CER resource to `store`: 0, E_ABORT when the user refused
// it, E_FAIL otherwise (a missing or empty resource, a store that did not open). The store is
// closed before returning.
win::HRESULT AddResourceCertificate(std::unique_ptr<platform::CertificateStore> store,
                                    std::string_view resource);

// The named CER resource's bytes; empty when it is missing or empty.
std::vector<std::uint8_t> LoadCertificateResource(std::string_view resource);

}  // namespace checks
