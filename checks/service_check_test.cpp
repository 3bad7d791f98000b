#include "checks/service_check.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/context.h"
#include "platform/internet.h"
#include "tests/support/bank_server.h"
#include "tests/support/temp_sandbox.h"

namespace checks {
namespace {

using std::chrono::milliseconds;

// An internet whose addresses answer from a table of errors (0 for an answer) and that
// records the options and the addresses asked for.
class ScriptedInternet : public platform::Internet {
public:
    struct Log {
        std::vector<std::string> opened;
        std::vector<std::pair<win::DWORD, win::DWORD>> options;
        std::vector<win::DWORD> flags;
    };

    explicit ScriptedInternet(std::map<std::string, win::DWORD> errors)
        : errors_(std::move(errors)) {}

    std::unique_ptr<platform::InternetSession> OpenSession(const std::string&) override {
        return std::make_unique<Session>(errors_, log);
    }
    bool GetConnectedState() override { return true; }

    Log log;

private:
    class Answer : public platform::HttpFile {
    public:
        void SendRequest() override {}
        win::DWORD StatusCode() const override { return 200; }
        std::uint64_t ContentLength() const override { return 0; }
        std::size_t Read(void*, std::size_t) override { return 0; }
    };

    class Session : public platform::InternetSession {
    public:
        Session(const std::map<std::string, win::DWORD>& errors, Log& log)
            : errors_(errors), log_(log) {}
        bool SetOption(win::DWORD option, win::DWORD value) override {
            log_.options.emplace_back(option, value);
            return true;
        }
        std::unique_ptr<platform::HttpFile> OpenUrl(const std::string& url,
                                                    win::DWORD flags) override {
            log_.opened.push_back(url);
            log_.flags.push_back(flags);
            const auto found = errors_.find(url);
            if (found != errors_.end() && found->second != 0)
                throw platform::InternetException(found->second, "scripted failure");
            return std::make_unique<Answer>();
        }

    private:
        const std::map<std::string, win::DWORD>& errors_;
        Log& log_;
    };

    std::map<std::string, win::DWORD> errors_;
};

config::ConfigSection ServiceSection(const std::vector<std::string>& urls) {
    config::ConfigSection section{"service", {}};
    for (const std::string& url : urls)
        section.entries.push_back({url, "", "", "", ""});
    return section;
}

// How long the server's /test/silent keeps a connection without answering.
constexpr auto kServerSilence = std::chrono::seconds(30);

class ServiceCheckTest : public nestora_test::WithBankServer<> {
protected:
    static void SetUpTestSuite() {
        StartServer({"--silent-seconds", std::to_string(kServerSilence.count())});
    }

    ::testing::AssertionResult TrustDemoAuthority() {
        return nestora_test::TrustDemoAuthority(*server_, sandbox_.Context());
    }

    unsigned Run(const std::vector<std::string>& urls, milliseconds timeout = milliseconds(5000)) {
        config_.sections.push_back(ServiceSection(urls));
        return ServiceCheckThread(sandbox_.Context(), config_, timeout);
    }

    nestora_test::TempSandbox sandbox_;
    config::CheckConfig config_;
};

TEST_F(ServiceCheckTest, EveryAddressThatAnswersCountsAlsoWithAnErrorStatus) {
    ASSERT_TRUE(TrustDemoAuthority());
    EXPECT_EQ(Run({server_->HttpsUrl("/perbank/"), server_->HttpUrl("/test/404"),
                   server_->HttpUrl("/test/500")}),
              1u);
    EXPECT_TRUE(config_.results.serviceOk.load());
    EXPECT_TRUE(config_.results.serviceDone.load());
}

TEST_F(ServiceCheckTest, AnAddressThatCannotBeOpenedMakesTheServiceUnreachable) {
    const std::vector<std::string> failing = {
        server_->UntrustedUrl("/perbank/"),  // certificate rejected
        server_->HttpsUrl("/perbank/"),      // demo authority not trusted in this sandbox
        "http://127.0.0.1:1/",               // connection refused
        "http://name.that.does.not.exist.invalid/",
        "not an address",
    };
    for (const std::string& url : failing) {
        SCOPED_TRACE(url);
        config::CheckConfig config;
        config.results.serviceOk = true;
        config.sections.push_back(ServiceSection({server_->HttpUrl("/perbank/"), url}));
        EXPECT_EQ(ServiceCheckThread(sandbox_.Context(), config, milliseconds(5000)), 0u);
        EXPECT_FALSE(config.results.serviceOk.load());
        EXPECT_TRUE(config.results.serviceDone.load());
    }
}

// The stalled address answers with its headers and then holds the body back: nothing is
// read, so the probe does not wait for it.
TEST_F(ServiceCheckTest, ABodyHeldBackDoesNotHoldTheProbe) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run({server_->HttpUrl("/test/stall")}, kServiceProbeTimeout), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// The silent address takes the request and answers nothing, not even its headers, for far
// longer than the probe's time-out: the probe gives up on it once the time-out has passed.
TEST_F(ServiceCheckTest, AServerThatNeverAnswersFailsTheProbeOnceTheTimeOutHasPassed) {
    ASSERT_TRUE(TrustDemoAuthority());
    const milliseconds timeout(1000);
    for (const std::string& url :
         {server_->HttpUrl("/test/silent"), server_->HttpsUrl("/test/silent")}) {
        SCOPED_TRACE(url);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(OpenAllUrls(sandbox_.Context(), {url}, timeout));
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, timeout);
        EXPECT_LT(took, kServerSilence / 2);
    }
}

TEST_F(ServiceCheckTest, AnEmptyOrMissingSectionIsReachable) {
    EXPECT_EQ(Run({}), 1u);
    EXPECT_TRUE(config_.results.serviceOk.load());
    EXPECT_TRUE(config_.results.serviceDone.load());

    config::CheckConfig withoutSection;
    EXPECT_EQ(ServiceCheckThread(sandbox_.Context(), withoutSection), 1u);
    EXPECT_TRUE(withoutSection.results.serviceOk.load());
    EXPECT_TRUE(withoutSection.results.serviceDone.load());
}

TEST(ServiceProbe, StopsAtTheFirstAddressThatFailsAndIsBoundedByTheTimeOut) {
    nestora_test::TempSandbox sandbox;
    auto internet = std::make_unique<ScriptedInternet>(std::map<std::string, win::DWORD>{
        {"https://stalled.example/", platform::ERROR_INTERNET_TIMEOUT}});
    ScriptedInternet::Log& log = internet->log;
    sandbox.Context().internet = std::move(internet);

    EXPECT_FALSE(
        OpenAllUrls(sandbox.Context(),
                    {"http://first.example/", "https://stalled.example/", "http://never.example/"},
                    milliseconds(1500)));
    EXPECT_EQ(log.opened,
              (std::vector<std::string>{"http://first.example/", "https://stalled.example/"}));
    EXPECT_EQ(log.flags, (std::vector<win::DWORD>{
                             platform::INTERNET_FLAG_RELOAD,
                             platform::INTERNET_FLAG_RELOAD | platform::INTERNET_FLAG_SECURE}));
    const std::vector<std::pair<win::DWORD, win::DWORD>> bounded = {
        {platform::INTERNET_OPTION_CONNECT_TIMEOUT, 1500},
        {platform::INTERNET_OPTION_RECEIVE_TIMEOUT, 1500}};
    EXPECT_EQ(log.options, bounded);
}

TEST(ServiceProbe, TheDefaultBoundIsThirtySeconds) {
    nestora_test::TempSandbox sandbox;
    auto internet = std::make_unique<ScriptedInternet>(std::map<std::string, win::DWORD>{});
    ScriptedInternet::Log& log = internet->log;
    sandbox.Context().internet = std::move(internet);
    config::CheckConfig config;
    config.sections.push_back(ServiceSection({"http://bank.example/"}));
    EXPECT_EQ(ServiceCheckThread(sandbox.Context(), config), 1u);
    const std::vector<std::pair<win::DWORD, win::DWORD>> bounded = {
        {platform::INTERNET_OPTION_CONNECT_TIMEOUT, 30000},
        {platform::INTERNET_OPTION_RECEIVE_TIMEOUT, 30000}};
    EXPECT_EQ(log.options, bounded);
}

}  // namespace
}  // namespace checks
