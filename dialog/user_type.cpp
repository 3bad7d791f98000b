#include "dialog/user_type.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace nestora {
namespace {

constexpr win::DWORD kProgramKeyAccess = platform::KEY_READ | platform::KEY_WRITE;
// The longest stored text read back, in characters with the terminator.
constexpr win::DWORD kUserTypeMaxChars = 20;

constexpr std::array<std::string_view, 4> kUserTypeTexts{"NULL", "Public", "FT1", "FT2"};

}  // namespace

void UserTypeStore::Open() {
    platform::RegKey key;
    const auto root = platform::RegKey::Root(platform::Hive::CurrentUser);
    if (registry_.OpenKey(root, kProgramKeyPath, kProgramKeyAccess, key) == win::ERROR_SUCCESS) {
        key_ = key;
        return;
    }
    if (registry_.CreateKey(root, kProgramKeyPath, kProgramKeyAccess, key) != win::ERROR_SUCCESS)
        return;
    key_ = key;
    Set(kUserTypeNone);
}

int UserTypeStore::Get() const {
    if (!key_)
        return kUserTypeNone;
    std::array<std::uint8_t, kUserTypeMaxChars * 2> buffer{};
    win::DWORD type = 0;
    win::DWORD size = buffer.size();
    if (registry_.QueryValue(*key_, kUserTypeValue, &type, buffer.data(), &size) !=
            win::ERROR_SUCCESS ||
        (type != platform::REG_SZ && type != platform::REG_EXPAND_SZ))
        return kUserTypeNone;
    const std::string text = platform::RegSzToUtf8(buffer.data(), size);
    for (size_t i = 0; i < kUserTypeTexts.size(); ++i) {
        if (text == kUserTypeTexts[i])
            return static_cast<int>(i) - 1;
    }
    return kUserTypeNone;
}

void UserTypeStore::Set(int userType) {
    if (!key_ || userType < -1 || userType > 2)
        return;
    const auto bytes = platform::RegSzBytes(kUserTypeTexts[userType + 1]);
    registry_.SetValue(*key_, kUserTypeValue, platform::REG_SZ, bytes.data(),
                       static_cast<win::DWORD>(bytes.size()));
}

}  // namespace nestora
