#include "components/download.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/context.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "tests/support/bank_server.h"
#include "tests/support/temp_sandbox.h"

namespace components {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTarget = "C:\\DownTmp\\file.bin";

class Download : public nestora_test::WithBankServer<> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WithBankServer::SetUp());
        ASSERT_TRUE(nestora_test::TrustDemoAuthority(*server_, context()));
        fs::create_directories(LocalFile().parent_path());
        session_ = context().internet->OpenSession("Mozilla/5.0");
    }

    platform::Context& context() { return sandbox_.Context(); }
    fs::path LocalFile() { return context().files->ToLinuxPath(kTarget); }

    std::uint64_t Get(const std::string& url, win::DWORD stallMs = kDownloadStallTimeoutMs) {
        return DownloadToFile(
            *session_, *context().files, url, kTarget,
            [this](std::uint32_t percent) { progress_.push_back(percent); }, stallMs);
    }

    nestora_test::TempSandbox sandbox_;
    std::unique_ptr<platform::InternetSession> session_;
    std::vector<std::uint32_t> progress_;
};

TEST_F(Download, CompleteBodyReturnsItsLengthWithProgressTo100) {
    EXPECT_EQ(Get(server_->HttpsUrl("/test/bytes?n=10000")), 10000u);
    EXPECT_EQ(fs::file_size(LocalFile()), 10000u);
    // 0 once the headers are in, then after each chunk of at most 4096 bytes.
    EXPECT_EQ(progress_, (std::vector<std::uint32_t>{0, 40, 81, 100}));

    std::ifstream in(LocalFile(), std::ios::binary);
    const std::string body((std::istreambuf_iterator<char>(in)), {});
    for (std::size_t i = 0; i < body.size(); ++i) {
        ASSERT_EQ(static_cast<unsigned char>(body[i]), i % 256) << i;
    }
}

TEST_F(Download, SchemeInCapitalsIsStillSecure) {
    std::string url = server_->HttpsUrl("/test/bytes?n=10");
    url.replace(0, 5, "HTTPS");
    EXPECT_EQ(Get(url), 10u);
}

TEST_F(Download, ExistingFileIsTruncated) {
    std::ofstream(LocalFile()) << std::string(50000, 'o');
    EXPECT_EQ(Get(server_->HttpUrl("/test/bytes?n=5")), 5u);
    EXPECT_EQ(fs::file_size(LocalFile()), 5u);
}

TEST_F(Download, FailuresAndWhatTheyLeave) {
    enum class Left { Nothing, Body };
    const struct {
        const char* name;
        std::string url;
        Left left;
        std::vector<std::uint32_t> progress;
    } cases[] = {
        {"no length: complete body, still 0", server_->HttpUrl("/test/nolength"), Left::Body, {0}},
        {"404 with a length", server_->HttpUrl("/test/404"), Left::Nothing, {0}},
        {"500 with a length", server_->HttpsUrl("/test/500"), Left::Nothing, {0}},
        {"connection cut before the length",
         server_->HttpUrl("/test/short"),
         Left::Nothing,
         {0, 50}},
        {"untrusted certificate", server_->UntrustedUrl("/test/bytes?n=5"), Left::Nothing, {}},
        {"nobody listening", "http://127.0.0.1:1/x", Left::Nothing, {}},
        {"not an address", "ftp://127.0.0.1/x", Left::Nothing, {}},
    };
    for (const auto& c : cases) {
        progress_.clear();
        EXPECT_EQ(Get(c.url), 0u) << c.name;
        EXPECT_EQ(progress_, c.progress) << c.name;
        switch (c.left) {
            case Left::Nothing:
                EXPECT_FALSE(fs::exists(LocalFile())) << c.name;
                break;
            case Left::Body:
                EXPECT_EQ(fs::file_size(LocalFile()), 31u) << c.name;
                break;
        }
    }
}

// While it lives, files of this process can grow no further than `bytes`: a write beyond
// fails (EFBIG) instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : previousHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    void (*previousHandler_)(int);
    rlimit saved_{};
};

// The local file is written through a buffer: whether the write fails while the body streams
// in or only when the last buffered part goes out, the download fails and leaves no file.
TEST_F(Download, LocalWriteFailureFailsAndLeavesNoFile) {
    const FileSizeLimit limit(128 * 1024);
    for (const char* length : {"200000", "4000000"}) {
        SCOPED_TRACE(length);
        EXPECT_EQ(Get(server_->HttpUrl(std::string("/test/bytes?n=") + length)), 0u);
        EXPECT_FALSE(fs::exists(LocalFile()));
    }
}

TEST_F(Download, StalledTransferFailsAfterTheBound) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get(server_->HttpUrl("/test/stall"), 1000), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_FALSE(fs::exists(LocalFile()));
    EXPECT_EQ(progress_, (std::vector<std::uint32_t>{0}));
}

TEST_F(Download, FolderMissingMeansNoRequestAndNoFile) {
    const std::string missing = "C:\\NoSuchFolder\\file.bin";
    // An address that would hang if it were asked: the answer must come at once.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadToFile(*session_, *context().files, server_->HttpUrl("/test/stall"), missing,
                             [this](std::uint32_t p) { progress_.push_back(p); }),
              0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_TRUE(progress_.empty());
    EXPECT_FALSE(fs::exists(context().files->ToLinuxPath(missing)));
}

TEST_F(Download, WithoutProgressTargetTheResultIsTheSame) {
    EXPECT_EQ(
        DownloadToFile(*session_, *context().files, server_->HttpUrl("/test/bytes?n=3"), kTarget),
        3u);
}

}  // namespace
}  // namespace components
