// Splits a document into nodes, one at a time: text runs and the kinds of markup.
#pragma once

#include <cstddef>
#include <string_view>

namespace xml_detail {

enum class NodeKind {
    kText,
    kStartTag,
    kEmptyElementTag,
    kEndTag,
    kComment,
    kCData,
    kProcessingInstruction,
    kDocumentType,
    kError,  // markup that could not be read; `problem` says why
};

struct Node {
    NodeKind kind = NodeKind::kText;
    std::size_t offset = 0;  // of the first byte ("<" for markup)
    std::size_t length = 0;
    std::size_t nameLength = 0;  // start and end tags: the name after "<" or "</"
    // Error nodes: the problem's name, and for "unterminated_tag_syntax" the node kind.
    std::string_view problem;
    std::string_view unterminatedKind;
};

class Tokenizer {
public:
    explicit Tokenizer(std::string_view text) : text_(text) {}

    // Reads the node at the current position; false at the end of the text.
    bool Next(Node& node);

private:
    void ReadMarkup(Node& node);
    void ReadExclamation(Node& node);
    void ReadStartTag(Node& node);
    void ReadEndTag(Node& node);
    void ReadDocumentType(Node& node);
    // A node that ends with `terminator`, searched from `searchFrom`.
    void ReadDelimited(Node& node, NodeKind kind, std::size_t searchFrom,
                       std::string_view terminator, std::string_view unterminatedKind);
    void MakeError(Node& node, std::string_view problem);
    void MakeUnterminated(Node& node, std::string_view kind);
    std::size_t NameLength(std::size_t from) const;

    std::string_view text_;
    std::size_t position_ = 0;
};

}  // namespace xml_detail
