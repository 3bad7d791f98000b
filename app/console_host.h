// The console host: the main dialog without a window. The page's state is kept by a model of
// its elements and printed as it changes; prompts and the guide's question are asked on the
// terminal or answered from the options; page methods given with --do run one after another
// once the previous work has settled, and the run ends when everything has settled.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <iosfwd>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/console_page.h"
#include "dialog/dialog_host.h"

namespace nestora {

class CNestoraDlg;

struct ConsoleOptions {
    std::optional<int> userType;                       // the guide's answer: 0 public, 1 ft1, 2 ft2
    std::optional<bool> answerYes;                     // unattended answer to every question
    std::vector<std::pair<std::string, int>> actions;  // page methods to call, in order
    std::string jsonFile;  // where to write the final page state; "" for nowhere
};

// Exit codes of a console run.
constexpr int kExitVerdictOk = 0;
constexpr int kExitVerdictNotOk = 1;
constexpr int kExitNoConfiguration = 2;

class ConsoleHost : public DialogHost {
public:
    // `interactive`: questions may be asked on `in`.
    ConsoleHost(ConsoleOptions options, std::ostream& out, std::istream& in, bool interactive);

    // Runs the dialog until the work has settled (or the dialog ends) and returns the exit
    // code: 0 when the last verdict was 0, 1 when it was not (or none came), 2 when the
    // configuration could not be fetched or loaded.
    int Run(CNestoraDlg& dialog);

    void SetTimer(int id, unsigned milliseconds) override;
    void KillTimer(int id) override;
    void PostToUi(std::function<void()> work) override;
    win::HRESULT CallPageFunction(std::string_view name,
                                  const std::vector<PageArg>& arguments) override;
    int ShowTaskDialog(const TaskDialogRequest& request) override;
    int ShowMessageBox(const MessageBoxRequest& request) override;
    void PostClose() override;
    void PostQuitMessage(int exitCode) override;
    void ConfigurationRejected(std::string_view problem) override;

private:
    using Clock = std::chrono::steady_clock;
    struct PendingTimer {
        Clock::time_point due;
        std::uint64_t sequence;
    };

    void Print(const std::string& line);
    void RunNextEvent();
    bool IsSettled();
    void OnSettled();
    void AnswerGuide();
    std::optional<int> GuideChoice();
    int Ask(const std::string& question, const std::vector<std::pair<int, std::string>>& choices,
            int unattendedYes, int unattendedNo);
    void End(int exitCode);
    int ExitCodeFromVerdict() const;
    void WriteJson();

    ConsoleOptions options_;
    std::ostream& out_;
    std::istream& in_;
    bool interactive_;
    CNestoraDlg* dialog_ = nullptr;
    ConsolePage page_;
    std::deque<std::pair<std::string, int>> actions_;
    int guideAnswers_ = 0;

    std::mutex mutex_;  // the event queue and the end
    std::condition_variable changed_;
    std::map<int, PendingTimer> timers_;
    std::uint64_t sequence_ = 0;
    std::deque<std::function<void()>> posted_;
    bool ended_ = false;
    int exitCode_ = kExitVerdictNotOk;

    std::mutex outputMutex_;  // lines and questions from any thread
};

}  // namespace nestora
