#include "res/version_resource.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "res/version.h"

namespace res {
namespace {

constexpr std::uint32_t kFixedRecordSignature = 0xFEEF04BD;
constexpr std::uint32_t kFixedRecordStructVersion = 0x00010000;
constexpr std::uint32_t kOsNtWindows32 = 0x00040004;
constexpr std::uint32_t kFileTypeApplication = 1;
constexpr std::uint16_t kBinaryValue = 0;
constexpr std::uint16_t kTextValue = 1;
constexpr std::uint16_t kLanguageSimplifiedChinese = 0x0804;
constexpr std::uint16_t kCodePageUnicode = 0x04B0;

// Fills a fixed-size byte buffer at compile time; blocks are nested by remembering where each
// starts and writing its length when it ends.
class ResourceWriter {
public:
    static constexpr std::size_t kCapacity = 1024;

    constexpr void Word(std::uint16_t value) {
        Byte(value & 0xFF);
        Byte(value >> 8);
    }
    constexpr void Dword(std::uint32_t value) {
        Word(value & 0xFFFF);
        Word(value >> 16);
    }
    constexpr void AlignTo32Bits() {
        while (size_ % 4 != 0) {
            Byte(0);
        }
    }
    // UTF-8 text written as UTF-16LE with its terminator (the program's texts are all in the BMP).
    constexpr void Text(std::string_view utf8) {
        for (std::size_t i = 0; i < utf8.size();) {
            const auto lead = static_cast<unsigned char>(utf8[i]);
            const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
            std::uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : lead & 0x0F;
            for (std::size_t k = 1; k < length; ++k) {
                code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
            }
            Word(static_cast<std::uint16_t>(code));
            i += length;
        }
        Word(0);
    }
    // wLength (written by EndBlock), wValueLength, wType, the key, padding to 32 bits.
    constexpr std::size_t BeginBlock(std::string_view key, std::uint16_t valueLength,
                                     std::uint16_t type) {
        const std::size_t start = size_;
        Word(0);
        Word(valueLength);
        Word(type);
        Text(key);
        AlignTo32Bits();
        return start;
    }
    constexpr void EndBlock(std::size_t start) {
        const std::size_t length = size_ - start;
        bytes_[start] = static_cast<unsigned char>(length & 0xFF);
        bytes_[start + 1] = static_cast<unsigned char>(length >> 8);
        AlignTo32Bits();
    }
    constexpr std::size_t Size() const { return size_; }
    constexpr unsigned char At(std::size_t index) const { return bytes_[index]; }

private:
    constexpr void Byte(unsigned value) { bytes_[size_++] = static_cast<unsigned char>(value); }

    std::array<unsigned char, kCapacity> bytes_{};
    std::size_t size_ = 0;
};

constexpr std::size_t TextLengthInWords(std::string_view utf8) {
    std::size_t words = 1;
    for (char c : utf8) {
        words += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return words;
}

// "a.b.c.d" for a version number, as the string table shows it.
struct VersionText {
    std::array<char, 24> characters{};
    std::size_t length = 0;

    constexpr explicit VersionText(VersionNumber version) {
        const unsigned parts[] = {version.major, version.minor, version.build, version.revision};
        for (std::size_t i = 0; i < 4; ++i) {
            if (i > 0) {
                characters[length++] = '.';
            }
            AppendNumber(parts[i] & 0xFFFF);
        }
    }
    constexpr std::string_view View() const { return {characters.data(), length}; }

private:
    constexpr void AppendNumber(unsigned value) {
        char digits[5]{};
        std::size_t count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (count > 0) {
            characters[length++] = digits[--count];
        }
    }
};

constexpr std::uint32_t HighWord(VersionNumber version) {
    return ((version.major & 0xFFFF) << 16) | (version.minor & 0xFFFF);
}
constexpr std::uint32_t LowWord(VersionNumber version) {
    return ((version.build & 0xFFFF) << 16) | (version.revision & 0xFFFF);
}

constexpr void WriteFixedRecord(ResourceWriter& out) {
    const std::uint32_t fields[] = {kFixedRecordSignature,
                                    kFixedRecordStructVersion,
                                    HighWord(kFileVersion),
                                    LowWord(kFileVersion),
                                    HighWord(kProductVersion),
                                    LowWord(kProductVersion),
                                    0x3F,  // flags mask
                                    0,     // flags
                                    kOsNtWindows32,
                                    kFileTypeApplication,
                                    0,   // subtype
                                    0,   // date, high
                                    0};  // date, low
    for (std::uint32_t field : fields) {
        out.Dword(field);
    }
}

constexpr void WriteString(ResourceWriter& out, std::string_view key, std::string_view value) {
    const std::size_t start =
        out.BeginBlock(key, static_cast<std::uint16_t>(TextLengthInWords(value)), kTextValue);
    out.Text(value);
    out.EndBlock(start);
}

constexpr void WriteStringFileInfo(ResourceWriter& out) {
    const std::size_t info = out.BeginBlock("StringFileInfo", 0, kTextValue);
    const std::size_t table = out.BeginBlock("080404b0", 0, kTextValue);
    WriteString(out, "FileDescription", kFileDescription);
    WriteString(out, "FileVersion", VersionText(kFileVersion).View());
    WriteString(out, "ProductVersion", VersionText(kProductVersion).View());
    out.EndBlock(table);
    out.EndBlock(info);
}

constexpr void WriteVarFileInfo(ResourceWriter& out) {
    const std::size_t info = out.BeginBlock("VarFileInfo", 0, kTextValue);
    const std::size_t translation = out.BeginBlock("Translation", 4, kBinaryValue);
    out.Word(kLanguageSimplifiedChinese);
    out.Word(kCodePageUnicode);
    out.EndBlock(translation);
    out.EndBlock(info);
}

constexpr ResourceWriter BuildVersionResource() {
    ResourceWriter out;
    const std::size_t root = out.BeginBlock("VS_VERSION_INFO", 52, kBinaryValue);
    WriteFixedRecord(out);
    WriteStringFileInfo(out);
    WriteVarFileInfo(out);
    out.EndBlock(root);
    return out;
}

constexpr ResourceWriter kBuilt = BuildVersionResource();

template <std::size_t N>
constexpr std::array<unsigned char, N> Trimmed(const ResourceWriter& written) {
    std::array<unsigned char, N> bytes{};
    for (std::size_t i = 0; i < N; ++i) {
        bytes[i] = written.At(i);
    }
    return bytes;
}

}  // namespace

// Kept in the program file even though only the file's readers look for it.
[[gnu::used, gnu::retain]] constexpr std::array<unsigned char, kBuilt.Size()> kVersionResource =
    Trimmed<kBuilt.Size()>(kBuilt);

std::span<const unsigned char> VersionResourceBytes() {
    return kVersionResource;
}

}  // namespace res
