// The program's version record and the texts of its window.
#pragma once

#include <string_view>

namespace res {

struct VersionNumber {
    unsigned major, minor, build, revision;
};

constexpr VersionNumber kFileVersion{1, 0, 0, 4};
constexpr VersionNumber kProductVersion{1, 0, 0, 2};
constexpr std::string_view kFileDescription = "汀岚银行网银助手";

// Caption of the main window, and its fixed size in pixels.
constexpr std::string_view kDialogCaption = "汀岚银行网银安全检测工具";
constexpr int kDialogWidth = 836;
constexpr int kDialogHeight = 593;

}  // namespace res
