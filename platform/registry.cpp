#include "platform/registry.h"

#include "platform/text.h"

namespace platform {

std::vector<std::uint8_t> RegSzBytes(std::string_view utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    std::vector<std::uint8_t> bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

std::vector<std::uint8_t> RegDwordBytes(win::DWORD value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

std::string RegSzToUtf8(const std::uint8_t* data, size_t size) {
    std::u16string text;
    if (data == nullptr)
        return {};
    for (size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0)
            break;
        text += unit;
    }
    return Utf16ToUtf8(text);
}

}  // namespace platform
