#pragma once

#include <functional>
#include <string>

#include "Core/WebSocket/KAVWebSocket.h"

namespace wsprobe {

// Prints one line per delegate callback:
//   open <protocol or ->
//   text <bytes> <JSON-escaped text>
//   binary <bytes> <hex of the first 64 bytes>
//   pong <hex>
//   fail <domain> <code> <description>
//   close <code> <reason or -> <1 if clean else 0>
// With `echo`, every message received is sent back unchanged.
class ProbeDelegate : public KAVWebSocketDelegate {
  public:
    using Sink = std::function<void(const std::string& line)>;
    explicit ProbeDelegate(Sink sink, bool echo = false) : sink_(std::move(sink)), echo_(echo) {}

    // What to do once the connection is open (sending, closing).
    std::function<void(KAVWebSocket&)> onOpen;

    bool finished() const { return finished_; }

    void webSocketDidOpen(KAVWebSocket& ws) override;
    void webSocket(KAVWebSocket& ws, const KAVWebSocketMessage& message) override;
    void webSocket(KAVWebSocket& ws, const platform::Error& error) override;
    void webSocket(KAVWebSocket& ws, int code, const std::optional<std::string>& reason,
                   bool wasClean) override;
    void webSocket(KAVWebSocket& ws, const KAVWebSocketPong& pong) override;

  private:
    Sink sink_;
    bool echo_;
    bool finished_ = false;
};

std::string hex(std::string_view bytes, size_t limit = std::string::npos);
// Nothing when the text is not an even number of hex digits.
std::optional<std::string> fromHex(std::string_view text);

}  // namespace wsprobe
