#pragma once

// Result blocks and the client's own result codes, shared by the channel,
// the request classes and the service object.

#include <functional>
#include <string>

// Every asynchronous operation reports through a success block and a
// failure block (code, message).
using KAVDoneBlock = std::function<void()>;
using KAVFailureBlock = std::function<void(const std::string& code, const std::string& message)>;

// A result the client makes itself, without a server.
struct KAVClientResult {
    const char* code;
    const char* message;
};

// A request object without a channel.
inline constexpr KAVClientResult kKAVNotInitialised{"10002", "网关服务尚未初始化"};
// The channel is not open.
inline constexpr KAVClientResult kKAVNotReady{"10003", "通讯组件未就绪"};
// No reply within the channel's time-out.
inline constexpr KAVClientResult kKAVTimeOut{"sys_1006", "请求超时"};

// The server's success code.
inline constexpr const char* kKAVSuccessCode = "0";

inline void kavFail(const KAVFailureBlock& onFailure, const KAVClientResult& result) {
    if (onFailure) onFailure(result.code, result.message);
}
