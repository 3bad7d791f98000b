#include "app/nestora_app.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include "app/console_host.h"
#include "app/window_host.h"
#include "dialog/nestora_dlg.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/named_mutex.h"

namespace nestora {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kUsage =
    "usage: nestora [--console] [--user-type public|ft1|ft2] [--yes|--no]\n"
    "               [--do METHOD:N]... [--json FILE]\n"
    "       nestora --validate-config FILE|URL\n";

struct StartOptions {
    bool console = false;
    ConsoleOptions console_options;
};

std::optional<int> ParseUserType(const std::string& text) {
    if (text == "public")
        return 0;
    if (text == "ft1")
        return 1;
    if (text == "ft2")
        return 2;
    return std::nullopt;
}

bool IsPageMethod(const std::string& name) {
    for (const char* method :
         {"install", "fix", "check", "stop", "setusertype", "getusertype", "uninstall", "link"}) {
        if (name == method)
            return true;
    }
    return false;
}

// METHOD:N with a known method and a decimal integer.
std::optional<std::pair<std::string, int>> ParseAction(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos || !IsPageMethod(text.substr(0, colon)))
        return std::nullopt;
    const std::string number = text.substr(colon + 1);
    char* end = nullptr;
    const long value = std::strtol(number.c_str(), &end, 10);
    if (number.empty() || *end != '\0' || value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return std::make_pair(text.substr(0, colon), static_cast<int>(value));
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The environment gives the mode and the unattended answers first, so that a copy restarted
// with /update (which gets no other argument) keeps them; the options override it and are
// written back to it for the same reason.
bool ParseOptions(const std::vector<std::string>& arguments, StartOptions& options) {
    options.console = Environment("NESTORA_MODE") == "console";
    options.console_options.userType = ParseUserType(Environment("NESTORA_USER_TYPE"));
    if (const std::string answer = Environment("NESTORA_ANSWER"); answer == "yes" || answer == "no")
        options.console_options.answerYes = answer == "yes";
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == "--console") {
            options.console = true;
            ::setenv("NESTORA_MODE", "console", 1);
        } else if (argument == "--yes" || argument == "--no") {
            options.console_options.answerYes = argument == "--yes";
            ::setenv("NESTORA_ANSWER", argument == "--yes" ? "yes" : "no", 1);
        } else if (argument == "--user-type" && hasValue && ParseUserType(arguments[i + 1])) {
            options.console_options.userType = ParseUserType(arguments[++i]);
            ::setenv("NESTORA_USER_TYPE", arguments[i].c_str(), 1);
        } else if (argument == "--do" && hasValue && ParseAction(arguments[i + 1])) {
            options.console_options.actions.push_back(*ParseAction(arguments[++i]));
        } else if (argument == "--json" && hasValue) {
            options.console_options.jsonFile = arguments[++i];
        } else {
            std::cerr << "nestora: unknown or incomplete option: " << argument << "\n" << kUsage;
            return false;
        }
    }
    return true;
}

// The single-instance mutex; a copy handed over to with /update waits for the old copy to let
// it go, until the deadline. Null with `error` ERROR_ALREADY_EXISTS while another copy runs.
std::unique_ptr<platform::NamedMutex> TakeSingleInstance(const platform::Context& context,
                                                         std::optional<Clock::time_point> until,
                                                         win::LONG& error) {
    for (;;) {
        auto mutex = platform::CreateOwnedNamedMutex(context.root, kSingleInstanceMutex, error);
        if (mutex || error != win::ERROR_ALREADY_EXISTS || !until || Clock::now() >= *until)
            return mutex;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

}  // namespace

bool RemoveOldProgramFile(platform::Context& context, Clock::time_point deadline) {
    const std::string oldFile = context.files->GetModuleFileName() + ".old";
    while (context.files->PathFileExists(oldFile) && !context.files->DeleteFile(oldFile)) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

int CNestoraApp::InitInstance(const std::vector<std::string>& arguments) {
    const bool handOver = !arguments.empty() && arguments[0] == "/update";
    StartOptions options;
    if (!ParseOptions({arguments.begin() + (handOver ? 1 : 0), arguments.end()}, options))
        return kExitNoConfiguration;

    const std::filesystem::path root = platform::DefaultSandboxRoot();
    std::unique_ptr<platform::Context> context = platform::OpenSandbox(root);
    if (!context) {
        std::cerr << "nestora: cannot open the sandbox at " << root.string() << "\n";
        return kExitNoConfiguration;
    }

    std::optional<Clock::time_point> handOverDeadline;
    if (handOver) {
        handOverDeadline = Clock::now() + kUpdateHandOverLimit;
        RemoveOldProgramFile(*context, *handOverDeadline);
    }
    // Only another running copy ends this one; a mutex that cannot be made for another reason
    // does not stop the run.
    win::LONG mutexError = 0;
    const auto singleInstance = TakeSingleInstance(*context, handOverDeadline, mutexError);
    if (!singleInstance && mutexError == win::ERROR_ALREADY_EXISTS)
        return 0;

    if (!options.console) {
        // NESTORA_TEST_SCRIPT: a script the window evaluates in the page once it has loaded,
        // for tests that drive the page (see WindowHost).
        if (auto window = WindowHost::Create(Environment("NESTORA_TEST_SCRIPT"))) {
            CNestoraDlg dialog(*window, *context);
            return window->Run(dialog);
        }
        std::cerr << "nestora: no display for the window; running in the console\n";
    }
    ConsoleHost host(options.console_options, std::cout, std::cin, ::isatty(STDIN_FILENO) == 1);
    CNestoraDlg dialog(host, *context);
    return host.Run(dialog);
}

}  // namespace nestora
