#include "tests/support/temp_sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/sandbox.h"
#include "platform/windows_profile.h"
#include "tests/support/shell.h"

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

int TempSandbox::RunNestoraWin(const std::vector<std::string>& args, std::string* output) const {
    const std::filesystem::path binDir = BinDir();
    if (binDir.empty())
        return -1;
    std::string command = "NESTORA_ROOT=" + ShellQuote(root_.string()) + " " +
                          ShellQuote((binDir / "nestora-win").string());
    for (const std::string& arg : args)
        command += " " + ShellQuote(arg);
    const RunResult result = RunShell(command + " 2>&1");
    if (output)
        *output = result.output;
    return result.exitCode;
}

}  // namespace nestora_test
