#include "config/local_path.h"

#include "platform/files.h"

namespace config {

std::string ExpandLocalPath(const platform::FileSystem& files, std::string_view text) {
    if (text.empty()) {
        return {};
    }
    std::string expanded;
    win::DWORD needed = files.ExpandEnvironmentStringsA(text, expanded, win::MAX_PATH);
    if (needed == 0 || needed > win::MAX_PATH) {
        return {};
    }
    return expanded;
}

}  // namespace config
