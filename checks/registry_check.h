// The registry check of page item 2: the compatibility view, every configured registry value,
// and the policy that disables the registry tools. Also the check of one configured value.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "config/check_config.h"
#include "config/config_records.h"
#include "platform/win_types.h"

namespace platform {
struct Context;
}

namespace checks {

// Checks the value an entry describes (`text` the key path, `name` the value name, `type`
// "reg_dword", "reg_sz" or "reg_binary", `value` the expected value, `mask` the compared bits
// of a "reg_dword"). With `fix` a missing or different value is written and read back.
// True when the stored value matches, after the repair when one was made.
bool CheckRegistryEntry(platform::Context& context, const config::ConfigEntry& entry, bool fix);

// The compatibility view, the entries of the "registry" section in order (stopping at the
// first that fails), then the registry-tools policy, which a repair deletes. Stores the
// verdict in results.registryOk and returns it.
bool CheckRegistry(platform::Context& context, config::CheckConfig& config, bool fix);

// How the texts of an entry read. Exposed for the compatibility view and for tests.
// A signed decimal 32-bit number: leading white space, an optional sign, digits up to the
// first other character; 0 without digits; clamped to the 32-bit range.
win::DWORD ParseDwordText(std::string_view text);
// Hexadecimal text, two digits per byte, high digit first; a character that is not a
// hexadecimal digit counts as 0 and a trailing single digit is ignored.
std::vector<std::uint8_t> ParseBinaryText(std::string_view text);

}  // namespace checks
