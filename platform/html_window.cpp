#include "platform/html_window.h"

#include <cstdio>

namespace platform {

std::string ScriptStringLiteral(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || c == '<') {
            // Control characters, and '<' so that no text can close a script element.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

}  // namespace platform
