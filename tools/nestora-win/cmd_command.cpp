// nestora-win cmd /c COMMAND: the command interpreter running one command line, as
// system() and the program's removal lists use it. It knows del (erase) and rd (rmdir); every
// other command starts a program through the sandbox's processes, so regsvr32, reg and
// programs in the sandbox run under the same rules as everywhere else. Environment references
// are expanded as cmd does; the pipe, redirection and chaining operators are not supported.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/text.h"
#include "tools/nestora-win/command.h"
#include "tools/nestora-win/process_bits.h"

namespace nestora_win {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUnknownProgram = 9009;

constexpr std::string_view kSpecialCharacters = "&<>()@^|";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

struct Invocation {
    bool runCommand = false;   // /c or /k was given
    bool stripQuotes = false;  // /s
    std::string command;
};

// cmd's own switches come first; the command is everything after /c (or /k).
Invocation ParseInvocation(std::string_view text) {
    Invocation invocation;
    while (true) {
        text = TrimBlanks(text);
        if (text.size() < 2 || text[0] != '/')
            return invocation;
        size_t end = 1;
        while (end < text.size() && !IsBlank(text[end]) && text[end] != '/')
            ++end;
        const std::string name = platform::AsciiLower(text.substr(1, end - 1));
        text.remove_prefix(end);
        if (name == "c" || name == "k") {
            invocation.runCommand = true;
            invocation.command = std::string(TrimBlanks(text));
            return invocation;
        }
        if (name == "s")
            invocation.stripQuotes = true;
        // /q, /d, /a, /u, /e:..., /f:..., /v:... change nothing here.
    }
}

// cmd keeps the quotes of a command that is exactly one quoted program name with blanks in it
// (and nothing special); otherwise a leading quote goes with the last quote of the line.
std::string ProcessQuotes(const platform::FileSystem& files, const Invocation& invocation) {
    const std::string& command = invocation.command;
    if (command.empty() || command.front() != '"')
        return command;
    const size_t last = command.rfind('"');
    if (!invocation.stripQuotes && last == command.size() - 1 &&
        std::count(command.begin(), command.end(), '"') == 2) {
        const std::string inner = command.substr(1, command.size() - 2);
        const bool keep = inner.find_first_of(kSpecialCharacters) == std::string::npos &&
                          inner.find_first_of(" \t") != std::string::npos &&
                          (files.PathFileExists(inner) || files.PathFileExists(inner + ".exe"));
        if (keep)
            return command;
    }
    if (last == 0)
        return command.substr(1);
    return command.substr(1, last - 1) + command.substr(last + 1);
}

// An operator outside quotes, which this interpreter does not carry out.
bool HasOperator(std::string_view command) {
    bool quoted = false;
    for (const char c : command) {
        if (c == '"')
            quoted = !quoted;
        if (!quoted && (c == '&' || c == '|' || c == '<' || c == '>'))
            return true;
    }
    return false;
}

// cmd's splitting for its built-in commands: blanks separate, quotes group and are dropped,
// backslashes are plain characters, "/a/b" holds two switches.
struct BuiltinArguments {
    std::vector<std::string> switches;  // lower case, without '/'
    std::vector<std::string> names;
};

BuiltinArguments SplitBuiltinArguments(std::string_view text) {
    BuiltinArguments arguments;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i]))
            ++i;
        if (i == text.size())
            break;
        std::string token;
        bool quoted = false;
        const bool isSwitch = text[i] == '/';
        while (i < text.size() && (quoted || !IsBlank(text[i]))) {
            if (text[i] == '"') {
                quoted = !quoted;
            } else if (isSwitch && text[i] == '/' && !token.empty()) {
                arguments.switches.push_back(platform::AsciiLower(token));
                token.clear();
            } else if (!(isSwitch && text[i] == '/')) {
                token += text[i];
            }
            ++i;
        }
        if (isSwitch) {
            if (!token.empty())
                arguments.switches.push_back(platform::AsciiLower(token));
        } else {
            arguments.names.push_back(std::move(token));
        }
    }
    return arguments;
}

bool HasSwitch(const BuiltinArguments& arguments, std::string_view name) {
    return std::find(arguments.switches.begin(), arguments.switches.end(), name) !=
           arguments.switches.end();
}

// del: files, or the files directly inside a folder that is named.
int DeleteFiles(platform::FileSystem& files, const BuiltinArguments& arguments,
                const CommandIo& io) {
    if (arguments.names.empty()) {
        io.err << "The syntax of the command is incorrect.\n";
        return kFailure;
    }
    int code = kSuccess;
    for (const std::string& name : arguments.names) {
        if (files.IsDirectory(name)) {
            std::vector<std::string> entries;
            files.ListDirectory(name, entries);
            for (const std::string& entry : entries) {
                const std::string path = name + (name.ends_with('\\') ? "" : "\\") + entry;
                if (!files.IsDirectory(path) && !files.DeleteFile(path)) {
                    io.err << "Access is denied: " << path << '\n';
                    code = kFailure;
                }
            }
        } else if (!files.PathFileExists(name)) {
            io.err << "Could Not Find " << name << '\n';
            code = kFailure;
        } else if (!files.DeleteFile(name)) {
            io.err << "Access is denied: " << name << '\n';
            code = kFailure;
        }
    }
    return code;
}

// rd: an empty folder, or with /s the folder and everything in it.
int RemoveFolders(platform::FileSystem& files, const BuiltinArguments& arguments,
                  const CommandIo& io) {
    if (arguments.names.empty()) {
        io.err << "The syntax of the command is incorrect.\n";
        return kFailure;
    }
    const bool recursive = HasSwitch(arguments, "s");
    int code = kSuccess;
    for (const std::string& name : arguments.names) {
        if (!files.PathFileExists(name)) {
            io.err << "The system cannot find the file specified: " << name << '\n';
            code = kFailure;
        } else if (!files.IsDirectory(name)) {
            io.err << "The directory name is invalid: " << name << '\n';
            code = kFailure;
        } else if (!files.RemoveDirectory(name, recursive)) {
            io.err << (recursive ? "Access is denied: " : "The directory is not empty: ") << name
                   << '\n';
            code = kFailure;
        }
    }
    return code;
}

int RunProgram(platform::Processes& processes, const std::string& command, const CommandIo& io) {
    std::unique_ptr<platform::Process> process;
    const win::LONG result = processes.CreateProcess(command, process);
    if (result == win::ERROR_FILE_NOT_FOUND || result == win::ERROR_PATH_NOT_FOUND) {
        io.err << '\'' << platform::ProgramToken(command)
               << "' is not recognized as an internal or external command,\n"
                  "operable program or batch file.\n";
        return kUnknownProgram;
    }
    if (result != win::ERROR_SUCCESS) {
        io.err << "The system cannot execute the specified program (error " << result << ").\n";
        return kFailure;
    }
    if (process->Wait(win::INFINITE) != win::WAIT_OBJECT_0)
        return kFailure;
    return static_cast<int>(process->ExitCode());
}

// The built-in command's name: the first word, which may end at a switch ("rd/s").
std::string BuiltinName(std::string_view command, std::string_view& rest) {
    size_t end = 0;
    while (end < command.size() && !IsBlank(command[end]) && command[end] != '/' &&
           command[end] != '"') {
        ++end;
    }
    rest = command.substr(end);
    return platform::AsciiLower(command.substr(0, end));
}

int RunCommandLine(platform::Context& context, const std::string& command, const CommandIo& io) {
    if (TrimBlanks(command).empty())
        return kSuccess;
    if (HasOperator(command)) {
        io.err << "nestora-win cmd: the operators & | < > are not supported.\n";
        return kFailure;
    }
    std::string_view rest;
    const std::string name = BuiltinName(TrimBlanks(command), rest);
    if (name == "del" || name == "erase") {
        return DeleteFiles(*context.files, SplitBuiltinArguments(rest), io);
    }
    if (name == "rd" || name == "rmdir") {
        return RemoveFolders(*context.files, SplitBuiltinArguments(rest), io);
    }
    return RunProgram(*context.processes, std::string(TrimBlanks(command)), io);
}

// Words typed in a shell joined back into one command line. cmd's quotes group without
// escapes, so a word is quoted only when it holds a blank and no quote of its own.
std::string JoinShellWords(std::span<const std::string> words) {
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty())
            text += ' ';
        const bool quote =
            word.find_first_of(" \t") != std::string::npos && word.find('"') == std::string::npos;
        text += quote ? '"' + word + '"' : word;
    }
    return text;
}

int RunCmd(platform::Context& context, std::span<const std::string> args, CommandIo io) {
    // Started by the sandbox, cmd gets its command line as one text; typed in a shell, the
    // words come one by one.
    const std::string text = args.size() == 1 ? args[0] : JoinShellWords(args);
    const Invocation invocation = ParseInvocation(text);
    if (!invocation.runCommand) {
        io.err << "usage: nestora-win cmd [/s] [/q] /c COMMAND\n";
        return kFailure;
    }
    FollowProcessBits(context);
    const std::string command =
        context.files->ExpandEnvironment(ProcessQuotes(*context.files, invocation));
    return RunCommandLine(context, command, io);
}

}  // namespace

NESTORA_WIN_COMMAND("cmd", "cmd [/s] [/q] /c COMMAND  (del, rd, or a program)", RunCmd);

}  // namespace nestora_win
