// What detection and the self-update know about one file on disk: its fixed version record,
// its MD5 digest, and whether it meets a configured version and digest.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "config/config_records.h"
#include "platform/win_types.h"

namespace platform {
class FileSystem;
}

namespace components {

constexpr win::DWORD kFixedFileInfoSignature = 0xFEEF04BD;

// VS_FIXEDFILEINFO, the 52-byte root record of a version resource.
struct VsFixedFileInfo {
    win::DWORD dwSignature = 0;
    win::DWORD dwStrucVersion = 0;
    win::DWORD dwFileVersionMS = 0;
    win::DWORD dwFileVersionLS = 0;
    win::DWORD dwProductVersionMS = 0;
    win::DWORD dwProductVersionLS = 0;
    win::DWORD dwFileFlagsMask = 0;
    win::DWORD dwFileFlags = 0;
    win::DWORD dwFileOS = 0;
    win::DWORD dwFileType = 0;
    win::DWORD dwFileSubtype = 0;
    win::DWORD dwFileDateMS = 0;
    win::DWORD dwFileDateLS = 0;
};
static_assert(sizeof(VsFixedFileInfo) == 52);

// The fixed version record of the file at a Windows path: the version line of a control file,
// or the record (signature 0xFEEF04BD) of the version resource a program file carries. False
// for a missing file and for a file without a version.
bool ReadFileVersion(const platform::FileSystem& files, std::string_view path,
                     VsFixedFileInfo& out);

// 32 lower-case hexadecimal digits of the file's MD5 digest, or "" when it cannot be opened.
std::string FileMd5Hex(const platform::FileSystem& files, std::string_view path);

// The required version "a.b.c.d" (missing parts 0, each part read like atoi, low 16 bits
// kept) as the pair (dwFileVersionMS, dwFileVersionLS) in one 64-bit number.
std::uint64_t ParseRequiredVersion(std::string_view version);

// The file exists, its file version is not lower than `version` (when given) and its digest
// equals `md5` byte for byte (when given).
bool CheckComponentFile(const platform::FileSystem& files, const config::ComponentFile& file);

}  // namespace components
