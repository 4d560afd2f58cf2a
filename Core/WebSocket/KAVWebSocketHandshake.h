#pragma once

// The HTTP upgrade of a WebSocket client connection and its small helpers.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Error.h"
#include "platform/net/HttpHead.h"
#include "platform/net/Tls.h"
#include "platform/net/URL.h"

// Base64 (no line breaks) of the SHA-1 digest of the bytes.
std::string stringBySHA1ThenBase64Encoding(std::string_view bytes);

// The Origin of a URL: the scheme lower-cased, "wss" as "https" and "ws" as
// "http", then "://host/" or "://host:port/" when the URL names a port.
std::string KAV_origin(const platform::net::URL& url);

// Certificates pinned on a request: with any, a secure connection is only
// accepted when the server's certificate leads up to one of them.
const std::vector<platform::net::Certificate>* KAV_SSLPinnedCertificates(
    const platform::net::URLRequest& request);
void setKAV_SSLPinnedCertificates(platform::net::URLRequest& request,
                                  std::vector<platform::net::Certificate> certificates);

inline constexpr const char* KAVWebSocketErrorDomain = "KAVWebSocketErrorDomain";
inline constexpr const char* KAVWebSocketStreamErrorDomain = "KAVWebSocketStreamErrorDomain";
inline constexpr const char* KAVHTTPResponseStatusCodeKey = "HTTPResponseStatusCode";

namespace kavws {

// Largest response head accepted before the frames begin.
inline constexpr size_t kMaxResponseHeadSize = 16 * 1024;

// The upgrade request of a connection, fields in the order they are set;
// fields of the request itself come last and replace earlier ones.
platform::net::HttpRequestHead upgradeRequest(
    const platform::net::URLRequest& request, const std::string& secKey,
    const std::optional<std::vector<std::string>>& protocols, int version = 13);

// What the server's response head means for the connection.
struct HandshakeResult {
    std::optional<platform::Error> error;  // the failure to report, if any
    std::optional<std::string> protocol;   // the subprotocol accepted
};

// Checks a complete response head (up to and including CR LF CR LF).
HandshakeResult checkHandshakeResponse(std::string_view head, const std::string& secKey,
                                       const std::optional<std::vector<std::string>>& protocols);

// Where the response head ends in the bytes received so far: its length,
// 0 while it may still come, or nothing when it can no longer be valid
// (longer than kMaxResponseHeadSize without its end). `scanned` bytes are
// known to hold no end yet, so a head that arrives in many pieces is not
// searched again from its start each time.
std::optional<size_t> responseHeadLength(std::string_view received, size_t scanned = 0);

platform::Error invalidHTTPResponseError();

}  // namespace kavws
