// A control file: the sandbox's stand-in for a browser control DLL. It carries the class
// registration that regsvr32 writes and the version record that the file-version reader
// returns, in a small text form:
//
//   NESTORA-CONTROL 1
//   machine=x86
//   version=1.0.2.3
//   clsid={3A2C8BC3-5B68-4AE5-81D6-6DC378708F3E}
//   progid=Qiventa.Lockfern.1
//   name=Lockfern Control
//
// The first line is the magic, exactly as shown (a trailing CR is allowed on every line).
// Then one `key=value` per line; blank lines and lines starting with '#' are ignored, keys are
// matched without regard to case, values are taken as written up to the line end.
//   machine  x86 or x64 (required): the image's architecture, which picks the registry view.
//   version  four decimal numbers 0-65535 separated by dots (optional): the fixed file
//            version record.
//   clsid    a class id in braces, 8-4-4-4-12 hexadecimal digits (optional; without it
//            registration has nothing to register and fails).
//   progid   the programmatic identifier (optional).
//   name     the class's display name (optional).
// Unknown keys are ignored, so that later fields do not break older readers. A file larger
// than kMaxControlFileBytes, without the magic, or with a malformed line is not a control.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace platform {

constexpr std::string_view kControlFileMagic = "NESTORA-CONTROL 1";
constexpr std::uintmax_t kMaxControlFileBytes = 64 * 1024;

enum class Machine { X86, X64 };

struct ControlFile {
    Machine machine = Machine::X86;
    // major, minor, build, revision
    std::optional<std::array<std::uint16_t, 4>> version;
    std::string clsid;
    std::string progId;
    std::string name;

    // The fixed version record's dwFileVersionMS / dwFileVersionLS (0 without a version).
    win::DWORD FileVersionMS() const;
    win::DWORD FileVersionLS() const;

    friend bool operator==(const ControlFile&, const ControlFile&) = default;
};

// The record of a control file's text; empty when the text is not a control.
std::optional<ControlFile> ParseControlFile(std::string_view text);
// Reads and parses the file at a Linux path; empty when it is missing, unreadable or not a
// control.
std::optional<ControlFile> ReadControlFile(const std::filesystem::path& linuxPath);
// The text of a control file (what ParseControlFile reads back to the same record).
std::string FormatControlFile(const ControlFile& control);

}  // namespace platform
