// The operations of the other subsystems that the check pipeline, the repairs and the update
// prompt call, gathered in one table so that the pipeline knows only their shape. The default
// table (check_steps.cpp) names the program's own operations; tests replace entries.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "config/check_config.h"
#include "platform/win_types.h"

namespace platform {
struct Context;
}

namespace nestora {

class DialogHost;
class UiBridge;

struct CheckOperations {
    // One GET with a session of its own (user agent "Mozilla/5.0", the system's proxy
    // settings): the body, or "" on any failure. The configuration fetch and the item
    // report's probe of the bank's server use it.
    std::function<std::string(platform::Context&, const std::string& url)> httpGet;
    // Page items 1 and 8, shown once the page has loaded: the operating system's name and the
    // browser's version.
    std::function<std::string(platform::Context&)> osVersionText;
    std::function<std::string(platform::Context&)> browserVersionText;
    // Check with `fix` false, repair with `fix` true; each sets its flag in config.results.
    std::function<void(config::CheckConfig&, bool fix)> checkRegistry;
    std::function<void(config::CheckConfig&, bool fix)> checkHosts;
    std::function<void(config::CheckConfig&, bool fix)> checkHomepageLock;
    std::function<void(config::CheckConfig&, bool fix)> checkSecurityLevel;
    std::function<void(config::CheckConfig&, bool fix)> checkTrustedSites;
    // Sets dnsOk and may set dnsDisplayName.
    std::function<void(config::CheckConfig&)> checkDns;
    // 0 or more when every root certificate is present, negative otherwise.
    std::function<win::HRESULT()> checkRootCertificates;
    std::function<win::HRESULT()> installRootCertificates;
    std::function<bool()> clearSslCache;
    // Runs on a worker thread; stores serviceOk, then serviceDone true, as its last writes.
    std::function<void(config::CheckConfig&)> serviceCheckThread;
    // Sets the status word of every item of the list.
    std::function<void(std::vector<config::ComponentItem>&)> detectComponents;
    // Clears categories 800 to 803 and fills 800 to 802 on the page.
    std::function<void(config::CheckConfig&, UiBridge&)> reportUsbKeys;

    // The self-update: runs on a worker thread once the configuration is loaded and arms
    // timer 5 once a newer program has been downloaded to appInfo.localPath.
    std::function<void(const config::CheckConfig&, DialogHost&)> updateThread;
    // Puts the downloaded program (a Windows path) in place of the running one.
    std::function<bool(const std::string& programPath, const std::string& newFile)>
        replaceProgramFile;
};

// The program's own operations, bound to the context they act on.
CheckOperations DefaultCheckOperations(platform::Context& context);

}  // namespace nestora
