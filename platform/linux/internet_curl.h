// The internet session over libcurl. HTTPS certificates are verified against the system's CA
// bundle plus the "ROOT" store of the sandbox at `sandboxRoot`, read again for every request
// so that a certificate added to the store is trusted from the next request on.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/internet.h"

namespace platform {

std::unique_ptr<Internet> MakeCurlInternet(const std::filesystem::path& sandboxRoot);

}  // namespace platform
