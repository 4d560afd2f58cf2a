// Fuzz target: the response head of the upgrade. Input: the bytes the server
// sends first. Checks: the head is found within its cap; a response that is
// accepted parses, carries the right accept value and a requested protocol.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "Core/WebSocket/KAVWebSocketHandshake.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string key = "dGhlIHNhbXBsZSBub25jZQ==";
    static const std::optional<std::vector<std::string>> protocols =
        std::vector<std::string>{"chat", "json"};
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const auto length = kavws::responseHeadLength(bytes);
    // Arriving in two pieces finds the same end.
    const size_t split = size > 0 ? data[0] % (size + 1) : 0;
    if (kavws::responseHeadLength(bytes.substr(0, split)) == size_t{0} &&
        kavws::responseHeadLength(bytes, split) != length)
        std::abort();
    if (!length) {
        if (size < kavws::kMaxResponseHeadSize) std::abort();
        return 0;
    }
    if (*length == 0) return 0;
    if (*length > kavws::kMaxResponseHeadSize || bytes.substr(*length - 4, 4) != "\r\n\r\n")
        std::abort();

    const std::string_view head = bytes.substr(0, *length);
    const auto result = kavws::checkHandshakeResponse(head, key, protocols);
    const auto parsed = platform::net::HttpResponseHead::parse(head);
    if (!result.error) {
        if (!parsed || parsed->statusCode >= 400) std::abort();
        if (parsed->fields.value("sec-websocket-accept") != "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=")
            std::abort();
        if (result.protocol && *result.protocol != "chat" && *result.protocol != "json")
            std::abort();
    } else if (result.error->code != 2132 && result.error->code != 2133) {
        std::abort();
    }
    if (parsed)
        for (const auto& [name, value] : parsed->fields.all())
            if (!parsed->fields.value(name) || name.empty()) std::abort();
    return 0;
}
