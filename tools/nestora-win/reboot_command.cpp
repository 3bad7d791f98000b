// nestora-win reboot: what the system does with delayed moves at its next start. The moves
// are carried out in the order they were registered and then forgotten; one that fails is
// reported and skipped, as the system does.
#include "platform/context.h"
#include "platform/files.h"
#include "tools/nestora-win/command.h"

namespace nestora_win {
namespace {

void Report(const platform::PendingMoveResult& result, std::ostream& out) {
    const platform::PendingMove& move = result.move;
    if (move.to.empty()) {
        out << "delete " << move.from;
    } else {
        out << (move.replaceExisting ? "replace " : "move ") << move.from << " -> " << move.to;
    }
    if (result.error == win::ERROR_SUCCESS) {
        out << ": done\n";
    } else {
        out << ": failed (error " << result.error << ")\n";
    }
}

int RebootCommand(platform::Context& context, std::span<const std::string> args, CommandIo io) {
    if (!args.empty()) {
        io.err << "usage: nestora-win reboot\n";
        return 2;
    }
    const auto results = context.files->ApplyPendingMoves();
    if (results.empty())
        io.out << "no pending file operations\n";
    bool allDone = true;
    for (const auto& result : results) {
        Report(result, io.out);
        allDone = allDone && result.error == win::ERROR_SUCCESS;
    }
    return allDone ? 0 : 1;
}

}  // namespace

NESTORA_WIN_COMMAND("reboot", "reboot  (carries out the file moves delayed until restart)",
                    RebootCommand);

}  // namespace nestora_win
