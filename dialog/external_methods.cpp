// The page's `external` methods that are not part of the pipeline or the repairs.
#include <memory>
#include <string>

#include "dialog/bank_host.h"
#include "dialog/nestora_dlg.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/processes.h"

namespace nestora {

// Installation and removal come with the components; until then the requests change nothing.
void CNestoraDlg::install(int) {}
void CNestoraDlg::uninstall(int) {}

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
