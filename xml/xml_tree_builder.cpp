#include "xml/xml_tree_builder.h"

#include <cstdint>
#include <vector>

#include "xml/xml_tokenizer.h"

namespace xml_detail {
namespace {

struct OpenElement {
    int32_t index;
    std::string_view name;
};

class TreeBuilder {
public:
    TreeBuilder(std::string_view document, ElementTable& table, ProblemLog& log)
        : document_(document), table_(table), log_(log) {
        open_.reserve(64);
    }

    void Build() {
        Tokenizer tokenizer(document_);
        Node node;
        while (tokenizer.Next(node)) {
            switch (node.kind) {
                case NodeKind::kStartTag:
                case NodeKind::kEmptyElementTag:
                    OnStartTag(node);
                    break;
                case NodeKind::kEndTag:
                    OnEndTag(node);
                    break;
                case NodeKind::kError:
                    MarkIllFormed();
                    log_.Add({.name = node.problem,
                              .type = node.unterminatedKind,
                              .offset = node.offset});
                    break;
                default:
                    break;
            }
        }
        CloseNeverEnded(0, document_.size());
    }

private:
    ElementRecord& CurrentOpen() { return table_[open_.empty() ? 0 : open_.back().index]; }

    void MarkIllFormed() {
        table_[0].SetFlag(ElementRecord::kDocumentIllFormed);
        CurrentOpen().SetFlag(ElementRecord::kIllFormedContent);
    }

    void OnStartTag(const Node& node) {
        std::string_view name = document_.substr(node.offset + 1, node.nameLength);
        if (node.length > ElementRecord::kMaxStartTagLength) {
            RejectTag("start_tag_too_long", name, node.offset);
            return;
        }
        if (open_.size() > ElementRecord::kMaxDepth) {
            RejectTag("nesting_too_deep", name, node.offset);
            return;
        }
        const int32_t parent = open_.empty() ? 0 : open_.back().index;
        const int32_t index = table_.Add();
        ElementRecord& element = table_[index];
        element.start = static_cast<int32_t>(node.offset);
        element.length = static_cast<int32_t>(node.length);
        element.startTagLength = static_cast<uint32_t>(node.length);
        element.endTagLength = 0;
        element.levelAndFlags = static_cast<uint32_t>(open_.size());
        element.parent = parent;
        element.firstChild = 0;
        element.nextSibling = 0;
        AppendChild(parent, index);
        if (node.kind == NodeKind::kStartTag) {
            open_.push_back({index, name});
        }
    }

    void OnEndTag(const Node& node) {
        std::string_view name = document_.substr(node.offset + 2, node.nameLength);
        if (node.length > ElementRecord::kMaxEndTagLength) {
            RejectTag("end_tag_too_long", name, node.offset);
            return;
        }
        for (std::size_t depth = open_.size(); depth-- > 0;) {
            if (open_[depth].name == name) {
                CloseNeverEnded(depth + 1, node.offset);
                CloseInnermost(node);
                return;
            }
        }
        MarkIllFormed();
        log_.Add({.name = "lone_end_tag", .tagName = name, .offset = node.offset});
    }

    // A tag the record cannot describe: logged, and left out of the table.
    void RejectTag(std::string_view problem, std::string_view name, std::size_t offset) {
        MarkIllFormed();
        log_.Add({.name = problem, .tagName = name, .offset = offset});
    }

    void AppendChild(int32_t parentIndex, int32_t index) {
        ElementRecord& parent = table_[parentIndex];
        ElementRecord& child = table_[index];
        if (parent.firstChild == 0) {
            parent.firstChild = index;
            child.SetFlag(ElementRecord::kFirstChild);
            child.previousSibling = index;
            return;
        }
        ElementRecord& first = table_[parent.firstChild];
        const int32_t last = first.previousSibling;
        table_[last].nextSibling = index;
        child.previousSibling = last;
        first.previousSibling = index;
    }

    void CloseInnermost(const Node& endTag) {
        ElementRecord& element = table_[open_.back().index];
        element.length = static_cast<int32_t>(endTag.offset + endTag.length) - element.start;
        element.endTagLength = static_cast<uint32_t>(endTag.length);
        open_.pop_back();
    }

    // Closes the elements open at depth `keep` and deeper as never ended, innermost first. The
    // children of each such element move up to follow it as siblings, so that every element
    // inside ends up a child of the element at depth `keep` - 1 (or of the document level).
    void CloseNeverEnded(std::size_t keep, std::size_t endOffset) {
        if (open_.size() <= keep) {
            return;
        }
        for (std::size_t depth = open_.size(); depth-- > keep;) {
            const OpenElement& open = open_[depth];
            ElementRecord& element = table_[open.index];
            log_.Add({.name = "unended_start_tag",
                      .tagName = open.name,
                      .offset = static_cast<std::size_t>(element.start),
                      .offset2 = endOffset});
            table_[0].SetFlag(ElementRecord::kDocumentIllFormed);
            element.SetFlag(ElementRecord::kNeverEnded);
            element.length = static_cast<int32_t>(element.startTagLength);
            element.endTagLength = 0;
            SpliceChildrenAfter(open.index);
        }
        const int32_t outermost = open_[keep].index;
        const int32_t newParent = table_[outermost].parent;
        for (int32_t moved = table_[outermost].nextSibling; moved != 0;
             moved = table_[moved].nextSibling) {
            table_[moved].parent = newParent;
        }
        open_.resize(keep);
    }

    // Moves the children of `index`, the last child of its parent, to follow it in the parent's
    // list. Their parent links are updated by the caller, once for the whole run.
    void SpliceChildrenAfter(int32_t index) {
        ElementRecord& element = table_[index];
        if (element.firstChild == 0) {
            return;
        }
        ElementRecord& firstMoved = table_[element.firstChild];
        const int32_t lastMoved = firstMoved.previousSibling;
        firstMoved.ClearFlag(ElementRecord::kFirstChild);
        firstMoved.previousSibling = index;
        element.nextSibling = element.firstChild;
        element.firstChild = 0;
        ElementRecord& parent = table_[element.parent];
        table_[parent.firstChild].previousSibling = lastMoved;
    }

    std::string_view document_;
    ElementTable& table_;
    ProblemLog& log_;
    std::vector<OpenElement> open_;
};

}  // namespace

bool BuildElementTable(std::string_view document, ElementTable& table, ProblemLog& log) {
    TreeBuilder(document, table, log).Build();
    return !table[0].HasFlag(ElementRecord::kDocumentIllFormed);
}

}  // namespace xml_detail
