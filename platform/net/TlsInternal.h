#pragma once

// OpenSSL pieces shared by the TLS files of this folder only.
#include <openssl/ssl.h>

#include <string>

#include "platform/net/Tls.h"

namespace platform::net::detail {

// The client context of the process: system roots plus added CA files.
SSL_CTX* clientContext();
// A new SSL for a connected socket, set up for the given settings: SNI,
// host-name check, verification against the roots or the pinned certificates,
// socket I/O that never raises SIGPIPE. Null on failure.
SSL* newClientSSL(int fd, const TlsSettings& settings);
// Text of the first error on OpenSSL's queue (and clears the queue).
std::string takeOpenSSLError(const char* fallback);

}  // namespace platform::net::detail
