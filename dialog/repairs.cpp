// fix(n): the repairs of single items, the one-key repair, the re-enabling of disabled browser
// add-ons and the clearing of the SSL cache. Each repair runs its check with fix true, then
// with fix false, and the page shows the second verdict.
#include "dialog/nestora_dlg.h"
#include "res/string_table.h"

namespace nestora {

void CNestoraDlg::fix(int repair) {
    if (repair == 0) {
        RepairEverything();
        return;
    }
    RunRepair(repair);
    if (m_bReportAfterRepair) {
        m_ui.SetStatus(2999);
        ReportVerdict();
    }
}

void CNestoraDlg::RunRepair(int repair) {
    config::CheckResults& results = m_config.results;
    const auto repairAndCheck = [&](int status, auto& operation, int item, const bool& flag) {
        m_ui.SetStatus(status);
        operation(m_config, true);
        operation(m_config, false);
        ReportVerdictItem(item, flag);
    };
    switch (repair) {
        case 2:
            repairAndCheck(2002, m_operations.checkRegistry, 2, results.registryOk);
            break;
        case 3:
            repairAndCheck(2003, m_operations.checkHosts, 3, results.hostsOk);
            break;
        case 4:
            m_ui.SetStatus(2004);
            if (m_operations.checkRootCertificates() < 0)
                m_operations.installRootCertificates();
            results.rootCertsOk = m_operations.checkRootCertificates() >= 0;
            ReportVerdictItem(4, results.rootCertsOk);
            break;
        case 9:
            repairAndCheck(2009, m_operations.checkHomepageLock, 9, results.homepageOk);
            break;
        case 10:
            repairAndCheck(2010, m_operations.checkSecurityLevel, 10, results.securityLevelOk);
            break;
        case 11:
            repairAndCheck(2011, m_operations.checkTrustedSites, 11, results.trustedSitesOk);
            break;
        case 12:
            m_ui.SetStatus(2012);
            if (m_operations.clearSslCache())
                m_prompts.ShowNotice(res::IDS_SSL_CACHE_CLEARED, res::IDS_SSL_CACHE_CLEARED);
            break;
        case 15:
            ReenableAddOns();
            break;
        default:
            break;
    }
}

// Repairs what the last pass (or an earlier repair) left abnormal, then re-enables add-ons and
// clears the SSL cache; the page gets 2999 and the verdict once, at the end.
void CNestoraDlg::RepairEverything() {
    const config::CheckResults& results = m_config.results;
    const std::pair<const bool*, int> repairs[] = {
        {&results.registryOk, 2}, {&results.hostsOk, 3},          {&results.rootCertsOk, 4},
        {&results.homepageOk, 9}, {&results.securityLevelOk, 10}, {&results.trustedSitesOk, 11},
    };
    m_bReportAfterRepair = false;
    for (const auto& [flag, repair] : repairs) {
        if (!*flag)
            fix(repair);
    }
    fix(15);
    m_operations.clearSslCache();
    m_bReportAfterRepair = true;
    m_ui.SetStatus(2999);
    ReportVerdict();
}

void CNestoraDlg::ReenableAddOns() {
    std::vector<config::ComponentItem>& items = m_config.items;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].status & config::kStatusAddOnDisabled)
            install(static_cast<int>(i) + 1);
    }
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].status & config::kStatusAddOnDisabled) {
            items[i].status &= ~config::kStatusAddOnDisabled;
            m_ui.SetPageState(2, static_cast<int>(i) + 1, items[i].status);
            return;
        }
    }
}

}  // namespace nestora
