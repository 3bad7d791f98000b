// The SSL cache on Linux: the internet layer's shared TLS session cache, and the URL cache
// header's counters kept in a small file of the sandbox.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/ssl_cache.h"

namespace platform {

std::unique_ptr<SslCache> MakeLinuxSslCache(const std::filesystem::path& sandboxRoot);

}  // namespace platform
