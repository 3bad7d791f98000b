#pragma once

#include <string>
#include <string_view>

namespace components {

// The installer's command line: every "%1" of `command` becomes the installer path in double
// quotes; a placeholder already written in quotes ("\"%1\"") is replaced whole so the quotes
// are not doubled. The inserted path is not searched again. An empty command stays empty.
std::string BuildInstallCommand(std::string_view command, std::string_view installerPath);

}  // namespace components
