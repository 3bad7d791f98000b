#include "res/certs/certificate_resources.h"

#include <algorithm>
#include <cctype>

#include "res/certs/certificate_resource_table.h"

namespace res {
namespace {

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

std::span<const std::uint8_t> FindCertificateResource(std::string_view name) {
    const auto end = kCertificateResources + kCertificateResourceCount;
    const auto found = std::find_if(kCertificateResources, end, [&](const auto& resource) {
        return SameNameIgnoringCase(resource.name, name);
    });
    if (found == end)
        return {};
    return {found->bytes, found->size};
}

}  // namespace res
