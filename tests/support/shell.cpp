#include "tests/support/shell.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace nestora_test {

std::string ShellQuote(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::filesystem::path BinDir() {
    if (const char* binDir = std::getenv("NESTORA_BIN_DIR"); binDir && *binDir)
        return binDir;
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
}

std::filesystem::path SourceDir() {
    if (const char* sourceDir = std::getenv("NESTORA_SOURCE_DIR"); sourceDir && *sourceDir)
        return sourceDir;
    return NESTORA_SOURCE_DIR_AT_BUILD;
}

RunResult RunShell(const std::string& command) {
    RunResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    for (size_t read; (read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.output.append(buffer, read);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string ProgramEnvironment(const std::filesystem::path& root, const std::string& bankHost) {
    return "NESTORA_ROOT=" + ShellQuote(root.string()) + " NESTORA_BANK_HOST=" + bankHost +
           " NESTORA_MODE= NESTORA_ANSWER= NESTORA_USER_TYPE= ";
}

}  // namespace nestora_test
