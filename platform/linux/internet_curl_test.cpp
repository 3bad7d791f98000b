#include "platform/linux/internet_curl.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/linux/certificate_store_sandbox.h"
#include "tests/support/bank_server.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr win::DWORD kHttpFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_ASCII;
constexpr win::DWORD kHttpsFlags = kHttpFlags | INTERNET_FLAG_SECURE;

struct Response {
    win::DWORD status = 0;
    std::uint64_t length = 0;
    std::string body;
};

// Reads the whole body in chunks of 4,096 bytes, as the program's HTTP operations do.
std::string ReadAll(HttpFile& file) {
    std::string body;
    char chunk[4096];
    while (const std::size_t count = file.Read(chunk, sizeof chunk))
        body.append(chunk, count);
    return body;
}

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i % 256);
    return bytes;
}

// Runs `request` and returns the error code of the InternetException it raises, or 0.
template <typename Request>
win::DWORD ErrorOf(Request request) {
    try {
        request();
    } catch (const InternetException& error) {
        return error.ErrorCode();
    }
    return 0;
}

// A listening port whose accept queue is full, so that a new connection attempt gets no
// answer at all (the system drops its SYN) and hangs until the client gives up.
class UnansweredPort {
public:
    UnansweredPort() {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(listener_, 0) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            return;
        }
        for (int& client : fillers_) {
            client = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            connect(client, reinterpret_cast<sockaddr*>(&address), size);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        port_ = ntohs(address.sin_port);
    }
    ~UnansweredPort() {
        for (int client : fillers_) {
            if (client >= 0)
                close(client);
        }
        if (listener_ >= 0)
            close(listener_);
    }
    int Number() const { return port_; }

private:
    int listener_ = -1;
    int fillers_[3] = {-1, -1, -1};
    int port_ = 0;
};

class InternetCurlTest : public nestora_test::WithBankServer<> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WithBankServer::SetUp());
        std::string pattern = (fs::temp_directory_path() / "nestora-internet-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        sandbox_ = pattern;
        internet_ = MakeCurlInternet(sandbox_);
        session_ = internet_->OpenSession("Mozilla/5.0");
    }
    void TearDown() override {
        session_.reset();
        internet_.reset();
        if (!sandbox_.empty())
            fs::remove_all(sandbox_);
    }

    ::testing::AssertionResult TrustDemoAuthority() {
        return nestora_test::TrustDemoAuthority(*server_, *MakeSandboxCertificateStores(sandbox_));
    }

    Response Get(const std::string& url, win::DWORD flags = kHttpFlags) {
        auto file = session_->OpenUrl(url, flags);
        Response response{file->StatusCode(), file->ContentLength(), {}};
        response.body = ReadAll(*file);
        return response;
    }

    fs::path sandbox_;
    std::unique_ptr<Internet> internet_;
    std::unique_ptr<InternetSession> session_;
};

TEST_F(InternetCurlTest, StatusLengthAndBody) {
    ASSERT_TRUE(TrustDemoAuthority());
    struct Case {
        std::string url;
        win::DWORD status;
        std::uint64_t length;
        std::string body;
    };
    const Case cases[] = {
        {server_->HttpUrl("/test/404"), 404, 35, "<html><body>not found</body></html>"},
        {server_->HttpUrl("/test/500"), 500, 38, "<html><body>server error</body></html>"},
        {server_->HttpUrl("/test/nolength"), 200, 0, "a body without a length header\n"},
        {server_->HttpUrl("/test/bytes?n=0"), 200, 0, ""},
        {server_->HttpsUrl("/test/bytes?n=12345"), 200, 12345, Pattern(12345)},
        {server_->HttpUrl("/test/redirect?to=/test/bytes?n=10"), 200, 10, Pattern(10)},
        {"HTTPS://LOCALHOST:" + std::to_string(server_->HttpsPort()) + "/test/bytes?n=3", 200, 3,
         Pattern(3)},
        {server_->HttpUrl("/test/redirect?to=" + server_->HttpsUrl("/test/bytes?n=7")), 200, 7,
         Pattern(7)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        const Response response = Get(c.url);
        EXPECT_EQ(response.status, c.status);
        EXPECT_EQ(response.length, c.length);
        EXPECT_EQ(response.body, c.body);
    }
}

TEST_F(InternetCurlTest, ConfigurationHasTheServersAddressFilledIn) {
    ASSERT_TRUE(TrustDemoAuthority());
    const Response response = Get(server_->HttpsUrl("/cfg/item.xml"), kHttpsFlags);
    EXPECT_EQ(response.status, 200u);
    EXPECT_EQ(response.length, response.body.size());
    EXPECT_NE(response.body.find("<checkitems base=\"https://127.0.0.1:" +
                                 std::to_string(server_->HttpsPort()) + "/download/\""),
              std::string::npos);
}

TEST_F(InternetCurlTest, LargeBodyArrivesWholeThroughSmallReads) {
    constexpr std::size_t kSize = 5 * 1024 * 1024 + 17;
    const Response response = Get(server_->HttpUrl("/test/bytes?n=" + std::to_string(kSize)));
    EXPECT_EQ(response.length, kSize);
    EXPECT_TRUE(response.body == Pattern(kSize));
}

TEST_F(InternetCurlTest, SendRequestAsksAgain) {
    auto file = session_->OpenUrl(server_->HttpUrl("/test/bytes?n=100"), kHttpFlags);
    file->SendRequest();
    EXPECT_EQ(file->StatusCode(), 200u);
    EXPECT_EQ(file->ContentLength(), 100u);
    EXPECT_EQ(ReadAll(*file), Pattern(100));
}

TEST_F(InternetCurlTest, BodyCutShortRaises) {
    auto file = session_->OpenUrl(server_->HttpUrl("/test/short"), kHttpFlags);
    EXPECT_EQ(file->StatusCode(), 200u);
    EXPECT_EQ(file->ContentLength(), 62u);
    EXPECT_EQ(ErrorOf([&] { ReadAll(*file); }), ERROR_INTERNET_CONNECTION_ABORTED);
}

TEST_F(InternetCurlTest, CertificateOfUnknownAuthorityIsRejectedUntilTrusted) {
    EXPECT_EQ(ErrorOf([&] { Get(server_->HttpsUrl("/perbank/"), kHttpsFlags); }),
              ERROR_INTERNET_INVALID_CA);

    ASSERT_TRUE(TrustDemoAuthority());
    EXPECT_EQ(Get(server_->HttpsUrl("/perbank/"), kHttpsFlags).status, 200u);
    EXPECT_EQ(ErrorOf([&] { Get(server_->UntrustedUrl("/perbank/"), kHttpsFlags); }),
              ERROR_INTERNET_INVALID_CA);
}

TEST_F(InternetCurlTest, AddressErrors) {
    struct Case {
        std::string url;
        win::DWORD error;
    };
    const Case cases[] = {
        {"ftp://127.0.0.1/file", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
        {"http://", ERROR_INTERNET_INVALID_URL},
        {"http://name.that.does.not.exist.invalid/", ERROR_INTERNET_NAME_NOT_RESOLVED},
        {"http://127.0.0.1:1/", ERROR_INTERNET_CANNOT_CONNECT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(ErrorOf([&] { session_->OpenUrl(c.url, kHttpFlags); }), c.error);
    }
}

TEST_F(InternetCurlTest, ConnectTimeOutEndsTheWait) {
    const UnansweredPort port;
    ASSERT_NE(port.Number(), 0);
    ASSERT_TRUE(session_->SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, 1000));
    const auto start = std::chrono::steady_clock::now();
    const std::string url = "http://127.0.0.1:" + std::to_string(port.Number()) + "/";
    const win::DWORD error = ErrorOf([&] { session_->OpenUrl(url, kHttpFlags); });
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (error != ERROR_INTERNET_TIMEOUT && elapsed < std::chrono::milliseconds(900)) {
        GTEST_SKIP() << "this system answered the connection at once (error " << error << ")";
    }
    EXPECT_EQ(error, ERROR_INTERNET_TIMEOUT);
    // Far below the 60 s default: the option was applied.
    EXPECT_LT(elapsed, std::chrono::seconds(30));
}

TEST_F(InternetCurlTest, ReceiveTimeOutEndsAStalledBody) {
    ASSERT_TRUE(session_->SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, 1000));
    auto file = session_->OpenUrl(server_->HttpUrl("/test/stall"), kHttpFlags);
    EXPECT_EQ(file->StatusCode(), 200u);
    EXPECT_EQ(file->ContentLength(), 100u);
    char buffer[16];
    EXPECT_EQ(ErrorOf([&] { file->Read(buffer, sizeof buffer); }), ERROR_INTERNET_TIMEOUT);
}

TEST_F(InternetCurlTest, OnlyTheTimeOutOptionsAreKnown) {
    EXPECT_TRUE(session_->SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, 30000));
    EXPECT_TRUE(session_->SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, 0));
    EXPECT_FALSE(session_->SetOption(12345, 1));
}

}  // namespace
}  // namespace platform
