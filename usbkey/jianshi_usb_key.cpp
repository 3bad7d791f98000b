#include "usbkey/jianshi_usb_key.h"

namespace usbkey {

void CJianshiUSBKey::CollectKeyInfo() {
    if (!LibraryLoaded() || !ReadAttachedKeys(FullResultSucceeded, false))
        return;
    ReadCertificateNames(EntryPoint<SerialTextCall>("GetCertCN"), FullResultSucceeded);
    QueryWebAddresses(EntryPoint<SerialTextCall>("GetWebURL"));
    ReadPerKeyValues(EntryPoint<SerialValueCall>("GetPINRetry"), FullResultSucceeded,
                     info_.pinRetries);
    // This library answers the integrity question in its low byte only.
    ReadPerKeyValues(EntryPoint<SerialValueCall>("GetKeyFile"), LowByteSucceeded, info_.integrity);
    ReadPerKeyValues(EntryPoint<SerialValueCall>("GetKeyDefaultPIN"), FullResultSucceeded,
                     info_.defaultPin);
}

}  // namespace usbkey
