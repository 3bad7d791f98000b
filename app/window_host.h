// The window host: the main dialog in a real window showing the page from the program's
// embedded resources. Timers, posted work and page calls go through the platform's HTML window;
// the page's `external` calls reach the dialog, and the user type that `getusertype` answers
// synchronously is refreshed after every call and when the page has loaded.
#pragma once

#include <memory>
#include <string>

#include "dialog/dialog_host.h"
#include "dialog/hosted_dialog.h"
#include "platform/html_window.h"

namespace nestora {

class WindowHost : public DialogHost {
public:
    // Null when no window can be opened (no display). `testScript`: see HtmlWindowOptions;
    // the lines it reports are printed on standard output as "page: TEXT".
    static std::unique_ptr<WindowHost> Create(std::string testScript);

    // Starts the dialog and runs the window until it closes; returns the exit code.
    int Run(HostedDialog& dialog);

    void SetTimer(int id, unsigned milliseconds) override;
    void KillTimer(int id) override;
    void PostToUi(std::function<void()> work) override;
    win::HRESULT CallPageFunction(std::string_view name,
                                  const std::vector<PageArg>& arguments) override;
    int ShowTaskDialog(const TaskDialogRequest& request) override;
    int ShowMessageBox(const MessageBoxRequest& request) override;
    void PostClose() override;
    void PostQuitMessage(int exitCode) override;
    void SetIcon(std::span<const std::uint8_t> image, bool big) override;

private:
    WindowHost() = default;
    void OnExternal(std::string_view method, int argument);
    void OnDocumentComplete();
    void OnTimer(int id);
    void RefreshUserType();

    HostedDialog* dialog_ = nullptr;
    std::unique_ptr<platform::HtmlWindow> window_;
};

}  // namespace nestora
