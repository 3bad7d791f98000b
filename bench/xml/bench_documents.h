// Documents for the XML benchmark, generated to a requested size.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

// A configuration file shaped like item.xml: a "checkitems" root holding "config" sections of
// "entry" elements, "item" components with "detect", "file", "installer" and "uninstaller"
// children, and an "appinfo", with attributes, Chinese text and a few references.
std::string MakeItemDocument(std::size_t bytes);

// Markup-dense: a "d" root with many small "r" elements, each holding an empty "a", a "b" with
// one attribute and a "t" with a short text.
std::string MakeDenseDocument(std::size_t bytes);

}  // namespace bench
