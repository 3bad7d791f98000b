// The reachability probe of page item 7: every configured service address must open. It runs
// on a worker thread; the dialog polls serviceDone and then reads serviceOk.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "config/check_config.h"

namespace platform {
struct Context;
}

namespace checks {

// How long an address may take to connect, and then to answer, before it counts as not
// reachable, so that a probe always ends.
constexpr std::chrono::milliseconds kServiceProbeTimeout{30000};

// Opens each address in order with a session of its own (user agent "Mozilla/5.0", the
// system's proxy settings), always from the network. Nothing is read and the status is not
// looked at: an answer with an error status counts as reachable. Stops at the first address
// that cannot be opened. True when all opened, also when there are none.
bool OpenAllUrls(platform::Context& context, const std::vector<std::string>& urls,
                 std::chrono::milliseconds timeout = kServiceProbeTimeout);

// The worker thread's body: probes the "service" section (reachable without one), then stores
// results.serviceOk and, as its last write, results.serviceDone = true. Returns 1 when
// reachable, else 0.
unsigned ServiceCheckThread(platform::Context& context, config::CheckConfig& config,
                            std::chrono::milliseconds timeout = kServiceProbeTimeout);

}  // namespace checks
