// The check pass: the start once the configuration is there, the eleven steps one per timer
// tick, the wait for the service probe, the component refresh with its item reports and the
// overall verdict, and the relays of the install worker's progress and status.
#include "dialog/bank_host.h"
#include "dialog/nestora_dlg.h"
#include "platform/context.h"
#include "platform/internet.h"

namespace nestora {

// One tick of the pass: the progress and status it shows first, then its work and report.
struct CNestoraDlg::CheckStep {
    int progress;
    int status;
    void (CNestoraDlg::*work)();
};

// Timers 8 to 18, in order. Each step but 13 (which waits for the probe) and 18 (which ends
// the pass) arms the next one 100 ms later.
const CNestoraDlg::CheckStep CNestoraDlg::kCheckSteps[] = {
    {9, 1002, &CNestoraDlg::StepRegistry},
    {18, 1003, &CNestoraDlg::StepHosts},
    {27, 1004, &CNestoraDlg::StepRootCertificates},
    {36, 1005, &CNestoraDlg::StepNetwork},
    {45, 1006, &CNestoraDlg::StepDns},
    {54, 1007, &CNestoraDlg::StepService},
    {63, 1013, &CNestoraDlg::StepProxy},
    {72, 1009, &CNestoraDlg::StepHomepage},
    {81, 1010, &CNestoraDlg::StepSecurityLevel},
    {90, 1011, &CNestoraDlg::StepTrustedSites},
    {100, 1999, &CNestoraDlg::EndPass},
};

constexpr unsigned kStepDelay = 100;

Progress CNestoraDlg::StartAfterConfig() {
    if (!m_config.loaded.load(std::memory_order_acquire))
        return Progress::Pending;
    m_installQueue.ClearFlags();
    m_workers.Start([this] { m_operations.updateThread(m_config, m_host); });
    m_ui.ShowGuide();
    return Progress::Done;
}

void CNestoraDlg::check(int) {
    if (GetUserType() == kUserTypeNone) {
        m_ui.ShowGuide();
        return;
    }
    // A second request while a pass runs is ignored: restarting it would run steps twice.
    if (m_bPassRunning)
        return;
    m_bPassRunning = true;
    m_ui.SetProgress(0, 0);
    m_ui.SetStatus(1000);
    m_host.SetTimer(kTimerFirstStep, kStepDelay);
}

void CNestoraDlg::RunCheckStep(int timerId) {
    const CheckStep& step = kCheckSteps[timerId - kTimerFirstStep];
    m_ui.SetProgress(0, step.progress);
    if (timerId != kTimerPassEnd)
        m_ui.SetStatus(step.status);
    (this->*step.work)();
    if (timerId != kTimerServiceStep && timerId != kTimerPassEnd)
        m_host.SetTimer(timerId + 1, kStepDelay);
}

void CNestoraDlg::StepRegistry() {
    m_operations.checkRegistry(m_config, false);
    ReportVerdictItem(2, m_config.results.registryOk);
}

void CNestoraDlg::StepHosts() {
    m_operations.checkHosts(m_config, false);
    ReportVerdictItem(3, m_config.results.hostsOk);
}

void CNestoraDlg::StepRootCertificates() {
    m_config.results.rootCertsOk = m_operations.checkRootCertificates() >= 0;
    ReportVerdictItem(4, m_config.results.rootCertsOk);
}

void CNestoraDlg::StepNetwork() {
    m_config.results.networkOk = m_context.internet && m_context.internet->GetConnectedState();
    ReportVerdictItem(5, m_config.results.networkOk);
}

void CNestoraDlg::StepDns() {
    config::CheckResults& results = m_config.results;
    if (results.networkOk)
        m_operations.checkDns(m_config);
    else
        results.dnsOk = false;
    if (results.dnsOk && !results.dnsDisplayName.empty())
        m_ui.SetPageStateText(1, 6, results.dnsDisplayName);
    else
        ReportVerdictItem(6, results.dnsOk);
}

void CNestoraDlg::StepService() {
    config::CheckResults& results = m_config.results;
    if (results.networkOk) {
        results.serviceDone.store(false, std::memory_order_release);
        m_workers.Start([this] { m_operations.serviceCheckThread(m_config); });
        if (TakeServiceResult() == Progress::Pending)
            m_host.SetTimer(kTimerWaitForService, 500);
    } else {
        results.serviceOk.store(false, std::memory_order_release);
        ReportVerdictItem(7, false);
        m_bServiceStepDone = true;
    }
    if (m_bServiceStepDone) {
        m_host.SetTimer(kTimerServiceStep + 1, kStepDelay);
        m_bServiceStepDone = false;
    }
}

Progress CNestoraDlg::TakeServiceResult() {
    const config::CheckResults& results = m_config.results;
    if (!results.serviceDone.load(std::memory_order_acquire))
        return Progress::Pending;
    ReportVerdictItem(7, results.serviceOk.load(std::memory_order_acquire));
    m_host.SetTimer(kTimerServiceStep + 1, kStepDelay);
    return Progress::Done;
}

void CNestoraDlg::StepHomepage() {
    m_operations.checkHomepageLock(m_config, false);
    ReportVerdictItem(9, m_config.results.homepageOk);
}

void CNestoraDlg::StepSecurityLevel() {
    m_operations.checkSecurityLevel(m_config, false);
    ReportVerdictItem(10, m_config.results.securityLevelOk);
}

void CNestoraDlg::StepTrustedSites() {
    m_operations.checkTrustedSites(m_config, false);
    ReportVerdictItem(11, m_config.results.trustedSitesOk);
}

void CNestoraDlg::EndPass() {
    m_host.SetTimer(kTimerRefresh, kStepDelay);
    m_ui.SetStatus(1999);
    m_bPassRunning = false;
}

void CNestoraDlg::RefreshComponents() {
    m_operations.detectComponents(m_config.items);
    m_operations.detectComponents(m_config.components);
    for (size_t n = 1; n <= m_config.items.size(); ++n)
        ReportItem(static_cast<int>(n));
    m_operations.reportUsbKeys(m_config, m_ui);
    ReportVerdict();
}

bool CNestoraDlg::IsItemCounted(const config::ComponentItem& item, int itemNumber) const {
    return item.type != "driver" || itemNumber == GetUserType() + 2;
}

// One request of the configuration address on the bank's server, with a session of its own:
// the server answers when the body is not empty. Always the built-in address, never the
// ConfigUrl override.
bool CNestoraDlg::ProbeBankServer() {
    return !m_operations.httpGet(m_context, DefaultConfigUrl()).empty();
}

void CNestoraDlg::ReportItem(int itemNumber) {
    if (itemNumber < 1 || static_cast<size_t>(itemNumber) > m_config.items.size())
        return;
    const config::ComponentItem& item = m_config.items[itemNumber - 1];
    if (!IsItemCounted(item, itemNumber))
        return;
    if (!item.tips.empty()) {
        m_ui.CallPageFunction("setState", {2, itemNumber, item.status, item.tips, item.name});
        return;
    }
    std::int32_t value = item.status;
    // Without the server there is nothing to install from: 2 becomes 3 and 5 becomes 6.
    if (value != 0 && !ProbeBankServer())
        value = item.status + 1;
    m_ui.SetPageState(2, itemNumber, value);
}

void CNestoraDlg::ReportVerdict() {
    const config::CheckResults& r = m_config.results;
    const bool allChecksPassed = r.homepageOk && r.registryOk && r.hostsOk && r.networkOk &&
                                 r.dnsOk && r.serviceOk.load(std::memory_order_acquire) &&
                                 r.securityLevelOk && r.trustedSitesOk && r.rootCertsOk;
    std::int32_t verdict = allChecksPassed ? 0 : 1;
    for (size_t i = 0; i < m_config.items.size(); ++i) {
        const config::ComponentItem& item = m_config.items[i];
        if (item.status < 0)  // a USB key that is not plugged in
            continue;
        if (item.status != 0 && IsItemCounted(item, static_cast<int>(i) + 1)) {
            verdict |= 2;
            break;
        }
    }
    m_ui.SetPageState(0, 3, verdict);
}

void CNestoraDlg::ShowDownloadProgress() {
    const std::uint32_t percent = m_nDownloadPercent.load(std::memory_order_acquire);
    if (percent > 100)
        return;
    if (m_bDownloading.load(std::memory_order_acquire)) {
        m_ui.SetProgress(1, static_cast<std::int32_t>(percent));
        if (percent < 100)
            m_host.SetTimer(kTimerDownloadProgress, 500);
    } else {
        m_ui.SetProgress(1, 0);
    }
}

void CNestoraDlg::ShowInstallStatus() {
    m_ui.SetStatus(m_nInstallStatus.load(std::memory_order_acquire));
}

}  // namespace nestora
