#include "usbkey/report_usb_keys.h"

#include <algorithm>
#include <memory>

#include "config/check_config.h"
#include "dialog/ui_bridge.h"
#include "usbkey/feitian_usb_key.h"
#include "usbkey/haitai_usb_key.h"
#include "usbkey/jianshi_usb_key.h"

namespace usbkey {
namespace {

constexpr int kFirstCategory = 800;
constexpr int kLastCategory = 803;
constexpr int kFirstClearedItem = 2;
constexpr int kLastClearedItem = 7;
constexpr int kDriverVersionItem = 8;
constexpr std::int32_t kStateMask = 0x3FFFFFFF;
constexpr std::int32_t kStateInstallable = 5;

using AdapterFactory = std::unique_ptr<CUSBKey> (*)(const platform::FileSystem&,
                                                    std::string_view programPath);

template <typename Adapter>
std::unique_ptr<CUSBKey> MakeAdapter(const platform::FileSystem& files,
                                     std::string_view programPath) {
    return std::make_unique<Adapter>(files, programPath);
}

struct Brand {
    std::string_view className;
    int category;
    AdapterFactory make;
};

constexpr Brand kBrands[] = {
    {"CHaitaiUSBKey", 800, MakeAdapter<CHaitaiUSBKey>},
    {"CJianshiUSBKey", 801, MakeAdapter<CJianshiUSBKey>},
    {"CFeitianUSBKey", 802, MakeAdapter<CFeitianUSBKey>},
};

const Brand* FindBrand(std::string_view className) {
    for (const Brand& brand : kBrands) {
        if (brand.className == className)
            return &brand;
    }
    return nullptr;
}

void ClearUsbKeyValues(nestora::UiBridge& ui) {
    for (int category = kFirstCategory; category <= kLastCategory; ++category) {
        for (int item = kFirstClearedItem; item <= kLastClearedItem; ++item)
            ui.ClearState(category, item);
    }
}

bool AnyIsZero(const std::vector<std::int32_t>& values) {
    return std::ranges::find(values, 0) != values.end();
}

bool AnyIsNonZero(const std::vector<std::int32_t>& values) {
    return std::ranges::any_of(values, [](std::int32_t value) { return value != 0; });
}

// Items 2 to 7: the first key's serial and certificates, the other values over all keys.
// A key is described only when one was found.
void ReportKeyValues(int category, const KeyInfo& info, nestora::UiBridge& ui) {
    if (!info.serials.empty())
        ui.SetPageStateText(category, 2, info.serials.front());
    if (!info.integrity.empty())
        ui.SetPageState(category, 3, AnyIsZero(info.integrity) ? 1 : 0);
    if (!info.pinRetries.empty())
        ui.SetPageState(category, 4, AnyIsZero(info.pinRetries) ? 1 : 0);
    if (!info.integrity.empty())
        ui.SetPageState(category, 5, AnyIsNonZero(info.defaultPin) ? 1 : 0);
    // Without a key there is nothing to say about certificates: the page keeps them cleared.
    if (info.serials.empty())
        return;
    const std::int32_t certificates =
        info.certificates.empty() ? 0 : static_cast<std::int32_t>(info.certificates.front().size());
    ui.SetPageState(category, 6, certificates);
    ui.SetPageState(category, 7, certificates == 0 ? 1 : 0);
}

}  // namespace

void ReportUsbKeys(const platform::FileSystem& files, std::string_view programPath,
                   const config::CheckConfig& config, nestora::UiBridge& ui) {
    ClearUsbKeyValues(ui);
    for (const config::ComponentItem& item : config.items) {
        if (item.className.empty() || (item.status & kStateMask) == kStateInstallable)
            continue;
        const Brand* brand = FindBrand(item.className);
        if (!brand)
            continue;
        const std::unique_ptr<CUSBKey> key = brand->make(files, programPath);
        key->CollectKeyInfo();
        const KeyInfo& info = key->Info();
        if ((item.status & config::kStatusUsbKeyAbsent) == 0)
            ReportKeyValues(brand->category, info, ui);
        if (!info.driverVersion.empty())
            ui.SetPageStateText(brand->category, kDriverVersionItem, info.driverVersion);
    }
}

}  // namespace usbkey
