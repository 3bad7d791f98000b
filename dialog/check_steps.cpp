#include "dialog/check_steps.h"

#include <memory>

#include "config/http_get_text.h"
#include "platform/context.h"
#include "platform/internet.h"

namespace nestora {
namespace {

std::string HttpGetWithOwnSession(platform::Context& context, const std::string& url) {
    if (!context.internet)
        return {};
    const std::unique_ptr<platform::InternetSession> session =
        context.internet->OpenSession("Mozilla/5.0");
    return session ? config::HttpGetText(*session, url) : std::string();
}

// The environment checks, the component detection and the USB-key report come with their own
// subsystems. Until one is built here, its step runs nothing: the flag keeps the value it
// had (false at start), the items keep "not yet detected", and the page shows just that.
std::string OsVersionText(platform::Context&) {
    return {};
}
std::string BrowserVersionText(platform::Context&) {
    return {};
}
void CheckRegistry(config::CheckConfig&, bool) {}
void CheckHosts(config::CheckConfig&, bool) {}
void CheckHomepageLock(config::CheckConfig&, bool) {}
void CheckSecurityLevel(config::CheckConfig&, bool) {}
void CheckTrustedSites(config::CheckConfig&, bool) {}
void CheckDns(config::CheckConfig&) {}
win::HRESULT CheckRootCertificates() {
    return win::E_FAIL;
}
win::HRESULT InstallRootCertificates() {
    return win::E_FAIL;
}
bool ClearSslCache() {
    return false;
}
void DetectComponents(std::vector<config::ComponentItem>&) {}
void ReportUsbKeys(config::CheckConfig&, UiBridge&) {}

// The self-update comes with the components: no newer program is looked for, so timer 5 is
// never armed, and nothing can be put in place.
void UpdateThread(const config::CheckConfig&, DialogHost&) {}
bool ReplaceProgramFile(const std::string&, const std::string&) {
    return false;
}

// Without a probe the service flag keeps its value; the thread only announces its end.
void ServiceCheckThread(config::CheckConfig& config) {
    config.results.serviceDone.store(true, std::memory_order_release);
}

}  // namespace

CheckOperations DefaultCheckOperations() {
    CheckOperations operations;
    operations.httpGet = HttpGetWithOwnSession;
    operations.osVersionText = OsVersionText;
    operations.browserVersionText = BrowserVersionText;
    operations.checkRegistry = CheckRegistry;
    operations.checkHosts = CheckHosts;
    operations.checkHomepageLock = CheckHomepageLock;
    operations.checkSecurityLevel = CheckSecurityLevel;
    operations.checkTrustedSites = CheckTrustedSites;
    operations.checkDns = CheckDns;
    operations.checkRootCertificates = CheckRootCertificates;
    operations.installRootCertificates = InstallRootCertificates;
    operations.clearSslCache = ClearSslCache;
    operations.serviceCheckThread = ServiceCheckThread;
    operations.detectComponents = DetectComponents;
    operations.reportUsbKeys = ReportUsbKeys;
    operations.updateThread = UpdateThread;
    operations.replaceProgramFile = ReplaceProgramFile;
    return operations;
}

}  // namespace nestora
