#include "usbkey/haitai_usb_key.h"

namespace usbkey {

void CHaitaiUSBKey::CollectKeyInfo() {
    if (!LibraryLoaded() || !ReadAttachedKeys(FullResultSucceeded, false))
        return;
    ReadCertificateNames(EntryPoint<SerialTextCall>("GetCertCN"), FullResultSucceeded);
    ReadPinRetriesAsComplete(EntryPoint<SerialValueCall>("GetPINRetry"), FullResultSucceeded);
    // The library tells whether the PIN is the default one for the keys as a whole.
    if (const auto checkInitPin = EntryPoint<NoArgumentCall>("CheckInitPin"))
        info_.defaultPin.push_back(checkInitPin() == 0 ? 1 : 0);
}

}  // namespace usbkey
