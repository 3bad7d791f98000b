// The real program in its window under a virtual X server, against the demo bank server on a
// fresh sandbox: the window's caption, size and fixed size, the guide once the configuration
// has arrived, a choice in the guide starting a pass through the page's own flow, the user type
// the page reads back, and a screenshot of the finished pass kept as a test artefact.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <thread>

#include "tests/e2e/window/x_display.h"
#include "tests/support/bank_server.h"
#include "tests/support/shell.h"
#include "tests/support/temp_sandbox.h"

namespace nestora_test {
namespace {

using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;

constexpr const char* kCaption = "汀岚银行网银安全检测工具";
constexpr std::chrono::seconds kPassLimit{120};

// Drives the page as a user would: waits for the guide, chooses the second-generation key
// there, and reports when the pass has finished.
constexpr const char* kGuideScript = R"(
(function waitForGuide() {
  if ($("#guide").is(":visible")) {
    nestoraTestReport("guide shown; user type " + external.getusertype());
    save(2);
    waitForPass();
  } else {
    setTimeout(waitForGuide, 100);
  }
})();
function waitForPass() {
  var verdict = $(".status_result").first().text();
  if ($(".status_check").first().text() === "检测完毕" && verdict.length > 0) {
    nestoraTestReport("pass finished; user type " + external.getusertype() +
                      "; key " + $("#keytype").text() + "; verdict " + verdict);
  } else {
    setTimeout(waitForPass, 200);
  }
}
)";

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

class WindowRunTest : public WithBankServer<> {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xwininfo", "xprop", "import"}) {
            if (!ProgramOnPath(tool))
                GTEST_SKIP() << tool << " is not installed";
        }
        ASSERT_NO_FATAL_FAILURE(WithBankServer::SetUp());
        ASSERT_TRUE(TrustDemoAuthority(*server_, sandbox_.Context()));
        display_ = std::make_unique<XDisplay>();
        if (!display_->Started())
            GTEST_SKIP() << "no virtual X server: " << display_->Error();
        output_ = sandbox_.Root() / "nestora.out";
        errors_ = sandbox_.Root() / "nestora.err";
    }

    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // Starts the window on the virtual display with the guide-driving script; the program's
    // caches and settings stay inside the sandbox folder.
    void StartProgram() {
        const std::string program = (BinDir() / "nestora").string();
        const std::string home = (sandbox_.Root() / "home").string();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("DISPLAY", display_->Name().c_str(), 1);
            ::setenv("NESTORA_ROOT", sandbox_.Root().c_str(), 1);
            ::setenv("NESTORA_BANK_HOST", server_->HttpsHost().c_str(), 1);
            ::setenv("NESTORA_TEST_SCRIPT", kGuideScript, 1);
            ::setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
            ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
            for (const char* name :
                 {"NESTORA_MODE", "NESTORA_ANSWER", "NESTORA_USER_TYPE", "WAYLAND_DISPLAY"})
                ::unsetenv(name);
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open(output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = ::open(errors_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(in, STDIN_FILENO);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(err, STDERR_FILENO);
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ASSERT_GT(pid_, 0);
    }

    // Waits until the program's output holds `text`; false when it ends or time runs out.
    bool WaitForOutput(const std::string& text) {
        const auto deadline = Clock::now() + kPassLimit;
        while (Clock::now() < deadline) {
            if (ReadFile(output_).find(text) != std::string::npos)
                return true;
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return ReadFile(output_).find(text) != std::string::npos;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return false;
    }

    std::string OnDisplay(const std::string& command) {
        return RunShell("DISPLAY=" + display_->Name() + " " + command + " 2>&1").output;
    }

    TempSandbox sandbox_;
    std::unique_ptr<XDisplay> display_;
    std::filesystem::path output_;
    std::filesystem::path errors_;
    pid_t pid_ = -1;
};

TEST_F(WindowRunTest, GuideChoiceRunsAPassShownInTheFixedSizeWindowWithTheProgramIcon) {
    StartProgram();
    const bool guideShown = WaitForOutput("page: guide shown");
    if (!guideShown && ReadFile(errors_).find("running in the console") != std::string::npos)
        GTEST_SKIP() << "the window cannot be opened here: " << ReadFile(errors_);
    ASSERT_TRUE(guideShown) << ReadFile(output_) << ReadFile(errors_);
    EXPECT_THAT(ReadFile(output_), HasSubstr("page: guide shown; user type -1"));

    const std::string window = OnDisplay("xwininfo -name " + ShellQuote(kCaption));
    EXPECT_THAT(window, HasSubstr("Width: 836"));
    EXPECT_THAT(window, HasSubstr("Height: 593"));
    const size_t id = window.find("Window id: ");
    ASSERT_NE(id, std::string::npos) << window;
    const std::string windowId = window.substr(id + 11, window.find(' ', id + 11) - id - 11);
    const std::string hints = OnDisplay("xprop -id " + windowId + " WM_NORMAL_HINTS");
    EXPECT_THAT(hints, HasSubstr("minimum size: 836 by 593"));
    EXPECT_THAT(hints, HasSubstr("maximum size: 836 by 593"));
    const std::string icons = OnDisplay("xprop -id " + windowId + " _NET_WM_ICON");
    EXPECT_THAT(icons, HasSubstr("Icon (32 x 32)")) << "the program icon, big";
    EXPECT_THAT(icons, HasSubstr("Icon (16 x 16)")) << "and small";

    ASSERT_TRUE(WaitForOutput("page: pass finished")) << ReadFile(output_) << ReadFile(errors_);
    EXPECT_THAT(ReadFile(output_),
                HasSubstr("page: pass finished; user type 2; key 飞天二代Key; verdict "));

    // One frame for the last change to reach the screen, then the screenshot.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::filesystem::path artefacts = BinDir().parent_path() / "test-artifacts" / "e2e";
    std::filesystem::create_directories(artefacts);
    const std::filesystem::path shot = artefacts / "window-pass.png";
    std::filesystem::remove(shot);
    OnDisplay("import -window root " + ShellQuote(shot.string()));
    EXPECT_EQ(ReadFile(shot).substr(0, 4), "\x89PNG") << "no screenshot at " << shot;
}

}  // namespace
}  // namespace nestora_test
