#include "components/self_update.h"

#include <memory>

#include "components/download.h"
#include "components/file_checks.h"
#include "config/check_config.h"
#include "dialog/dialog_host.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "platform/text.h"

namespace components {
namespace {

constexpr unsigned kUpdatePromptDelayMs = 100;

// A hexadecimal digest names the same bytes in either case.
bool DownloadHasDigest(const platform::FileSystem& files, const config::AppInfo& app) {
    if (app.md5.empty() || !app.installer.empty())
        return true;
    return platform::EqualsIgnoreCase(FileMd5Hex(files, app.localPath), app.md5);
}

// At the next system start the download takes the program's place, if that place is free then.
void RegisterReplacementAtNextStart(platform::FileSystem& files, const std::string& programPath,
                                    const std::string& downloadedPath) {
    files.MoveFileEx(downloadedPath, programPath, platform::MOVEFILE_DELAY_UNTIL_REBOOT);
}

bool CopyOverMissingProgram(platform::FileSystem& files, const std::string& programPath,
                            const std::string& downloadedPath) {
    if (!files.CopyFile(downloadedPath, programPath, false))
        return false;
    files.DeleteFile(downloadedPath);
    return true;
}

void DeleteOldProgram(platform::FileSystem& files, const std::string& oldPath) {
    if (!files.DeleteFile(oldPath))
        files.MoveFileEx(oldPath, "", platform::MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

std::string OldProgramPath(std::string_view programPath) {
    return std::string(programPath) + ".old";
}

// The digest is compared in either case: a digest in capitals that never matched would have the
// program download, offer and install the same file again at every start.
bool IsUpdateNeeded(const platform::FileSystem& files, std::string_view programPath,
                    const config::AppInfo& app) {
    config::ComponentFile program;
    program.localPath = std::string(programPath);
    program.version = app.version;
    program.md5 = platform::AsciiLower(app.md5);
    return !CheckComponentFile(files, program);
}

bool DownloadUpdate(platform::Context& context, const config::AppInfo& app) {
    if (!context.internet || !context.files)
        return false;
    const std::unique_ptr<platform::InternetSession> session =
        context.internet->OpenSession("Mozilla/5.0");
    if (!session)
        return false;
    const std::string& address = app.installer.empty() ? app.remote : app.installer;
    if (DownloadToFile(*session, *context.files, address, app.localPath) == 0)
        return false;
    if (!DownloadHasDigest(*context.files, app)) {
        context.files->DeleteFile(app.localPath);
        return false;
    }
    return true;
}

void UpdateThread(platform::Context& context, const config::CheckConfig& config,
                  nestora::DialogHost& host) {
    if (!context.files)
        return;
    if (!IsUpdateNeeded(*context.files, context.files->GetModuleFileName(), config.appInfo))
        return;
    if (DownloadUpdate(context, config.appInfo))
        host.SetTimer(kUpdatePromptTimer, kUpdatePromptDelayMs);
}

// The program file is always moved aside before the download is copied in, so that a failed
// copy can put it back: the program path is never left empty.
bool ReplaceProgramFile(platform::FileSystem& files, const std::string& programPath,
                        const std::string& downloadedPath) {
    if (!files.PathFileExists(programPath))
        return CopyOverMissingProgram(files, programPath, downloadedPath);

    const std::string oldPath = OldProgramPath(programPath);
    files.DeleteFile(oldPath);
    if (!files.MoveFile(programPath, oldPath)) {
        RegisterReplacementAtNextStart(files, programPath, downloadedPath);
        return false;
    }
    if (!files.CopyFile(downloadedPath, programPath, true)) {
        files.MoveFileEx(oldPath, programPath, platform::MOVEFILE_REPLACE_EXISTING);
        RegisterReplacementAtNextStart(files, programPath, downloadedPath);
        return false;
    }
    files.DeleteFile(downloadedPath);
    DeleteOldProgram(files, oldPath);
    return true;
}

}  // namespace components
