// A command of nestora-win. Each command file registers one with NESTORA_WIN_COMMAND; main
// finds it by its name (without regard to case, as Windows finds programs).
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace platform {
struct Context;
}

namespace nestora_win {

struct CommandIo {
    std::ostream& out;
    std::ostream& err;
};

// Runs with the arguments that follow the command's name; returns the process exit code.
using CommandFunction = int (*)(platform::Context& context, std::span<const std::string> args,
                                CommandIo io);

struct CommandRegistration {
    CommandRegistration(const char* name, const char* usage, CommandFunction function);
};

#define NESTORA_WIN_COMMAND(name, usage, function) \
    static const ::nestora_win::CommandRegistration kRegistration_##function(name, usage, function)

}  // namespace nestora_win
