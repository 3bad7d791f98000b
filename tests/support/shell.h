// Running programs of the build through the shell from tests, and what they print.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace nestora_test {

struct RunResult {
    int exitCode = -1;  // -1 when the command could not run or did not exit by itself
    std::string output;
};

// `text` between single quotes for the shell, single quotes inside kept.
std::string ShellQuote(std::string_view text);

// NESTORA_BIN_DIR, else the folder of the running test, where the build puts every program.
std::filesystem::path BinDir();

// NESTORA_SOURCE_DIR, else the repository this was built from.
std::filesystem::path SourceDir();

// Runs `command` with /bin/sh and collects what it printed on its standard output.
RunResult RunShell(const std::string& command);

// The variables that put a run of the program on the sandbox at `root` and the bank at
// `bankHost`, with the ones that answer for a user cleared; ends with a space.
std::string ProgramEnvironment(const std::filesystem::path& root, const std::string& bankHost);

}  // namespace nestora_test
