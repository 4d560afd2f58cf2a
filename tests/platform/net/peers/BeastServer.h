#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/platform/net/peers/Listener.h"

namespace kavtest {

// One accepted WebSocket connection of the Beast server, used from the
// script's own thread with blocking calls.
class BeastSession {
  public:
    struct Message {
        bool text = true;
        std::string data;
    };
    virtual ~BeastSession() = default;

    // The upgrade request as received.
    std::string target;
    std::vector<std::pair<std::string, std::string>> fields;
    std::optional<std::string> field(const std::string& name) const;

    // The next message; nothing once the connection closed (closeCode tells) or failed.
    virtual std::optional<Message> read() = 0;
    virtual bool write(const Message& message) = 0;
    // One message in several frames, with a ping after each frame but the last.
    virtual bool writeFragmented(bool text, const std::vector<std::string>& parts,
                                 const std::string& ping) = 0;
    virtual bool ping(const std::string& payload) = 0;
    // Starts the closing handshake and reads until the client's reply.
    virtual bool close(int code, const std::string& reason) = 0;
    // Code and reason of the client's close frame (0 when none arrived).
    int closeCode = 0;
    std::string closeReason;
};

// A well-behaved WebSocket peer made with Boost.Beast, plain or TLS, on
// 127.0.0.1. Each connection runs the script on a thread of its own;
// server-side observations go to `notes` ("pong <payload>", "closed <code>
// <reason>", "tls failed", ...).
class BeastServer {
  public:
    struct Tls {
        std::string chainFile;
        std::string keyFile;
    };
    using Script = std::function<void(BeastSession&, Notes&)>;
    // Echoes every message back as it came, until the client closes.
    static void echo(BeastSession& session, Notes& notes);

    explicit BeastServer(Script script = echo, std::optional<Tls> tls = std::nullopt);
    ~BeastServer();
    uint16_t port() const;
    // ws://127.0.0.1:PORT/path, or wss://localhost:PORT/path with TLS.
    std::string url(const std::string& path = "/") const;
    int acceptedCount() const;

    Notes notes;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kavtest
