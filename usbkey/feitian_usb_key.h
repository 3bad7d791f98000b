// The Feitian USB keys, through the management library "FtBank.dll" beside the program.
#pragma once

#include <string_view>

#include "usbkey/usb_key.h"

namespace usbkey {

class CFeitianUSBKey : public CUSBKey {
public:
    static constexpr std::string_view kLibraryName = "FtBank.dll";

    CFeitianUSBKey(const platform::FileSystem& files, std::string_view programPath)
        : CUSBKey(files, programPath, kLibraryName) {}

    void CollectKeyInfo() override;

private:
    void ReadCertificateCounts(SerialValueCall getCertCount);
    void ReadDefaultPins(SerialCall changePin);
};

}  // namespace usbkey
