#include "platform/control_file.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/text.h"

namespace platform {
namespace {

std::string_view TrimLineEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

std::optional<std::array<std::uint16_t, 4>> ParseVersion(std::string_view text) {
    std::array<std::uint16_t, 4> parts{};
    const char* position = text.data();
    const char* const end = text.data() + text.size();
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            if (position == end || *position != '.')
                return std::nullopt;
            ++position;
        }
        if (position == end || *position < '0' || *position > '9')
            return std::nullopt;
        const auto [next, error] = std::from_chars(position, end, parts[i]);
        if (error != std::errc())
            return std::nullopt;
        position = next;
    }
    if (position != end)
        return std::nullopt;
    return parts;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// {8-4-4-4-12}
bool IsClassId(std::string_view text) {
    constexpr std::string_view kShape = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
    if (text.size() != kShape.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (kShape[i] == 'x' ? !IsHexDigit(text[i]) : text[i] != kShape[i])
            return false;
    }
    return true;
}

bool ApplyField(ControlFile& control, std::string_view key, std::string_view value,
                bool& hasMachine) {
    const std::string name = AsciiLower(key);
    if (name == "machine") {
        if (EqualsIgnoreCase(value, "x86")) {
            control.machine = Machine::X86;
        } else if (EqualsIgnoreCase(value, "x64")) {
            control.machine = Machine::X64;
        } else {
            return false;
        }
        hasMachine = true;
    } else if (name == "version") {
        control.version = ParseVersion(value);
        return control.version.has_value();
    } else if (name == "clsid") {
        control.clsid = std::string(value);
        return IsClassId(value);
    } else if (name == "progid") {
        control.progId = std::string(value);
    } else if (name == "name") {
        control.name = std::string(value);
    }
    return true;
}

}  // namespace

win::DWORD ControlFile::FileVersionMS() const {
    if (!version)
        return 0;
    return (win::DWORD{(*version)[0]} << 16) | (*version)[1];
}

win::DWORD ControlFile::FileVersionLS() const {
    if (!version)
        return 0;
    return (win::DWORD{(*version)[2]} << 16) | (*version)[3];
}

std::optional<ControlFile> ParseControlFile(std::string_view text) {
    if (text.size() > kMaxControlFileBytes)
        return std::nullopt;
    ControlFile control;
    bool hasMachine = false;
    bool first = true;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t newline = text.find('\n', start);
        const size_t end = newline == std::string_view::npos ? text.size() : newline;
        const std::string_view line = TrimLineEnd(text.substr(start, end - start));
        start = end + 1;
        if (first) {
            if (line != kControlFileMagic)
                return std::nullopt;
            first = false;
            continue;
        }
        if (line.empty() || line.front() == '#')
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0)
            return std::nullopt;
        if (!ApplyField(control, line.substr(0, equals), line.substr(equals + 1), hasMachine)) {
            return std::nullopt;
        }
    }
    if (!hasMachine)
        return std::nullopt;
    return control;
}

std::optional<ControlFile> ReadControlFile(const std::filesystem::path& linuxPath) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(linuxPath, error);
    if (error || size > kMaxControlFileBytes)
        return std::nullopt;
    std::ifstream file(linuxPath, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return ParseControlFile(bytes.str());
}

std::string FormatControlFile(const ControlFile& control) {
    std::string text = std::string(kControlFileMagic) + "\n";
    text += control.machine == Machine::X64 ? "machine=x64\n" : "machine=x86\n";
    if (control.version) {
        const auto& v = *control.version;
        text += "version=" + std::to_string(v[0]) + '.' + std::to_string(v[1]) + '.' +
                std::to_string(v[2]) + '.' + std::to_string(v[3]) + '\n';
    }
    if (!control.clsid.empty())
        text += "clsid=" + control.clsid + '\n';
    if (!control.progId.empty())
        text += "progid=" + control.progId + '\n';
    if (!control.name.empty())
        text += "name=" + control.name + '\n';
    return text;
}

}  // namespace platform
