#include "Core/WebSocket/KAVWebSocketHandshake.h"

#include <algorithm>
#include <any>

#include "platform/Crypto.h"
#include "platform/Strings.h"

using platform::net::Certificate;
using platform::net::URL;
using platform::net::URLRequest;

namespace {
constexpr const char* kPinnedCertificatesKey = "KAV_SSLPinnedCertificates";
constexpr const char* kAcceptGUID = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
}  // namespace

std::string stringBySHA1ThenBase64Encoding(std::string_view bytes) {
    return platform::crypto::base64Encode(platform::crypto::sha1(bytes));
}

std::string KAV_origin(const URL& url) {
    std::string scheme = url.scheme();
    for (char& c : scheme)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (scheme == "wss")
        scheme = "https";
    else if (scheme == "ws")
        scheme = "http";
    if (url.port())
        return platform::stringf("%s://%s:%d/", scheme.c_str(), url.hostForHeader().c_str(),
                                 *url.port());
    return platform::stringf("%s://%s/", scheme.c_str(), url.hostForHeader().c_str());
}

const std::vector<Certificate>* KAV_SSLPinnedCertificates(const URLRequest& request) {
    const std::any* value = request.property(kPinnedCertificatesKey);
    return value ? std::any_cast<std::vector<Certificate>>(value) : nullptr;
}

void setKAV_SSLPinnedCertificates(URLRequest& request, std::vector<Certificate> certificates) {
    request.setProperty(kPinnedCertificatesKey, std::move(certificates));
}

namespace kavws {

platform::net::HttpRequestHead upgradeRequest(
    const URLRequest& request, const std::string& secKey,
    const std::optional<std::vector<std::string>>& protocols, int version) {
    const URL& url = request.url();
    platform::net::HttpRequestHead head;
    head.method = "GET";
    head.target = url.requestTarget();
    auto& f = head.fields;
    if (url.port())
        f.set("Host", platform::stringf("%s:%d", url.hostForHeader().c_str(), *url.port()));
    else
        f.set("Host", url.hostForHeader());
    f.set("Upgrade", "websocket");
    f.set("Connection", "Upgrade");
    f.set("Sec-WebSocket-Key", secKey);
    f.set("Sec-WebSocket-Version", platform::stringf("%ld", static_cast<long>(version)));
    f.set("Origin", KAV_origin(url));
    if (protocols && !protocols->empty()) {
        std::string joined;
        for (const auto& p : *protocols)
            joined += (joined.empty() ? "" : ", ") + p;
        f.set("Sec-WebSocket-Protocol", joined);
    }
    for (const auto& [name, value] : request.allHTTPHeaderFields().all())
        f.set(name, value);
    return head;
}

platform::Error invalidHTTPResponseError() {
    return platform::Error(KAVWebSocketErrorDomain, 2133, "Invalid HTTP response");
}

std::optional<size_t> responseHeadLength(std::string_view received, size_t scanned) {
    const std::string_view window = received.substr(0, kMaxResponseHeadSize);
    // The end may straddle what was scanned and what is new.
    const size_t from = std::min(window.size(), scanned > 3 ? scanned - 3 : 0);
    const size_t length = platform::net::httpHeadLength(window.substr(from));
    if (length > 0) return from + length;
    if (received.size() >= kMaxResponseHeadSize) return std::nullopt;
    return 0;
}

HandshakeResult checkHandshakeResponse(std::string_view head, const std::string& secKey,
                                       const std::optional<std::vector<std::string>>& protocols) {
    HandshakeResult result;
    const auto response = platform::net::HttpResponseHead::parse(head);
    if (!response) {
        result.error = invalidHTTPResponseError();
        return result;
    }
    if (response->statusCode >= 400) {
        platform::Error error(KAVWebSocketErrorDomain, 2132,
                              platform::stringf("received bad response code from server %ld",
                                                static_cast<long>(response->statusCode)));
        error.userInfo[KAVHTTPResponseStatusCodeKey] = static_cast<long long>(response->statusCode);
        result.error = std::move(error);
        return result;
    }
    const auto accept = response->fields.value("Sec-WebSocket-Accept");
    if (!accept || *accept != stringBySHA1ThenBase64Encoding(secKey + kAcceptGUID)) {
        result.error =
            platform::Error(KAVWebSocketErrorDomain, 2133, "Invalid Sec-WebSocket-Accept response");
        return result;
    }
    if (const auto chosen = response->fields.value("Sec-WebSocket-Protocol")) {
        bool requested = false;
        if (protocols)
            for (const auto& p : *protocols)
                requested = requested || p == *chosen;
        if (!requested) {
            result.error =
                platform::Error(KAVWebSocketErrorDomain, 2133,
                                "Server specified Sec-WebSocket-Protocol that wasn't requested");
            return result;
        }
        result.protocol = *chosen;
    }
    return result;
}

}  // namespace kavws
