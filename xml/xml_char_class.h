// Byte classes shared by the tokenizer and the attribute reader.
#pragma once

#include <array>
#include <cstdint>

namespace xml_detail {

enum CharClass : uint8_t {
    kWhiteSpace = 1,    // space, tab, carriage return, line feed
    kNameEnd = 2,       // ends an element or attribute name: white space, "=", "/", ">", "?"
    kBareValueEnd = 4,  // ends an unquoted attribute value: white space, ">"
    kNameStart = 8,     // may follow "<" to open a start tag
};

inline constexpr std::array<uint8_t, 256> kCharClasses = [] {
    std::array<uint8_t, 256> classes{};
    for (char c : {' ', '\t', '\r', '\n'}) {
        classes[static_cast<uint8_t>(c)] |= kWhiteSpace | kNameEnd | kBareValueEnd;
    }
    for (char c : {'=', '/', '>', '?'}) {
        classes[static_cast<uint8_t>(c)] |= kNameEnd;
    }
    classes['>'] |= kBareValueEnd;
    for (int c = 'A'; c <= 'Z'; ++c) {
        classes[c] |= kNameStart;
    }
    for (int c = 'a'; c <= 0xFF; ++c) {
        classes[c] |= kNameStart;
    }
    classes['_'] |= kNameStart;
    classes[':'] |= kNameStart;
    return classes;
}();

inline bool HasClass(char c, CharClass charClass) {
    return (kCharClasses[static_cast<uint8_t>(c)] & charClass) != 0;
}

}  // namespace xml_detail
