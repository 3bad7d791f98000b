// Conversions between the program's narrow UTF-8 text and the UTF-16 text of wide Windows calls.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Invalid sequences become U+FFFD, as code page 65001 conversions do.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// ASCII-only case folding, as the system's case-insensitive name comparisons use for paths
// and registry names of this program.
std::string AsciiLower(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace platform
