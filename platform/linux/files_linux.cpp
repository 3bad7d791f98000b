#include "platform/linux/files_linux.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/linux/file_descriptor.h"
#include "platform/text.h"
#include "platform/windows_profile.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// The path the program was started from. Windows keeps reporting it while the program file is
// moved aside (as the self-update does); /proc/self/exe would follow the file instead, so it is
// read once, before anything can move it.
const fs::path& ExecutableAtStart() {
    static const fs::path executable = [] {
        std::error_code error;
        fs::path path = fs::read_symlink("/proc/self/exe", error);
        return error ? fs::path() : path;
    }();
    return executable;
}
const fs::path& kExecutableReadAtStart = ExecutableAtStart();

// Error codes used only here.
constexpr win::DWORD kErrorInvalidFunction = 1;
constexpr win::DWORD kErrorGenFailure = 31;
constexpr win::DWORD kErrorDiskFull = 112;
constexpr win::DWORD kErrorDirNotEmpty = 145;
constexpr win::DWORD kErrorDirectory = 267;

// Per thread, as on Windows: true while the thread has switched redirection off.
thread_local bool t_redirectionDisabled = false;

bool Fail(win::DWORD code) {
    SetLastError(code);
    return false;
}

bool Succeed() {
    SetLastError(win::ERROR_SUCCESS);
    return true;
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::symlink_status(path, error).type() != fs::file_type::not_found && !error;
}

bool IsFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

// A missing file in an existing folder is "file not found"; a missing folder on the way is
// "path not found".
win::DWORD NotFoundError(const fs::path& path) {
    return IsFolder(path.parent_path()) ? win::ERROR_FILE_NOT_FOUND : win::ERROR_PATH_NOT_FOUND;
}

win::DWORD ErrorFromErrno(int code, const fs::path& path) {
    switch (code) {
        case ENOENT:
            return NotFoundError(path);
        case ENOTDIR:
            return win::ERROR_PATH_NOT_FOUND;
        case EEXIST:
            return win::ERROR_ALREADY_EXISTS;
        case ENOTEMPTY:
            return kErrorDirNotEmpty;
        case ENOSPC:
            return kErrorDiskFull;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
        case EBUSY:
            return win::ERROR_ACCESS_DENIED;
        default:
            return kErrorGenFailure;
    }
}

bool FailFromErrno(int code, const fs::path& path) {
    return Fail(ErrorFromErrno(code, path));
}

// ---------------------------------------------------------------------------------------------
// Whole-file reads

ssize_t ReadSome(int fd, char* buffer, std::size_t size) {
    ssize_t count;
    do {
        count = ::read(fd, buffer, size);
    } while (count < 0 && errno == EINTR);
    return count;
}

// Reads past the length the file had when opened, for a file that grew meanwhile or one
// whose length is not known beforehand (as under /proc). Returns 0 or the errno.
int ReadRemainder(int fd, std::string& bytes) {
    char block[4096];
    while (const ssize_t count = ReadSome(fd, block, sizeof block)) {
        if (count < 0)
            return errno;
        bytes.append(block, static_cast<std::size_t>(count));
    }
    return 0;
}

// The whole file in `bytes`, read straight into a string of the file's length so that the
// content is held once, and to the end the file has while it is read should its length
// change. Returns 0 or the errno of the failure.
int ReadWholeFile(const fs::path& path, std::string& bytes) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!file.IsOpen() || ::fstat(file.Get(), &info) != 0)
        return errno;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t count = ReadSome(file.Get(), bytes.data() + filled, bytes.size() - filled);
        if (count < 0)
            return errno;
        if (count == 0) {
            bytes.resize(filled);  // the file shrank
            return 0;
        }
        filled += static_cast<std::size_t>(count);
    }
    return ReadRemainder(file.Get(), bytes);
}

// ---------------------------------------------------------------------------------------------
// Windows path text

struct WindowsPath {
    char drive = 0;  // upper case
    std::vector<std::string> components;
};

std::string JoinWindowsPath(const WindowsPath& path) {
    std::string text{path.drive, ':'};
    if (path.components.empty())
        return text + '\\';
    for (const std::string& component : path.components)
        text += '\\' + component;
    return text;
}

// Windows drops trailing periods and blanks of a name ("readme.txt." is "readme.txt").
std::string_view TrimTrailingDotsAndBlanks(std::string_view name) {
    const size_t last = name.find_last_not_of(". ");
    return last == std::string_view::npos ? std::string_view() : name.substr(0, last + 1);
}

void AppendComponents(std::string_view text, std::vector<std::string>& components) {
    size_t position = 0;
    while (position <= text.size()) {
        size_t end = text.find('\\', position);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view component = text.substr(position, end - position);
        if (component == "..") {
            if (!components.empty())
                components.pop_back();
        } else if (component != ".") {
            const std::string_view name = TrimTrailingDotsAndBlanks(component);
            if (!name.empty())
                components.emplace_back(name);
        }
        position = end + 1;
    }
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string NormalizeSlashes(std::string_view text) {
    std::string result(text);
    std::replace(result.begin(), result.end(), '/', '\\');
    return result;
}

// ---------------------------------------------------------------------------------------------
// The Windows environment of the program

struct UserFolders {
    std::string profile, roaming, local, temp, allUsers;
};

UserFolders UserFoldersOf(const WindowsProfile& profile) {
    if (profile.HasUsersFolder()) {
        const std::string home = "C:\\Users\\" + profile.userName;
        return {home, home + "\\AppData\\Roaming", home + "\\AppData\\Local",
                home + "\\AppData\\Local\\Temp", "C:\\ProgramData"};
    }
    const std::string home = "C:\\Documents and Settings\\" + profile.userName;
    return {home, home + "\\Application Data", home + "\\Local Settings\\Application Data",
            home + "\\Local Settings\\Temp", "C:\\Documents and Settings\\All Users"};
}

std::vector<std::pair<std::string, std::string>> MakeEnvironment(const WindowsProfile& profile) {
    const UserFolders users = UserFoldersOf(profile);
    const std::string windows = "C:\\Windows";
    std::vector<std::pair<std::string, std::string>> environment = {
        {"ALLUSERSPROFILE", users.allUsers},
        {"APPDATA", users.roaming},
        {"COMPUTERNAME", profile.computerName},
        {"ComSpec", windows + "\\system32\\cmd.exe"},
        {"HOMEDRIVE", "C:"},
        {"HOMEPATH", users.profile.substr(2)},
        {"NUMBER_OF_PROCESSORS", "2"},
        {"OS", "Windows_NT"},
        {"Path", windows + "\\system32;" + windows + ";" + windows + "\\System32\\Wbem"},
        {"PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC"},
        {"PROCESSOR_ARCHITECTURE", "x86"},
        {"SystemDrive", "C:"},
        {"SystemRoot", windows},
        {"TEMP", users.temp},
        {"TMP", users.temp},
        {"USERDOMAIN", profile.computerName},
        {"USERNAME", profile.userName},
        {"USERPROFILE", users.profile},
        {"windir", windows},
    };
    if (profile.HasUsersFolder()) {
        environment.emplace_back("LOCALAPPDATA", users.local);
        environment.emplace_back("ProgramData", "C:\\ProgramData");
        environment.emplace_back("PUBLIC", "C:\\Users\\Public");
    }
    // A 32-bit process on 64-bit Windows sees the 32-bit program folder as ProgramFiles.
    if (profile.Is64Bit()) {
        environment.emplace_back("ProgramFiles", "C:\\Program Files (x86)");
        environment.emplace_back("ProgramFiles(x86)", "C:\\Program Files (x86)");
        environment.emplace_back("ProgramW6432", "C:\\Program Files");
        environment.emplace_back("CommonProgramFiles", "C:\\Program Files (x86)\\Common Files");
        environment.emplace_back("CommonProgramFiles(x86)",
                                 "C:\\Program Files (x86)\\Common Files");
        environment.emplace_back("CommonProgramW6432", "C:\\Program Files\\Common Files");
        environment.emplace_back(
            "PROCESSOR_ARCHITEW6432",
            profile.processorArchitecture == PROCESSOR_ARCHITECTURE_IA64 ? "IA64" : "AMD64");
    } else {
        environment.emplace_back("ProgramFiles", "C:\\Program Files");
        environment.emplace_back("CommonProgramFiles", "C:\\Program Files\\Common Files");
    }
    return environment;
}

// ---------------------------------------------------------------------------------------------
// WOW64 redirection of %SystemRoot%\System32

bool IsExemptFromRedirection(const std::vector<std::string>& components) {
    // components[0] is "Windows", components[1] "System32".
    if (components.size() < 3)
        return false;
    const std::string& child = components[2];
    for (const char* exempt : {"catroot", "catroot2", "driverstore", "logfiles", "spool"}) {
        if (EqualsIgnoreCase(child, exempt))
            return true;
    }
    return EqualsIgnoreCase(child, "drivers") && components.size() >= 4 &&
           EqualsIgnoreCase(components[3], "etc");
}

void ApplyRedirection(WindowsPath& path) {
    auto& components = path.components;
    if (path.drive != 'C' || components.size() < 2 || !EqualsIgnoreCase(components[0], "Windows"))
        return;
    if (EqualsIgnoreCase(components[1], "System32") && !IsExemptFromRedirection(components)) {
        components[1] = "SysWOW64";
    } else if (EqualsIgnoreCase(components[1], "Sysnative")) {
        components[1] = "System32";
    }
}

// ---------------------------------------------------------------------------------------------
// Moves delayed until the next system start, kept as JSON in the sandbox

// A missing or unreadable file holds no moves.
std::vector<PendingMove> ReadPendingMoves(const fs::path& file) {
    std::string text;
    if (ReadWholeFile(file, text) != 0)
        text.clear();
    const auto json = nlohmann::json::parse(text, nullptr, false);
    std::vector<PendingMove> moves;
    if (!json.is_array())
        return moves;
    for (const auto& entry : json) {
        if (!entry.is_object())
            continue;
        moves.push_back(PendingMove{entry.value("from", ""), entry.value("to", ""),
                                    entry.value("replaceExisting", false)});
    }
    return moves;
}

bool WritePendingMoves(const fs::path& file, const std::vector<PendingMove>& moves) {
    nlohmann::json json = nlohmann::json::array();
    for (const PendingMove& move : moves) {
        json.push_back(
            {{"from", move.from}, {"to", move.to}, {"replaceExisting", move.replaceExisting}});
    }
    fs::path temporary = file;
    temporary += ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << json.dump(2) << '\n';
        if (!out.flush())
            return false;
    }
    std::error_code error;
    fs::rename(temporary, file, error);
    return !error;
}

// Switches the thread's redirection off for a scope.
class RedirectionOff {
public:
    RedirectionOff() : old_(t_redirectionDisabled) { t_redirectionDisabled = true; }
    ~RedirectionOff() { t_redirectionDisabled = old_; }
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;

private:
    bool old_;
};

// ---------------------------------------------------------------------------------------------

class SandboxFileSystem final : public FileSystem {
public:
    SandboxFileSystem(const SandboxLayout& layout, const WindowsProfile& profile)
        : layout_(layout), profile_(profile) {}

    fs::path ToLinuxPath(std::string_view windowsPath) const override {
        WindowsPath path;
        if (!ParseWindowsPath(windowsPath, path)) {
            SetLastError(win::ERROR_PATH_NOT_FOUND);
            return {};
        }
        if (profile_.Is64Bit() && !t_redirectionDisabled)
            ApplyRedirection(path);
        fs::path resolved = DriveRoot(path.drive);
        if (resolved.empty()) {
            SetLastError(win::ERROR_PATH_NOT_FOUND);
            return {};
        }
        bool parentExists = true;
        for (const std::string& component : path.components) {
            resolved /=
                parentExists ? MatchComponent(resolved, component, parentExists) : component;
        }
        return resolved;
    }

    std::string ToWindowsPath(const fs::path& linuxPath) const override {
        std::error_code error;
        const fs::path absolute = fs::absolute(linuxPath, error).lexically_normal();
        const fs::path driveC = fs::absolute(layout_.DriveC(), error).lexically_normal();
        WindowsPath path;
        const fs::path relative = absolute.lexically_relative(driveC);
        const bool onDriveC = !relative.empty() && *relative.begin() != "..";
        path.drive = onDriveC ? 'C' : 'Z';
        for (const fs::path& part : onDriveC ? relative : absolute.relative_path()) {
            if (part != "." && !part.empty())
                path.components.push_back(part.string());
        }
        return JoinWindowsPath(path);
    }

    std::optional<std::string> GetEnvironmentVariable(std::string_view name) const override {
        for (auto& [variable, value] : MakeEnvironment(profile_)) {
            if (EqualsIgnoreCase(variable, name))
                return value;
        }
        return std::nullopt;
    }

    std::vector<std::pair<std::string, std::string>> GetEnvironment() const override {
        return MakeEnvironment(profile_);
    }

    std::string GetTempPath() const override { return UserFoldersOf(profile_).temp + '\\'; }

    std::string GetModuleFileName() const override {
        const fs::path& executable = ExecutableAtStart();
        return executable.empty() ? std::string() : ToWindowsPath(executable);
    }

    bool Wow64DisableWow64FsRedirection(bool& oldValue) override {
        if (!profile_.Is64Bit())
            return Fail(kErrorInvalidFunction);
        oldValue = t_redirectionDisabled;
        t_redirectionDisabled = true;
        return Succeed();
    }

    bool Wow64RevertWow64FsRedirection(bool oldValue) override {
        if (!profile_.Is64Bit())
            return Fail(kErrorInvalidFunction);
        t_redirectionDisabled = oldValue;
        return Succeed();
    }

    bool IsWow64FsRedirectionEnabled() const override {
        return profile_.Is64Bit() && !t_redirectionDisabled;
    }

    bool PathFileExists(std::string_view path) const override {
        const fs::path linux = ToLinuxPath(path);
        if (linux.empty())
            return false;
        std::error_code error;
        if (fs::exists(linux, error))
            return Succeed();
        return Fail(NotFoundError(linux));
    }

    bool IsDirectory(std::string_view path) const override {
        const fs::path linux = ToLinuxPath(path);
        return !linux.empty() && IsFolder(linux);
    }

    bool DeleteFile(std::string_view path) override {
        const fs::path linux = ToLinuxPath(path);
        if (linux.empty())
            return false;
        if (IsFolder(linux))
            return Fail(win::ERROR_ACCESS_DENIED);
        if (::unlink(linux.c_str()) != 0)
            return FailFromErrno(errno, linux);
        return Succeed();
    }

    bool CopyFile(std::string_view from, std::string_view to, bool failIfExists) override {
        const fs::path source = ToLinuxPath(from);
        const fs::path target = ToLinuxPath(to);
        if (source.empty() || target.empty())
            return false;
        if (!Exists(source))
            return Fail(NotFoundError(source));
        if (IsFolder(source) || IsFolder(target))
            return Fail(win::ERROR_ACCESS_DENIED);
        if (!IsFolder(target.parent_path()))
            return Fail(win::ERROR_PATH_NOT_FOUND);
        if (failIfExists && Exists(target))
            return Fail(win::ERROR_FILE_EXISTS);
        return CopyContents(source, target);
    }

    bool MoveFile(std::string_view from, std::string_view to) override {
        return MoveFileEx(from, to, MOVEFILE_COPY_ALLOWED);
    }

    bool MoveFileEx(std::string_view from, std::string_view to, win::DWORD flags) override {
        if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
            if (flags & MOVEFILE_COPY_ALLOWED)
                return Fail(win::ERROR_INVALID_PARAMETER);
            return RecordPendingMove(from, to, (flags & MOVEFILE_REPLACE_EXISTING) != 0);
        }
        const fs::path source = ToLinuxPath(from);
        const fs::path target = ToLinuxPath(to);
        if (source.empty() || target.empty())
            return false;
        return MovePath(source, target, flags);
    }

    bool CreateDirectory(std::string_view path) override {
        const fs::path linux = ToLinuxPath(path);
        if (linux.empty())
            return false;
        if (::mkdir(linux.c_str(), 0755) != 0)
            return FailFromErrno(errno, linux);
        return Succeed();
    }

    bool RemoveDirectory(std::string_view path, bool recursive) override {
        const fs::path linux = ToLinuxPath(path);
        if (linux.empty())
            return false;
        if (!Exists(linux))
            return Fail(NotFoundError(linux));
        if (!IsFolder(linux))
            return Fail(kErrorDirectory);
        std::error_code error;
        if (recursive) {
            fs::remove_all(linux, error);
        } else {
            fs::remove(linux, error);
        }
        if (error)
            return FailFromErrno(error.value(), linux);
        return Succeed();
    }

    bool ListDirectory(std::string_view path, std::vector<std::string>& names) const override {
        names.clear();
        const fs::path linux = ToLinuxPath(path);
        if (linux.empty())
            return false;
        if (!IsFolder(linux))
            return Fail(Exists(linux) ? kErrorDirectory : NotFoundError(linux));
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(linux, error)) {
            names.push_back(entry.path().filename().string());
        }
        if (error)
            return FailFromErrno(error.value(), linux);
        std::sort(names.begin(), names.end());
        return Succeed();
    }

    bool ReadFile(std::string_view path, std::string& bytes) const override {
        bytes.clear();
        const fs::path linux = ToLinuxPath(path);
        if (linux.empty())
            return false;
        if (!Exists(linux))
            return Fail(NotFoundError(linux));
        if (IsFolder(linux))
            return Fail(win::ERROR_ACCESS_DENIED);
        if (const int error = ReadWholeFile(linux, bytes)) {
            bytes.clear();
            return FailFromErrno(error, linux);
        }
        return Succeed();
    }

    bool WriteFile(std::string_view path, std::string_view bytes) override {
        const fs::path linux = ToLinuxPath(path);
        if (linux.empty())
            return false;
        if (IsFolder(linux))
            return Fail(win::ERROR_ACCESS_DENIED);
        if (!IsFolder(linux.parent_path()))
            return Fail(win::ERROR_PATH_NOT_FOUND);
        std::ofstream out(linux, std::ios::binary | std::ios::trunc);
        if (!out)
            return Fail(win::ERROR_ACCESS_DENIED);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush())
            return Fail(kErrorDiskFull);
        return Succeed();
    }

    std::vector<PendingMove> GetPendingMoves() const override {
        LockedFile lock(PendingLockFile());
        return ReadPendingMoves(layout_.PendingMovesFile());
    }

    std::vector<PendingMoveResult> ApplyPendingMoves() override {
        LockedFile lock(PendingLockFile());
        // The system carries these out at start, as a native process: no redirection.
        RedirectionOff redirectionOff;
        std::vector<PendingMoveResult> results;
        for (const PendingMove& move : ReadPendingMoves(layout_.PendingMovesFile())) {
            results.push_back(PendingMoveResult{move, ApplyPendingMove(move)});
        }
        std::error_code error;
        fs::remove(layout_.PendingMovesFile(), error);
        return results;
    }

private:
    bool ParseWindowsPath(std::string_view text, WindowsPath& path) const {
        std::string normalized = NormalizeSlashes(text);
        if (normalized.starts_with("\\\\?\\") || normalized.starts_with("\\??\\")) {
            normalized.erase(0, 4);
        }
        if (normalized.empty())
            return false;
        if (normalized.size() >= 2 && IsDriveLetter(normalized[0]) && normalized[1] == ':') {
            if (normalized.size() > 2 && normalized[2] != '\\')
                return false;  // drive-relative
            path.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(normalized[0])));
            AppendComponents(std::string_view(normalized).substr(2), path.components);
            return true;
        }
        if (normalized.starts_with("\\\\"))
            return false;  // network shares are not mapped
        if (normalized[0] == '\\') {
            path.drive = 'C';
            AppendComponents(normalized, path.components);
            return true;
        }
        // Relative to the current folder of the process.
        std::error_code error;
        const std::string current = ToWindowsPath(fs::current_path(error));
        if (error)
            return false;
        return ParseWindowsPath(current + '\\' + normalized, path);
    }

    fs::path DriveRoot(char drive) const {
        if (drive == 'C')
            return layout_.DriveC();
        if (drive == 'Z')
            return "/";
        return {};
    }

    // The entry of `folder` named `component` without regard to case; the name as written
    // when there is none.
    static std::string MatchComponent(const fs::path& folder, const std::string& component,
                                      bool& exists) {
        if (Exists(folder / component))
            return component;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            std::string name = entry.path().filename().string();
            if (EqualsIgnoreCase(name, component))
                return name;
        }
        exists = false;
        return component;
    }

    // Copies through a temporary file beside the target, keeping the source's permissions.
    // Windows runs any program file it can read, whatever its attributes; a copied Linux program
    // (a downloaded new version of the program, say) keeps that by getting the execute bits
    // wherever it may be read.
    static void MakeProgramRunnable(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        char magic[4] = {};
        in.read(magic, sizeof magic);
        const std::string_view head(magic, static_cast<size_t>(in.gcount()));
        if (!head.starts_with("\x7f"
                              "ELF") &&
            !head.starts_with("#!"))
            return;
        std::error_code error;
        const fs::perms perms = fs::status(path, error).permissions();
        if (error)
            return;
        fs::perms runnable = fs::perms::none;
        if ((perms & fs::perms::owner_read) != fs::perms::none)
            runnable |= fs::perms::owner_exec;
        if ((perms & fs::perms::group_read) != fs::perms::none)
            runnable |= fs::perms::group_exec;
        if ((perms & fs::perms::others_read) != fs::perms::none)
            runnable |= fs::perms::others_exec;
        fs::permissions(path, runnable, fs::perm_options::add, error);
    }

    static bool CopyContents(const fs::path& source, const fs::path& target) {
        fs::path temporary = target;
        temporary += ".copy" + std::to_string(::getpid());
        std::error_code error;
        fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, error);
        if (!error)
            MakeProgramRunnable(temporary);
        if (!error)
            fs::rename(temporary, target, error);
        if (!error)
            return Succeed();
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return FailFromErrno(error.value(), target);
    }

    static bool MovePath(const fs::path& source, const fs::path& target, win::DWORD flags) {
        if (!Exists(source))
            return Fail(NotFoundError(source));
        if (!IsFolder(target.parent_path()))
            return Fail(win::ERROR_PATH_NOT_FOUND);
        const bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
        if (Exists(target) && !(replace && !IsFolder(target) && !IsFolder(source))) {
            return Fail(replace ? win::ERROR_ACCESS_DENIED : win::ERROR_ALREADY_EXISTS);
        }
        if (::rename(source.c_str(), target.c_str()) == 0)
            return Succeed();
        if (errno != EXDEV || !(flags & MOVEFILE_COPY_ALLOWED) || IsFolder(source)) {
            return FailFromErrno(errno, target);
        }
        if (!CopyContents(source, target))
            return false;
        std::error_code ignored;
        fs::remove(source, ignored);
        return Succeed();
    }

    bool RecordPendingMove(std::string_view from, std::string_view to, bool replaceExisting) {
        const fs::path source = ToLinuxPath(from);
        const fs::path target = to.empty() ? fs::path() : ToLinuxPath(to);
        if (source.empty() || (!to.empty() && target.empty()))
            return false;
        // Kept as full paths with this thread's redirection already applied.
        PendingMove move{ToWindowsPath(source), to.empty() ? "" : ToWindowsPath(target),
                         replaceExisting};
        LockedFile lock(PendingLockFile());
        if (!lock.IsOpen())
            return Fail(win::ERROR_ACCESS_DENIED);
        auto moves = ReadPendingMoves(layout_.PendingMovesFile());
        moves.push_back(std::move(move));
        if (!WritePendingMoves(layout_.PendingMovesFile(), moves)) {
            return Fail(win::ERROR_ACCESS_DENIED);
        }
        return Succeed();
    }

    win::DWORD ApplyPendingMove(const PendingMove& move) {
        const bool done = move.to.empty()
                              ? (IsDirectory(move.from) ? RemoveDirectory(move.from, false)
                                                        : DeleteFile(move.from))
                              : MoveFileEx(move.from, move.to,
                                           move.replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0);
        return done ? win::ERROR_SUCCESS : GetLastError();
    }

    fs::path PendingLockFile() const {
        fs::path lock = layout_.PendingMovesFile();
        lock += ".lock";
        return lock;
    }

    SandboxLayout layout_;
    const WindowsProfile& profile_;
};

}  // namespace

std::unique_ptr<FileSystem> MakeSandboxFileSystem(const SandboxLayout& layout,
                                                  const WindowsProfile& profile) {
    return std::make_unique<SandboxFileSystem>(layout, profile);
}

}  // namespace platform
