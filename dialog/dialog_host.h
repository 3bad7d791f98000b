// What the main dialog needs from the window that hosts it: one-shot timers, work posted to the
// user-interface thread, calls into the page's script, the two kinds of modal prompt, and the
// end of the modal loop. A host may be a real window, the console, or a test harness; every
// host runs the dialog's handlers on one user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/win_types.h"

namespace nestora {

// One argument of a page call: a 32-bit integer or a text (UTF-8 here, UTF-16 in the page).
using PageArg = std::variant<std::int32_t, std::string>;

// Results of prompts, as the system's dialogs return them.
constexpr int IDOK = 1;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// A task dialog: title, main instruction and content. With command links, one button per
// link (id and text) and no common buttons; without, the single default OK button.
struct TaskDialogRequest {
    std::string title;
    std::string instruction;
    std::string content;
    std::vector<std::pair<int, std::string>> commandLinks;
};

// The plain message box offered where task dialogs do not exist.
enum class MessageBoxKind { YesNo, OkInformation };
struct MessageBoxRequest {
    std::string text;
    std::string caption;
    MessageBoxKind kind = MessageBoxKind::OkInformation;
};

class DialogHost {
public:
    virtual ~DialogHost() = default;

    // One-shot timers with ids 1 to 18: after `milliseconds` the host calls the dialog's
    // OnTimer(id) on the user-interface thread. Arming an id that is pending replaces it.
    // Both may be called from any thread.
    virtual void SetTimer(int id, unsigned milliseconds) = 0;
    virtual void KillTimer(int id) = 0;

    // Runs `work` on the user-interface thread after the current handler. Any thread.
    virtual void PostToUi(std::function<void()> work) = 0;

    // Calls the page's global script function `name`; user-interface thread only. Returns the
    // call's result code (a failure when the page or the function is not there).
    virtual win::HRESULT CallPageFunction(std::string_view name,
                                          const std::vector<PageArg>& arguments) = 0;

    // Modal prompts; any thread; they return when the user has answered. The task dialog
    // returns the id of the chosen link (IDOK without links), -1 when it cannot be shown;
    // the message box IDYES, IDNO or IDOK, 0 when it cannot be shown.
    virtual int ShowTaskDialog(const TaskDialogRequest& request) = 0;
    virtual int ShowMessageBox(const MessageBoxRequest& request) = 0;

    // Closes the window (a posted WM_CLOSE), which ends the modal loop. Any thread.
    virtual void PostClose() = 0;
    // Ends the program's message loop (PostQuitMessage) with this exit code. Any thread.
    virtual void PostQuitMessage(int exitCode) = 0;

    // Sets the window's big or small icon (WM_SETICON) from a PNG image; the bytes stay valid
    // for the whole run. A host without a window ignores it.
    virtual void SetIcon(std::span<const std::uint8_t> image, bool big) {
        (void)image;
        (void)big;
    }

    // The configuration arrived but could not be loaded; `problem` says why. The dialog keeps
    // waiting for it as the window does; a host that cannot wait (the console) may end here.
    // Called from the configuration thread.
    virtual void ConfigurationRejected(std::string_view problem) { (void)problem; }
};

}  // namespace nestora
