// The check bank staff run on an item.xml before publishing it: load it exactly as the program
// does and show what the program would make of it.
#pragma once

#include <ostream>
#include <string>

namespace platform {
struct Context;
}

namespace config {

// True for an address the program would fetch (http:// or https://, either letter case);
// anything else names a file.
bool IsWebAddress(const std::string& source);

// Reads `source` (a file, or an address fetched with the program's own GET), loads it on
// `context` and writes the model as JSON to `out`, with "usable" and the XML reader's
// "problems". Returns 0 when the program could use the configuration, 1 when not, with the
// reason on `err`.
int ValidateConfig(const std::string& source, platform::Context& context, std::ostream& out,
                   std::ostream& err);

}  // namespace config
