// The Haitai USB keys, through the management library "SorvelWizard.dll" beside the program.
#pragma once

#include <string_view>

#include "usbkey/usb_key.h"

namespace usbkey {

class CHaitaiUSBKey : public CUSBKey {
public:
    static constexpr std::string_view kLibraryName = "SorvelWizard.dll";

    CHaitaiUSBKey(const platform::FileSystem& files, std::string_view programPath)
        : CUSBKey(files, programPath, kLibraryName) {}

    void CollectKeyInfo() override;
};

}  // namespace usbkey
