#pragma once

// A delegate that records network status codes, and a list query whose
// records are the account ids of the reply.

#include <string>
#include <vector>

#include "Core/Biz/IBiz.h"
#include "Core/WSPushMessage.h"
#include "platform/Json.h"

namespace kavtest {

struct RecordingDelegate : WSPushMessage {
    void onNetworkStatus(int32_t status) override { statuses.push_back(status); }
    bool saw(int status) const {
        for (int s : statuses)
            if (s == status) return true;
        return false;
    }
    std::vector<int> statuses;
};

class AccountIdsBiz : public IBizOf<std::vector<std::string>> {
  public:
    explicit AccountIdsBiz(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2001", "2002") {}
    std::vector<std::string> pushData(const platform::Json* children) override {
        ++parsed;
        std::vector<std::string> ids;
        if (children && children->is_array())
            for (const auto& child : *children) ids.push_back(platform::jsonString(child, "accId"));
        return ids;
    }
    int parsed = 0;
};

}  // namespace kavtest
