#include "xml/xml_attributes.h"

#include "xml/xml_tag_tokens.h"

namespace xml_detail {

std::optional<std::string_view> FindAttributeValue(std::string_view attributes,
                                                   std::string_view name) {
    TagScanner scanner(attributes.data(), attributes.data() + attributes.size());
    std::string_view token;
    TagToken kind = scanner.Next(token);
    for (;;) {
        switch (kind) {
            case TagToken::kName: {
                const bool wanted = token == name;
                std::string_view attributeName = token;
                kind = scanner.Next(token);
                if (kind == TagToken::kEquals) {
                    std::string_view value;
                    if (scanner.NextValue(value) == TagToken::kUnterminated) {
                        return std::nullopt;
                    }
                    if (wanted) {
                        return value;
                    }
                    kind = scanner.Next(token);
                } else if (wanted) {
                    return attributeName;
                }
                break;
            }
            case TagToken::kEquals:
                if (scanner.NextValue(token) == TagToken::kUnterminated) {
                    return std::nullopt;
                }
                kind = scanner.Next(token);
                break;
            case TagToken::kQuoted:
            case TagToken::kBareValue:
                kind = scanner.Next(token);
                break;
            default:
                return std::nullopt;
        }
    }
}

}  // namespace xml_detail
