#pragma once

#include <string>
#include <string_view>

namespace config {

// `value` as written when it holds "://" anywhere; otherwise `base` immediately followed by
// `value`, with no separator inserted or removed.
std::string ResolveUrl(std::string_view value, std::string_view base);

}  // namespace config
