#pragma once

#include <string>

#include "platform/win_types.h"

namespace platform {
class InternetSession;
}

namespace config {

// The flags every request of the program opens with: always from the network, nothing written
// to the cache, and the secure flag for an https address (in any letter case).
win::DWORD RequestOpenFlags(const std::string& url);

// One GET of `url`, always from the network, with a 30-second connect time-out. The body as
// received, or empty on any failure: a network error, a status other than 200, or a body
// whose size differs from the length the server announced.
std::string HttpGetText(platform::InternetSession& session, const std::string& url);

}  // namespace config
