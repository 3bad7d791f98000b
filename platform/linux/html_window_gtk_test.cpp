// The GTK window on its own virtual X server: the page served from the resource lookup, the
// `external` bridge with its injected value, one-shot timers from any thread, and prompts
// answered from the user-interface thread and from a worker.
#include "platform/linux/html_window_gtk.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtk/gtk.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <thread>

namespace platform {
namespace {

using ::testing::ElementsAre;

// Xvfb on a display it picks itself; the display name, or "" when it cannot start.
class VirtualDisplay {
public:
    VirtualDisplay() {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            const int devNull = ::open("/dev/null", O_RDWR);
            ::dup2(devNull, STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
            const std::string fd = std::to_string(ready[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ready[1]);
        pollfd wait{ready[0], POLLIN, 0};
        char c;
        while (pid_ > 0 && ::poll(&wait, 1, 15000) > 0 && ::read(ready[0], &c, 1) == 1 && c != '\n')
            name_ += c;
        ::close(ready[0]);
        if (!name_.empty())
            name_ = ":" + name_;
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

// The page reports through `external` what it sees: the methods, the injected value, its script.
constexpr const char* kPage = R"(<html><head><script src="JS/Page.JS"></script></head>
<body><img src="images/dot.gif"></body></html>)";
constexpr const char* kScript = R"(
external.install(typeof external.stop === "function" ? 1 : 0);
external.fix(external.getusertype());
external.check(document.getElementsByTagName("script").length);
)";

GtkWidget* FindPrompt(const char* title) {
    GList* windows = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* item = windows; item; item = item->next) {
        GtkWindow* window = GTK_WINDOW(item->data);
        if (GTK_IS_DIALOG(window) && gtk_widget_get_visible(GTK_WIDGET(window)) &&
            g_strcmp0(gtk_window_get_title(window), title) == 0)
            found = GTK_WIDGET(window);
    }
    g_list_free(windows);
    return found;
}

class HtmlWindowGtkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        display_ = new VirtualDisplay();
        if (!display_->Name().empty())
            ::setenv("DISPLAY", display_->Name().c_str(), 1);
    }
    static void TearDownTestSuite() {
        delete display_;
        display_ = nullptr;
    }
    void SetUp() override {
        if (display_->Name().empty())
            GTEST_SKIP() << "Xvfb is not available";
        HtmlWindowOptions options;
        options.caption = "test";
        options.width = 200;
        options.height = 100;
        options.externalMethods = {"install", "fix", "check", "stop"};
        options.valueMethod = "getusertype";
        HtmlWindowCallbacks callbacks;
        callbacks.resource = [](std::string_view name) -> std::optional<std::string_view> {
            if (name == "index.html")
                return kPage;
            if (name == "JS/Page.JS")
                return kScript;
            return std::nullopt;
        };
        callbacks.onExternal = [this](std::string_view method, int argument) {
            calls_.push_back(std::string(method) + "(" + std::to_string(argument) + ")");
            if (calls_.size() == 4)
                window_->Quit(0);
        };
        // Once the page has loaded, the value changes under it and the page is asked again.
        callbacks.onDocumentComplete = [this] {
            window_->SetInjectedValue(5);
            EXPECT_TRUE(window_->EvaluateScript("external.stop(external.getusertype());"));
        };
        callbacks.onTimer = [this](int id) { onTimer_(id); };
        window_ = CreateHtmlWindow(options, callbacks);
        ASSERT_TRUE(window_) << "no display";
    }

    void QuitAfter(unsigned milliseconds, int exitCode) {
        g_timeout_add(
            milliseconds,
            +[](gpointer data) -> gboolean {
                auto* self = static_cast<HtmlWindowGtkTest*>(data);
                self->window_->Quit(self->limitExitCode_);
                return G_SOURCE_REMOVE;
            },
            this);
        limitExitCode_ = exitCode;
    }

    static VirtualDisplay* display_;
    std::unique_ptr<HtmlWindow> window_;
    std::vector<std::string> calls_;
    std::function<void(int)> onTimer_ = [](int) {};
    int limitExitCode_ = 0;
};

VirtualDisplay* HtmlWindowGtkTest::display_ = nullptr;

TEST_F(HtmlWindowGtkTest, PageFromResourcesCallsExternalInOrderWithTheInjectedValueKeptCurrent) {
    window_->SetInjectedValue(2);
    QuitAfter(20000, 99);
    EXPECT_EQ(window_->Run(), 0) << "the page's calls did not arrive";
    // The picture the page asks for is missing from the resources: its request fails and the
    // page goes on.
    EXPECT_THAT(calls_, ElementsAre("install(1)", "fix(2)", "check(1)", "stop(5)"));
}

TEST_F(HtmlWindowGtkTest, TimersAreOneShotAndRearmingReplacesThePendingOne) {
    std::vector<int> fired;
    onTimer_ = [&](int id) {
        fired.push_back(id);
        if (id == 3)
            window_->Quit(0);
    };
    window_->ArmTimer(1, 50);
    window_->ArmTimer(1, 100);  // replaces the first arming: fires once
    window_->ArmTimer(2, 60);
    window_->CancelTimer(2);
    std::thread worker([this] { window_->ArmTimer(3, 300); });
    worker.join();
    QuitAfter(5000, 99);
    EXPECT_EQ(window_->Run(), 0);
    EXPECT_THAT(fired, ElementsAre(1, 3));
}

TEST_F(HtmlWindowGtkTest, PromptsAnswerWorkersAndTheUserInterfaceThread) {
    std::atomic<int> workerAnswer{0};
    int uiAnswer = 0;
    std::thread worker([&] {
        workerAnswer = window_->ShowTaskDialog(
            {"from worker", "instruction", "content", {{6, "continue"}, {7, "stop"}}});
        window_->Post([&] {
            uiAnswer = window_->ShowMessageBox({"question", "from ui", true});
            window_->Quit(0);
        });
    });
    // Answer each prompt as soon as it shows: the second command button of the task dialog,
    // "Yes" of the message box.
    onTimer_ = [&](int id) {
        if (GtkWidget* task = FindPrompt("from worker")) {
            gtk_dialog_response(GTK_DIALOG(task), 7);
        } else if (GtkWidget* box = FindPrompt("from ui")) {
            gtk_dialog_response(GTK_DIALOG(box), 6);
        }
        window_->ArmTimer(id, 50);
    };
    window_->ArmTimer(1, 50);
    QuitAfter(10000, 99);
    EXPECT_EQ(window_->Run(), 0);
    worker.join();
    EXPECT_EQ(workerAnswer, 7);
    EXPECT_EQ(uiAnswer, 6);
}

TEST_F(HtmlWindowGtkTest, PromptsWaitingWhenTheWindowClosesGetTheUnavailableAnswer) {
    std::atomic<int> answer{0};
    std::thread worker([&] {
        answer = window_->ShowTaskDialog({"never answered", "i", "c", {{6, "a"}, {7, "b"}}});
    });
    onTimer_ = [&](int) { window_->Quit(0); };
    window_->ArmTimer(1, 500);
    EXPECT_EQ(window_->Run(), 0);
    worker.join();
    EXPECT_EQ(answer, -1);
    EXPECT_EQ(window_->ShowMessageBox({"late", "late", false}), 0);
}

}  // namespace
}  // namespace platform
