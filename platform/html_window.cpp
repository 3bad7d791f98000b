#include "platform/html_window.h"

#include <cstdio>

#include "platform/text.h"

namespace platform {

// Bytes that are not UTF-8 become U+FFFD first, as the conversion to the page's UTF-16 text
// does, so the script handed to the engine is always valid UTF-8.
std::string ScriptStringLiteral(std::string_view text) {
    const std::string valid = Utf16ToUtf8(Utf8ToUtf16(text));
    std::string quoted = "\"";
    for (const char c : valid) {
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
