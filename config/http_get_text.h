#pragma once

#include <string>

namespace platform {
class InternetSession;
}

namespace config {

// One GET of `url`, always from the network, with a 30-second connect time-out. The body as
// received, or empty on any failure: a network error, a status other than 200, or a body
// whose size differs from the length the server announced.
std::string HttpGetText(platform::InternetSession& session, const std::string& url);

}  // namespace config
