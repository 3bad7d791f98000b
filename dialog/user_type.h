// The program's registry key, HKCU\Software\Qiventa\Orlenta\QORVIN, and the user type kept in
// it: which USB key the customer uses, chosen in the page's guide.
#pragma once

#include <optional>

#include "platform/registry.h"

namespace nestora {

constexpr const char* kProgramKeyPath = "Software\\Qiventa\\Orlenta\\QORVIN";
constexpr const char* kUserTypeValue = "UserType";

// -1 none chosen, 0 no USB key, 1 first-generation key, 2 second-generation key.
constexpr int kUserTypeNone = -1;

class UserTypeStore {
public:
    explicit UserTypeStore(platform::Registry& registry) : registry_(registry) {}

    // Opens the key for reading and writing; when that fails, creates it and stores "NULL".
    // When both fail the key stays closed and every later read or write fails quietly.
    void Open();
    bool IsOpen() const { return key_.has_value(); }

    // "NULL" -1, "Public" 0, "FT1" 1, "FT2" 2 (exact case); anything else, a missing value or
    // a failed read gives -1.
    int Get() const;
    // Stores the text of -1 to 2; any other value is ignored.
    void Set(int userType);

private:
    platform::Registry& registry_;
    std::optional<platform::RegKey> key_;
};

}  // namespace nestora
