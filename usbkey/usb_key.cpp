#include "usbkey/usb_key.h"

#include <algorithm>
#include <array>

#include "platform/files.h"

namespace usbkey {
namespace {

// The text that starts at `offset`, up to its NUL or the end of the buffer.
std::string TextAt(const char* buffer, std::size_t size, std::size_t offset) {
    const char* start = buffer + offset;
    const char* end = std::find(start, buffer + size, '\0');
    return std::string(start, end);
}

}  // namespace

std::string LibraryPathBesideProgram(std::string_view programPath, std::string_view libraryName) {
    const std::size_t separator = programPath.find_last_of("\\/");
    if (separator == std::string_view::npos)
        return std::string(libraryName);
    std::string path(programPath.substr(0, separator + 1));
    path += libraryName;
    return path;
}

CUSBKey::CUSBKey(const platform::FileSystem& files, std::string_view programPath,
                 std::string_view libraryName)
    : library_(platform::DynamicLibrary::LoadLibraryW(
          files, LibraryPathBesideProgram(programPath, libraryName))) {}

bool CUSBKey::ReadAttachedKeys(SuccessTest succeeded, bool semicolonEnds) {
    if (const auto checkKeyEnv = EntryPoint<NoArgumentCall>("CheckKeyEnv"))
        checkKeyEnv();
    ReadDriverVersion(EntryPoint<TextCall>("GetSoftwareVersion"), succeeded);
    const std::int32_t count = CountKeys(EntryPoint<CountCall>("GetKeyCount"), succeeded);
    if (count == 0)
        return false;
    ReadSerials(EntryPoint<TextCall>("GetKeySN"), count, succeeded, semicolonEnds);
    return true;
}

void CUSBKey::ReadDriverVersion(TextCall getSoftwareVersion, SuccessTest succeeded) {
    if (!getSoftwareVersion)
        return;
    std::array<char, kVersionBufferSize> buffer{};
    if (succeeded(getSoftwareVersion(buffer.data())))
        info_.driverVersion = TextAt(buffer.data(), buffer.size(), 0);
}

std::int32_t CUSBKey::CountKeys(CountCall getKeyCount, SuccessTest succeeded) {
    if (!getKeyCount)
        return 0;
    std::int32_t count = 0;
    if (!succeeded(getKeyCount(&count)))
        return 0;
    return std::max(count, 0);
}

void CUSBKey::ReadSerials(TextCall getKeySN, std::int32_t count, SuccessTest succeeded,
                          bool semicolonEnds) {
    if (!getKeySN)
        return;
    std::array<char, kKeyBufferSize> buffer{};
    if (!succeeded(getKeySN(buffer.data())))
        return;
    std::size_t offset = 0;
    for (std::int32_t key = 0; key < count && offset < buffer.size(); ++key) {
        if (semicolonEnds) {
            const auto end = std::find(buffer.begin() + offset, buffer.end(), '\0');
            const auto semicolon = std::find(buffer.begin() + offset, end, ';');
            if (semicolon != end)
                *semicolon = '\0';
        }
        std::string serial = TextAt(buffer.data(), buffer.size(), offset);
        offset += serial.size() + 1;
        info_.serials.push_back(std::move(serial));
    }
}

void CUSBKey::ReadCertificateNames(SerialTextCall getCertCN, SuccessTest succeeded) {
    if (!getCertCN)
        return;
    std::array<char, kKeyBufferSize> buffer{};
    for (const std::string& serial : info_.serials) {
        std::vector<std::string> names;
        if (succeeded(getCertCN(serial.c_str(), buffer.data()))) {
            for (std::size_t offset = 0; offset < buffer.size();) {
                std::string name = TextAt(buffer.data(), buffer.size(), offset);
                if (name.empty())
                    break;
                offset += name.size() + 1;
                names.push_back(std::move(name));
            }
        }
        info_.certificates.push_back(std::move(names));
    }
}

void CUSBKey::QueryWebAddresses(SerialTextCall getWebURL) {
    if (!getWebURL)
        return;
    std::array<char, kKeyBufferSize> buffer{};
    for (const std::string& serial : info_.serials)
        getWebURL(serial.c_str(), buffer.data());
}

void CUSBKey::ReadPerKeyValues(SerialValueCall call, SuccessTest succeeded,
                               std::vector<std::int32_t>& values) {
    if (!call)
        return;
    for (const std::string& serial : info_.serials) {
        std::int32_t value = 0;
        if (succeeded(call(serial.c_str(), &value)))
            values.push_back(value);
    }
}

void CUSBKey::ReadPinRetriesAsComplete(SerialValueCall getPINRetry, SuccessTest succeeded) {
    if (!getPINRetry)
        return;
    for (const std::string& serial : info_.serials) {
        std::int32_t attempts = 0;
        if (succeeded(getPINRetry(serial.c_str(), &attempts))) {
            info_.pinRetries.push_back(attempts);
            info_.integrity.push_back(1);
        }
    }
}

}  // namespace usbkey
