#include "platform/named_mutex.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/temp_sandbox.h"

namespace {

constexpr const char* kName = "66D06933-DE4C-4C5F-864A-33DC5742B60E";

// Whether a child process finds the mutex taken.
bool OtherProcessFindsItTaken(const std::filesystem::path& root) {
    const pid_t child = ::fork();
    if (child == 0) {
        win::LONG error = 0;
        auto mutex = platform::CreateOwnedNamedMutex(root, kName, error);
        ::_exit(!mutex && error == win::ERROR_ALREADY_EXISTS ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(NamedMutex, SecondProcessSeesItUntilTheOwnerReleasesIt) {
    nestora_test::TempSandbox sandbox;
    win::LONG error = -1;
    auto mutex = platform::CreateOwnedNamedMutex(sandbox.Root(), kName, error);
    ASSERT_TRUE(mutex);
    EXPECT_EQ(error, win::ERROR_SUCCESS);
    EXPECT_TRUE(OtherProcessFindsItTaken(sandbox.Root()));
    mutex.reset();
    EXPECT_FALSE(OtherProcessFindsItTaken(sandbox.Root()));
}

TEST(NamedMutex, SandboxesDoNotShareNames) {
    nestora_test::TempSandbox first;
    nestora_test::TempSandbox second;
    win::LONG error = 0;
    auto mutex = platform::CreateOwnedNamedMutex(first.Root(), kName, error);
    ASSERT_TRUE(mutex);
    EXPECT_FALSE(OtherProcessFindsItTaken(second.Root()));
}

}  // namespace
