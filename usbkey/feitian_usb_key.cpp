#include "usbkey/feitian_usb_key.h"

namespace usbkey {

void CFeitianUSBKey::CollectKeyInfo() {
    if (!LibraryLoaded())
        return;
    if (const auto load = EntryPoint<NoArgumentCall>("load"))
        load();
    if (!ReadAttachedKeys(LowByteSucceeded, true))
        return;
    ReadCertificateCounts(EntryPoint<SerialValueCall>("GetCertCount"));
    QueryWebAddresses(EntryPoint<SerialTextCall>("GetWebURL"));
    ReadPinRetriesAsComplete(EntryPoint<SerialValueCall>("GetPINRetry"), LowByteSucceeded);
    ReadDefaultPins(EntryPoint<SerialCall>("ChangePin"));
}

// The library gives no names: every key gets one entry telling whether the count could be read.
void CFeitianUSBKey::ReadCertificateCounts(SerialValueCall getCertCount) {
    if (!getCertCount)
        return;
    for (const std::string& serial : info_.serials) {
        std::int32_t value = 0;
        const bool read = LowByteSucceeded(getCertCount(serial.c_str(), &value));
        info_.certificates.push_back({read ? "count" : "false"});
    }
}

void CFeitianUSBKey::ReadDefaultPins(SerialCall changePin) {
    if (!changePin)
        return;
    for (const std::string& serial : info_.serials)
        info_.defaultPin.push_back(LowByteSucceeded(changePin(serial.c_str())) ? 1 : 0);
}

}  // namespace usbkey
