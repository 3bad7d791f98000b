// The program's own update: whether the running program file is behind the configuration's
// AppInfo, the download of the newer program (or of its installer), and putting a downloaded
// program in the place of the running one.
#pragma once

#include <string>
#include <string_view>

#include "config/config_records.h"

namespace config {
struct CheckConfig;
}
namespace nestora {
class DialogHost;
}
namespace platform {
struct Context;
class FileSystem;
}  // namespace platform

namespace components {

// The timer that offers a downloaded update.
constexpr int kUpdatePromptTimer = 5;

// The file a running program is moved to while its replacement takes its place.
std::string OldProgramPath(std::string_view programPath);

// The program file at `programPath` is older than `app.version` or its digest differs from
// `app.md5` (hexadecimal digits in either case); false when both are empty.
bool IsUpdateNeeded(const platform::FileSystem& files, std::string_view programPath,
                    const config::AppInfo& app);

// Downloads `app.installer` (or, without one, `app.remote`) to `app.localPath`. True when the
// download is complete and, for a program file with a configured digest, has that digest; a
// download with another digest is deleted.
bool DownloadUpdate(platform::Context& context, const config::AppInfo& app);

// The update worker: when the program file is behind the configuration, downloads the update
// and arms the update prompt's timer on `host`. A failed download shows nothing; it is tried
// again at the next start.
void UpdateThread(platform::Context& context, const config::CheckConfig& config,
                  nestora::DialogHost& host);

// Puts the downloaded program in place of the program file. The running file is moved aside
// to the old-file path, which is deleted now or, while the old process holds it, at the next
// system start. True when the program path now holds the new program; otherwise the program
// path keeps the old one and the replacement is registered for the next system start.
bool ReplaceProgramFile(platform::FileSystem& files, const std::string& programPath,
                        const std::string& downloadedPath);

}  // namespace components
