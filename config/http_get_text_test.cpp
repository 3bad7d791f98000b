#include "config/http_get_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/internet.h"

namespace config {
namespace {

// An answer the fake server gives, and where the network fails.
struct Answer {
    win::DWORD status = 200;
    std::uint64_t announced = 0;
    std::string body;
    bool openFails = false;
    bool openGivesNothing = false;
    bool readFails = false;
};

class FakeFile : public platform::HttpFile {
public:
    FakeFile(const Answer& answer, int& sends) : answer_(answer), sends_(sends) {}

    void SendRequest() override { ++sends_; }
    win::DWORD StatusCode() const override { return answer_.status; }
    std::uint64_t ContentLength() const override { return answer_.announced; }
    std::size_t Read(void* buffer, std::size_t size) override {
        if (answer_.readFails && position_ > 0) {
            throw platform::InternetException(platform::ERROR_INTERNET_CONNECTION_RESET, "reset");
        }
        const std::size_t count = std::min(size, answer_.body.size() - position_);
        std::memcpy(buffer, answer_.body.data() + position_, count);
        position_ += count;
        return count;
    }

private:
    const Answer& answer_;
    int& sends_;
    std::size_t position_ = 0;
};

class FakeSession : public platform::InternetSession {
public:
    explicit FakeSession(Answer answer) : answer_(std::move(answer)) {}

    bool SetOption(win::DWORD option, win::DWORD value) override {
        if (option == platform::INTERNET_OPTION_CONNECT_TIMEOUT) {
            connectTimeout = value;
        }
        return true;
    }
    std::unique_ptr<platform::HttpFile> OpenUrl(const std::string& url, win::DWORD flags) override {
        openedUrl = url;
        openFlags = flags;
        if (answer_.openFails) {
            throw platform::InternetException(platform::ERROR_INTERNET_CANNOT_CONNECT, "refused");
        }
        if (answer_.openGivesNothing) {
            return nullptr;
        }
        return std::make_unique<FakeFile>(answer_, sends);
    }

    win::DWORD connectTimeout = 0;
    std::string openedUrl;
    win::DWORD openFlags = 0;
    int sends = 0;

private:
    Answer answer_;
};

TEST(HttpGetText, ReturnsOnlyAWholeBodyAnsweredWith200) {
    const std::string big = [] {
        std::string bytes;
        for (int i = 0; i < 10000; ++i) {
            bytes += static_cast<char>(i % 256);
        }
        return bytes;
    }();
    struct Case {
        const char* what;
        Answer answer;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"length agrees", {200, 5, "hello"}, "hello"},
        {"no length header", {200, 0, "hello"}, "hello"},
        {"several chunks with zero bytes", {200, big.size(), big}, big},
        {"body shorter than announced", {200, 6, "hello"}, ""},
        {"body longer than announced", {200, 4, "hello"}, ""},
        {"empty body", {200, 0, ""}, ""},
        {"not found with length", {404, 9, "not found"}, ""},
        {"server error without length", {500, 0, "oops"}, ""},
        {"redirect status", {302, 0, "moved"}, ""},
        {"connection refused", {200, 0, "", true, false, false}, ""},
        {"no file object", {200, 0, "", false, true, false}, ""},
        {"read cut", {200, 0, big, false, false, true}, ""},
    };
    for (const Case& c : cases) {
        FakeSession session(c.answer);
        EXPECT_EQ(HttpGetText(session, "https://bank/cfg/item.xml"), c.expected) << c.what;
    }
}

TEST(HttpGetText, OpensFromTheNetworkWithTheSecureFlagForHttpsOnly) {
    struct Case {
        std::string url;
        bool secure;
    };
    const std::vector<Case> cases = {
        {"https://bank/cfg/item.xml", true},
        {"HTTPS://bank/cfg/item.xml", true},
        {"HttPs://bank/", true},
        {"http://bank/cfg/item.xml", false},
        {"https:/bank", false},
        {"http", false},
    };
    for (const Case& c : cases) {
        FakeSession session(Answer{200, 2, "ok"});
        EXPECT_EQ(HttpGetText(session, c.url), "ok");
        const win::DWORD expected = 0x84000001u | (c.secure ? platform::INTERNET_FLAG_SECURE : 0);
        EXPECT_EQ(session.openFlags, expected) << c.url;
        EXPECT_EQ(session.openedUrl, c.url);
        EXPECT_EQ(session.connectTimeout, 30000u);
        EXPECT_EQ(session.sends, 1);
    }
}

}  // namespace
}  // namespace config
