#include "components/install_command.h"

namespace components {
namespace {

// Replaces every `placeholder` outside the already inserted text.
std::string ReplaceAll(std::string_view text, std::string_view placeholder,
                       std::string_view replacement) {
    std::string result;
    std::size_t start = 0;
    for (std::size_t found = text.find(placeholder); found != std::string_view::npos;
         found = text.find(placeholder, start)) {
        result.append(text.substr(start, found - start));
        result.append(replacement);
        start = found + placeholder.size();
    }
    result.append(text.substr(start));
    return result;
}

}  // namespace

std::string BuildInstallCommand(std::string_view command, std::string_view installerPath) {
    const std::string quoted = "\"" + std::string(installerPath) + "\"";
    // Quoted placeholders are replaced whole, bare ones in the text between them, so an
    // inserted path is never searched.
    std::string result;
    std::size_t start = 0;
    constexpr std::string_view kQuoted = "\"%1\"";
    for (std::size_t found = command.find(kQuoted); found != std::string_view::npos;
         found = command.find(kQuoted, start)) {
        result.append(ReplaceAll(command.substr(start, found - start), "%1", quoted));
        result.append(quoted);
        start = found + kQuoted.size();
    }
    result.append(ReplaceAll(command.substr(start), "%1", quoted));
    return result;
}

}  // namespace components
