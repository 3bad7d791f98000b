#include "app/window_host.h"

#include <iostream>

#include "res/page_resources.h"
#include "res/version.h"

namespace nestora {
namespace {

// The page's `external` methods that take one integer and return nothing; getusertype is the
// one that answers.
const std::vector<std::string> kExternalMethods = {"install",     "fix",       "check", "stop",
                                                   "setusertype", "uninstall", "link"};
constexpr const char* kValueMethod = "getusertype";

bool IsScriptName(std::string_view name) {
    if (name.empty() || (name.front() >= '0' && name.front() <= '9'))
        return false;
    for (const char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '_' && c != '$')
            return false;
    }
    return true;
}

std::string ScriptArgument(const PageArg& argument) {
    if (const auto* number = std::get_if<std::int32_t>(&argument))
        return std::to_string(*number);
    return platform::ScriptStringLiteral(std::get<std::string>(argument));
}

}  // namespace

std::unique_ptr<WindowHost> WindowHost::Create(std::string testScript) {
    std::unique_ptr<WindowHost> host(new WindowHost());
    WindowHost* self = host.get();
    platform::HtmlWindowOptions options;
    options.caption = std::string(res::kDialogCaption);
    options.width = res::kDialogWidth;
    options.height = res::kDialogHeight;
    options.externalMethods = kExternalMethods;
    options.valueMethod = kValueMethod;
    options.testScript = std::move(testScript);
    platform::HtmlWindowCallbacks callbacks;
    callbacks.resource = FindPageResource;
    callbacks.onExternal = [self](std::string_view method, int argument) {
        self->OnExternal(method, argument);
    };
    callbacks.onDocumentComplete = [self] { self->OnDocumentComplete(); };
    callbacks.onTimer = [self](int id) { self->OnTimer(id); };
    callbacks.onTestReport = [](std::string_view text) {
        std::cout << "page: " << text << std::endl;
    };
    host->window_ = platform::CreateHtmlWindow(std::move(options), std::move(callbacks));
    if (!host->window_)
        return nullptr;
    return host;
}

int WindowHost::Run(HostedDialog& dialog) {
    dialog_ = &dialog;
    dialog.OnInitDialog();
    RefreshUserType();
    const int exitCode = window_->Run();
    dialog_ = nullptr;
    return exitCode;
}

void WindowHost::OnExternal(std::string_view method, int argument) {
    if (!dialog_)
        return;
    int result = 0;
    dialog_->InvokeExternal(method, argument, result);
    RefreshUserType();
}

void WindowHost::OnDocumentComplete() {
    if (!dialog_)
        return;
    RefreshUserType();
    dialog_->OnDocumentComplete();
}

void WindowHost::OnTimer(int id) {
    if (dialog_)
        dialog_->OnTimer(id);
}

void WindowHost::RefreshUserType() {
    int userType = -1;
    if (dialog_ && dialog_->InvokeExternal(kValueMethod, 0, userType))
        window_->SetInjectedValue(userType);
}

void WindowHost::SetTimer(int id, unsigned milliseconds) {
    window_->ArmTimer(id, milliseconds);
}

void WindowHost::KillTimer(int id) {
    window_->CancelTimer(id);
}

void WindowHost::PostToUi(std::function<void()> work) {
    window_->Post(std::move(work));
}

win::HRESULT WindowHost::CallPageFunction(std::string_view name,
                                          const std::vector<PageArg>& arguments) {
    if (!IsScriptName(name))
        return win::E_FAIL;
    std::string call = std::string(name) + "(";
    for (size_t i = 0; i < arguments.size(); ++i)
        call += (i ? ", " : "") + ScriptArgument(arguments[i]);
    const std::string script =
        "if (typeof " + std::string(name) + " === \"function\") " + call + ");";
    return window_->EvaluateScript(script) ? win::S_OK : win::E_FAIL;
}

int WindowHost::ShowTaskDialog(const TaskDialogRequest& request) {
    return window_->ShowTaskDialog(
        {request.title, request.instruction, request.content, request.commandLinks});
}

int WindowHost::ShowMessageBox(const MessageBoxRequest& request) {
    return window_->ShowMessageBox(
        {request.text, request.caption, request.kind == MessageBoxKind::YesNo});
}

void WindowHost::PostClose() {
    window_->Quit(0);
}

void WindowHost::SetIcon(std::span<const std::uint8_t> image, bool big) {
    window_->SetIcon(image, big);
}

void WindowHost::PostQuitMessage(int exitCode) {
    window_->Quit(exitCode);
}

}  // namespace nestora
