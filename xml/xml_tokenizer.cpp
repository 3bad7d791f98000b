#include "xml/xml_tokenizer.h"

#include <cstring>

#include "xml/xml_char_class.h"
#include "xml/xml_tag_tokens.h"

namespace xml_detail {
namespace {

constexpr std::string_view kDocTypeOpen = "<!DOCTYPE";

// True when the text from `offset` to its end is a proper beginning of `keyword`: the text ends
// inside the keyword.
bool EndsInsideKeyword(std::string_view text, std::size_t offset, std::string_view keyword) {
    std::string_view rest = text.substr(offset);
    return rest.size() < keyword.size() && keyword.starts_with(rest);
}

}  // namespace

bool Tokenizer::Next(Node& node) {
    if (position_ >= text_.size()) {
        return false;
    }
    node = Node{};
    node.offset = position_;
    if (text_[position_] == '<') {
        ReadMarkup(node);
    } else {
        const void* markup = std::memchr(text_.data() + position_, '<', text_.size() - position_);
        std::size_t end = markup ? static_cast<const char*>(markup) - text_.data() : text_.size();
        node.kind = NodeKind::kText;
        node.length = end - position_;
    }
    position_ = node.offset + node.length;
    return true;
}

void Tokenizer::ReadMarkup(Node& node) {
    const std::size_t start = node.offset;
    if (start + 1 >= text_.size()) {
        MakeUnterminated(node, "tag");
        return;
    }
    const char next = text_[start + 1];
    if (next == '!') {
        ReadExclamation(node);
    } else if (next == '?') {
        ReadDelimited(node, NodeKind::kProcessingInstruction, start + 2, "?>",
                      "processing_instruction");
    } else if (next == '/') {
        ReadEndTag(node);
    } else if (HasClass(next, kNameStart)) {
        ReadStartTag(node);
    } else {
        MakeError(node, "first_tag_syntax");
    }
}

void Tokenizer::ReadExclamation(Node& node) {
    const std::size_t start = node.offset;
    if (start + 2 >= text_.size()) {
        MakeUnterminated(node, "tag");
        return;
    }
    switch (text_[start + 2]) {
        case '-':
            if (start + 3 >= text_.size()) {
                MakeUnterminated(node, "tag");
            } else if (text_[start + 3] == '-') {
                ReadDelimited(node, NodeKind::kComment, start + 4, "-->", "comment");
            } else {
                MakeError(node, "comment_tag_syntax");
            }
            return;
        case '[':
            // "<![C" is enough to make it a CDATA section; the rest of the keyword is not checked.
            if (start + 3 >= text_.size()) {
                MakeUnterminated(node, "tag");
            } else if (text_[start + 3] == 'C') {
                ReadDelimited(node, NodeKind::kCData, start + 4, "]]>", "cdata_section");
            } else {
                MakeError(node, "cdata_section_syntax");
            }
            return;
        case 'D':
            ReadDocumentType(node);
            return;
        default:
            MakeError(node, "exclamation_tag_syntax");
            return;
    }
}

// "<!D" makes it a document type declaration, malformed unless "<!DOCTYPE" and white space
// follow. The declaration ends at the first ">" outside its bracketed internal subset and
// outside quoted strings; comments inside the subset are skipped whole.
void Tokenizer::ReadDocumentType(Node& node) {
    const std::size_t start = node.offset;
    if (EndsInsideKeyword(text_, start, kDocTypeOpen)) {
        MakeUnterminated(node, "document_type");
        return;
    }
    if (!text_.substr(start).starts_with(kDocTypeOpen) ||
        (start + kDocTypeOpen.size() < text_.size() &&
         !HasClass(text_[start + kDocTypeOpen.size()], kWhiteSpace))) {
        MakeError(node, "doctype_tag_syntax");
        return;
    }
    int subsetDepth = 0;
    for (std::size_t i = start + kDocTypeOpen.size(); i < text_.size(); ++i) {
        const char c = text_[i];
        if (c == '"' || c == '\'') {
            std::size_t closing = text_.find(c, i + 1);
            if (closing == std::string_view::npos) {
                break;
            }
            i = closing;
        } else if (c == '[') {
            ++subsetDepth;
        } else if (c == ']') {
            if (subsetDepth == 0) {
                MakeError(node, "doctype_tag_syntax");
                return;
            }
            --subsetDepth;
        } else if (c == '<' && subsetDepth > 0 && text_.substr(i).starts_with("<!--")) {
            std::size_t closing = text_.find("-->", i + 4);
            if (closing == std::string_view::npos) {
                break;
            }
            i = closing + 2;
        } else if (c == '>' && subsetDepth == 0) {
            node.kind = NodeKind::kDocumentType;
            node.length = i + 1 - start;
            return;
        }
    }
    MakeUnterminated(node, "document_type");
}

void Tokenizer::ReadStartTag(Node& node) {
    const std::size_t start = node.offset;
    node.nameLength = NameLength(start + 1);
    TagScanner scanner(text_.data() + start + 1 + node.nameLength, text_.data() + text_.size());
    // A "/" right before ">" makes an empty-element tag unless it ends an unquoted value.
    bool slashBeforeClose = false;
    std::string_view token;
    for (;;) {
        switch (scanner.Next(token)) {
            case TagToken::kClose:
                node.kind = slashBeforeClose && scanner.Position()[-2] == '/'
                                ? NodeKind::kEmptyElementTag
                                : NodeKind::kStartTag;
                node.length = scanner.Position() - (text_.data() + start);
                return;
            case TagToken::kUnterminated:
                MakeUnterminated(node, "start_tag");
                return;
            case TagToken::kEquals:
                if (scanner.NextValue(token) == TagToken::kUnterminated) {
                    MakeUnterminated(node, "start_tag");
                    return;
                }
                slashBeforeClose = false;
                break;
            case TagToken::kSlash:
                slashBeforeClose = true;
                break;
            default:
                slashBeforeClose = false;
                break;
        }
    }
}

void Tokenizer::ReadEndTag(Node& node) {
    node.nameLength = NameLength(node.offset + 2);
    ReadDelimited(node, NodeKind::kEndTag, node.offset + 2, ">", "end_tag");
}

void Tokenizer::ReadDelimited(Node& node, NodeKind kind, std::size_t searchFrom,
                              std::string_view terminator, std::string_view unterminatedKind) {
    std::size_t found = text_.find(terminator, searchFrom);
    if (found == std::string_view::npos) {
        MakeUnterminated(node, unterminatedKind);
        return;
    }
    node.kind = kind;
    node.length = found + terminator.size() - node.offset;
}

// An error node runs through the next ">", or up to the next "<" when that comes first.
void Tokenizer::MakeError(Node& node, std::string_view problem) {
    std::size_t end = text_.find_first_of("<>", node.offset + 1);
    if (end == std::string_view::npos) {
        end = text_.size();
    } else if (text_[end] == '>') {
        ++end;
    }
    node.kind = NodeKind::kError;
    node.problem = problem;
    node.length = end - node.offset;
}

void Tokenizer::MakeUnterminated(Node& node, std::string_view kind) {
    node.kind = NodeKind::kError;
    node.problem = "unterminated_tag_syntax";
    node.unterminatedKind = kind;
    node.length = text_.size() - node.offset;
}

std::size_t Tokenizer::NameLength(std::size_t from) const {
    std::size_t end = from;
    while (end < text_.size() && !HasClass(text_[end], kNameEnd)) {
        ++end;
    }
    return end - from;
}

}  // namespace xml_detail
