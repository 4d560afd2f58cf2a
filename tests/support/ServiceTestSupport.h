#pragma once

// A delegate that records network status codes, a recorder of call
// outcomes, and a list query whose records are the account ids of the reply.

#include <string>
#include <vector>

#include "Core/Biz/IBiz.h"
#include "Core/KAVTypes.h"
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

// Records what an asynchronous call reported: success blocks of derived
// recorders count their calls here too.
struct Reported {
    std::string code;
    std::string message;
    int calls = 0;

    KAVFailureBlock failure() {
        return [this](const std::string& c, const std::string& m) {
            code = c;
            message = m;
            ++calls;
        };
    }
};

class AccountIdsBiz : public IBizOf<std::vector<std::string>> {
  public:
    explicit AccountIdsBiz(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2001", "2002") {}
    std::vector<std::string> pushData(const platform::Json* children) override {
        ++parsed;
        std::vector<std::string> ids;
        if (children && children->is_array())
            for (const auto& child : *children)
                ids.push_back(platform::jsonString(child, "accId"));
        return ids;
    }
    int parsed = 0;
};

}  // namespace kavtest
