// libFuzzer target: loads any bytes as item.xml on an in-memory file system and checks that
// every download path stays directly inside the DownTmp folder and fits a Windows path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "config/check_config.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/windows_profile.h"

namespace {

constexpr std::string_view kTemp = "C:\\Temp\\";
constexpr std::string_view kDownTmp = "C:\\Temp\\DownTmp\\";

// Just enough of a file system for loading: a temporary folder, two variables, and folders
// that exist once created.
class MemoryFileSystem : public platform::FileSystem {
public:
    std::filesystem::path ToLinuxPath(std::string_view) const override { return {}; }
    std::string ToWindowsPath(const std::filesystem::path&) const override { return {}; }
    std::optional<std::string> GetEnvironmentVariable(std::string_view name) const override {
        if (name == "windir") {
            return "C:\\Windows";
        }
        if (name == "ProgramFiles") {
            return "C:\\Program Files (x86)";
        }
        return std::nullopt;
    }
    std::vector<std::pair<std::string, std::string>> GetEnvironment() const override { return {}; }
    std::string GetTempPath() const override { return std::string(kTemp); }
    std::string GetModuleFileName() const override { return "C:\\nestora.exe"; }
    bool Wow64DisableWow64FsRedirection(bool&) override { return false; }
    bool Wow64RevertWow64FsRedirection(bool) override { return false; }
    bool IsWow64FsRedirectionEnabled() const override { return false; }
    bool PathFileExists(std::string_view path) const override { return path == folder_; }
    bool IsDirectory(std::string_view path) const override { return path == folder_; }
    bool DeleteFile(std::string_view) override { return false; }
    bool CopyFile(std::string_view, std::string_view, bool) override { return false; }
    bool MoveFile(std::string_view, std::string_view) override { return false; }
    bool MoveFileEx(std::string_view, std::string_view, win::DWORD) override { return false; }
    bool CreateDirectory(std::string_view path) override {
        folder_ = path;
        return true;
    }
    bool RemoveDirectory(std::string_view, bool) override { return false; }
    bool ListDirectory(std::string_view, std::vector<std::string>&) const override { return false; }
    bool ReadFile(std::string_view, std::string&) const override { return false; }
    bool WriteFile(std::string_view, std::string_view) override { return false; }
    std::vector<platform::PendingMove> GetPendingMoves() const override { return {}; }
    std::vector<platform::PendingMoveResult> ApplyPendingMoves() override { return {}; }

private:
    std::string folder_;
};

void RequireDownloadPath(const std::string& path) {
    if (path.empty()) {
        return;
    }
    const std::string_view name = std::string_view(path).substr(kDownTmp.size());
    const bool inside = path.starts_with(kDownTmp) && !name.empty() && name != "." &&
                        name != ".." && name.find_first_of("\\/:") == std::string_view::npos;
    if (!inside || path.size() >= win::MAX_PATH) {
        std::abort();
    }
}

void RequireSoundPaths(const config::CheckConfig& config) {
    for (const auto* list : {&config.items, &config.components}) {
        for (const config::ComponentItem& item : *list) {
            for (const config::InstallerRule& installer : item.installers) {
                RequireDownloadPath(installer.localPath);
            }
            for (const config::ComponentFile& file : item.files) {
                if (file.localPath.size() >= win::MAX_PATH) {
                    std::abort();
                }
            }
        }
    }
    RequireDownloadPath(config.appInfo.localPath);
}

}  // namespace

// The first byte chooses the Windows version, the rest is the document.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    platform::Context context;
    context.files = std::make_unique<MemoryFileSystem>();
    context.profile = std::make_unique<platform::WindowsProfile>();
    context.profile->majorVersion = (data[0] & 1) ? 5 : 6;
    const std::string_view document(reinterpret_cast<const char*>(data) + 1, size - 1);

    config::CheckConfig config;
    if (config.LoadFromXml(document, context) != config.loaded.load()) {
        std::abort();
    }
    RequireSoundPaths(config);
    return 0;
}
