// The ConfigUrl value of the program's registry key, which takes the place of the default
// configuration address.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "platform/context.h"

namespace nestora_test {

// Stores `url` as ConfigUrl (REG_SZ) in HKCU\<program key> of `context`, creating the key.
::testing::AssertionResult StoreConfigUrl(platform::Context& context, std::string_view url);

}  // namespace nestora_test
