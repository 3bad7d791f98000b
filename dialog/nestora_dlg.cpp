#include "dialog/nestora_dlg.h"

#include <array>

#include "dialog/root_certificate_prompt.h"
#include "platform/certificate_store.h"
#include "platform/context.h"
#include "platform/internet.h"
#include "platform/text.h"
#include "platform/windows_profile.h"

namespace nestora {
namespace {

bool TaskDialogsSupported(const platform::Context& context) {
    return context.profile && context.profile->TaskDialogSupported();
}

}  // namespace

CNestoraDlg::CNestoraDlg(DialogHost& host, platform::Context& context)
    : CNestoraDlg(host, context, DefaultCheckOperations(context)) {}

CNestoraDlg::CNestoraDlg(DialogHost& host, platform::Context& context, CheckOperations operations)
    : m_host(host),
      m_context(context),
      m_operations(std::move(operations)),
      m_ui(host),
      m_prompts(host, TaskDialogsSupported(context)),
      m_userKey(*context.registry),
      m_hIcon(res::LoadIconResource(res::IDR_MAINFRAME)),
      m_installQueue(context, *this) {}

CNestoraDlg::~CNestoraDlg() {
    m_workers.WaitForAll();
    if (m_context.certificates)
        m_context.certificates->SetRootAdditionPrompt(nullptr);
}

void CNestoraDlg::OnInitDialog() {
    if (m_hIcon) {
        m_host.SetIcon(m_hIcon->big, true);
        m_host.SetIcon(m_hIcon->small, false);
    }
    if (m_context.certificates)
        m_context.certificates->SetRootAdditionPrompt(MakeRootAdditionPrompt(m_host));
    m_userKey.Open();
    m_bServiceStepDone = false;
    m_workers.Start([this] { ConfigFetchThread(); });
}

void CNestoraDlg::OnDocumentComplete() {
    m_ui.SetPageStateText(1, 1, m_operations.osVersionText(m_context));
    m_ui.SetPageStateText(1, 8, m_operations.browserVersionText(m_context));
    const bool connected = m_context.internet && m_context.internet->GetConnectedState();
    m_config.results.networkOk = connected;
    m_ui.SetPageState(1, 5, connected ? 0 : 1);
    if (StartAfterConfig() == Progress::Pending)
        m_host.SetTimer(kTimerWaitForConfig, 500);
}

void CNestoraDlg::OnTimer(int id) {
    m_host.KillTimer(id);
    switch (id) {
        case kTimerWaitForConfig:
            if (StartAfterConfig() == Progress::Pending)
                m_host.SetTimer(kTimerWaitForConfig, 300);
            break;
        case kTimerStartPass:
            check(0);
            break;
        case kTimerDownloadProgress:
            ShowDownloadProgress();
            break;
        case kTimerRefresh:
            RefreshComponents();
            break;
        case kTimerUpdatePrompt:
            OfferUpdate();
            break;
        case kTimerInstallStatus:
            ShowInstallStatus();
            break;
        case kTimerWaitForService:
            if (TakeServiceResult() == Progress::Pending)
                m_host.SetTimer(kTimerWaitForService, 300);
            break;
        default:
            if (id >= kTimerFirstStep && id <= kTimerPassEnd)
                RunCheckStep(id);
            break;
    }
}

bool CNestoraDlg::InvokeExternal(std::string_view method, int argument, int& result) {
    using Method = void (CNestoraDlg::*)(int);
    static constexpr std::array<std::pair<std::string_view, Method>, 7> kMethods{{
        {"install", &CNestoraDlg::install},
        {"fix", &CNestoraDlg::fix},
        {"check", &CNestoraDlg::check},
        {"stop", &CNestoraDlg::stop},
        {"setusertype", &CNestoraDlg::setusertype},
        {"uninstall", &CNestoraDlg::uninstall},
        {"link", &CNestoraDlg::link},
    }};
    result = 0;
    // Script names reach a dispatch interface without regard to case.
    if (platform::EqualsIgnoreCase(method, "getusertype")) {
        result = getusertype();
        return true;
    }
    for (const auto& [name, call] : kMethods) {
        if (platform::EqualsIgnoreCase(method, name)) {
            (this->*call)(argument);
            return true;
        }
    }
    return false;
}

}  // namespace nestora
