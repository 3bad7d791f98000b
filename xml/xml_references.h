// Decoding of character and entity references in text and attribute values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xml_detail {

// Appends `raw` to `out` with every reference replaced by its character in UTF-8. A reference is
// "&", up to nine ASCII characters and ";": "#" and decimal digits, "#x" and hexadecimal digits,
// or a name from the table of named references. A name spelled exactly as in the table gives its
// own character; any other spelling is looked up in lower case. Anything that is not a
// reference (unknown name, code point 0 or beyond Unicode, no ";" in time) is copied as written.
void AppendDecoded(std::string_view raw, std::string& out);

// The code point of a named reference, or 0 when the name is not known.
uint32_t LookupNamedReference(std::string_view name);

}  // namespace xml_detail
