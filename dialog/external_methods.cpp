// The page's `external` methods that are not part of the pipeline or the repairs.
#include <memory>
#include <string>

#include "components/install_item.h"
#include "dialog/bank_host.h"
#include "dialog/nestora_dlg.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/processes.h"

namespace nestora {

// Re-enables a switched-off add-on and queues the item's installation (every item for 0);
// returns at once, the worker reports through timers 3, 4 and 6.
void CNestoraDlg::install(int item) {
    if (!m_context.registry)
        return;
    components::InstallItem(m_installQueue, m_config.items, item, GetUserType(),
                            *m_context.registry);
}

// Runs the item's uninstaller to its end, then a check pass.
void CNestoraDlg::uninstall(int item) {
    components::UninstallItem(m_context, m_config.items, item, *this);
}

int CNestoraDlg::AskChoice(const components::ChoicePrompt& prompt) {
    return m_prompts.AskChoice(prompt.content, prompt.instruction, prompt.yes, prompt.no);
}

void CNestoraDlg::ShowRemovalWarning() {
    m_host.ShowMessageBox(MessageBoxRequest{std::string(components::kRemovalWarningText),
                                            std::string(components::kRemovalWarningCaption),
                                            MessageBoxKind::OkInformation});
}

void CNestoraDlg::stop(int) {}

void CNestoraDlg::setusertype(int userType) {
    SetUserType(userType);
}

int CNestoraDlg::getusertype() {
    return GetUserType();
}

void CNestoraDlg::link(int site) {
    if (!m_context.files || !m_context.processes)
        return;
    const std::string programFiles = m_context.files->ExpandEnvironment("%ProgramFiles%");
    if (programFiles.empty() || programFiles.find('%') != std::string::npos)
        return;
    const std::string browser = programFiles + "\\Internet Explorer\\iexplore.exe";
    const std::string address = site == 1 ? CorporateBankUrl() : PersonalBankUrl();
    std::unique_ptr<platform::Process> process;
    m_context.processes->ShellExecute(browser, address, process);
}

}  // namespace nestora
