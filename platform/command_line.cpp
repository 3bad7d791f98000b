#include "platform/command_line.h"

namespace platform {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

size_t SkipBlanks(std::string_view text, size_t i) {
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    return i;
}

// Reads one argument starting at `i` (not a blank); returns the index after it.
size_t ReadArgument(std::string_view text, size_t i, std::string& argument) {
    bool inQuotes = false;
    while (i < text.size()) {
        const char c = text[i];
        if (!inQuotes && IsBlank(c))
            break;
        if (c == '\\') {
            size_t count = 0;
            while (i < text.size() && text[i] == '\\') {
                ++count;
                ++i;
            }
            if (i < text.size() && text[i] == '"') {
                argument.append(count / 2, '\\');
                if (count % 2 == 1) {
                    argument += '"';
                    ++i;
                }
            } else {
                argument.append(count, '\\');
            }
        } else if (c == '"') {
            if (inQuotes && i + 1 < text.size() && text[i + 1] == '"') {
                argument += '"';
                i += 2;
            } else {
                inQuotes = !inQuotes;
                ++i;
            }
        } else {
            argument += c;
            ++i;
        }
    }
    return i;
}

}  // namespace

std::string ProgramToken(std::string_view commandLine, std::string_view* rest) {
    size_t i = SkipBlanks(commandLine, 0);
    std::string token;
    if (i < commandLine.size() && commandLine[i] == '"') {
        const size_t close = commandLine.find('"', i + 1);
        const size_t end = close == std::string_view::npos ? commandLine.size() : close;
        token = std::string(commandLine.substr(i + 1, end - i - 1));
        i = close == std::string_view::npos ? end : close + 1;
    } else {
        const size_t start = i;
        while (i < commandLine.size() && !IsBlank(commandLine[i]))
            ++i;
        token = std::string(commandLine.substr(start, i - start));
    }
    if (rest)
        *rest = commandLine.substr(SkipBlanks(commandLine, i));
    return token;
}

std::vector<std::string> SplitArguments(std::string_view text) {
    std::vector<std::string> arguments;
    size_t i = 0;
    while ((i = SkipBlanks(text, i)) < text.size()) {
        std::string argument;
        i = ReadArgument(text, i, argument);
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    if (SkipBlanks(commandLine, 0) == commandLine.size())
        return {};
    std::string_view rest;
    std::vector<std::string> arguments = {ProgramToken(commandLine, &rest)};
    for (std::string& argument : SplitArguments(rest))
        arguments.push_back(std::move(argument));
    return arguments;
}

std::string QuoteArgument(std::string_view argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos) {
        return std::string(argument);
    }
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote itself escaped.
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

std::string JoinCommandLine(std::span<const std::string> arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty())
            line += ' ';
        line += QuoteArgument(argument);
    }
    return line;
}

}  // namespace platform
