// A sandbox in a fresh temporary folder, opened with the Linux services and removed with
// everything in it when the object goes.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/context.h"

namespace nestora_test {

class TempSandbox {
public:
    // Opens the sandbox with the default profile, or with the named preset.
    explicit TempSandbox(std::string_view profilePreset = {});
    ~TempSandbox();
    TempSandbox(const TempSandbox&) = delete;
    TempSandbox& operator=(const TempSandbox&) = delete;

    const std::filesystem::path& Root() const { return root_; }
    platform::Context& Context() { return *context_; }
    // Closes the context (e.g. before another process uses the sandbox) and opens it again.
    void Reopen();

    // Runs `nestora-win ARGS...` (from NESTORA_BIN_DIR or beside the test program) on this sandbox
    // as a child process; returns its exit code (-1 when it could not run) with its output and
    // errors in `output`.
    int RunNestoraWin(const std::vector<std::string>& args, std::string* output = nullptr) const;

private:
    std::filesystem::path root_;
    std::unique_ptr<platform::Context> context_;
};

}  // namespace nestora_test
