#include "dialog/check_steps.h"

#include <memory>

#include "checks/browser_policies.h"
#include "checks/dns_check.h"
#include "checks/hosts_check.h"
#include "checks/os_version.h"
#include "checks/registry_check.h"
#include "checks/root_certificates.h"
#include "checks/service_check.h"
#include "components/detection.h"
#include "components/self_update.h"
#include "config/http_get_text.h"
#include "platform/context.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "usbkey/report_usb_keys.h"

namespace nestora {
namespace {

std::string HttpGetWithOwnSession(platform::Context& context, const std::string& url) {
    if (!context.internet)
        return {};
    const std::unique_ptr<platform::InternetSession> session =
        context.internet->OpenSession("Mozilla/5.0");
    return session ? config::HttpGetText(*session, url) : std::string();
}

// A check of the form Check...(context, config, fix) as the table's Check...(config, fix).
template <bool (*Check)(platform::Context&, config::CheckConfig&, bool)>
std::function<void(config::CheckConfig&, bool)> BindCheck(platform::Context& context) {
    return [&context](config::CheckConfig& config, bool fix) { Check(context, config, fix); };
}

}  // namespace

CheckOperations DefaultCheckOperations(platform::Context& context) {
    CheckOperations operations;
    operations.httpGet = HttpGetWithOwnSession;
    operations.osVersionText = checks::OsVersionText;
    operations.browserVersionText = checks::GetIeVersion;
    operations.checkRegistry = BindCheck<checks::CheckRegistry>(context);
    operations.checkHosts = BindCheck<checks::CheckHosts>(context);
    operations.checkHomepageLock = BindCheck<checks::CheckHomepageLock>(context);
    operations.checkSecurityLevel = BindCheck<checks::CheckSecurityLevel>(context);
    operations.checkTrustedSites = BindCheck<checks::CheckTrustedSites>(context);
    operations.checkDns = [&context](config::CheckConfig& config) {
        checks::CheckDns(context, config);
    };
    operations.checkRootCertificates = [&context] {
        return checks::CheckRootCertificates(context);
    };
    operations.installRootCertificates = [&context] {
        return checks::InstallRootCertificates(context);
    };
    operations.clearSslCache = [&context] { return checks::ClearSslCache(context); };
    operations.serviceCheckThread = [&context](config::CheckConfig& config) {
        checks::ServiceCheckThread(context, config);
    };
    operations.detectComponents = [&context, lister = components::SystemUsbDeviceLister()](
                                      std::vector<config::ComponentItem>& items) {
        components::DetectComponents(items, context, lister);
    };
    operations.reportUsbKeys = [&context](config::CheckConfig& config, UiBridge& ui) {
        if (context.files)
            usbkey::ReportUsbKeys(*context.files, context.files->GetModuleFileName(), config, ui);
    };
    operations.updateThread = [&context](const config::CheckConfig& config, DialogHost& host) {
        components::UpdateThread(context, config, host);
    };
    operations.replaceProgramFile = [&context](const std::string& programPath,
                                               const std::string& newFile) {
        return context.files &&
               components::ReplaceProgramFile(*context.files, programPath, newFile);
    };
    return operations;
}

}  // namespace nestora
