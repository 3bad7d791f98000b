// A fixed-size window with a caption that shows one HTML page served from the program's own
// resources. The page's `external` object forwards its methods to the program; one method
// (getusertype) answers synchronously from a value the program keeps injected. The window owns
// the user-interface thread's loop: one-shot timers, posted work and script calls run there,
// and the timers, posts and prompts may be requested from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// The bytes of a resource by its name ("index.html", "images/sps.gif"), or nothing; the bytes
// must stay valid while the window lives.
using ResourceLookup = std::function<std::optional<std::string_view>(std::string_view name)>;

struct HtmlWindowOptions {
    std::string caption;
    int width = 0;
    int height = 0;
    std::string startPage = "index.html";  // resource name of the page shown first
    // Methods of `external` that take one integer and return nothing; the page's calls of
    // them reach `onExternal` in order.
    std::vector<std::string> externalMethods;
    // The method of `external` that returns the injected value synchronously.
    std::string valueMethod;
    // For tests: a script evaluated in the page once it has loaded; it may call
    // nestoraTestReport(text), which reaches `onTestReport`.
    std::string testScript;
};

struct HtmlWindowCallbacks {
    ResourceLookup resource;
    std::function<void(std::string_view method, int argument)> onExternal;
    std::function<void()> onDocumentComplete;
    std::function<void(int id)> onTimer;
    std::function<void(std::string_view text)> onTestReport;
};

// A task dialog: with command buttons it returns the id of the one chosen, without them it
// shows one OK button and returns 1.
struct TaskDialogPrompt {
    std::string title;
    std::string instruction;
    std::string content;
    std::vector<std::pair<int, std::string>> commandButtons;
};

// A message box with Yes and No (returns 6 or 7) or with OK and the information icon (1).
struct MessageBoxPrompt {
    std::string text;
    std::string caption;
    bool yesNo = false;
};

class HtmlWindow {
public:
    virtual ~HtmlWindow() = default;

    // Shows the window, loads the start page and runs the loop until Quit or until the user
    // closes the window (exit code 0). Returns the exit code. Call on the thread that created
    // the window.
    virtual int Run() = 0;
    // Ends the loop with this exit code. Any thread.
    virtual void Quit(int exitCode) = 0;

    // The value the page's value method returns; kept for pages loaded later. UI thread.
    virtual void SetInjectedValue(int value) = 0;
    // Evaluates a script in the page; false when no page has loaded yet. UI thread.
    virtual bool EvaluateScript(const std::string& script) = 0;

    // One-shot timers by id: `onTimer(id)` after `milliseconds`; arming a pending id replaces
    // it. Any thread.
    virtual void ArmTimer(int id, unsigned milliseconds) = 0;
    virtual void CancelTimer(int id) = 0;
    // Runs `work` on the user-interface thread after the current handler. Any thread.
    virtual void Post(std::function<void()> work) = 0;

    // The window's big (title bar, task switcher) or small icon from a PNG image; an image
    // that cannot be decoded leaves the icon as it was. UI thread.
    virtual void SetIcon(std::span<const std::uint8_t> png, bool big) = 0;

    // Modal prompts, any thread; they return when the user has answered. From a worker the
    // prompt has no owner and the window stays usable. -1 (task dialog) or 0 (message box)
    // when it cannot be shown, e.g. once the window has closed.
    virtual int ShowTaskDialog(const TaskDialogPrompt& prompt) = 0;
    virtual int ShowMessageBox(const MessageBoxPrompt& prompt) = 0;
};

// A script string literal holding `text` (UTF-8), for scripts built by the program.
std::string ScriptStringLiteral(std::string_view text);

// Creates the window on the calling thread, which becomes the user-interface thread; null when
// no display can be opened.
std::unique_ptr<HtmlWindow> CreateHtmlWindow(HtmlWindowOptions options,
                                             HtmlWindowCallbacks callbacks);

}  // namespace platform
