#include "components/self_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

#include "components/file_checks.h"
#include "components/test_files.h"
#include "config/check_config.h"
#include "dialog/dialog_host.h"
#include "platform/files.h"
#include "tests/support/bank_server.h"
#include "tests/support/temp_sandbox.h"

namespace components {
namespace {

namespace fs = std::filesystem;
using testing::WriteSandboxFile;

constexpr const char* kProgram = "C:\\Program Files\\Bank\\Nestora.exe";
constexpr const char* kDownload = "C:\\DownTmp\\Nestora.exe";

std::string Upper(std::string text) {
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

class SelfUpdateFiles : public ::testing::Test {
protected:
    platform::Context& Context() { return sandbox_.Context(); }
    platform::FileSystem& Files() { return *Context().files; }
    std::string Read(const std::string& path) {
        std::string bytes;
        return Files().ReadFile(path, bytes) ? bytes : "<missing>";
    }

    nestora_test::TempSandbox sandbox_;
};

TEST_F(SelfUpdateFiles, UpdateIsNeededWhenTheProgramIsOlderOrDiffers) {
    WriteSandboxFile(Context(), kProgram,
                     testing::ControlText("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}", {1, 0, 0, 4}));
    const std::string digest = FileMd5Hex(Files(), kProgram);
    ASSERT_EQ(digest.size(), 32u);
    const struct {
        const char* name;
        std::string version;
        std::string md5;
        bool needed;
    } cases[] = {
        {"neither version nor digest", "", "", false},
        {"same version", "1.0.0.4", "", false},
        {"older required version", "1.0.0.3", "", false},
        {"newer version", "1.0.0.5", "", true},
        {"same digest", "", digest, false},
        {"same digest in capitals", "", Upper(digest), false},
        {"other digest", "", std::string(32, '0'), true},
        {"same version, other digest", "1.0.0.4", std::string(32, '0'), true},
    };
    for (const auto& c : cases) {
        config::AppInfo app;
        app.version = c.version;
        app.md5 = c.md5;
        EXPECT_EQ(IsUpdateNeeded(Files(), kProgram, app), c.needed) << c.name;
    }
    config::AppInfo app;
    app.version = "1.0.0.1";
    EXPECT_TRUE(IsUpdateNeeded(Files(), "C:\\Program Files\\Bank\\Missing.exe", app));
}

TEST_F(SelfUpdateFiles, ReplacesTheProgramAndRemovesTheOldCopy) {
    WriteSandboxFile(Context(), kProgram, "old program");
    WriteSandboxFile(Context(), kDownload, "new program");
    EXPECT_TRUE(ReplaceProgramFile(Files(), kProgram, kDownload));
    EXPECT_EQ(Read(kProgram), "new program");
    EXPECT_FALSE(Files().PathFileExists(kDownload));
    EXPECT_FALSE(Files().PathFileExists(OldProgramPath(kProgram)));
    EXPECT_TRUE(Files().GetPendingMoves().empty());
}

TEST_F(SelfUpdateFiles, MissingProgramFileIsCopiedWithoutRegisteringAnything) {
    WriteSandboxFile(Context(), kDownload, "new program");
    fs::create_directories(Files().ToLinuxPath("C:\\Program Files\\Bank"));
    EXPECT_TRUE(ReplaceProgramFile(Files(), kProgram, kDownload));
    EXPECT_EQ(Read(kProgram), "new program");
    EXPECT_FALSE(Files().PathFileExists(kDownload));
    EXPECT_TRUE(Files().GetPendingMoves().empty());
}

TEST_F(SelfUpdateFiles, FailedCopyPutsTheProgramBackAndRegistersTheReplacement) {
    WriteSandboxFile(Context(), kProgram, "old program");
    EXPECT_FALSE(ReplaceProgramFile(Files(), kProgram, kDownload));  // the download is gone
    EXPECT_EQ(Read(kProgram), "old program");
    EXPECT_FALSE(Files().PathFileExists(OldProgramPath(kProgram)));
    const std::vector<platform::PendingMove> expected = {{kDownload, kProgram, false}};
    EXPECT_EQ(Files().GetPendingMoves(), expected);
}

TEST_F(SelfUpdateFiles, ProgramThatCannotBeMovedAsideStaysAndTheReplacementWaits) {
    WriteSandboxFile(Context(), kProgram, "old program");
    WriteSandboxFile(Context(), kDownload, "new program");
    // A folder in the old copy's place can be neither deleted as a file nor replaced.
    WriteSandboxFile(Context(), OldProgramPath(kProgram) + "\\inside.txt", "x");
    EXPECT_FALSE(ReplaceProgramFile(Files(), kProgram, kDownload));
    EXPECT_EQ(Read(kProgram), "old program");
    EXPECT_EQ(Read(kDownload), "new program");
    const std::vector<platform::PendingMove> expected = {{kDownload, kProgram, false}};
    EXPECT_EQ(Files().GetPendingMoves(), expected);
}

// Records the timers the update worker arms.
class TimerRecorder : public nestora::DialogHost {
public:
    void SetTimer(int id, unsigned milliseconds) override { timers.emplace_back(id, milliseconds); }
    void KillTimer(int) override {}
    void PostToUi(std::function<void()>) override {}
    win::HRESULT CallPageFunction(std::string_view, const std::vector<nestora::PageArg>&) override {
        return win::S_OK;
    }
    int ShowTaskDialog(const nestora::TaskDialogRequest&) override { return -1; }
    int ShowMessageBox(const nestora::MessageBoxRequest&) override { return 0; }
    void PostClose() override {}
    void PostQuitMessage(int) override {}

    std::vector<std::pair<int, unsigned>> timers;
};

class UpdateWorker : public nestora_test::WithBankServer<SelfUpdateFiles> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WithBankServer::SetUp());
        fs::create_directories(Files().ToLinuxPath("C:\\DownTmp"));
        // The digest of what the server's /test/bytes?n=1000 answers.
        WriteSandboxFile(Context(), "C:\\expected.bin", Bytes(1000));
        servedDigest_ = FileMd5Hex(Files(), "C:\\expected.bin");
    }
    static std::string Bytes(int count) {
        std::string bytes;
        for (int i = 0; i < count; ++i)
            bytes.push_back(static_cast<char>(i % 256));
        return bytes;
    }
    // Runs the worker with an AppInfo whose version the running test program never reaches.
    std::vector<std::pair<int, unsigned>> Run(config::AppInfo app) {
        config::CheckConfig config;
        app.localPath = kDownload;
        config.appInfo = app;
        TimerRecorder host;
        UpdateThread(Context(), config, host);
        return host.timers;
    }

    std::string servedDigest_;
};

using Timers = std::vector<std::pair<int, unsigned>>;

TEST_F(UpdateWorker, NothingHappensWithoutVersionAndDigest) {
    config::AppInfo app;
    app.remote = server_->HttpUrl("/test/bytes?n=1000");
    EXPECT_EQ(Run(app), Timers{});
    EXPECT_FALSE(Files().PathFileExists(kDownload));
}

TEST_F(UpdateWorker, CompleteDownloadArmsThePrompt) {
    config::AppInfo app;
    app.version = "99.0.0.0";
    app.remote = server_->HttpUrl("/test/bytes?n=1000");
    EXPECT_EQ(Run(app), (Timers{{kUpdatePromptTimer, 100}}));
    EXPECT_EQ(Read(kDownload), Bytes(1000));
}

TEST_F(UpdateWorker, DownloadMustHaveTheConfiguredDigestInEitherCase) {
    config::AppInfo app;
    app.remote = server_->HttpUrl("/test/bytes?n=1000");
    app.md5 = Upper(servedDigest_);
    EXPECT_EQ(Run(app), (Timers{{kUpdatePromptTimer, 100}}));
    EXPECT_EQ(Read(kDownload), Bytes(1000));

    app.md5 = std::string(32, 'a');
    EXPECT_EQ(Run(app), Timers{});
    EXPECT_FALSE(Files().PathFileExists(kDownload));
}

TEST_F(UpdateWorker, InstallerIsTakenInsteadOfTheProgramAndNotHeldToItsDigest) {
    config::AppInfo app;
    app.md5 = std::string(32, 'a');
    app.remote = server_->HttpUrl("/test/404");
    app.installer = server_->HttpUrl("/test/bytes?n=1000");
    EXPECT_EQ(Run(app), (Timers{{kUpdatePromptTimer, 100}}));
    EXPECT_EQ(Read(kDownload), Bytes(1000));
}

TEST_F(UpdateWorker, FailedDownloadShowsNothing) {
    config::AppInfo app;
    app.version = "99.0.0.0";
    app.remote = server_->HttpUrl("/test/404");
    EXPECT_EQ(Run(app), Timers{});
}

}  // namespace
}  // namespace components
