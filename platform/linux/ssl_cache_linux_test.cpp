#include "platform/linux/ssl_cache_linux.h"

#include <gtest/gtest.h>

#include "platform/linux/tls_session_cache.h"
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
