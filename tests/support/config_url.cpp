#include "tests/support/config_url.h"

#include "dialog/user_type.h"
#include "platform/registry.h"

namespace nestora_test {

::testing::AssertionResult StoreConfigUrl(platform::Context& context, std::string_view url) {
    platform::Registry& registry = *context.registry;
    platform::RegKey key;
    const win::LONG created =
        registry.CreateKey(platform::RegKey::Root(platform::Hive::CurrentUser),
                           nestora::kProgramKeyPath, platform::KEY_ALL_ACCESS, key);
    if (created != win::ERROR_SUCCESS)
        return ::testing::AssertionFailure()
               << "creating the program's key failed with " << created;
    const auto bytes = platform::RegSzBytes(url);
    const win::LONG set = registry.SetValue(key, "ConfigUrl", platform::REG_SZ, bytes.data(),
                                            static_cast<win::DWORD>(bytes.size()));
    if (set != win::ERROR_SUCCESS)
        return ::testing::AssertionFailure() << "storing ConfigUrl failed with " << set;
    return ::testing::AssertionSuccess();
}

}  // namespace nestora_test
