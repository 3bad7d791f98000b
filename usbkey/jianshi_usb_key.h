// The Jianshi USB keys, through the management library "SVDLL_Jansh.dll" beside the program.
#pragma once

#include <string_view>

#include "usbkey/usb_key.h"

namespace usbkey {

class CJianshiUSBKey : public CUSBKey {
public:
    static constexpr std::string_view kLibraryName = "SVDLL_Jansh.dll";

    CJianshiUSBKey(const platform::FileSystem& files, std::string_view programPath)
        : CUSBKey(files, programPath, kLibraryName) {}

    void CollectKeyInfo() override;
};

}  // namespace usbkey
