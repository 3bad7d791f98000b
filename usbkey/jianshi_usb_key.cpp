#include "usbkey/jianshi_usb_key.h"

namespace usbkey {

void CJianshiUSBKey::CollectKeyInfo() {
    if (!LibraryLoaded())
        return;
    const auto checkKeyEnv = EntryPoint<NoArgumentCall>("CheckKeyEnv");
    const auto getSoftwareVersion = EntryPoint<TextCall>("GetSoftwareVersion");
    const auto getKeyCount = EntryPoint<CountCall>("GetKeyCount");
    const auto getKeySN = EntryPoint<TextCall>("GetKeySN");
    const auto getCertCN = EntryPoint<SerialTextCall>("GetCertCN");
    const auto getWebURL = EntryPoint<SerialTextCall>("GetWebURL");
    const auto getPINRetry = EntryPoint<SerialValueCall>("GetPINRetry");
    const auto getKeyFile = EntryPoint<SerialValueCall>("GetKeyFile");
    const auto getKeyDefaultPIN = EntryPoint<SerialValueCall>("GetKeyDefaultPIN");

    if (checkKeyEnv)
        checkKeyEnv();
    ReadDriverVersion(getSoftwareVersion, FullResultSucceeded);
    const std::int32_t count = CountKeys(getKeyCount, FullResultSucceeded);
    if (count == 0)
        return;
    ReadSerials(getKeySN, count, FullResultSucceeded, false);
    ReadCertificateNames(getCertCN, FullResultSucceeded);
    QueryWebAddresses(getWebURL);
    ReadPerKeyValues(getPINRetry, FullResultSucceeded, info_.pinRetries);
    // This library answers the integrity question in its low byte only.
    ReadPerKeyValues(getKeyFile, LowByteSucceeded, info_.integrity);
    ReadPerKeyValues(getKeyDefaultPIN, FullResultSucceeded, info_.defaultPin);
}

}  // namespace usbkey
