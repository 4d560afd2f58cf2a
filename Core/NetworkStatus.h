#pragma once

// The codes of onNetworkStatus. The channel reports 1 to 4 and 8 to 10, the
// service object 5 and 6; 7 and 11 only a server's status package carries.
// The integer is what travels (the "actCode" of a status package, the
// delegate's argument); a receiver turns it into a status with
// networkStatusFromCode and leaves a code that names none alone.

#include <cstdint>
#include <optional>

enum class NetworkStatus : int32_t {
    Connecting = 1,  // a connection attempt starts, also each reconnect
    Connected = 2,
    OpenTimedOut = 3,  // not opened within the channel's time-out
    Closed = 4,        // by the peer or the network
    LoginStarted = 5,
    LoginSucceeded = 6,
    LoginFailed = 7,  // no sender of ours
    TokenCheck = 8,   // the token check of a reopened channel was sent
    TokenPassed = 9,
    TokenFailed = 10,        // the channel has closed itself
    SameUserElsewhere = 11,  // the same account logged in elsewhere
};

constexpr int32_t networkStatusCode(NetworkStatus status) {
    return static_cast<int32_t>(status);
}

// The status a code names; none for any other code (a server may send any).
constexpr std::optional<NetworkStatus> networkStatusFromCode(int32_t code) {
    if (code < networkStatusCode(NetworkStatus::Connecting) ||
        code > networkStatusCode(NetworkStatus::SameUserElsewhere))
        return std::nullopt;
    return static_cast<NetworkStatus>(code);
}
