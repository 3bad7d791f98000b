#include "tests/support/temp_sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/sandbox.h"
#include "platform/windows_profile.h"

namespace nestora_test {
namespace {

std::filesystem::path MakeTemporaryFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/nestora-sandbox-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return {};
    return pattern;
}

}  // namespace

TempSandbox::TempSandbox(std::string_view profilePreset) : root_(MakeTemporaryFolder()) {
    EXPECT_FALSE(root_.empty()) << "cannot create a temporary folder";
    Reopen();
    if (!context_ || profilePreset.empty())
        return;
    const auto profile = platform::FindProfilePreset(profilePreset);
    EXPECT_TRUE(profile) << "unknown profile preset " << profilePreset;
    if (profile) {
        EXPECT_TRUE(platform::ChangeProfile(*context_, *profile));
    }
}

TempSandbox::~TempSandbox() {
    context_.reset();
    std::error_code error;
    if (!root_.empty())
        std::filesystem::remove_all(root_, error);
}

void TempSandbox::Reopen() {
    context_.reset();
    context_ = platform::OpenSandbox(root_);
    EXPECT_TRUE(context_) << "cannot open the sandbox at " << root_;
}

}  // namespace nestora_test
