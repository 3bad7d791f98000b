// nestora-win profile: shows or changes the Windows the sandbox pretends to be.
#include <string>

#include "platform/context.h"
#include "platform/sandbox.h"
#include "platform/windows_profile.h"
#include "tools/nestora-win/command.h"

namespace nestora_win {
namespace {

constexpr int kUsageError = 2;

void PrintList(std::ostream& out, const char* title, const std::vector<std::string>& names) {
    out << title;
    for (const std::string& name : names)
        out << ' ' << name;
    out << '\n';
}

int Show(const platform::WindowsProfile& profile, CommandIo io) {
    io.out << platform::ProfileToJson(profile) << '\n';
    return 0;
}

int Apply(platform::Context& context, const platform::WindowsProfile& profile, CommandIo io) {
    if (!platform::ChangeProfile(context, profile)) {
        io.err << "profile: cannot save the profile in " << context.root << '\n';
        return 1;
    }
    return Show(*context.profile, io);
}

// Every KEY=VALUE must be valid before anything changes.
int Set(platform::Context& context, std::span<const std::string> assignments, CommandIo io) {
    if (assignments.empty()) {
        io.err << "profile set: nothing to set (KEY=VALUE...)\n";
        return kUsageError;
    }
    platform::WindowsProfile profile = *context.profile;
    for (const std::string& assignment : assignments) {
        const size_t equals = assignment.find('=');
        if (equals == std::string::npos ||
            !platform::SetProfileField(profile, assignment.substr(0, equals),
                                       assignment.substr(equals + 1))) {
            io.err << "profile set: cannot set '" << assignment << "'\n";
            PrintList(io.err, "fields:", platform::ProfileFieldNames());
            return kUsageError;
        }
    }
    return Apply(context, profile, io);
}

int Preset(platform::Context& context, std::span<const std::string> args, CommandIo io) {
    const auto profile = args.size() == 1 ? platform::FindProfilePreset(args[0]) : std::nullopt;
    if (!profile) {
        io.err << "profile preset: name one of the presets\n";
        PrintList(io.err, "presets:", platform::ProfilePresetNames());
        return kUsageError;
    }
    return Apply(context, *profile, io);
}

int ProfileCommand(platform::Context& context, std::span<const std::string> args, CommandIo io) {
    const std::string verb = args.empty() ? "show" : args[0];
    const auto rest = args.empty() ? args : args.subspan(1);
    if (verb == "show" && rest.empty())
        return Show(*context.profile, io);
    if (verb == "set")
        return Set(context, rest, io);
    if (verb == "preset")
        return Preset(context, rest, io);
    if (verb == "presets" && rest.empty()) {
        for (const std::string& name : platform::ProfilePresetNames())
            io.out << name << '\n';
        return 0;
    }
    io.err << "usage: nestora-win profile [show | set KEY=VALUE... | preset NAME | presets]\n";
    return kUsageError;
}

}  // namespace

NESTORA_WIN_COMMAND("profile", "profile [show | set KEY=VALUE... | preset NAME | presets]",
                    ProfileCommand);

}  // namespace nestora_win
