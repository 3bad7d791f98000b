// The GTK window on its own virtual X server: the page served from the resource lookup, the
// `external` bridge with its injected value, one-shot timers from any thread, prompts answered
// from the user-interface thread and from a worker, and real X input that shows the window opens
// no context menu and keeps the browser's shortcut keys from the page.
#include "platform/linux/html_window_gtk.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtk/gtk.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <map>
#include <mutex>
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

// One display for the whole program, as GTK opens it once and keeps it; DISPLAY names it.
bool SharedDisplayStarted() {
    static const VirtualDisplay display;
    static const bool started =
        !display.Name().empty() && ::setenv("DISPLAY", display.Name().c_str(), 1) == 0;
    return started;
}

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
    void SetUp() override {
        if (!SharedDisplayStarted())
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

    std::unique_ptr<HtmlWindow> window_;
    std::vector<std::string> calls_;
    std::function<void(int)> onTimer_ = [](int) {};
    int limitExitCode_ = 0;
};

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

// A text field the page reports on: every key that reaches the page (modifier keys on their
// own aside), the field's focus and value, a context menu request and each load.
constexpr const char* kInputCaption = "input test";
constexpr const char* kInputPage = R"(<html><body>
<input id="field" style="position: absolute; left: 10px; top: 10px; width: 150px"></body></html>)";
constexpr const char* kInputScript = R"(
var field = document.getElementById("field");
var modifierKeys = ["Control", "Shift", "Alt", "AltGraph", "Meta", "OS", "Super", "Hyper"];
document.addEventListener("keydown", function(event) {
  if (modifierKeys.indexOf(event.key) < 0)
    nestoraTestReport("key " + event.key);
}, true);
document.addEventListener("contextmenu", function() { nestoraTestReport("contextmenu"); }, true);
var focusCount = 0;
field.addEventListener("focus", function() { nestoraTestReport("focus " + ++focusCount); });
field.addEventListener("input", function() { nestoraTestReport("value " + field.value); });
nestoraTestReport("loaded");
)";

// Where xdotool points, in window coordinates: inside the text field, and on the bare page.
constexpr const char* kFieldPoint = "40 20";
constexpr const char* kPagePoint = "200 100";

// Shortcut keys of each kind the window keeps from the browser: reload, print, find, select
// all, back, the Super key, the function keys and the two keys that open the context menu.
constexpr const char* kShortcutKeys[] = {"F5",       "ctrl+r",  "ctrl+p", "ctrl+f",    "ctrl+a",
                                         "alt+Left", "super+a", "F12",    "shift+F10", "Menu"};

constexpr auto kStepLimit = std::chrono::seconds(30);

// Real X input from xdotool into a window on the virtual display. The input runs on a driver
// thread, which waits for the page's reports of each step; the window's loop runs on the test's
// thread, as it must.
class HtmlWindowGtkInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SharedDisplayStarted())
            GTEST_SKIP() << "Xvfb is not available";
        gchar* xdotool = g_find_program_in_path("xdotool");
        const bool haveXdotool = xdotool != nullptr;
        g_free(xdotool);
        if (!haveXdotool)
            GTEST_SKIP() << "xdotool is not available (scripts/install-deps.sh installs it)";
        HtmlWindowOptions options;
        options.caption = kInputCaption;
        options.width = 300;
        options.height = 150;
        options.testScript = kInputScript;
        HtmlWindowCallbacks callbacks;
        callbacks.resource = [](std::string_view name) -> std::optional<std::string_view> {
            if (name == "index.html")
                return kInputPage;
            return std::nullopt;
        };
        callbacks.onTestReport = [this](std::string_view text) {
            std::lock_guard lock(mutex_);
            reports_.emplace_back(text);
            reported_.notify_all();
        };
        window_ = CreateHtmlWindow(options, callbacks);
        ASSERT_TRUE(window_) << "no display";
    }

    // Runs `drive` on its own thread while the window's loop runs; its result is "" or what
    // went wrong.
    std::string RunWindowWith(std::function<std::string()> drive) {
        std::string failure;
        std::thread driver([&] {
            failure = drive();
            window_->Quit(0);
        });
        window_->Run();
        driver.join();
        return failure;
    }

    bool WaitForReport(const std::string& text) {
        std::unique_lock lock(mutex_);
        return reported_.wait_for(lock, kStepLimit, [&] {
            return std::find(reports_.begin(), reports_.end(), text) != reports_.end();
        });
    }

    // The reports that start with `prefix`, in order.
    std::vector<std::string> Reports(std::string_view prefix) {
        std::lock_guard lock(mutex_);
        std::vector<std::string> found;
        for (const std::string& report : reports_) {
            if (report.starts_with(prefix))
                found.push_back(report);
        }
        return found;
    }

    // Runs `work` on the user-interface thread and returns its result, or `fallback` when it
    // did not run in time.
    template <typename T>
    T OnUi(std::function<T()> work, T fallback) {
        auto done = std::make_shared<std::promise<T>>();
        std::future<T> result = done->get_future();
        window_->Post([work, done] { done->set_value(work()); });
        if (result.wait_for(kStepLimit) != std::future_status::ready)
            return fallback;
        return result.get();
    }

    // A round trip through the page: once it is back, the window has handled everything the
    // page sent before, a request to open a context menu included.
    bool PageRoundTrip() {
        const std::string text = "round trip " + std::to_string(++roundTrips_);
        const bool sent = OnUi<bool>(
            [this, text] {
                return window_->EvaluateScript("nestoraTestReport(" + ScriptStringLiteral(text) +
                                               ");");
            },
            false);
        return sent && WaitForReport(text);
    }

    static bool Xdotool(const std::string& arguments) {
        return std::system(("xdotool " + arguments).c_str()) == 0;
    }

    std::unique_ptr<HtmlWindow> window_;
    std::mutex mutex_;
    std::condition_variable reported_;
    std::vector<std::string> reports_;
    int roundTrips_ = 0;  // driver thread only
};

// Shown windows besides the test window (a menu is one), and whether something grabs the input.
int OtherWindowsShownOrGrabbing() {
    GList* windows = gtk_window_list_toplevels();
    int others = 0;
    for (GList* item = windows; item; item = item->next) {
        GtkWindow* window = GTK_WINDOW(item->data);
        if (gtk_widget_get_visible(GTK_WIDGET(window)) &&
            g_strcmp0(gtk_window_get_title(window), kInputCaption) != 0)
            ++others;
    }
    g_list_free(windows);
    return others + (gtk_grab_get_current() ? 1 : 0);
}

TEST_F(HtmlWindowGtkInputTest, RightClickOpensNoMenuAndShortcutKeysNeverReachThePage) {
    const std::string failure = RunWindowWith([this]() -> std::string {
        if (!WaitForReport("loaded"))
            return "the page did not load";
        // xdotool finds the window by its caption and points relative to it.
        const std::string at = std::string("search --onlyvisible --name '^") + kInputCaption +
                               "$' mousemove --window %1 ";
        if (!Xdotool(at + kFieldPoint + " click 1") || !WaitForReport("focus 1"))
            return "a click into the text field did not focus it";
        if (!Xdotool("type ab") || !WaitForReport("value ab"))
            return "typing did not reach the text field";
        if (!Xdotool(at + kPagePoint + " click 3") || !WaitForReport("contextmenu"))
            return "the right-click did not reach the page";
        if (!PageRoundTrip())
            return "the page stopped answering after the right-click";
        if (OnUi<int>(OtherWindowsShownOrGrabbing, -1) != 0)
            return "a menu opened on the right-click";
        // The right-click took the focus from the field; the page still takes a click back.
        if (!Xdotool(at + kFieldPoint + " click 1") || !WaitForReport("focus 2"))
            return "a click into the text field after the right-click did not focus it";
        for (const char* key : kShortcutKeys) {
            if (!Xdotool(std::string("key ") + key))
                return std::string("xdotool could not press ") + key;
        }
        if (!Xdotool("type c") || !WaitForReport("key c"))
            return "typing after the shortcut keys did not reach the page";
        if (!PageRoundTrip())
            return "the page stopped answering after the shortcut keys";
        if (OnUi<int>(OtherWindowsShownOrGrabbing, -1) != 0)
            return "a window opened on a shortcut key";
        return "";
    });
    ASSERT_EQ(failure, "");
    // Select all did not act either: the field kept what was typed before it.
    EXPECT_THAT(Reports("key "), ElementsAre("key a", "key b", "key c"));
    EXPECT_THAT(Reports("value "), ElementsAre("value a", "value ab", "value abc"));
    EXPECT_THAT(Reports("loaded"), ElementsAre("loaded")) << "the page was loaded again";
}

}  // namespace
}  // namespace platform
