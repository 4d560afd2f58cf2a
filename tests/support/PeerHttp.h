#pragma once

// One plain HTTP/1.1 exchange with a peer on loopback, over Boost.Beast: the
// control calls to the simulated dealer and the simulator's own tests of its
// web services share it. Its code is a test peer, built without the
// sanitizers; the files that call it need no Beast header.

#include <string>

namespace kavtest {

struct PeerHttpAnswer {
    int status = 0;
    std::string contentType;
    std::string body;
    std::string error;  // the transport failure; empty when an answer came
};

// Sends `method target` with `body` (JSON when not empty) to host:port and
// reads the whole answer (up to 64 MiB) within `timeoutMs`. The answer is read
// while the request is still being written: a refusal may come before the
// whole body has gone out.
PeerHttpAnswer peerHttpCall(const std::string& host, const std::string& port,
                            const std::string& method, const std::string& target,
                            const std::string& body, int timeoutMs, bool keepAlive = true);

}  // namespace kavtest
