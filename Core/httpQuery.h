#pragma once

#include <functional>
#include <string>
#include <string_view>

// One HTTP request per call, for a URL text (http and https only; redirects
// followed, certificates verified). Outcome: status 200 gives the body
// (possibly empty) to the success block; anything else gives the failure
// block the status as decimal text ("0" when no response came: unreachable
// host, refused connection, transport error, time-out) and "数据请求失败！".
// Either block may be empty. There are no retries.
class httpQuery {
  public:
    using SuccessBlock = std::function<void(const std::string& data)>;
    using FailBlock = std::function<void(const std::string& status, const std::string& message)>;

    // Seconds a request may take from start to complete answer.
    static constexpr double kTimeOut = 10.0;
    static constexpr const char* kFailMessage = "数据请求失败！";
    // What the form POST sends as the application's store identifier.
    static constexpr const char* kStoreIdentifier = "kav.trader";

    // GET on the calling thread: the block runs before the call returns.
    static void synGetWithUrl(const std::string& url, const SuccessBlock& onSuccess,
                              const FailBlock& onFail);
    // POST of "type=focus-c" on the calling thread; the reply is only logged.
    static void synPostWithUrl(const std::string& url);
    // The asynchronous forms run the transfer on a background thread and call
    // the block later on the main run loop, never inside the call. The
    // time-out runs on the main run loop's clock.
    static void asynGetWithUrl(const std::string& url, SuccessBlock onSuccess, FailBlock onFail);
    // POST of the form "id=<store identifier>".
    static void asynPostWithUrl(const std::string& url, SuccessBlock onSuccess, FailBlock onFail);
    // GET of binary data (images).
    static void asynGetWithUrlBin(const std::string& url, SuccessBlock onSuccess, FailBlock onFail);

    // Percent-encodes a text for use as one query value: every byte but the
    // unreserved A-Z a-z 0-9 - . _ ~ becomes %XX (UTF-8 bytes one by one).
    static std::string encodeQueryValue(std::string_view text);
};
