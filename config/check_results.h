// What the last check of each family found, true meaning normal. The service probe runs on a
// worker thread, so the two flags it writes are atomic; the user-interface thread writes the
// rest.
#pragma once

#include <atomic>
#include <string>

namespace config {

struct CheckResults {
    std::atomic<bool> serviceDone{false};
    bool homepageOk = false;
    bool registryOk = false;
    bool hostsOk = false;
    bool networkOk = false;
    bool dnsOk = false;
    std::atomic<bool> serviceOk{false};
    bool securityLevelOk = false;
    bool trustedSitesOk = false;
    bool rootCertsOk = false;
    std::string dnsDisplayName;  // UTF-8; kept until a later DNS check finds another
};

}  // namespace config
