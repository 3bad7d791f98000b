#include "components/download.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "config/http_get_text.h"
#include "platform/files.h"
#include "platform/internet.h"

namespace components {
namespace {

constexpr std::size_t kChunkSize = 4096;
// The local file is written through a buffer this large, so that the chunks of the body do
// not each cost a write call to the system.
constexpr std::size_t kWriteBufferSize = 256 * 1024;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using LocalFile = std::unique_ptr<std::FILE, FileCloser>;

// Writes the body chunk by chunk; the bytes written so far.
std::uint64_t CopyBody(platform::HttpFile& http, std::FILE* file, std::uint64_t announced,
                       const DownloadProgress& progress) {
    std::vector<char> chunk(kChunkSize);
    std::uint64_t written = 0;
    while (const std::size_t count = http.Read(chunk.data(), chunk.size())) {
        if (std::fwrite(chunk.data(), 1, count, file) != count) {
            throw platform::InternetException(platform::ERROR_INTERNET_INTERNAL_ERROR,
                                              "the local file cannot be written");
        }
        written += count;
        if (progress && announced != 0) {
            progress(static_cast<std::uint32_t>(written * 100 / announced));
        }
    }
    return written;
}

void Discard(LocalFile& file, const std::filesystem::path& path) {
    file.reset();
    std::error_code error;
    std::filesystem::remove(path, error);
}

}  // namespace

std::uint64_t DownloadToFile(platform::InternetSession& session, platform::FileSystem& files,
                             const std::string& url, const std::string& localPath,
                             const DownloadProgress& progress, win::DWORD stallTimeoutMs) {
    const std::filesystem::path path = files.ToLinuxPath(localPath);
    if (path.empty()) {
        return 0;
    }
    std::vector<char> writeBuffer(kWriteBufferSize);  // declared first: it outlives the file
    LocalFile file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        return 0;
    }
    std::setvbuf(file.get(), writeBuffer.data(), _IOFBF, writeBuffer.size());
    try {
        session.SetOption(platform::INTERNET_OPTION_RECEIVE_TIMEOUT, stallTimeoutMs);
        const std::unique_ptr<platform::HttpFile> http =
            session.OpenUrl(url, config::RequestOpenFlags(url));
        if (!http) {
            return 0;
        }
        http->SendRequest();
        const win::DWORD status = http->StatusCode();
        const std::uint64_t announced = http->ContentLength();
        if (progress) {
            progress(0);
        }
        const std::uint64_t written =
            status == 200 ? CopyBody(*http, file.get(), announced, progress) : 0;
        if (std::fflush(file.get()) != 0) {
            Discard(file, path);
            return 0;
        }
        if (announced != 0 && written != announced) {
            Discard(file, path);
            return 0;
        }
        return status == 200 ? announced : 0;
    } catch (const platform::InternetException&) {
        Discard(file, path);
        return 0;
    }
}

}  // namespace components
