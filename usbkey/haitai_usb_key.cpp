#include "usbkey/haitai_usb_key.h"

namespace usbkey {

void CHaitaiUSBKey::CollectKeyInfo() {
    if (!LibraryLoaded())
        return;
    const auto getSoftwareVersion = EntryPoint<TextCall>("GetSoftwareVersion");
    const auto getKeyCount = EntryPoint<CountCall>("GetKeyCount");
    const auto getKeySN = EntryPoint<TextCall>("GetKeySN");
    const auto getCertCN = EntryPoint<SerialTextCall>("GetCertCN");
    const auto getPINRetry = EntryPoint<SerialValueCall>("GetPINRetry");
    const auto checkKeyEnv = EntryPoint<NoArgumentCall>("CheckKeyEnv");
    const auto checkInitPin = EntryPoint<NoArgumentCall>("CheckInitPin");

    if (checkKeyEnv)
        checkKeyEnv();
    ReadDriverVersion(getSoftwareVersion, FullResultSucceeded);
    const std::int32_t count = CountKeys(getKeyCount, FullResultSucceeded);
    if (count == 0)
        return;
    ReadSerials(getKeySN, count, FullResultSucceeded, false);
    ReadCertificateNames(getCertCN, FullResultSucceeded);
    ReadPinRetriesAsComplete(getPINRetry, FullResultSucceeded);
    // The library tells whether the PIN is the default one for the keys as a whole.
    if (checkInitPin)
        info_.defaultPin.push_back(checkInitPin() == 0 ? 1 : 0);
}

}  // namespace usbkey
