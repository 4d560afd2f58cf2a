#pragma once

// A connection that a test drives by hand: it records what the channel
// sends and delivers open, message, failure and close events when told to,
// on the test's own call (never inside one of the channel's calls).

#include <memory>
#include <string>
#include <vector>

#include "Core/webSocket.h"

namespace kavtest {

class FakeConnection : public KAVChannelConnection {
  public:
    explicit FakeConnection(std::string url) : url(std::move(url)) {}

    void setDelegate(std::weak_ptr<Delegate> d) override { delegate = std::move(d); }
    void open() override { opened = true; }
    bool send(std::string text) override {
        if (closed || refuseSends) return false;
        sent.push_back(std::move(text));
        return true;
    }
    void close() override { closed = true; }

    // Events, delivered only while the channel still listens.
    void fireOpen() {
        if (auto d = delegate.lock()) d->connectionDidOpen(*this);
    }
    void fireText(const std::string& text) {
        if (auto d = delegate.lock())
            d->connectionDidReceive(*this, KAVWebSocketMessage::text(text));
    }
    void fireFail() {
        if (auto d = delegate.lock())
            d->connectionDidFail(*this, platform::Error("KAVWebSocketErrorDomain", 2133, "reset"));
    }
    void fireClose(int code = 1000, const std::string& reason = "bye") {
        if (auto d = delegate.lock()) d->connectionDidClose(*this, code, reason, true);
    }
    bool listened() const { return !delegate.expired(); }

    std::string url;
    std::weak_ptr<Delegate> delegate;
    bool opened = false;
    bool closed = false;
    bool refuseSends = false;
    std::vector<std::string> sent;
};

// Makes fake connections and keeps every one it made, in order.
class FakeNetwork {
  public:
    KAVConnectionFactory factory() {
        return [this](const std::string& url) {
            auto c = std::make_shared<FakeConnection>(url);
            made.push_back(c);
            return c;
        };
    }
    FakeConnection& last() { return *made.back(); }
    size_t count() const { return made.size(); }

    std::vector<std::shared_ptr<FakeConnection>> made;
};

}  // namespace kavtest
