#pragma once

#include <string>
#include <string_view>

namespace platform {
class FileSystem;
}

namespace config {

// `text` with its %VARIABLE% references expanded. Empty when `text` is empty or when the
// expansion would not fit the 260 bytes of a Windows path: a shortened path would name some
// other file.
std::string ExpandLocalPath(const platform::FileSystem& files, std::string_view text);

}  // namespace config
