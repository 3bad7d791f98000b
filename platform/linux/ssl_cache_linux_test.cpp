#include "platform/linux/ssl_cache_linux.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <string>

#include "platform/linux/tls_session_cache.h"
#include "tests/support/bank_server.h"
#include "tests/support/temp_sandbox.h"

namespace platform {
namespace {

TEST(SslCacheTest, EmptyingGivesLaterTransfersANewSessionCache) {
    nestora_test::TempSandbox sandbox;
    const auto cache = MakeLinuxSslCache(sandbox.Root());
    const auto before = CurrentTlsSessionShare();
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(CurrentTlsSessionShare(), before);
    ASSERT_TRUE(cache->SslEmptyCache());
    const auto after = CurrentTlsSessionShare();
    ASSERT_NE(after, nullptr);
    EXPECT_NE(after, before);
}

// Whether a GET over a new connection resumed a TLS session kept in the shared cache.
struct ResumptionProbe {
    CURL* easy = nullptr;
    bool seen = false;
    bool resumed = false;

    static std::size_t OnBody(char*, std::size_t size, std::size_t count, void* self) {
        auto& probe = *static_cast<ResumptionProbe*>(self);
        curl_tlssessioninfo* session = nullptr;
        if (!probe.seen &&
            curl_easy_getinfo(probe.easy, CURLINFO_TLS_SSL_PTR, &session) == CURLE_OK && session &&
            session->backend == CURLSSLBACKEND_OPENSSL && session->internals) {
            probe.seen = true;
            probe.resumed = SSL_session_reused(static_cast<SSL*>(session->internals)) == 1;
        }
        return size * count;
    }
};

ResumptionProbe GetOverNewConnection(const nestora_test::BankServer& server) {
    ResumptionProbe probe;
    probe.easy = curl_easy_init();
    const auto share = CurrentTlsSessionShare();
    UseTlsSessionShare(probe.easy, *share);
    const std::string url = server.HttpsUrl("/cfg/item.xml");
    const std::string caFile = server.CaFile().string();
    curl_easy_setopt(probe.easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(probe.easy, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(probe.easy, CURLOPT_WRITEFUNCTION, &ResumptionProbe::OnBody);
    curl_easy_setopt(probe.easy, CURLOPT_WRITEDATA, &probe);
    EXPECT_EQ(curl_easy_perform(probe.easy), CURLE_OK);
    curl_easy_cleanup(probe.easy);
    return probe;
}

TEST(SslCacheTest, ConnectionsResumeTheirSessionUntilTheCacheIsEmptied) {
    nestora_test::TempSandbox sandbox;
    nestora_test::BankServer server;
    ASSERT_TRUE(server.Started()) << server.Error();
    ASSERT_TRUE(MakeLinuxSslCache(sandbox.Root())->SslEmptyCache());

    const ResumptionProbe first = GetOverNewConnection(server);
    const ResumptionProbe second = GetOverNewConnection(server);
    ASSERT_TRUE(MakeLinuxSslCache(sandbox.Root())->SslEmptyCache());
    const ResumptionProbe afterEmptying = GetOverNewConnection(server);
    ASSERT_TRUE(first.seen && second.seen && afterEmptying.seen);
    EXPECT_FALSE(first.resumed);
    EXPECT_TRUE(second.resumed);
    EXPECT_FALSE(afterEmptying.resumed);
}

TEST(SslCacheTest, HeaderCountersAreKeptInTheSandboxForEveryProgram) {
    nestora_test::TempSandbox sandbox;
    win::DWORD value = 0;
    ASSERT_TRUE(MakeLinuxSslCache(sandbox.Root())->IncrementUrlCacheHeaderData(14, value));
    EXPECT_EQ(value, 1u);
    ASSERT_TRUE(MakeLinuxSslCache(sandbox.Root())->IncrementUrlCacheHeaderData(14, value));
    EXPECT_EQ(value, 2u);
    ASSERT_TRUE(MakeLinuxSslCache(sandbox.Root())->IncrementUrlCacheHeaderData(0, value));
    EXPECT_EQ(value, 1u);
    ASSERT_TRUE(MakeLinuxSslCache(sandbox.Root())
                    ->IncrementUrlCacheHeaderData(kUrlCacheHeaderSlots - 1, value));
    EXPECT_FALSE(MakeLinuxSslCache(sandbox.Root())
                     ->IncrementUrlCacheHeaderData(kUrlCacheHeaderSlots, value));
}

}  // namespace
}  // namespace platform
