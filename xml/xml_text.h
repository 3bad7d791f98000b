// The character data of an element's content.
#pragma once

#include <string>
#include <string_view>

namespace xml_detail {

// The text of `content` (what lies between an element's start and end tags, holding no child
// element): text runs with references decoded and CDATA sections taken literally, in document
// order. Runs of white space only between markup, comments, processing instructions and other
// markup are left out; nothing is trimmed.
std::string ExtractText(std::string_view content);

}  // namespace xml_detail
