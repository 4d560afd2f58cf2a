#pragma once

// The token check a reopened channel sends (event "2019").

#include "Core/Biz/IBiz.h"

class BizReconnect : public IBiz {
  public:
    explicit BizReconnect(const std::shared_ptr<webSocket>& ws);

    // Success: the server accepted the token. Failure: code "1" when the
    // server refused it; the client's own code ("10003", "sys_1006") when no
    // answer came; the message "<channel> - CheckToken -  TOKEN校验失败：<reason>".
    // Without a channel: ("10002", "网关服务尚未初始化").
    void CheckTokenWithSID(const std::string& sid, const std::string& uid, const std::string& pwd,
                           const std::string& token, KAVDoneBlock onSuccess,
                           KAVFailureBlock onFailure);

    // The token check of every channel the service object makes.
    static void checkChannel(webSocket& channel, KAVDoneBlock onSuccess, KAVFailureBlock onFailure);
};
