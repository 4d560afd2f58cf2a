#pragma once

// A small WebSocket client for the simulated dealer's own tests. It renders
// packages the way the trading client does (by hand, every value quoted,
// irregular spacing) and wraps them in the same envelope, so the
// simulator's strict parser sees what it will see from the real client.

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace simtest {

using Json = nlohmann::ordered_json;
using Pairs = std::vector<std::pair<std::string, std::string>>;

// Renders a package as the client does.
std::string renderLikeClient(const std::string& event, int msgOrder, const Pairs& data,
                             const Pairs& children = {}, const Pairs& parames = {});

struct HttpResult {
    int status = 0;
    std::string contentType;
    std::string body;
};
// A plain or TLS HTTP GET (trusting `caFile` for https://); throws on transport failure.
HttpResult httpGet(const std::string& url, const std::string& caFile = "");

class SimClient {
  public:
    // Connects and completes the handshake; throws std::runtime_error on failure.
    // `caFile`: the certificate to trust for wss:// addresses.
    SimClient(const std::string& url, std::string key, const std::string& caFile = "");
    ~SimClient();

    // Tries a connection; the error text, or nothing when it opened.
    static std::optional<std::string> tryConnect(const std::string& url, int timeoutMs,
                                                 const std::string& caFile = "");

    void sendText(const std::string& text);
    // Renders, enciphers when asked, sends; returns the message order used.
    int send(const std::string& event, const Pairs& data, const Pairs& children = {},
             const Pairs& parames = {}, bool encipher = true);
    // Sends and waits for the reply with the same message order; every other
    // package received meanwhile is kept for nextPush(). Throws on time-out.
    Json request(const std::string& event, const Pairs& data, const Pairs& children = {},
                 const Pairs& parames = {}, bool encipher = true, int timeoutMs = 5000);

    // The next package (deciphered when needed), or nothing after the time-out
    // or a close.
    std::optional<Json> next(int timeoutMs = 5000);
    // The next package of the event, skipping (and dropping) others; throws on time-out.
    Json nextPush(const std::string& event, int timeoutMs = 5000);
    // The next raw text message.
    std::optional<std::string> nextText(int timeoutMs = 5000);
    // Whether the server closed the connection within the time-out.
    bool waitClosed(int timeoutMs = 5000);
    int closeCode() const;
    bool closed() const;
    // Whether the last received text was enciphered.
    bool lastWasEnciphered() const { return lastEnciphered_; }

    std::string decipher(const std::string& text) const;
    std::string encipher(const std::string& text) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string key_;
    std::deque<Json> pushes_;
    bool lastEnciphered_ = false;
    static int nextOrder_;
};

}  // namespace simtest
