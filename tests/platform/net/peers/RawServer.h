#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tests/platform/net/peers/Listener.h"

namespace kavtest {

// A frame as the client sent it, unmasked.
struct ClientFrame {
    bool fin = false;
    uint8_t rsv = 0;
    uint8_t opcode = 0;
    bool masked = false;
    uint8_t lengthCode = 0;  // the 7-bit length field as sent
    std::string payload;
    // For close frames: the code (0 when the payload is shorter than 2 bytes) and reason.
    int closeCode() const;
    std::string closeReason() const;
};

// One connection of the raw server: a plain TCP socket on which a script
// writes whatever bytes it likes and reads what the client sends. Reads
// wait at most `timeout` seconds of real time.
class RawConnection {
  public:
    RawConnection(int fd, Listener& listener) : fd_(fd), listener_(listener) {}
    ~RawConnection();

    // Reads the client's request head (up to CR LF CR LF); empty on failure.
    std::string readRequestHead(double timeout = 5.0);
    const std::string& requestHead() const { return head_; }
    std::optional<std::string> requestField(std::string_view name) const;
    // The accept value that answers the request's key.
    std::string acceptValue() const;
    // Writes a 101 response with the right accept value and extra field lines.
    void acceptHandshake(const std::string& extraFields = "");

    void write(std::string_view bytes);
    // Writes the bytes unless the client takes none of them for `stall`
    // seconds (or the connection fails); the count written.
    size_t writeUnlessStalled(std::string_view bytes, double stall);
    // Writes `flood` again and again from `startAt` on, as fast as the client
    // takes it, while reading what the client sends, until its close frame
    // arrives (returned) or `timeout` seconds have passed.
    std::optional<ClientFrame> floodUntilClose(std::string_view flood, double timeout,
                                               size_t startAt = 0);
    // Exactly `count` raw bytes (fewer when the stream ends or time runs out).
    std::string readBytes(size_t count, double timeout = 5.0);
    std::optional<ClientFrame> readFrame(double timeout = 5.0);
    // Reads frames until a close frame arrives (returned) or the stream ends.
    std::optional<ClientFrame> readUntilClose(double timeout = 5.0);
    // True when the client closed the connection (all further bytes skipped).
    bool waitForEnd(double timeout = 5.0);
    void shutdownWrite();
    void close();
    // Ends the connection with a reset: the client's next write fails.
    void reset();

  private:
    bool fill(size_t need, double timeout);

    int fd_;
    Listener& listener_;
    std::string in_;
    std::string head_;
    bool eof_ = false;
};

// An unmasked server frame. `fin`, `rsv` bits and opcode form the first byte.
std::string serverFrame(uint8_t opcode, std::string_view payload, bool fin = true, uint8_t rsv = 0);
std::string closeFramePayload(int code, std::string_view reason = "");

// A server that writes raw bytes: each accepted connection runs the script.
class RawServer {
  public:
    using Script = std::function<void(RawConnection&)>;
    explicit RawServer(Script script);
    uint16_t port() const { return listener_->port(); }
    std::string url(const std::string& path = "/") const;
    Notes notes;

  private:
    Script script_;
    std::unique_ptr<Listener> listener_;
};

}  // namespace kavtest
