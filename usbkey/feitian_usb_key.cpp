#include "usbkey/feitian_usb_key.h"

namespace usbkey {

void CFeitianUSBKey::CollectKeyInfo() {
    if (!LibraryLoaded())
        return;
    const auto load = EntryPoint<NoArgumentCall>("load");
    const auto checkKeyEnv = EntryPoint<NoArgumentCall>("CheckKeyEnv");
    const auto getCertCount = EntryPoint<SerialValueCall>("GetCertCount");
    const auto getPINRetry = EntryPoint<SerialValueCall>("GetPINRetry");
    const auto changePin = EntryPoint<SerialCall>("ChangePin");
    const auto getSoftwareVersion = EntryPoint<TextCall>("GetSoftwareVersion");
    const auto getKeyCount = EntryPoint<CountCall>("GetKeyCount");
    const auto getKeySN = EntryPoint<TextCall>("GetKeySN");
    const auto getWebURL = EntryPoint<SerialTextCall>("GetWebURL");

    if (load)
        load();
    if (checkKeyEnv)
        checkKeyEnv();
    ReadDriverVersion(getSoftwareVersion, LowByteSucceeded);
    const std::int32_t count = CountKeys(getKeyCount, LowByteSucceeded);
    if (count == 0)
        return;
    ReadSerials(getKeySN, count, LowByteSucceeded, true);
    ReadCertificateCounts(getCertCount);
    QueryWebAddresses(getWebURL);
    ReadPinRetriesAsComplete(getPINRetry, LowByteSucceeded);
    ReadDefaultPins(changePin);
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
