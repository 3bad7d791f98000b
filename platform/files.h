// Drives, paths, environment and files as a Windows program sees them. Paths are UTF-8 text in
// Windows form ("C:\\Windows\\System32", slashes accepted, drive letters in any case); the
// ANSI code page is UTF-8, so the 8-bit and the wide calls take the same text. Calls report
// failure as false / empty and leave a Windows error code in GetLastError(), per thread.
//
// On a 64-bit profile the program is a 32-bit process: %SystemRoot%\System32 is redirected to
// %SystemRoot%\SysWOW64 for the current thread unless redirection has been switched off
// (drivers\etc, catroot, catroot2, driverstore, logfiles and spool are exempt), and
// %SystemRoot%\Sysnative names the real System32.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win_types.h"

namespace platform {

// The calling thread's last error, as GetLastError / SetLastError.
win::DWORD GetLastError();
void SetLastError(win::DWORD code);

// MoveFileEx flags.
constexpr win::DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr win::DWORD MOVEFILE_COPY_ALLOWED = 0x2;
constexpr win::DWORD MOVEFILE_DELAY_UNTIL_REBOOT = 0x4;

// A move registered with MOVEFILE_DELAY_UNTIL_REBOOT; an empty `to` deletes `from`.
struct PendingMove {
    std::string from;
    std::string to;
    bool replaceExisting = false;

    friend bool operator==(const PendingMove&, const PendingMove&) = default;
};

// What applying one pending move did.
struct PendingMoveResult {
    PendingMove move;
    win::DWORD error = win::ERROR_SUCCESS;  // ERROR_SUCCESS when it was carried out
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // --- paths ---
    // The Linux path a Windows path names (C: is the sandbox's drive_c, Z: is /), with every
    // existing component matched without regard to case and the WOW64 redirection of the
    // calling thread applied. Components that do not exist are kept as written. Empty (and
    // ERROR_PATH_NOT_FOUND) for a drive that is not mapped or text that is not a path.
    virtual std::filesystem::path ToLinuxPath(std::string_view windowsPath) const = 0;
    // The Windows path of a Linux path: under drive_c it is on C:, anything else on Z:.
    virtual std::string ToWindowsPath(const std::filesystem::path& linuxPath) const = 0;

    // --- environment ---
    // A variable of the program's Windows environment (name without regard to case).
    virtual std::optional<std::string> GetEnvironmentVariable(std::string_view name) const = 0;
    // The whole Windows environment, as name/value pairs.
    virtual std::vector<std::pair<std::string, std::string>> GetEnvironment() const = 0;

    // ExpandEnvironmentStringsW: `bufferChars` counts UTF-16 units, terminator included.
    // Returns the size of the expansion with its terminator; when that does not fit into
    // the buffer, returns the needed size and leaves `out` empty. Unknown variables and a lone
    // '%' stay as written.
    win::DWORD ExpandEnvironmentStringsW(std::string_view source, std::string& out,
                                         win::DWORD bufferChars = win::MAX_PATH) const;
    // ExpandEnvironmentStringsA: the same, counting bytes of the (UTF-8) ANSI text.
    win::DWORD ExpandEnvironmentStringsA(std::string_view source, std::string& out,
                                         win::DWORD bufferBytes = win::MAX_PATH) const;
    // The expansion without a length limit.
    std::string ExpandEnvironment(std::string_view source) const;

    // GetTempPath: the user's temporary folder as a Windows path ending in a backslash.
    virtual std::string GetTempPath() const = 0;
    // GetModuleFileName for the program's own module: the running executable's Windows path.
    virtual std::string GetModuleFileName() const = 0;

    // --- WOW64 file-system redirection of the calling thread ---
    // Wow64DisableWow64FsRedirection: `oldValue` receives the state to hand to Revert. False
    // (ERROR_INVALID_FUNCTION, 1) on a 32-bit profile, where there is no redirection.
    virtual bool Wow64DisableWow64FsRedirection(bool& oldValue) = 0;
    virtual bool Wow64RevertWow64FsRedirection(bool oldValue) = 0;
    virtual bool IsWow64FsRedirectionEnabled() const = 0;

    // --- files and folders ---
    virtual bool PathFileExists(std::string_view path) const = 0;  // a file or a folder
    virtual bool IsDirectory(std::string_view path) const = 0;
    virtual bool DeleteFile(std::string_view path) = 0;  // files only
    virtual bool CopyFile(std::string_view from, std::string_view to, bool failIfExists) = 0;
    virtual bool MoveFile(std::string_view from, std::string_view to) = 0;
    // MOVEFILE_REPLACE_EXISTING, MOVEFILE_COPY_ALLOWED, MOVEFILE_DELAY_UNTIL_REBOOT. A delayed
    // move is only recorded (in order) and carried out by ApplyPendingMoves; an empty `to`
    // registers a deletion.
    virtual bool MoveFileEx(std::string_view from, std::string_view to, win::DWORD flags) = 0;
    // One folder whose parent exists; ERROR_ALREADY_EXISTS when it is there.
    virtual bool CreateDirectory(std::string_view path) = 0;
    // An empty folder (RemoveDirectory) or a folder with everything in it (rd /s).
    virtual bool RemoveDirectory(std::string_view path, bool recursive = false) = 0;
    // Names of the entries of a folder, sorted, without "." and "..".
    virtual bool ListDirectory(std::string_view path, std::vector<std::string>& names) const = 0;
    // Whole-file helpers: the bytes as they are.
    virtual bool ReadFile(std::string_view path, std::string& bytes) const = 0;
    virtual bool WriteFile(std::string_view path, std::string_view bytes) = 0;

    // --- moves delayed until the next system start (sandbox administration) ---
    virtual std::vector<PendingMove> GetPendingMoves() const = 0;
    // Carries out the recorded moves in order, as the system does at start, and clears them.
    virtual std::vector<PendingMoveResult> ApplyPendingMoves() = 0;
};

}  // namespace platform
