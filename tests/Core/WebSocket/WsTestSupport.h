#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Core/WebSocket/KAVWebSocket.h"
#include "platform/RunLoop.h"
#include "tools/ws-probe/ProbeDelegate.h"

namespace kavtest {

// A delegate that writes each callback as one line (the ws-probe format),
// so that tests compare the whole sequence of callbacks.
struct Recorder {
    std::vector<std::string> lines;
    std::shared_ptr<wsprobe::ProbeDelegate> delegate;

    explicit Recorder(bool echo = false)
        : delegate(std::make_shared<wsprobe::ProbeDelegate>(
              [this](const std::string& l) { lines.push_back(l); }, echo)) {}
    // Runs the main run loop until the connection ended (real-time bound).
    bool waitFinished(double seconds = 10) {
        return platform::RunLoop::main().runUntil([&] { return delegate->finished(); }, seconds);
    }
    bool waitForLines(size_t n, double seconds = 10) {
        return platform::RunLoop::main().runUntil([&] { return lines.size() >= n; }, seconds);
    }
};

inline std::shared_ptr<KAVWebSocket> openSocket(
    const std::string& url, Recorder& recorder,
    const std::function<void(platform::net::URLRequest&)>& configure = {},
    std::optional<std::vector<std::string>> protocols = std::nullopt) {
    platform::net::URLRequest request(*platform::net::URL::parse(url));
    if (configure) configure(request);
    auto ws = KAVWebSocket::initWithURLRequest(request, std::move(protocols));
    ws->setDelegate(recorder.delegate);
    ws->open();
    return ws;
}

// Waits, without running the main run loop, until `pred` holds.
inline bool pollUntil(const std::function<bool()>& pred, double seconds = 10) {
    for (int i = 0; i < seconds * 500 && !pred(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return pred();
}

}  // namespace kavtest
