// Joining Windows paths the way the 8-bit path calls do, and their length limit.
#pragma once

#include <string>
#include <string_view>

namespace config {

// `folder` and `component` joined by exactly one backslash (none added when `folder` is empty
// or already ends in one).
std::string AppendPathComponent(std::string_view folder, std::string_view component);

// A path fits when it and its terminator fit the 260 bytes of a Windows path buffer.
bool FitsWindowsPath(std::string_view path);

}  // namespace config
