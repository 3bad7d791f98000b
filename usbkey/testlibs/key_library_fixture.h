// Test fixture for the USB-key adapters: a temporary sandbox whose program file sits in one of
// the folders of stand-in libraries, and the settings file those libraries read.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/context.h"
#include "platform/files.h"
#include "tests/support/temp_sandbox.h"

namespace usbkey_test {

class KeyLibraryFixture : public ::testing::Test {
protected:
    void SetUp() override {
        settingsPath_ = sandbox_.Root() / "key-settings.json";
        logPath_ = sandbox_.Root() / "key-calls.log";
        setenv("NESTORA_KEY_LIBRARY_SETTINGS", settingsPath_.c_str(), 1);
        WriteSettings(nlohmann::json::object());
    }
    void TearDown() override { unsetenv("NESTORA_KEY_LIBRARY_SETTINGS"); }

    const platform::FileSystem& Files() { return *sandbox_.Context().files; }

    // The program file's Windows path in the folder of the stand-ins ("full", "version-only")
    // or in a folder without libraries ("none").
    std::string ProgramPath(const std::string& variant = "full") {
        std::filesystem::path folder = std::filesystem::path(NESTORA_USBKEY_TESTLIBS_DIR) / variant;
        if (variant == "none")
            folder = sandbox_.Root();
        return Files().ToWindowsPath(folder / "Nestora.exe");
    }

    // `brands` maps "haitai", "jianshi", "feitian" to their settings; calls are logged.
    void WriteSettings(nlohmann::json brands) {
        brands["log"] = logPath_.string();
        std::ofstream(settingsPath_) << brands.dump();
    }

    std::vector<std::string> LoggedCalls() const {
        std::vector<std::string> calls;
        std::ifstream log(logPath_);
        for (std::string line; std::getline(log, line);)
            calls.push_back(line);
        return calls;
    }

    nestora_test::TempSandbox sandbox_;

private:
    std::filesystem::path settingsPath_;
    std::filesystem::path logPath_;
};

}  // namespace usbkey_test
