// The certificate stores kept in the sandbox: one folder per store under the sandbox's
// certificate folder, one DER file per certificate named by the SHA-1 of its encoding.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/certificate_store.h"

namespace platform {

std::unique_ptr<CertificateStores> MakeSandboxCertificateStores(
    const std::filesystem::path& sandboxRoot);

// The certificates as one PEM text, as a CA bundle holds them.
std::string EncodePemBundle(const std::vector<EncodedCertificate>& certificates);

// The DER encoding of the one certificate in a file's bytes, which may be DER or PEM;
// nothing when the bytes hold no certificate.
std::optional<EncodedCertificate> DecodeCertificateFile(std::span<const std::uint8_t> bytes);

}  // namespace platform
