#include "tests/support/temp_sandbox.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
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

// The text between single quotes for the shell.
std::string ShellQuote(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

// NESTORA_BIN_DIR, else the folder of the running test, where the build puts every program.
std::filesystem::path BinDir() {
    if (const char* binDir = std::getenv("NESTORA_BIN_DIR"); binDir && *binDir)
        return binDir;
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
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
    command += " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    std::string text;
    char buffer[4096];
    for (size_t read; (read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        text.append(buffer, read);
    }
    const int status = ::pclose(pipe);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace nestora_test
