#include "xml/xml_text.h"

#include <algorithm>

#include "xml/xml_char_class.h"
#include "xml/xml_references.h"
#include "xml/xml_tokenizer.h"

namespace xml_detail {
namespace {

constexpr std::string_view kCDataOpen = "<![CDATA[";
constexpr std::size_t kCDataCloseLength = 3;  // "]]>"

bool IsWhiteSpaceOnly(std::string_view run) {
    return std::all_of(run.begin(), run.end(), [](char c) { return HasClass(c, kWhiteSpace); });
}

// A section opened by "<![C" alone is a CDATA section too: its content starts after as much of
// "<![CDATA[" as it spells, which never reaches its closing "]]>".
std::string_view CDataContent(std::string_view section) {
    const auto opening =
        std::mismatch(kCDataOpen.begin(), kCDataOpen.end(), section.begin(), section.end());
    const std::size_t openingLength = opening.first - kCDataOpen.begin();
    return section.substr(openingLength, section.size() - openingLength - kCDataCloseLength);
}

}  // namespace

std::string ExtractText(std::string_view content) {
    std::string text;
    if (content.find('<') == std::string_view::npos) {
        AppendDecoded(content, text);
        return text;
    }
    Tokenizer tokenizer(content);
    Node node;
    while (tokenizer.Next(node)) {
        std::string_view run = content.substr(node.offset, node.length);
        if (node.kind == NodeKind::kText && !IsWhiteSpaceOnly(run)) {
            AppendDecoded(run, text);
        } else if (node.kind == NodeKind::kCData) {
            text.append(CDataContent(run));
        }
    }
    return text;
}

}  // namespace xml_detail
