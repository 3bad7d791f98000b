// libFuzzer target: parses the input and walks every element, reading attributes and text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "xml/xml_document.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// Attribute names tried on every element: common ones, and a few taken from the input itself
// so that the fuzzer can steer them.
void ReadAttributes(const XmlDocument& doc, std::string_view input) {
    static constexpr std::string_view kNames[] = {"", "a", "id", "x", "type", "name", "value"};
    for (std::string_view name : kNames) {
        Require(doc.GetAttribute(name).size() <= input.size());
    }
    for (std::size_t length = 1; length <= 3 && length <= input.size(); ++length) {
        Require(doc.GetAttribute(input.substr(0, length)).size() <= input.size());
    }
}

// Visits every element depth first without recursion: Enter after each element found, Leave
// when a level has no more elements.
std::size_t WalkAll(XmlDocument& doc, std::string_view input) {
    std::size_t visited = 0;
    for (;;) {
        if (doc.FindNext("")) {
            ++visited;
            ReadAttributes(doc, input);
            // Decoding never makes text longer than what it was written with.
            Require(doc.GetText().size() <= input.size());
            Require(doc.Enter());
        } else if (!doc.Leave()) {
            return visited;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    XmlDocument doc;
    const bool wellFormed = doc.Parse(std::string(input));
    Require(!wellFormed || doc.Problems().empty());
    const std::size_t visited = WalkAll(doc, input);
    // Each element takes at least two bytes ("<" and a name).
    Require(visited <= size / 2);
    // A walk leaves the navigation at the document level; the root is found again.
    Require(doc.Rewind());
    Require(doc.FindNext("") == (visited > 0));
    return 0;
}
