// Timer 5: the self-update has downloaded a newer program; ask (or, for a mandatory update,
// tell) the user, put it in place and restart with /update.
#include <memory>
#include <string>

#include "dialog/nestora_dlg.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "res/string_table.h"

namespace nestora {

void CNestoraDlg::OfferUpdate() {
    const config::AppInfo& update = m_config.appInfo;
    if (update.imperative == "1") {
        if (m_prompts.ShowNotice(res::IDS_UPDATE_READY, res::IDS_UPDATE_NOW) == 0)
            return;
    } else if (m_prompts.AskChoice(res::IDS_UPDATE_READY, res::IDS_UPDATE_OFFERED,
                                   res::IDS_UPDATE_NOW, res::IDS_UPDATE_NEXT_START) != IDYES) {
        m_host.SetTimer(kTimerStartPass, 100);
        return;
    }
    ApplyUpdate();
}

// A configured installer is run, whether the update is mandatory or offered: the downloaded
// file is then an installer, which must not take the program file's place.
void CNestoraDlg::ApplyUpdate() {
    const config::AppInfo& update = m_config.appInfo;
    if (!update.installer.empty()) {
        RunUpdateInstaller();
        return;
    }
    if (!m_context.files)
        return;
    // A program file that could not be replaced is not restarted: the restart would only
    // start the old version again.
    if (m_operations.replaceProgramFile(m_context.files->GetModuleFileName(), update.localPath))
        RestartWithUpdate();
}

// Runs the downloaded installer, waits for it without a limit, and ends the program.
void CNestoraDlg::RunUpdateInstaller() {
    if (m_context.processes) {
        std::unique_ptr<platform::Process> installer;
        if (m_context.processes->ShellExecute(m_config.appInfo.localPath, "", installer) ==
                win::ERROR_SUCCESS &&
            installer) {
            installer->Wait(win::INFINITE);
            installer->ExitCode();
        }
    }
    m_host.PostQuitMessage(0);
}

void CNestoraDlg::RestartWithUpdate() {
    if (!m_context.processes)
        return;
    const std::string commandLine = "\"" + m_context.files->GetModuleFileName() + "\" /update";
    std::unique_ptr<platform::Process> process;
    if (m_context.processes->CreateProcess(commandLine, process) == win::ERROR_SUCCESS)
        m_host.PostQuitMessage(0);
}

}  // namespace nestora
