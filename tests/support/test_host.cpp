#include "tests/support/test_host.h"

#include <thread>

namespace nestora_test {

using nestora::PageArg;

void TestHost::SetTimer(int id, unsigned milliseconds) {
    std::lock_guard lock(mutex_);
    timers_[id] = PendingTimer{now_ + milliseconds, sequence_++};
    changed_.notify_all();
}

void TestHost::KillTimer(int id) {
    std::lock_guard lock(mutex_);
    timers_.erase(id);
}

void TestHost::PostToUi(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(work));
    changed_.notify_all();
}

win::HRESULT TestHost::CallPageFunction(std::string_view name,
                                        const std::vector<PageArg>& arguments) {
    std::lock_guard lock(mutex_);
    if (pageFails_)
        return win::E_FAIL;
    pageCalls_.push_back(PageCall{now_, std::string(name), arguments});
    return win::S_OK;
}

int TestHost::NextAnswer() {
    if (answers_.empty())
        return defaultAnswer_;
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

int TestHost::ShowTaskDialog(const nestora::TaskDialogRequest& request) {
    std::lock_guard lock(mutex_);
    prompts_.push_back(PromptRecord{true, request, {}});
    changed_.notify_all();
    return NextAnswer();
}

int TestHost::ShowMessageBox(const nestora::MessageBoxRequest& request) {
    std::lock_guard lock(mutex_);
    prompts_.push_back(PromptRecord{false, {}, request});
    changed_.notify_all();
    return NextAnswer();
}

void TestHost::PostClose() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

void TestHost::PostQuitMessage(int exitCode) {
    std::lock_guard lock(mutex_);
    quitCode_ = exitCode;
    changed_.notify_all();
}

void TestHost::ConfigurationRejected(std::string_view problem) {
    std::lock_guard lock(mutex_);
    rejectedProblem_ = std::string(problem);
    changed_.notify_all();
}

std::uint64_t TestHost::Now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void TestHost::RunPostedWork() {
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (posted_.empty())
                return;
            work = std::move(posted_.front());
            posted_.pop_front();
        }
        work();
    }
}

bool TestHost::FireNextDue(std::uint64_t until) {
    int id = 0;
    {
        std::lock_guard lock(mutex_);
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (it->second.due > until)
                continue;
            if (next == timers_.end() || it->second.due < next->second.due ||
                (it->second.due == next->second.due && it->second.sequence < next->second.sequence))
                next = it;
        }
        if (next == timers_.end())
            return false;
        id = next->first;
        if (next->second.due > now_)
            now_ = next->second.due;
        timers_.erase(next);
        fired_.push_back(FiredTimer{now_, id});
    }
    if (dialog_)
        dialog_->OnTimer(id);
    return true;
}

void TestHost::Advance(std::uint64_t milliseconds) {
    RunPostedWork();
    std::uint64_t until;
    {
        std::lock_guard lock(mutex_);
        until = now_ + milliseconds;
    }
    while (FireNextDue(until))
        RunPostedWork();
    std::lock_guard lock(mutex_);
    now_ = until;
}

bool TestHost::AdvanceUntil(const std::function<bool()>& done, std::uint64_t limit,
                            std::uint64_t step) {
    for (std::uint64_t passed = 0; passed <= limit; passed += step) {
        RunPostedWork();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        Advance(step);
    }
    return done();
}

bool TestHost::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        RunPostedWork();
        if (done())
            return true;
        std::unique_lock lock(mutex_);
        if (changed_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() +
                                                             std::chrono::milliseconds(10))) ==
                std::cv_status::timeout &&
            std::chrono::steady_clock::now() >= deadline) {
            lock.unlock();
            RunPostedWork();
            return done();
        }
    }
}

std::optional<std::uint64_t> TestHost::TimerDue(int id) const {
    std::lock_guard lock(mutex_);
    const auto it = timers_.find(id);
    if (it == timers_.end())
        return std::nullopt;
    return it->second.due;
}

std::vector<FiredTimer> TestHost::FiredTimers() const {
    std::lock_guard lock(mutex_);
    return fired_;
}

std::vector<PageCall> TestHost::PageCalls() const {
    std::lock_guard lock(mutex_);
    return pageCalls_;
}

std::vector<PageCall> TestHost::StateCalls() const {
    std::vector<PageCall> states;
    for (const PageCall& call : PageCalls()) {
        if (call.function == "setState")
            states.push_back(call);
    }
    return states;
}

void TestHost::ClearPageCalls() {
    std::lock_guard lock(mutex_);
    pageCalls_.clear();
}

void TestHost::QueueAnswers(std::vector<int> answers) {
    std::lock_guard lock(mutex_);
    answers_.insert(answers_.end(), answers.begin(), answers.end());
}

void TestHost::SetDefaultAnswer(int answer) {
    std::lock_guard lock(mutex_);
    defaultAnswer_ = answer;
}

std::vector<PromptRecord> TestHost::Prompts() const {
    std::lock_guard lock(mutex_);
    return prompts_;
}

bool TestHost::Closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

std::optional<int> TestHost::QuitCode() const {
    std::lock_guard lock(mutex_);
    return quitCode_;
}

std::optional<std::string> TestHost::RejectedProblem() const {
    std::lock_guard lock(mutex_);
    return rejectedProblem_;
}

std::string Describe(const PageCall& call) {
    std::string text = "@" + std::to_string(call.time) + " " + call.function + "(";
    for (size_t i = 0; i < call.arguments.size(); ++i) {
        if (i)
            text += ", ";
        if (const auto* number = std::get_if<std::int32_t>(&call.arguments[i]))
            text += std::to_string(*number);
        else
            text += "\"" + std::get<std::string>(call.arguments[i]) + "\"";
    }
    return text + ")";
}

std::string Describe(const std::vector<PageCall>& calls) {
    std::string text;
    for (const PageCall& call : calls)
        text += Describe(call) + "\n";
    return text;
}

}  // namespace nestora_test
