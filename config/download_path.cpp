#include "config/download_path.h"

#include "config/windows_path.h"
#include "platform/files.h"

namespace config {
namespace {

constexpr std::string_view kDownloadFolder = "DownTmp";

bool IsUnsafeInFileName(unsigned char c) {
    constexpr std::string_view kForbidden = "\\/:*\"<>|";
    return c < 0x20 || c == 0x7F || kForbidden.find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsOnlyDots(std::string_view name) {
    return name.find_first_not_of('.') == std::string_view::npos;
}

}  // namespace

std::string DownloadFileName(std::string_view url) {
    std::string_view address = url.substr(0, url.find_first_of("?#"));
    size_t lastSlash = address.rfind('/');
    std::string_view segment =
        lastSlash == std::string_view::npos ? address : address.substr(lastSlash + 1);
    if (segment.empty()) {
        return std::string(kDefaultDownloadName);
    }
    if (IsOnlyDots(segment)) {
        return "_";
    }
    std::string name(segment);
    for (char& c : name) {
        if (IsUnsafeInFileName(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

std::string MakeDownloadPath(platform::FileSystem& files, std::string_view url) {
    if (url.empty()) {
        return {};
    }
    std::string folder = AppendPathComponent(files.GetTempPath(), kDownloadFolder);
    if (!FitsWindowsPath(folder)) {
        return {};
    }
    if (!files.PathFileExists(folder)) {
        files.CreateDirectory(folder);
    }
    std::string path = AppendPathComponent(folder, DownloadFileName(url));
    return FitsWindowsPath(path) ? path : std::string();
}

}  // namespace config
