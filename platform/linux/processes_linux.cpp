#include "platform/linux/processes_linux.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/linux/processes_linux_spawn.h"
#include "platform/text.h"
#include "platform/windows_profile.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// The sandbox's own commands, run by the command tool under their own name.
constexpr std::string_view kToolNames[] = {"regsvr32", "reg", "cmd"};

enum class ProgramKind { Tool, Binary, Script };

struct Program {
    ProgramKind kind = ProgramKind::Binary;
    fs::path file;                         // Binary, Script
    std::string tool;                      // Tool: its name
    std::string bits;                      // Tool: "32" or "64"
    std::vector<std::string> interpreter;  // Script: the "#!" program and its argument
    bool runFromCopy = false;              // Binary without the execute permission
};

// A possible program name of an unquoted command line and the text after it.
struct Candidate {
    std::string name;
    std::string_view rest;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimLeadingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view FinalComponent(std::string_view path) {
    const size_t separator = path.find_last_of("\\/:");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

bool HasFolder(std::string_view name) {
    return name.find_first_of("\\/:") != std::string_view::npos;
}

// A name without extension gets ".exe"; a name ending in a period has none and keeps none.
std::string WithDefaultExtension(std::string_view name) {
    std::string result(name);
    const std::string_view last = FinalComponent(name);
    if (last.ends_with('.')) {
        result.pop_back();
    } else if (last.find('.') == std::string_view::npos) {
        result += ".exe";
    }
    return result;
}

// "regsvr32" for "REGSVR32.EXE"; empty for any other program.
std::string ToolNameOf(std::string_view name) {
    std::string last = AsciiLower(FinalComponent(name));
    if (!last.ends_with(".exe"))
        return {};
    last.resize(last.size() - 4);
    for (const std::string_view tool : kToolNames) {
        if (last == tool)
            return last;
    }
    return {};
}

// Without quotes, every blank may end the program name: "C:\Program Files\a b.exe" is tried
// as "C:\Program", "C:\Program Files\a" and the whole, as CreateProcessW does.
std::vector<Candidate> ProgramCandidates(std::string_view commandLine) {
    const std::string_view text = TrimLeadingBlanks(commandLine);
    if (text.empty())
        return {};
    if (text.front() == '"') {
        std::string_view rest;
        std::string name = ProgramToken(text, &rest);
        return {{std::move(name), rest}};
    }
    std::vector<Candidate> candidates;
    size_t position = 0;
    while (true) {
        const size_t blank = text.find_first_of(" \t", position);
        if (blank == std::string_view::npos) {
            candidates.push_back({std::string(text), {}});
            break;
        }
        candidates.push_back(
            {std::string(text.substr(0, blank)), TrimLeadingBlanks(text.substr(blank))});
        position = text.find_first_not_of(" \t", blank);
        if (position == std::string_view::npos)
            break;
    }
    return candidates;
}

bool IsProgramExtension(std::string_view file) {
    const std::string last = AsciiLower(FinalComponent(file));
    return last.ends_with(".exe") || last.ends_with(".com") || last.find('.') == std::string::npos;
}

win::LONG NotFoundError(const fs::path& file) {
    std::error_code error;
    return fs::is_directory(file.parent_path(), error) ? win::ERROR_FILE_NOT_FOUND
                                                       : win::ERROR_PATH_NOT_FOUND;
}

// The "#!" line: the interpreter and at most one argument, as the Linux kernel reads it.
std::vector<std::string> ParseInterpreterLine(std::string_view head) {
    std::string_view line =
        head.substr(2, head.find('\n') == std::string_view::npos ? std::string_view::npos
                                                                 : head.find('\n') - 2);
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    line = TrimLeadingBlanks(line);
    const size_t blank = line.find_first_of(" \t");
    std::vector<std::string> interpreter = {std::string(line.substr(0, blank))};
    if (blank != std::string_view::npos) {
        std::string_view argument = TrimLeadingBlanks(line.substr(blank));
        while (!argument.empty() && IsBlank(argument.back()))
            argument.remove_suffix(1);
        if (!argument.empty())
            interpreter.emplace_back(argument);
    }
    if (interpreter.front().empty())
        return {};
    return interpreter;
}

// What kind of program the file is: a Linux binary or script runs; anything else (a Windows
// image, a control file, a document) is not a program this system can start.
win::LONG ClassifyProgramFile(const fs::path& file, Program& program) {
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (!fs::exists(status))
        return NotFoundError(file);
    if (fs::is_directory(status))
        return win::ERROR_ACCESS_DENIED;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return win::ERROR_ACCESS_DENIED;
    char head[256] = {};
    in.read(head, sizeof head);
    const std::string_view text(head, static_cast<size_t>(in.gcount()));
    program.file = file;
    if (text.starts_with("\x7f"
                         "ELF")) {
        program.kind = ProgramKind::Binary;
        program.runFromCopy = ::access(file.c_str(), X_OK) != 0;
        return win::ERROR_SUCCESS;
    }
    if (text.starts_with("#!")) {
        program.kind = ProgramKind::Script;
        program.interpreter = ParseInterpreterLine(text);
        return program.interpreter.empty() ? win::ERROR_BAD_EXE_FORMAT : win::ERROR_SUCCESS;
    }
    return win::ERROR_BAD_EXE_FORMAT;
}

win::LONG ErrorFromStart(int error, ProgramKind kind) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            // The file was there; a missing interpreter or loader makes it unrunnable.
            return kind == ProgramKind::Tool ? win::ERROR_FILE_NOT_FOUND
                                             : win::ERROR_BAD_EXE_FORMAT;
        case EACCES:
        case EPERM:
        case ETXTBSY:
            return win::ERROR_ACCESS_DENIED;
        case ENOMEM:
        case EAGAIN:
            return win::ERROR_NOT_ENOUGH_MEMORY;
        case E2BIG:
            return win::ERROR_FILENAME_EXCED_RANGE;
        default:
            return win::ERROR_BAD_EXE_FORMAT;
    }
}

class LinuxProcesses final : public Processes {
public:
    LinuxProcesses(FileSystem& files, const WindowsProfile& profile, fs::path sandboxRoot,
                   fs::path commandTool)
        : files_(files),
          profile_(profile),
          sandboxRoot_(std::move(sandboxRoot)),
          commandTool_(std::move(commandTool)) {}

    win::LONG CreateProcess(std::string_view commandLine,
                            std::unique_ptr<Process>& process) override {
        process.reset();
        if (Utf8ToUtf16(commandLine).size() > kMaxCommandLineChars) {
            return win::ERROR_FILENAME_EXCED_RANGE;
        }
        const std::vector<Candidate> candidates = ProgramCandidates(commandLine);
        if (candidates.empty())
            return win::ERROR_INVALID_PARAMETER;
        win::LONG firstError = win::ERROR_SUCCESS;
        for (const Candidate& candidate : candidates) {
            Program program;
            const win::LONG result = FindProgram(candidate.name, program);
            if (result == win::ERROR_SUCCESS)
                return Start(program, candidate.rest, process);
            if (result != win::ERROR_FILE_NOT_FOUND && result != win::ERROR_PATH_NOT_FOUND) {
                return result;  // found, but it cannot run
            }
            if (firstError == win::ERROR_SUCCESS)
                firstError = result;
        }
        return firstError;
    }

    win::LONG ShellExecute(std::string_view file, std::string_view parameters,
                           std::unique_ptr<Process>& process) override {
        process.reset();
        Program program;
        const win::LONG result = FindProgram(file, program);
        if (result == win::ERROR_BAD_EXE_FORMAT && !IsProgramExtension(file)) {
            return win::ERROR_NO_ASSOCIATION;
        }
        if (result != win::ERROR_SUCCESS)
            return result;
        return Start(program, TrimLeadingBlanks(parameters), process);
    }

    bool Snapshot(std::vector<ProcessEntry>& entries) override {
        return ReadProcessSnapshot(entries);
    }

    int RunSystemCommand(std::string_view command) override {
        const std::string arguments = "/c " + std::string(command);
        std::unique_ptr<Process> process;
        const auto comspec = files_.GetEnvironmentVariable("ComSpec");
        if (!comspec || !StartByName(*comspec, arguments, process)) {
            if (!StartByName("cmd.exe", arguments, process))
                return -1;
        }
        if (process->Wait(win::INFINITE) != win::WAIT_OBJECT_0)
            return -1;
        return static_cast<int>(process->ExitCode());
    }

private:
    bool StartByName(std::string_view name, std::string_view arguments,
                     std::unique_ptr<Process>& process) {
        Program program;
        return FindProgram(name, program) == win::ERROR_SUCCESS &&
               Start(program, arguments, process) == win::ERROR_SUCCESS;
    }

    win::LONG FindProgram(std::string_view written, Program& program) const {
        if (written.empty())
            return win::ERROR_FILE_NOT_FOUND;
        const std::string name = WithDefaultExtension(written);
        if (!HasFolder(name))
            return FindBareName(name, program);
        fs::path file = files_.ToLinuxPath(AbsoluteWindowsPath(name));
        if (file.empty())
            return win::ERROR_PATH_NOT_FOUND;
        // Linux programs carry no extension (the program itself among them): a full path
        // written without one names such a file when no ".exe" file is there.
        if (std::error_code error; !fs::exists(file, error) && name != written) {
            const fs::path asWritten = files_.ToLinuxPath(AbsoluteWindowsPath(written));
            if (!asWritten.empty() && fs::is_regular_file(asWritten, error))
                file = asWritten;
        }
        if (const std::string tool = ToolNameOf(name); !tool.empty()) {
            if (const std::string bits = SystemFolderBits(file.parent_path()); !bits.empty()) {
                program = Program{ProgramKind::Tool, {}, tool, bits, {}, false};
                return win::ERROR_SUCCESS;
            }
        }
        return ClassifyProgramFile(file, program);
    }

    // The sandbox's commands answer to their bare names wherever the search would look;
    // other names are searched in the program's folder, the current folder, System32 (seen
    // through the calling thread's redirection), System, Windows and the PATH.
    win::LONG FindBareName(const std::string& name, Program& program) const {
        if (const std::string tool = ToolNameOf(name); !tool.empty()) {
            const std::string bits = files_.IsWow64FsRedirectionEnabled() ? "32" : NativeBits();
            program = Program{ProgramKind::Tool, {}, tool, bits, {}, false};
            return win::ERROR_SUCCESS;
        }
        for (const std::string& folder : SearchFolders()) {
            const fs::path file = files_.ToLinuxPath(folder + "\\" + name);
            std::error_code error;
            if (!file.empty() && fs::is_regular_file(file, error)) {
                return ClassifyProgramFile(file, program);
            }
        }
        return win::ERROR_FILE_NOT_FOUND;
    }

    std::vector<std::string> SearchFolders() const {
        const std::string windows = SystemRoot();
        const std::string module = files_.GetModuleFileName();
        std::vector<std::string> folders = {module.substr(0, module.find_last_of('\\')),
                                            CurrentFolder(), windows + "\\System32",
                                            windows + "\\System", windows};
        const std::string path = files_.GetEnvironmentVariable("Path").value_or("");
        size_t start = 0;
        while (start <= path.size()) {
            const size_t end = std::min(path.find(';', start), path.size());
            std::string folder = path.substr(start, end - start);
            std::erase(folder, '"');
            if (!folder.empty())
                folders.push_back(std::move(folder));
            start = end + 1;
        }
        return folders;
    }

    // "64" for the native System32, "32" for SysWOW64 (System32 seen by a 32-bit program);
    // empty for any other folder.
    std::string SystemFolderBits(const fs::path& linuxFolder) const {
        const fs::path windows = files_.ToLinuxPath(SystemRoot());
        if (windows.empty() ||
            !EqualsIgnoreCase(linuxFolder.parent_path().lexically_normal().string(),
                              windows.lexically_normal().string())) {
            return {};
        }
        const std::string folder = linuxFolder.filename().string();
        if (EqualsIgnoreCase(folder, "System32"))
            return NativeBits();
        if (EqualsIgnoreCase(folder, "SysWOW64") && profile_.Is64Bit())
            return "32";
        return {};
    }

    std::string NativeBits() const { return profile_.Is64Bit() ? "64" : "32"; }

    std::string SystemRoot() const {
        return files_.GetEnvironmentVariable("SystemRoot").value_or("C:\\Windows");
    }

    std::string CurrentFolder() const {
        std::error_code error;
        const fs::path current = fs::current_path(error);
        return error ? std::string("C:\\") : files_.ToWindowsPath(current);
    }

    // A path relative to the current folder or drive made absolute.
    std::string AbsoluteWindowsPath(std::string_view name) const {
        const bool hasDrive = name.size() >= 2 && name[1] == ':';
        if (hasDrive) {
            const bool rooted = name.size() >= 3 && (name[2] == '\\' || name[2] == '/');
            return rooted ? std::string(name)
                          : std::string(name.substr(0, 2)) + "\\" + std::string(name.substr(2));
        }
        const std::string current = CurrentFolder();
        if (name.starts_with('\\') || name.starts_with('/')) {
            return current.substr(0, 2) + std::string(name);
        }
        return current + (current.ends_with('\\') ? "" : "\\") + std::string(name);
    }

    win::LONG Start(const Program& program, std::string_view arguments,
                    std::unique_ptr<Process>& process) {
        SpawnRequest request;
        std::vector<std::string> overrides = {
            std::string(kSandboxRootVariable) + "=" + sandboxRoot_.string(),
            std::string(kCommandToolVariable) + "=" + commandTool_.string()};
        switch (program.kind) {
            case ProgramKind::Tool:
                request.executable = commandTool_;
                request.argv = {commandTool_.string(), program.tool};
                overrides.push_back(std::string(kProcessBitsVariable) + "=" + program.bits);
                break;
            case ProgramKind::Binary:
                request.executable = program.file;
                request.argv = {program.file.string()};
                request.runFromCopy = program.runFromCopy;
                break;
            case ProgramKind::Script:
                request.executable = program.interpreter.front();
                request.argv = program.interpreter;
                request.argv.push_back(program.file.string());
                break;
        }
        // cmd reads its command line itself, as one text.
        if (program.kind == ProgramKind::Tool && program.tool == "cmd") {
            if (!arguments.empty())
                request.argv.emplace_back(arguments);
        } else {
            for (std::string& argument : SplitArguments(arguments)) {
                request.argv.push_back(std::move(argument));
            }
        }
        request.environment = EnvironmentWith(overrides);
        pid_t pid = -1;
        if (const int error = SpawnProcess(request, pid); error != 0) {
            return ErrorFromStart(error, program.kind);
        }
        process = MakeChildProcess(pid);
        return win::ERROR_SUCCESS;
    }

    FileSystem& files_;
    const WindowsProfile& profile_;
    const fs::path sandboxRoot_;
    const fs::path commandTool_;
};

}  // namespace

fs::path DefaultCommandToolPath() {
    if (const char* tool = std::getenv(kCommandToolVariable); tool && *tool)
        return tool;
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return (error ? fs::path(".") : self.parent_path()) / "nestora-win";
}

std::unique_ptr<Processes> MakeLinuxProcesses(FileSystem& files, const WindowsProfile& profile,
                                              const fs::path& sandboxRoot,
                                              const fs::path& commandTool) {
    return std::make_unique<LinuxProcesses>(files, profile, sandboxRoot, commandTool);
}

}  // namespace platform
