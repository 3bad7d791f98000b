#include "components/file_checks.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <vector>

#include "platform/control_file.h"
#include "platform/files.h"

namespace components {
namespace {

constexpr std::size_t kMd5BlockSize = 64 * 1024;
// Version resources sit in a program's resource section; a file larger than this is not
// searched for one.
constexpr std::uintmax_t kMaxVersionSearchBytes = 256ull * 1024 * 1024;
// "VS_VERSION_INFO" in UTF-16LE with its terminator.
constexpr char kVersionKeyBytes[] = "V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0\0";
constexpr std::string_view kVersionKey(kVersionKeyBytes, sizeof kVersionKeyBytes);

win::DWORD ReadLittleEndian32(const char* bytes) {
    win::DWORD value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

VsFixedFileInfo RecordOfControl(const platform::ControlFile& control) {
    VsFixedFileInfo info;
    info.dwSignature = kFixedFileInfoSignature;
    info.dwStrucVersion = 0x00010000;
    info.dwFileVersionMS = control.FileVersionMS();
    info.dwFileVersionLS = control.FileVersionLS();
    info.dwProductVersionMS = info.dwFileVersionMS;
    info.dwProductVersionLS = info.dwFileVersionLS;
    return info;
}

// A VS_VERSIONINFO block: its key "VS_VERSION_INFO" in UTF-16, padding to a 32-bit boundary
// of the block, then the fixed record starting with its signature.
std::optional<VsFixedFileInfo> FindFixedRecord(const std::string& bytes) {
    for (std::size_t key = bytes.find(kVersionKey); key != std::string::npos;
         key = bytes.find(kVersionKey, key + 1)) {
        if (key < 6) {
            continue;
        }
        const std::size_t blockStart = key - 6;  // wLength, wValueLength, wType
        std::size_t record = key + kVersionKey.size();
        record = blockStart + ((record - blockStart + 3) & ~std::size_t{3});
        if (record + sizeof(VsFixedFileInfo) > bytes.size() ||
            ReadLittleEndian32(&bytes[record]) != kFixedFileInfoSignature) {
            continue;
        }
        auto field = [&](int index) { return ReadLittleEndian32(&bytes[record + 4 * index]); };
        VsFixedFileInfo info;
        win::DWORD* const targets[] = {
            &info.dwSignature,     &info.dwStrucVersion,     &info.dwFileVersionMS,
            &info.dwFileVersionLS, &info.dwProductVersionMS, &info.dwProductVersionLS,
            &info.dwFileFlagsMask, &info.dwFileFlags,        &info.dwFileOS,
            &info.dwFileType,      &info.dwFileSubtype,      &info.dwFileDateMS,
            &info.dwFileDateLS};
        for (int i = 0; i < 13; ++i) {
            *targets[i] = field(i);
        }
        return info;
    }
    return std::nullopt;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxVersionSearchBytes) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.resize(size);
    return in && in.read(bytes.data(), static_cast<std::streamsize>(size));
}

// atoi: leading white space, an optional sign, then digits up to the first other character.
int ReadLikeAtoi(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        value = std::min<long long>(value * 10 + (text[i] - '0'), 0x7FFFFFFFLL + 1);
        ++i;
    }
    return static_cast<int>(negative ? -value : std::min<long long>(value, 0x7FFFFFFF));
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
struct DigestFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

bool ReadFileVersion(const platform::FileSystem& files, std::string_view path,
                     VsFixedFileInfo& out) {
    const std::filesystem::path linuxPath = files.ToLinuxPath(path);
    if (linuxPath.empty()) {
        return false;
    }
    if (const std::optional<platform::ControlFile> control = platform::ReadControlFile(linuxPath)) {
        if (!control->version) {
            return false;
        }
        out = RecordOfControl(*control);
        return true;
    }
    std::string bytes;
    if (!ReadWholeFile(linuxPath, bytes)) {
        return false;
    }
    const std::optional<VsFixedFileInfo> record = FindFixedRecord(bytes);
    if (!record) {
        return false;
    }
    out = *record;
    return true;
}

std::string FileMd5Hex(const platform::FileSystem& files, std::string_view path) {
    const std::filesystem::path linuxPath = files.ToLinuxPath(path);
    if (linuxPath.empty()) {
        return {};
    }
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(linuxPath.c_str(), "rb"));
    if (!file) {
        return {};
    }
    const std::unique_ptr<EVP_MD_CTX, DigestFree> digest(EVP_MD_CTX_new());
    if (!digest || EVP_DigestInit_ex(digest.get(), EVP_md5(), nullptr) != 1) {
        return {};
    }
    std::vector<unsigned char> block(kMd5BlockSize);
    while (const std::size_t count = std::fread(block.data(), 1, block.size(), file.get())) {
        EVP_DigestUpdate(digest.get(), block.data(), count);
    }
    if (std::ferror(file.get())) {
        return {};
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> value;
    unsigned int length = 0;
    EVP_DigestFinal_ex(digest.get(), value.data(), &length);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[value[i] >> 4];
        hex += kHex[value[i] & 0xF];
    }
    return hex;
}

std::uint64_t ParseRequiredVersion(std::string_view version) {
    std::array<std::uint16_t, 4> parts{};
    std::size_t position = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            const std::size_t dot = version.find('.', position);
            if (dot == std::string_view::npos) {
                break;
            }
            position = dot + 1;
        }
        parts[i] = static_cast<std::uint16_t>(ReadLikeAtoi(version.substr(position)));
    }
    const std::uint64_t high = (std::uint64_t{parts[0]} << 16) | parts[1];
    const std::uint64_t low = (std::uint64_t{parts[2]} << 16) | parts[3];
    return (high << 32) | low;
}

bool CheckComponentFile(const platform::FileSystem& files, const config::ComponentFile& file) {
    if (!files.PathFileExists(file.localPath)) {
        return false;
    }
    if (!file.version.empty()) {
        VsFixedFileInfo info;
        if (!ReadFileVersion(files, file.localPath, info)) {
            return false;
        }
        const std::uint64_t actual =
            (std::uint64_t{info.dwFileVersionMS} << 32) | info.dwFileVersionLS;
        if (actual < ParseRequiredVersion(file.version)) {
            return false;
        }
    }
    return file.md5.empty() || FileMd5Hex(files, file.localPath) == file.md5;
}

}  // namespace components
