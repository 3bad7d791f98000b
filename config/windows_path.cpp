#include "config/windows_path.h"

#include "platform/win_types.h"

namespace config {

std::string AppendPathComponent(std::string_view folder, std::string_view component) {
    std::string path(folder);
    if (!path.empty() && path.back() != '\\') {
        path += '\\';
    }
    path += component;
    return path;
}

bool FitsWindowsPath(std::string_view path) {
    return path.size() < win::MAX_PATH;
}

}  // namespace config
