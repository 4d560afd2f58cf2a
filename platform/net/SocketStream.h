#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/net/Tls.h"

namespace platform::net {

enum class StreamEvent {
    OpenCompleted,      // connected (and, with TLS, the handshake and its checks passed)
    HasBytesAvailable,  // read() has something (or the end, or an error) to report
    HasSpaceAvailable,  // write() can take bytes again
    ErrorOccurred,      // the stream failed; error() tells why
    EndEncountered,     // the peer ended the stream and every byte before it was read
};

enum class StreamStatus { NotOpen, Opening, Open, AtEnd, Closed, Error };

// The input and output stream of one non-blocking TCP socket, with optional
// TLS. The socket lives on the shared network thread; events are delivered
// there, in this order: OpenCompleted, then HasSpaceAvailable; then
// HasBytesAvailable and HasSpaceAvailable as they come. HasBytesAvailable
// fires again after a read() that did not drain the stream; EndEncountered
// comes only after read() has returned every byte received before the end.
// read() and write() may be called from any one thread at a time each.
class SocketStreamPair : public std::enable_shared_from_this<SocketStreamPair> {
  public:
    using EventHandler = std::function<void(StreamEvent)>;

    // The host is resolved on a helper thread when it is not an IP literal.
    static std::shared_ptr<SocketStreamPair> create(std::string host, uint16_t port,
                                                    std::optional<TlsSettings> tls = std::nullopt);
    ~SocketStreamPair();
    SocketStreamPair(const SocketStreamPair&) = delete;
    SocketStreamPair& operator=(const SocketStreamPair&) = delete;

    // The handler runs on the network thread. Set it before open().
    void setEventHandler(EventHandler handler);
    void open();
    // Closes both directions; no event is delivered once it has returned
    // (one already running on the network thread may still finish).
    void close();

    // Reads up to `capacity` bytes: the count read; 0 when nothing is
    // available now or the stream is at its end (status() tells); -1 on
    // failure (error() tells).
    long read(uint8_t* buffer, size_t capacity);
    bool hasBytesAvailable() const;
    // Writes what the socket takes now: the count written (0 when full; a
    // HasSpaceAvailable event follows), or -1 on failure.
    long write(const uint8_t* bytes, size_t length);
    bool hasSpaceAvailable() const;

    StreamStatus status() const;
    std::optional<Error> error() const;
    bool isSecure() const { return tls_.has_value(); }
    const std::string& host() const { return host_; }
    uint16_t port() const { return port_; }

    struct Impl;

  private:
    friend struct StreamOps;
    SocketStreamPair(std::string host, uint16_t port, std::optional<TlsSettings> tls);
    void onSocketEvents(uint32_t events);
    void deliver(const std::vector<StreamEvent>& events);
    void deliverLater(StreamEvent event);

    std::string host_;
    uint16_t port_;
    std::optional<TlsSettings> tls_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform::net
