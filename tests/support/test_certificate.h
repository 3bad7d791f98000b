// Certificates made on the spot for tests of the certificate stores.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/certificate_store.h"

namespace nestora_test {

// One entry of a subject name: the short field name ("C", "O", ...) and its text.
using NameEntry = std::pair<std::string, std::string>;

// A self-signed X.509 certificate, DER encoded: a fresh P-256 key, signed with SHA-256, valid
// for an hour from now, whose subject (and so issuer) holds `subject` in order.
platform::EncodedCertificate MakeSelfSignedCertificate(const std::vector<NameEntry>& subject,
                                                       long serialNumber);

}  // namespace nestora_test
