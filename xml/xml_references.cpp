#include "xml/xml_references.h"

#include <algorithm>

namespace xml_detail {
namespace {

struct NamedReference {
    std::string_view name;
    uint32_t codePoint;
};

constexpr NamedReference kNamedReferences[] = {
#include "xml/xml_entities.inc"
};

constexpr std::size_t kMaxReferenceBody = 9;
constexpr uint32_t kMaxCodePoint = 0x10FFFF;

uint32_t FindExact(std::string_view name) {
    const auto* end = std::end(kNamedReferences);
    const auto* found = std::lower_bound(
        std::begin(kNamedReferences), end, name,
        [](const NamedReference& entry, std::string_view key) { return entry.name < key; });
    return found != end && found->name == name ? found->codePoint : 0;
}

std::string FoldToLower(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value < base ? value : -1;
}

// "#65", "#x41" or "#X41" (the body is at most nine characters, so no overflow).
uint32_t ParseNumericReference(std::string_view body) {
    int base = 10;
    std::string_view digits = body.substr(1);
    if (!digits.empty() && (digits[0] == 'x' || digits[0] == 'X')) {
        base = 16;
        digits.remove_prefix(1);
    }
    if (digits.empty()) {
        return 0;
    }
    uint64_t value = 0;
    for (char c : digits) {
        int digit = DigitValue(c, base);
        if (digit < 0) {
            return 0;
        }
        value = value * base + static_cast<uint64_t>(digit);
    }
    return value <= kMaxCodePoint ? static_cast<uint32_t>(value) : 0;
}

bool IsSurrogate(uint32_t codePoint) {
    return codePoint >= 0xD800 && codePoint <= 0xDFFF;
}

// The code point the reference body (between "&" and ";") stands for, or 0 when it is none.
uint32_t ResolveReference(std::string_view body) {
    if (body.empty()) {
        return 0;
    }
    uint32_t codePoint = body[0] == '#' ? ParseNumericReference(body) : LookupNamedReference(body);
    return IsSurrogate(codePoint) ? 0 : codePoint;
}

void AppendUtf8(uint32_t codePoint, std::string& out) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// The body of the reference starting at `raw[ampersand]`: the ASCII characters up to a ";"
// found within the next ten characters. Empty when there is none.
std::string_view ReferenceBody(std::string_view raw, std::size_t ampersand) {
    std::string_view window = raw.substr(ampersand + 1, kMaxReferenceBody + 1);
    std::size_t semicolon = window.find(';');
    if (semicolon == std::string_view::npos) {
        return {};
    }
    std::string_view body = window.substr(0, semicolon);
    bool ascii = std::all_of(body.begin(), body.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? body : std::string_view{};
}

}  // namespace

uint32_t LookupNamedReference(std::string_view name) {
    uint32_t codePoint = FindExact(name);
    return codePoint != 0 ? codePoint : FindExact(FoldToLower(name));
}

void AppendDecoded(std::string_view raw, std::string& out) {
    out.reserve(out.size() + raw.size());
    std::size_t copied = 0;
    for (std::size_t ampersand = raw.find('&'); ampersand != std::string_view::npos;
         ampersand = raw.find('&', ampersand + 1)) {
        std::string_view body = ReferenceBody(raw, ampersand);
        uint32_t codePoint = ResolveReference(body);
        if (codePoint == 0) {
            continue;
        }
        out.append(raw.substr(copied, ampersand - copied));
        AppendUtf8(codePoint, out);
        copied = ampersand + body.size() + 2;
        ampersand = copied - 1;
    }
    out.append(raw.substr(copied));
}

}  // namespace xml_detail
