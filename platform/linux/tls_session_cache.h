// The TLS sessions that the internet layer's transfers share, so that a new connection to a
// server this process spoke to before resumes its session instead of a full handshake, as the
// system's TLS provider does. Emptying the cache gives the transfers that start afterwards a
// new, empty one; the old one goes with the last transfer still using it.
#pragma once

#include <memory>

typedef void CURL;

namespace platform {

class TlsSessionShare;

// The cache for a transfer starting now; keep it as long as the transfer's handle.
std::shared_ptr<TlsSessionShare> CurrentTlsSessionShare();

// Makes the transfer keep and resume its TLS sessions in `share`.
void UseTlsSessionShare(CURL* easy, TlsSessionShare& share);

// False when a new cache could not be made; the old one then stays in use.
bool EmptyTlsSessionCache();

}  // namespace platform
