// A dialog host for tests: a virtual clock whose timers fire in order of their due time when
// the test advances it, every page call recorded with the time it was made, prompts answered
// from a script, and the end of the dialog recorded. The test's own thread is the
// user-interface thread; workers may arm timers, post work and show prompts from theirs.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dialog/dialog_host.h"
#include "dialog/hosted_dialog.h"

namespace nestora_test {

struct PageCall {
    std::uint64_t time = 0;  // virtual milliseconds
    std::string function;
    std::vector<nestora::PageArg> arguments;
};

struct FiredTimer {
    std::uint64_t time = 0;
    int id = 0;
};

// A prompt as the host was asked to show it; `taskDialog` tells which kind.
struct PromptRecord {
    bool taskDialog = false;
    nestora::TaskDialogRequest task;
    nestora::MessageBoxRequest box;
};

class TestHost : public nestora::DialogHost {
public:
    void Attach(nestora::HostedDialog& dialog) { dialog_ = &dialog; }

    // --- DialogHost ---
    void SetTimer(int id, unsigned milliseconds) override;
    void KillTimer(int id) override;
    void PostToUi(std::function<void()> work) override;
    win::HRESULT CallPageFunction(std::string_view name,
                                  const std::vector<nestora::PageArg>& arguments) override;
    int ShowTaskDialog(const nestora::TaskDialogRequest& request) override;
    int ShowMessageBox(const nestora::MessageBoxRequest& request) override;
    void PostClose() override;
    void PostQuitMessage(int exitCode) override;
    void ConfigurationRejected(std::string_view problem) override;

    // --- the virtual clock ---
    std::uint64_t Now() const;
    // Runs posted work, then fires every timer due up to now + `milliseconds` in order of due
    // time (ties in the order they were armed), running posted work after each.
    void Advance(std::uint64_t milliseconds);
    // Advances in steps of `step` until `done` holds or `limit` virtual milliseconds passed,
    // waiting a little real time between steps so that workers can progress.
    bool AdvanceUntil(const std::function<bool()>& done, std::uint64_t limit,
                      std::uint64_t step = 100);
    void RunPostedWork();
    // Waits in real time (running posted work meanwhile) until `done` holds.
    bool WaitFor(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20));
    std::optional<std::uint64_t> TimerDue(int id) const;
    std::vector<FiredTimer> FiredTimers() const;

    // --- the page ---
    std::vector<PageCall> PageCalls() const;
    // The setState calls only, as (category, item, value) with texts kept in the value.
    std::vector<PageCall> StateCalls() const;
    void ClearPageCalls();
    // Makes every later page call fail, as before the document exists.
    void SetPageFails(bool fails) { pageFails_ = fails; }

    // --- prompts ---
    // Answers given to the next prompts, in order; once used up, every prompt gets
    // `defaultAnswer` (IDOK unless changed).
    void QueueAnswers(std::vector<int> answers);
    void SetDefaultAnswer(int answer);
    std::vector<PromptRecord> Prompts() const;

    // --- the end ---
    bool Closed() const;
    std::optional<int> QuitCode() const;
    std::optional<std::string> RejectedProblem() const;

private:
    struct PendingTimer {
        std::uint64_t due;
        std::uint64_t sequence;
    };
    bool FireNextDue(std::uint64_t until);
    int NextAnswer();

    nestora::HostedDialog* dialog_ = nullptr;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t now_ = 0;
    std::uint64_t sequence_ = 0;
    std::map<int, PendingTimer> timers_;
    std::vector<FiredTimer> fired_;
    std::deque<std::function<void()>> posted_;
    std::vector<PageCall> pageCalls_;
    bool pageFails_ = false;
    std::deque<int> answers_;
    int defaultAnswer_ = nestora::IDOK;
    std::vector<PromptRecord> prompts_;
    bool closed_ = false;
    std::optional<int> quitCode_;
    std::optional<std::string> rejectedProblem_;
};

// Readable forms for test messages.
std::string Describe(const PageCall& call);
std::string Describe(const std::vector<PageCall>& calls);

}  // namespace nestora_test
