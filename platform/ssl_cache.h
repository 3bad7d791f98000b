// The two caches emptied when the user asks for the SSL cache to be cleared: the TLS
// provider's cache of sessions and the counters in the header of the internet layer's URL
// cache, which tell the browser that its secure connections are to be made afresh.
#pragma once

#include "platform/win_types.h"

namespace platform {

// Slots of the URL cache header.
constexpr win::DWORD kUrlCacheHeaderSlots = 32;

class SslCache {
public:
    virtual ~SslCache() = default;

    // SslEmptyCacheW with no target and flags 0: forgets every TLS session kept for resuming
    // connections, so the next connection to each server makes a full handshake.
    virtual bool SslEmptyCache() = 0;
    // IncrementUrlCacheHeaderData: adds one to the header's counter `index` and gives its new
    // value. False for an index outside the header or when the header cannot be written.
    virtual bool IncrementUrlCacheHeaderData(win::DWORD index, win::DWORD& data) = 0;
};

}  // namespace platform
