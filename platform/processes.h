// Processes as a Windows program starts and watches them: CreateProcessW without an application
// name (the program is the first token of the command line), ShellExecuteExW opening a file,
// a process snapshot of the whole system, and the standard library's `system`.
//
// In the sandbox, a command line whose program is regsvr32, reg or cmd runs the sandbox's own
// command tool; a program file runs when it is a Linux executable (a binary or a "#!" script);
// anything else fails to start with the error CreateProcessW would give.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace win {

constexpr LONG ERROR_BAD_EXE_FORMAT = 193;   // not a program this system can run
constexpr LONG ERROR_NO_ASSOCIATION = 1155;  // ShellExecute: no program opens this file
constexpr LONG ERROR_FILENAME_EXCED_RANGE = 206;

// WaitForSingleObject.
constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
// GetExitCodeProcess while the process runs.
constexpr DWORD STILL_ACTIVE = 259;

}  // namespace win

namespace platform {

// The longest command line CreateProcessW accepts, in UTF-16 units without the terminator.
constexpr size_t kMaxCommandLineChars = 32767;

// A started process. Destroying the object closes the handle: the process keeps running (as
// on Windows) and is reaped in the background when it ends.
class Process {
public:
    virtual ~Process() = default;

    virtual win::DWORD Id() const = 0;
    // WaitForSingleObject: WAIT_OBJECT_0 once the process has ended, WAIT_TIMEOUT when it
    // still runs after `milliseconds` (INFINITE waits without a limit), WAIT_FAILED on error.
    virtual win::DWORD Wait(win::DWORD milliseconds) = 0;
    // GetExitCodeProcess: STILL_ACTIVE while it runs. A process ended by a signal reports
    // 128 + the signal number, as a Linux shell does.
    virtual win::DWORD ExitCode() = 0;
};

// One process of a snapshot (PROCESSENTRY32W: th32ProcessID, th32ParentProcessID, szExeFile).
struct ProcessEntry {
    win::DWORD processId = 0;
    win::DWORD parentProcessId = 0;
    std::string exeFile;  // the executable's file name without folder
};

class Processes {
public:
    virtual ~Processes() = default;

    // CreateProcessW(NULL, commandLine, ...): ERROR_SUCCESS and the process in `process`, or
    // the error code (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_BAD_EXE_FORMAT,
    // ERROR_INVALID_PARAMETER for an empty line, ERROR_FILENAME_EXCED_RANGE for a line over
    // kMaxCommandLineChars) and `process` empty. An unquoted program path with blanks is
    // tried prefix by prefix, as Windows does ("C:\Program Files\a b.exe" tries
    // "C:\Program.exe", then "C:\Program Files\a.exe", then the whole).
    virtual win::LONG CreateProcess(std::string_view commandLine,
                                    std::unique_ptr<Process>& process) = 0;

    // ShellExecuteExW with no verb: opens `file` (a Windows path, not split) with the given
    // parameters. A program file starts like CreateProcess; ERROR_FILE_NOT_FOUND when the
    // file is missing, ERROR_NO_ASSOCIATION for a file that is not a program.
    virtual win::LONG ShellExecute(std::string_view file, std::string_view parameters,
                                   std::unique_ptr<Process>& process) = 0;

    // CreateToolhelp32Snapshot(TH32CS_SNAPALL) walked to the end: every process of the
    // system. False when the process list cannot be read. As on Windows, a process keeps
    // naming its creator as parent after the creator has ended (Linux hands orphans to
    // another parent; the creator is remembered in the environment, see kCreatorVariable).
    virtual bool Snapshot(std::vector<ProcessEntry>& entries) = 0;

    // The standard library's `system`: %COMSPEC% with "/c" and the command, else "cmd.exe"
    // from the search path, waited for. Returns the interpreter's exit code, or -1 when no
    // interpreter could be started.
    virtual int RunSystemCommand(std::string_view command) = 0;
};

// Environment variables that a child started in the sandbox receives.
constexpr const char* kSandboxRootVariable = "NESTORA_ROOT";  // the sandbox folder
constexpr const char* kCommandToolVariable = "NESTORA_WIN";   // path of nestora-win
// "32" or "64": the bitness of the Windows program the child stands for. A command tool
// started from System32 by a 32-bit program under WOW64 lands in SysWOW64 and is "32"; one
// started with redirection off (or on a 32-bit profile) is the native one.
constexpr const char* kProcessBitsVariable = "NESTORA_PROCESS_BITS";
// The id of the process started in the sandbox, which the processes it starts in turn inherit:
// the parent a snapshot reports for them once that process has ended.
constexpr const char* kCreatorVariable = "NESTORA_CREATOR_PID";

}  // namespace platform
