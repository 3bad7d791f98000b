#include "platform/linux/ssl_cache_linux.h"

#include <unistd.h>

#include <array>
#include <cstdint>

#include "platform/linux/file_descriptor.h"
#include "platform/linux/tls_session_cache.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

using HeaderData = std::array<win::DWORD, kUrlCacheHeaderSlots>;

// The counters' file, locked exclusively for the life of the object, so that programs sharing
// the sandbox increment one after the other.
class HeaderFile {
public:
    explicit HeaderFile(const fs::path& path) : file_(path) {}

    bool IsOpen() const { return file_.IsOpen(); }

    // The counters as stored, little-endian; a new or short file reads as zeros.
    HeaderData Read() const {
        std::array<std::uint8_t, kUrlCacheHeaderSlots * 4> bytes{};
        ::pread(file_.Descriptor(), bytes.data(), bytes.size(), 0);
        HeaderData data{};
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<win::DWORD>(bytes[4 * i]) |
                      static_cast<win::DWORD>(bytes[4 * i + 1]) << 8 |
                      static_cast<win::DWORD>(bytes[4 * i + 2]) << 16 |
                      static_cast<win::DWORD>(bytes[4 * i + 3]) << 24;
        }
        return data;
    }

    bool Write(const HeaderData& data) const {
        std::array<std::uint8_t, kUrlCacheHeaderSlots * 4> bytes{};
        for (std::size_t i = 0; i < data.size(); ++i) {
            for (std::size_t b = 0; b < 4; ++b)
                bytes[4 * i + b] = static_cast<std::uint8_t>(data[i] >> (8 * b));
        }
        return ::pwrite(file_.Descriptor(), bytes.data(), bytes.size(), 0) ==
               static_cast<ssize_t>(bytes.size());
    }

private:
    LockedFile file_;
};

class LinuxSslCache : public SslCache {
public:
    explicit LinuxSslCache(fs::path headerFile) : headerFile_(std::move(headerFile)) {}

    bool SslEmptyCache() override { return EmptyTlsSessionCache(); }

    bool IncrementUrlCacheHeaderData(win::DWORD index, win::DWORD& data) override {
        if (index >= kUrlCacheHeaderSlots)
            return false;
        HeaderFile file(headerFile_);
        if (!file.IsOpen())
            return false;
        HeaderData header = file.Read();
        ++header[index];
        if (!file.Write(header))
            return false;
        data = header[index];
        return true;
    }

private:
    fs::path headerFile_;
};

}  // namespace

std::unique_ptr<SslCache> MakeLinuxSslCache(const fs::path& sandboxRoot) {
    return std::make_unique<LinuxSslCache>(sandboxRoot / "url_cache_header.bin");
}

}  // namespace platform
