// Finding an attribute's value in a start tag.
#pragma once

#include <optional>
#include <string_view>

namespace xml_detail {

// The raw (undecoded) value of the first attribute called `name` in `attributes`, the part of
// a complete start tag after the element name. An attribute written without "=" has its own
// name as its value. nullopt when the tag has no such attribute before its first "/", "?" or ">".
std::optional<std::string_view> FindAttributeValue(std::string_view attributes,
                                                   std::string_view name);

}  // namespace xml_detail
