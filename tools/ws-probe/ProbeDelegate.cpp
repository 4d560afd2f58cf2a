#include "tools/ws-probe/ProbeDelegate.h"

#include <nlohmann/json.hpp>

namespace wsprobe {

std::string hex(std::string_view bytes, size_t limit) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    const size_t n = std::min(bytes.size(), limit);
    out.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

std::optional<std::string> fromHex(std::string_view text) {
    if (text.size() % 2) return std::nullopt;
    auto value = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int hi = value(text[i]), lo = value(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    return out;
}

void ProbeDelegate::webSocketDidOpen(KAVWebSocket& ws) {
    sink_("open " + ws.protocol().value_or("-"));
    if (onOpen) onOpen(ws);
}

void ProbeDelegate::webSocket(KAVWebSocket& ws, const KAVWebSocketMessage& message) {
    if (message.isText())
        sink_("text " + std::to_string(message.bytes.size()) + " " +
              nlohmann::json(message.bytes).dump());
    else
        sink_("binary " + std::to_string(message.bytes.size()) + " " + hex(message.bytes, 64));
    if (echo_) ws.send(message);
}

void ProbeDelegate::webSocket(KAVWebSocket&, const platform::Error& error) {
    finished_ = true;
    sink_("fail " + error.domain + " " + std::to_string(error.code) + " " +
          error.localizedDescription);
}

void ProbeDelegate::webSocket(KAVWebSocket&, int code, const std::optional<std::string>& reason,
                              bool wasClean) {
    finished_ = true;
    const std::string shown = reason && !reason->empty() ? *reason : "-";
    sink_("close " + std::to_string(code) + " " + shown + " " + (wasClean ? "1" : "0"));
}

void ProbeDelegate::webSocket(KAVWebSocket&, const KAVWebSocketPong& pong) {
    sink_("pong " + hex(pong.payload));
}

}  // namespace wsprobe
