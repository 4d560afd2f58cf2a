#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Core/KAVTypes.h"
#include "app/BaseManager.h"
#include "app/EtyDealer.h"

// The one reader and writer of the stored dealers: the selected dealer,
// lookups by key, the list, the selection, and adding a dealer from the
// dealer-definition service. Keeps nothing itself: every call goes to the
// store it was handed, so any number of managers may exist.
// Main thread only.
class DealerManager : public BaseManager {
  public:
    using BaseManager::BaseManager;

    // Failure texts of a lookup.
    static constexpr const char* kLookupFailed = "查询失败。";
    static constexpr const char* kReplyUnreadable = "查询返回内容解析失败。";
    static constexpr const char* kAlreadyStored = "搜索的交易商已经存在\n【 %@ 】";
    static constexpr const char* kStoreUnavailable = "本地数据库无法使用，交易商信息不能保存。";

    // The selected dealer; when none is selected the first stored one becomes
    // selected (and is saved). Null with no dealers or no readable store.
    std::shared_ptr<EtyDealer> getCurrentSelectedDealer();
    // Asks the dealer-definition service at `url` (used as given) and stores
    // the dealer it answers, unselected. Exactly one block (when given) runs
    // later on the main thread: success, or ("1", one of the texts above)
    // or the service's own retCode and message.
    void searchDelaerWithURL(const std::string& url, KAVDoneBlock onSuccess,
                             KAVFailureBlock onFailure);
    // The stored dealer of the key, or null.
    std::shared_ptr<EtyDealer> getEtyDealerWithDealerKey(const std::string& dealerKey);
    // Every stored dealer in the order they were added; nothing when the
    // store cannot be read (an empty list means there are none).
    std::optional<std::vector<std::shared_ptr<EtyDealer>>> getLocalDealerArray();
    // Selects the dealer of the key and no other (none when no dealer has
    // it), then saves.
    void setCurrentSelectedDealerWithDealerKey(const std::string& dealerKey);
    // Whether the dealers can be read and kept at all.
    bool isStoreAvailable();

    // What a dealer-definition reply says: the dealer's values (key, names
    // and hosts; not yet selected or dated), or the failure's code and
    // message (the service's own, or "1" with kReplyUnreadable).
    struct DefinitionReply {
        std::optional<EtyDealer> dealer;
        std::string code;
        std::string message;
    };
    static DefinitionReply readDefinitionReply(const std::string& body);
};
