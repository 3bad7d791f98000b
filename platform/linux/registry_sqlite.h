// The emulated registry: one SQLite database (WAL) shared by the program and every sandbox tool.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/registry.h"

namespace platform {

// Opens (creating when missing) the registry database. With `is64BitWindows`, callers are a
// 32-bit process on 64-bit Windows and see HKLM\SOFTWARE and the class registrations through
// Wow6432Node unless they ask for the 64-bit view. Null when the database cannot be opened.
std::unique_ptr<Registry> MakeSqliteRegistry(const std::filesystem::path& databaseFile,
                                             bool is64BitWindows);

}  // namespace platform
