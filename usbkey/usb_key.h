// The USB-key adapters' common frame: a brand's management library, loaded from the program's
// folder, and what the adapter learnt from it about the attached keys.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dynamic_library.h"

namespace platform {
class FileSystem;
}

namespace usbkey {

struct KeyInfo {
    std::string driverVersion;
    std::vector<std::string> serials;                    // one per attached key
    std::vector<std::vector<std::string>> certificates;  // one list per serial
    std::vector<std::int32_t> pinRetries;
    std::vector<std::int32_t> integrity;   // non-zero: the key's contents are complete
    std::vector<std::int32_t> defaultPin;  // non-zero: the PIN is still the default one
};

// The entry points of the makers' libraries. Results are 32-bit; non-zero is success.
using NoArgumentCall = std::int32_t (*)();
using TextCall = std::int32_t (*)(char* buffer);
using CountCall = std::int32_t (*)(std::int32_t* count);
using SerialCall = std::int32_t (*)(const char* serial);
using SerialTextCall = std::int32_t (*)(const char* serial, char* buffer);
using SerialValueCall = std::int32_t (*)(const char* serial, std::int32_t* value);

// How an adapter reads a result: the whole 32-bit word or only its low byte.
using SuccessTest = bool (*)(std::int32_t result);
inline bool FullResultSucceeded(std::int32_t result) {
    return result != 0;
}
inline bool LowByteSucceeded(std::int32_t result) {
    return (result & 0xFF) != 0;
}

constexpr std::size_t kVersionBufferSize = 256;
constexpr std::size_t kKeyBufferSize = 2048;

// The library path for `libraryName` in the folder of the program file `programPath`.
std::string LibraryPathBesideProgram(std::string_view programPath, std::string_view libraryName);

class CUSBKey {
public:
    virtual ~CUSBKey() = default;
    CUSBKey(const CUSBKey&) = delete;
    CUSBKey& operator=(const CUSBKey&) = delete;

    // Fills the key information from the brand's library; without a library it collects nothing.
    virtual void CollectKeyInfo() = 0;

    const KeyInfo& Info() const { return info_; }
    bool LibraryLoaded() const { return library_.IsLoaded(); }

protected:
    // Loads `libraryName` from the folder of the program file `programPath` (a Windows path).
    CUSBKey(const platform::FileSystem& files, std::string_view programPath,
            std::string_view libraryName);

    template <typename Function>
    Function EntryPoint(const char* name) const {
        return library_.GetProcAddressAs<Function>(name);
    }

    // The opening every brand shares: CheckKeyEnv, the driver version, the number of attached
    // keys and their serials, each skipped when the library lacks its entry point. Returns
    // false when no key is attached.
    bool ReadAttachedKeys(SuccessTest succeeded, bool semicolonEnds);

    // The steps every brand shares; a null entry point skips its step.
    void ReadDriverVersion(TextCall getSoftwareVersion, SuccessTest succeeded);
    // The number of attached keys; 0 when the entry point is missing or the call fails.
    std::int32_t CountKeys(CountCall getKeyCount, SuccessTest succeeded);
    // Reads `count` serials ended by NUL; with `semicolonEnds`, a ";" ends a serial as well.
    void ReadSerials(TextCall getKeySN, std::int32_t count, SuccessTest succeeded,
                     bool semicolonEnds);
    void ReadCertificateNames(SerialTextCall getCertCN, SuccessTest succeeded);
    // Asks for every key's web address; the answers are not kept.
    void QueryWebAddresses(SerialTextCall getWebURL);
    // Appends the value of every key whose call succeeds to `values`.
    void ReadPerKeyValues(SerialValueCall call, SuccessTest succeeded,
                          std::vector<std::int32_t>& values);
    // The attempts left on every key; a key whose attempts were read counts as complete.
    void ReadPinRetriesAsComplete(SerialValueCall getPINRetry, SuccessTest succeeded);

    KeyInfo info_;

private:
    platform::DynamicLibrary library_;
};

}  // namespace usbkey
