#include "config/resolve_url.h"

namespace config {

std::string ResolveUrl(std::string_view value, std::string_view base) {
    if (value.find("://") != std::string_view::npos) {
        return std::string(value);
    }
    std::string url(base);
    url += value;
    return url;
}

}  // namespace config
