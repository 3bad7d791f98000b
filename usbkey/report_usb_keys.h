// The USB-key values of the page (categories 800 to 803): cleared, then filled for every
// configured item whose adapter class names one of the brands.
#pragma once

#include <string_view>

namespace config {
struct CheckConfig;
}
namespace nestora {
class UiBridge;
}
namespace platform {
class FileSystem;
}

namespace usbkey {

// `programPath` is the program file's Windows path (GetModuleFileName); the makers' libraries
// are loaded from its folder. Runs on the user-interface thread after component detection.
void ReportUsbKeys(const platform::FileSystem& files, std::string_view programPath,
                   const config::CheckConfig& config, nestora::UiBridge& ui);

}  // namespace usbkey
