// The modal prompts, built from the string table: a question with two answers and a notice
// with one OK button. A task dialog where the system offers one, a message box otherwise.
// Free of dialog state; callable from any thread.
#pragma once

namespace nestora {

class DialogHost;

class Prompts {
public:
    Prompts(DialogHost& host, bool taskDialogSupported)
        : host_(host), taskDialogSupported_(taskDialogSupported) {}

    // IDYES (6) or IDNO (7) for the answer chosen; -1 when the task dialog cannot be shown,
    // 0 when the fallback message box cannot be shown.
    int AskChoice(int contentId, int instructionId, int yesId, int noId) const;
    // IDOK (1); -1 / 0 as above.
    int ShowNotice(int contentId, int instructionId) const;

private:
    DialogHost& host_;
    bool taskDialogSupported_;
};

}  // namespace nestora
