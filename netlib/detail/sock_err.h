// errno and getaddrinfo codes as the Windows Sockets numbers the library reports (internal).
#pragma once

namespace ov::net::detail {

// EAGAIN 10035, ECONNREFUSED 10061, ECONNRESET 10054, ETIMEDOUT 10060, ... ; 0 stays 0.
int wsaError(int errnoValue);
// EAI_NONAME 11001, EAI_AGAIN 11002, EAI_FAIL 11003, EAI_NODATA 11004; 0 stays 0.
int wsaLookupError(int eaiValue);

}  // namespace ov::net::detail
