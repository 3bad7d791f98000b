// Windows command lines: one text that each program splits itself. These are the rules of the
// C runtime and CommandLineToArgvW (blanks separate arguments; double quotes group; 2n
// backslashes before a quote give n backslashes and the quote acts; 2n+1 give n and a literal
// quote; other backslashes are literal; "" inside quotes is a literal quote), and the rule
// CreateProcessW uses for the program name.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The arguments of a whole command line, the program name included.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The arguments of a text that holds no program name (what follows the program token).
std::vector<std::string> SplitArguments(std::string_view arguments);

// The program token as CreateProcessW reads it: a quoted first token up to the next quote
// (backslashes are not special in a path), else up to the first blank or tab. `rest` receives
// the text after the token with leading blanks removed.
std::string ProgramToken(std::string_view commandLine, std::string_view* rest = nullptr);

// One argument quoted so that SplitCommandLine gives it back unchanged.
std::string QuoteArgument(std::string_view argument);
// Arguments joined into one command line with QuoteArgument.
std::string JoinCommandLine(std::span<const std::string> arguments);

}  // namespace platform
