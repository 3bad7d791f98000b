#include "xml/xml_text.h"

#include <algorithm>

#include "xml/xml_char_class.h"
#include "xml/xml_references.h"
#include "xml/xml_tokenizer.h"

namespace xml_detail {
namespace {

constexpr std::size_t kCDataOpenLength = 9;   // "<![CDATA["
constexpr std::size_t kCDataCloseLength = 3;  // "]]>"

bool IsWhiteSpaceOnly(std::string_view run) {
    return std::all_of(run.begin(), run.end(), [](char c) { return HasClass(c, kWhiteSpace); });
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
            text.append(
                run.substr(kCDataOpenLength, run.size() - kCDataOpenLength - kCDataCloseLength));
        }
    }
    return text;
}

}  // namespace xml_detail
