// XmlDocument: a reader that parses a whole document held in memory into a table of element
// positions and then walks it element by element.
//
// Parsing copies no text: each element is a record of offsets into the document, and attribute
// values and element text are extracted and decoded only when they are asked for. Names and text
// are bytes; UTF-8 is assumed only where character references are decoded.
//
// Navigation works on a current element among the children of a parent element:
//   FindNext(name)  moves to the next sibling called `name` after the current element (to the
//                   first such child of the parent when there is no current element);
//   Enter()         makes the current element the parent, with no current element;
//   Leave()         returns to the parent's level with the former parent as the current element;
//   Rewind()        clears the current element so that the next search starts again.
// At the start (after Parse) the parent is the document level, whose only child is the root.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "xml/xml_element_table.h"

class XmlDocument {
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Replaces the document with `text`, parses it and resets the navigation to the document
    // level. True exactly when the document is well formed: no syntax problem, one root element
    // and nothing but text, comments and declarations beside it. Every problem found is written
    // to Problems(); parsing never stops early, so the table describes as much as could be read.
    // Documents beyond the reader's limits (2 GiB or more, a start tag of 4 MiB or more, an end
    // tag of 1,024 bytes or more, more than 65,536 levels of nesting) parse as false with a
    // problem logged.
    bool Parse(std::string text);

    // Among the children of the parent, the first element after the current one whose name is
    // exactly `name` (byte for byte) becomes current. An empty name matches any element; a name
    // starting with "/" matches none. False, with nothing changed, when there is no such element.
    bool FindNext(std::string_view name);
    // The current element becomes the parent; the next FindNext searches its children. False when
    // there is no current element.
    bool Enter();
    // Back to the parent's level: the parent becomes current again. False at the document level.
    bool Leave();
    // No current element: the next FindNext starts at the parent's first child. Always true.
    bool Rewind();

    // The decoded value of the first attribute called `name` in the current element's start tag.
    // An attribute written without "=" has its own name as its value. Empty when there is no
    // current element or no such attribute.
    std::string GetAttribute(std::string_view name) const;
    // The current element's character data: text runs with references decoded and CDATA sections
    // taken literally, in document order, comments and processing instructions left out, nothing
    // trimmed. Empty when there is no current element, the element is empty or it has a child
    // element.
    std::string GetText() const;

    // The problems found by the last Parse, as a sequence of empty XML elements named after each
    // problem with "tagname" or "type", "offset" and "offset2" attributes. Kept under about
    // 1,000 bytes: later problems are dropped.
    const std::string& Problems() const { return problems_; }

    // Bytes held by the element table (for measurements).
    std::size_t ElementTableBytes() const;

private:
    const xml_detail::ElementRecord* Current() const;
    std::string_view ElementName(int32_t index) const;
    bool HasName(int32_t index, std::string_view name) const;

    std::string document_;
    std::string problems_;
    xml_detail::ElementTable table_;
    int32_t parent_ = 0;
    int32_t current_ = 0;
    int32_t rememberedChild_ = 0;
};
