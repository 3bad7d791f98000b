// One file fetched over HTTP or HTTPS into a local file, streamed in chunks, with an optional
// progress percentage.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/win_types.h"

namespace platform {
class FileSystem;
class InternetSession;
}  // namespace platform

namespace components {

// Receives the download's percentage: 0 once the answer's headers are in, then after every
// chunk written the share of the announced length on disk.
using DownloadProgress = std::function<void(std::uint32_t percent)>;

// A transfer that receives nothing for this long fails.
constexpr win::DWORD kDownloadStallTimeoutMs = 60000;

// GETs `url` into the file at the Windows path `localPath` (created or truncated first; when
// it cannot be created nothing is requested). Returns the length the server announced when
// the answer was 200 and the file holds exactly that many bytes; 0 otherwise. A failed
// transfer or a length mismatch deletes the file; a non-200 answer without a length leaves it
// empty; a 200 answer without a length leaves the whole body but still returns 0.
std::uint64_t DownloadToFile(platform::InternetSession& session, platform::FileSystem& files,
                             const std::string& url, const std::string& localPath,
                             const DownloadProgress& progress = {},
                             win::DWORD stallTimeoutMs = kDownloadStallTimeoutMs);

}  // namespace components
