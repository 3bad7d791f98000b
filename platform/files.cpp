#include "platform/files.h"

#include "platform/text.h"

namespace platform {
namespace {

thread_local win::DWORD t_lastError = win::ERROR_SUCCESS;

// Replaces each %NAME% of a defined variable by its value; anything else stays as written.
std::string Expand(const FileSystem& files, std::string_view source) {
    std::string result;
    size_t position = 0;
    while (position < source.size()) {
        const size_t open = source.find('%', position);
        if (open == std::string_view::npos)
            break;
        const size_t close = source.find('%', open + 1);
        if (close == std::string_view::npos)
            break;
        result.append(source.substr(position, open - position));
        const std::string_view name = source.substr(open + 1, close - open - 1);
        const auto value = name.empty() ? std::nullopt : files.GetEnvironmentVariable(name);
        if (value) {
            result += *value;
            position = close + 1;
        } else {
            // An unknown name is kept with its opening '%'; its closing '%' may open the next.
            result.append(source.substr(open, close - open));
            position = close;
        }
    }
    result.append(source.substr(position));
    return result;
}

win::DWORD StoreIfItFits(std::string expanded, win::DWORD neededWithTerminator,
                         win::DWORD bufferSize, std::string& out) {
    out.clear();
    if (neededWithTerminator <= bufferSize)
        out = std::move(expanded);
    return neededWithTerminator;
}

}  // namespace

win::DWORD GetLastError() {
    return t_lastError;
}

void SetLastError(win::DWORD code) {
    t_lastError = code;
}

std::string FileSystem::ExpandEnvironment(std::string_view source) const {
    return Expand(*this, source);
}

win::DWORD FileSystem::ExpandEnvironmentStringsW(std::string_view source, std::string& out,
                                                 win::DWORD bufferChars) const {
    std::string expanded = Expand(*this, source);
    const auto units = static_cast<win::DWORD>(Utf8ToUtf16(expanded).size() + 1);
    return StoreIfItFits(std::move(expanded), units, bufferChars, out);
}

win::DWORD FileSystem::ExpandEnvironmentStringsA(std::string_view source, std::string& out,
                                                 win::DWORD bufferBytes) const {
    std::string expanded = Expand(*this, source);
    const auto bytes = static_cast<win::DWORD>(expanded.size() + 1);
    return StoreIfItFits(std::move(expanded), bytes, bufferBytes, out);
}

}  // namespace platform
