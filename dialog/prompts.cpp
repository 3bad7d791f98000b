#include "dialog/prompts.h"

#include <string>

#include "dialog/dialog_host.h"
#include "res/string_table.h"

namespace nestora {
namespace {

std::string Text(int id) {
    return std::string(res::LoadString(id));
}

TaskDialogRequest MakeTaskDialog(int contentId, int instructionId) {
    TaskDialogRequest request;
    request.title = Text(res::IDS_APP_TITLE);
    request.instruction = Text(instructionId);
    request.content = Text(contentId);
    return request;
}

MessageBoxRequest MakeMessageBox(int contentId, MessageBoxKind kind) {
    return MessageBoxRequest{Text(contentId), Text(res::IDS_APP_TITLE), kind};
}

}  // namespace

int Prompts::AskChoice(int contentId, int instructionId, int yesId, int noId) const {
    if (!taskDialogSupported_)
        return host_.ShowMessageBox(MakeMessageBox(contentId, MessageBoxKind::YesNo));
    TaskDialogRequest request = MakeTaskDialog(contentId, instructionId);
    request.commandLinks = {{IDYES, Text(yesId)}, {IDNO, Text(noId)}};
    return host_.ShowTaskDialog(request);
}

int Prompts::ShowNotice(int contentId, int instructionId) const {
    if (!taskDialogSupported_)
        return host_.ShowMessageBox(MakeMessageBox(contentId, MessageBoxKind::OkInformation));
    return host_.ShowTaskDialog(MakeTaskDialog(contentId, instructionId));
}

}  // namespace nestora
