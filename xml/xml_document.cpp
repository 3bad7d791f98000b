#include "xml/xml_document.h"

#include <limits>

#include "xml/xml_attributes.h"
#include "xml/xml_char_class.h"
#include "xml/xml_references.h"
#include "xml/xml_text.h"
#include "xml/xml_tree_builder.h"

using xml_detail::ElementRecord;

namespace {

// One record per 64 bytes of text is enough for typical documents; the table grows beyond.
constexpr std::size_t kBytesPerRecord = 64;
constexpr std::size_t kSpareRecords = 8;
// Element offsets are signed 32-bit.
constexpr std::size_t kMaxDocumentSize = std::numeric_limits<int32_t>::max();

}  // namespace

XmlDocument::XmlDocument() {
    table_.Reset(kSpareRecords);
}

XmlDocument::~XmlDocument() = default;

bool XmlDocument::Parse(std::string text) {
    document_ = std::move(text);
    problems_.clear();
    parent_ = current_ = rememberedChild_ = 0;
    table_.Reset(document_.size() / kBytesPerRecord + kSpareRecords);
    if (document_.empty()) {
        return false;
    }
    xml_detail::ProblemLog log(problems_);
    if (document_.size() > kMaxDocumentSize) {
        log.Add({.name = "document_too_large", .offset = document_.size()});
        return false;
    }
    ElementRecord& document = table_[0];
    document.length = static_cast<int32_t>(document_.size());
    bool wellFormed = xml_detail::BuildElementTable(document_, table_, log);

    const int32_t root = table_[0].firstChild;
    if (root == 0) {
        log.Add({.name = "no_root_element"});
        return false;
    }
    const int32_t sibling = table_[root].nextSibling;
    if (sibling != 0) {
        log.Add({.name = "root_has_sibling",
                 .tagName = ElementName(sibling),
                 .offset = static_cast<std::size_t>(table_[sibling].start)});
        return false;
    }
    return wellFormed;
}

bool XmlDocument::FindNext(std::string_view name) {
    if (!name.empty() && name[0] == '/') {
        return false;
    }
    int32_t candidate = current_ != 0 ? table_[current_].nextSibling : table_[parent_].firstChild;
    for (; candidate != 0; candidate = table_[candidate].nextSibling) {
        if (name.empty() || HasName(candidate, name)) {
            current_ = candidate;
            parent_ = table_[candidate].parent;
            rememberedChild_ = 0;
            return true;
        }
    }
    return false;
}

bool XmlDocument::Enter() {
    if (current_ == 0) {
        return false;
    }
    parent_ = current_;
    current_ = rememberedChild_;
    rememberedChild_ = 0;
    return true;
}

bool XmlDocument::Leave() {
    if (parent_ == 0) {
        return false;
    }
    rememberedChild_ = current_;
    current_ = parent_;
    parent_ = table_[parent_].parent;
    return true;
}

bool XmlDocument::Rewind() {
    current_ = 0;
    rememberedChild_ = 0;
    return true;
}

std::string XmlDocument::GetAttribute(std::string_view name) const {
    const ElementRecord* element = Current();
    if (element == nullptr) {
        return {};
    }
    std::string_view startTag(document_.data() + element->start, element->startTagLength);
    std::string_view attributes = startTag.substr(1 + ElementName(current_).size());
    std::optional<std::string_view> raw = xml_detail::FindAttributeValue(attributes, name);
    std::string value;
    if (raw) {
        xml_detail::AppendDecoded(*raw, value);
    }
    return value;
}

std::string XmlDocument::GetText() const {
    const ElementRecord* element = Current();
    if (element == nullptr || element->endTagLength == 0 || element->firstChild != 0) {
        return {};
    }
    const std::size_t contentStart = element->start + element->startTagLength;
    const std::size_t contentLength =
        element->length - element->startTagLength - element->endTagLength;
    return xml_detail::ExtractText(std::string_view(document_).substr(contentStart, contentLength));
}

std::size_t XmlDocument::ElementTableBytes() const {
    return table_.Bytes();
}

const ElementRecord* XmlDocument::Current() const {
    return current_ != 0 ? &table_[current_] : nullptr;
}

// The whole element name must equal `name`: a `name` that goes on past the element's name (with
// white space or a delimiter, for instance) does not match.
bool XmlDocument::HasName(int32_t index, std::string_view name) const {
    return ElementName(index) == name;
}

std::string_view XmlDocument::ElementName(int32_t index) const {
    const ElementRecord& element = table_[index];
    std::string_view tag(document_.data() + element.start + 1, element.startTagLength - 1);
    std::size_t length = 0;
    while (length < tag.size() && !xml_detail::HasClass(tag[length], xml_detail::kNameEnd)) {
        ++length;
    }
    return tag.substr(0, length);
}
