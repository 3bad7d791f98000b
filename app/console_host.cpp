#include "app/console_host.h"

#include <fstream>
#include <iostream>

#include "dialog/nestora_dlg.h"
#include "dialog/user_type.h"

namespace nestora {
namespace {

// The guide is asked again when its choice could not be stored; after this many answers the
// run gives up instead of asking for ever.
constexpr int kMostGuideAnswers = 3;

const std::vector<std::pair<int, std::string>> kGuideChoices = {
    {1, "飞天一代Key"}, {2, "飞天二代Key"}, {0, "不使用USBKey"}};

}  // namespace

ConsoleHost::ConsoleHost(ConsoleOptions options, std::ostream& out, std::istream& in,
                         bool interactive)
    : options_(std::move(options)),
      out_(out),
      in_(in),
      interactive_(interactive),
      page_([this](const std::string& line) { Print(line); }),
      actions_(options_.actions.begin(), options_.actions.end()) {}

int ConsoleHost::Run(CNestoraDlg& dialog) {
    dialog_ = &dialog;
    Print("汀岚银行网银助手（控制台）");
    dialog.OnInitDialog();
    page_.Load(dialog.getusertype());
    dialog.OnDocumentComplete();
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (ended_)
                break;
        }
        if (page_.GuideRequested())
            AnswerGuide();
        else if (IsSettled())
            OnSettled();
        else
            RunNextEvent();
    }
    WriteJson();
    std::lock_guard lock(mutex_);
    return exitCode_;
}

void ConsoleHost::RunNextEvent() {
    std::unique_lock lock(mutex_);
    while (!ended_) {
        if (!posted_.empty()) {
            std::function<void()> work = std::move(posted_.front());
            posted_.pop_front();
            lock.unlock();
            work();
            return;
        }
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (next == timers_.end() || it->second.due < next->second.due ||
                (it->second.due == next->second.due && it->second.sequence < next->second.sequence))
                next = it;
        }
        if (next != timers_.end() && next->second.due <= Clock::now()) {
            const int id = next->first;
            timers_.erase(next);
            lock.unlock();
            dialog_->OnTimer(id);
            return;
        }
        if (next == timers_.end())
            changed_.wait(lock);
        else
            changed_.wait_until(lock, next->second.due);
    }
}

// Nothing is running or waiting: no timer, no posted work, no pass, no install job.
bool ConsoleHost::IsSettled() {
    {
        std::lock_guard lock(mutex_);
        if (!timers_.empty() || !posted_.empty())
            return false;
    }
    return !dialog_->IsPassRunning() && !dialog_->IsInstallBusy();
}

void ConsoleHost::OnSettled() {
    if (actions_.empty()) {
        End(ExitCodeFromVerdict());
        return;
    }
    const auto [method, argument] = actions_.front();
    actions_.pop_front();
    Print("> " + method + "(" + std::to_string(argument) + ")");
    int result = 0;
    dialog_->InvokeExternal(method, argument, result);
    if (method == "getusertype")
        Print("  getusertype() = " + std::to_string(result));
}

std::optional<int> ConsoleHost::GuideChoice() {
    if (options_.userType)
        return options_.userType;
    if (interactive_) {
        return Ask("启动向导：请选择您使用的USBKey", kGuideChoices, -1, -1);
    }
    const int stored = dialog_->getusertype();
    if (stored != kUserTypeNone) {
        Print("启动向导：使用已保存的用户类型 " + std::to_string(stored));
        return stored;
    }
    return std::nullopt;
}

// What the page's guide does with a choice: store it, show the key rows, start a pass.
void ConsoleHost::AnswerGuide() {
    if (++guideAnswers_ > kMostGuideAnswers) {
        Print("启动向导：无法保存用户类型（注册表项不可写），检测无法开始");
        End(kExitVerdictNotOk);
        return;
    }
    const std::optional<int> choice = GuideChoice();
    if (!choice || *choice < 0) {
        Print(
            "启动向导：需要选择USBKey类型。请用 --user-type public|ft1|ft2 或环境变量 "
            "NESTORA_USER_TYPE 指定");
        End(kExitVerdictNotOk);
        return;
    }
    page_.ChooseInGuide(*choice);
    int ignored = 0;
    if (*choice == 0)
        dialog_->InvokeExternal("setusertype", 0, ignored);
    dialog_->InvokeExternal("setusertype", *choice, ignored);
    dialog_->InvokeExternal("check", 0, ignored);
}

int ConsoleHost::Ask(const std::string& question,
                     const std::vector<std::pair<int, std::string>>& choices, int unattendedYes,
                     int unattendedNo) {
    std::lock_guard lock(outputMutex_);
    out_ << question << "\n";
    for (size_t i = 0; i < choices.size(); ++i)
        out_ << "  " << i + 1 << ") " << choices[i].second << "\n";
    if (options_.answerYes && unattendedYes != -1) {
        const int answer = *options_.answerYes ? unattendedYes : unattendedNo;
        for (const auto& [id, text] : choices) {
            if (id == answer)
                out_ << "  （自动回答：" << text << "）\n";
        }
        out_.flush();
        return answer;
    }
    bool ended;
    {
        std::lock_guard endLock(mutex_);
        ended = ended_;
    }
    if (interactive_ && !ended) {
        for (;;) {
            out_ << "请输入 1-" << choices.size() << "：" << std::flush;
            std::string line;
            if (!std::getline(in_, line))
                break;
            const size_t pick = line.size() == 1 ? static_cast<size_t>(line[0] - '0') : 0;
            if (pick >= 1 && pick <= choices.size())
                return choices[pick - 1].first;
        }
    }
    // No one to ask: the cautious answer, the last choice.
    out_ << "  （无人回答：" << choices.back().second << "）\n" << std::flush;
    return choices.back().first;
}

void ConsoleHost::SetTimer(int id, unsigned milliseconds) {
    std::lock_guard lock(mutex_);
    timers_[id] = PendingTimer{Clock::now() + std::chrono::milliseconds(milliseconds), sequence_++};
    changed_.notify_all();
}

void ConsoleHost::KillTimer(int id) {
    std::lock_guard lock(mutex_);
    timers_.erase(id);
}

void ConsoleHost::PostToUi(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(work));
    changed_.notify_all();
}

win::HRESULT ConsoleHost::CallPageFunction(std::string_view name,
                                           const std::vector<PageArg>& arguments) {
    // DISP_E_UNKNOWNNAME: the page has no such function.
    constexpr win::HRESULT kUnknownName = static_cast<win::HRESULT>(0x80020006u);
    return page_.Call(name, arguments) ? win::S_OK : kUnknownName;
}

int ConsoleHost::ShowTaskDialog(const TaskDialogRequest& request) {
    std::string question = "【" + request.title + "】" + request.instruction;
    if (!request.content.empty() && request.content != request.instruction)
        question += "\n" + request.content;
    if (request.commandLinks.empty()) {
        Print(question);
        return IDOK;
    }
    return Ask(question, request.commandLinks, IDYES, IDNO);
}

int ConsoleHost::ShowMessageBox(const MessageBoxRequest& request) {
    const std::string question = "【" + request.caption + "】" + request.text;
    if (request.kind == MessageBoxKind::OkInformation) {
        Print(question);
        return IDOK;
    }
    return Ask(question, {{IDYES, "是"}, {IDNO, "否"}}, IDYES, IDNO);
}

void ConsoleHost::PostClose() {
    const bool loaded = dialog_ && dialog_->Config().loaded.load(std::memory_order_acquire);
    End(loaded ? ExitCodeFromVerdict() : kExitNoConfiguration);
}

void ConsoleHost::PostQuitMessage(int exitCode) {
    End(exitCode);
}

void ConsoleHost::ConfigurationRejected(std::string_view problem) {
    Print("配置文件无法载入：" + std::string(problem));
    End(kExitNoConfiguration);
}

void ConsoleHost::Print(const std::string& line) {
    std::lock_guard lock(outputMutex_);
    out_ << line << "\n" << std::flush;
}

void ConsoleHost::End(int exitCode) {
    std::lock_guard lock(mutex_);
    if (ended_)
        return;
    ended_ = true;
    exitCode_ = exitCode;
    changed_.notify_all();
}

int ConsoleHost::ExitCodeFromVerdict() const {
    return page_.Verdict() == 0 ? kExitVerdictOk : kExitVerdictNotOk;
}

void ConsoleHost::WriteJson() {
    if (options_.jsonFile.empty())
        return;
    std::ofstream file(options_.jsonFile, std::ios::binary | std::ios::trunc);
    file << page_.ToJson();
    if (!file)
        Print("无法写入 " + options_.jsonFile);
}

}  // namespace nestora
