// nestora-win NAME ARGS...: runs one of the sandbox's Windows commands on the sandbox named by
// NESTORA_ROOT (or the default sandbox).
#include <iostream>
#include <map>
#include <vector>

#include "platform/context.h"
#include "platform/text.h"
#include "tools/nestora-win/command.h"

namespace nestora_win {
namespace {

struct Command {
    const char* usage;
    CommandFunction function;
};

std::map<std::string, Command>& Commands() {
    static std::map<std::string, Command> commands;
    return commands;
}

int PrintUsage(std::ostream& out) {
    out << "usage: nestora-win COMMAND [ARGS...]\ncommands:\n";
    for (const auto& [name, command] : Commands()) out << "  " << command.usage << '\n';
    return 2;
}

}  // namespace

CommandRegistration::CommandRegistration(const char* name, const char* usage,
                                         CommandFunction function) {
    Commands()[platform::AsciiLower(name)] = Command{usage, function};
}

}  // namespace nestora_win

int main(int argc, char** argv) {
    using namespace nestora_win;
    if (argc < 2) return PrintUsage(std::cerr);
    std::string name = platform::AsciiLower(argv[1]);
    if (name.size() > 4 && name.ends_with(".exe")) name.resize(name.size() - 4);
    const auto found = Commands().find(name);
    if (found == Commands().end()) {
        std::cerr << "nestora-win: unknown command '" << argv[1] << "'\n";
        return PrintUsage(std::cerr);
    }
    auto context = platform::OpenSandbox(platform::DefaultSandboxRoot());
    if (!context) {
        std::cerr << "nestora-win: cannot open the sandbox at " << platform::DefaultSandboxRoot()
                  << '\n';
        return 1;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    return found->second.function(*context, args, CommandIo{std::cout, std::cerr});
}
