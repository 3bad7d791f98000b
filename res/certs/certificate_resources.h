// The program's resources of type CER: the five CFCA certificates, DER-encoded, named
// "Root_CA", "Policy_CA", "Operation_CA", "Operation_CA1" and "Operation_CA2".
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace res {

// The bytes of the named resource, the name compared without regard to case as resource
// names are; empty when there is no such resource.
std::span<const std::uint8_t> FindCertificateResource(std::string_view name);

}  // namespace res
