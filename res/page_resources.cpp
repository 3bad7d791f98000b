#include "res/page_resources.h"

#include "platform/text.h"

namespace nestora {

std::optional<std::string_view> FindPageResource(std::string_view name) {
    for (const PageResource& resource : PageResourceTable()) {
        if (platform::EqualsIgnoreCase(resource.name, name))
            return std::string_view(reinterpret_cast<const char*>(resource.data), resource.size);
    }
    return std::nullopt;
}

}  // namespace nestora
