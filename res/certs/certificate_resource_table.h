// The certificate resources as the build embeds them (see embed_certificates.cmake).
#pragma once

#include <cstddef>
#include <cstdint>

namespace res {

struct CertificateResource {
    const char* name;
    const std::uint8_t* bytes;
    std::size_t size;
};

extern const CertificateResource kCertificateResources[];
extern const std::size_t kCertificateResourceCount;

}  // namespace res
