// The dealer directory and the deposit/withdrawal request of the service object.
#include "Core/Biz/BizDWAmount.h"
#include "Core/Biz/BizDealer.h"
#include "Core/Funs.h"
#include "Core/SDK/KAVBizSDK.h"
#include "platform/MainThread.h"

void KAVBizSDK::queryDealerWithKey(const std::string& key, const std::string& url,
                                   BizDealer::DealersBlock onSuccess, KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    auto biz =
        std::make_shared<BizDealer>(url.empty() ? std::string(BizDealer::kDefaultServer) : url);
    biz->getDealerWithKey(key, std::move(onSuccess), std::move(onFailure));
}

void KAVBizSDK::DWWithAccID(int32_t accId, double amount, const std::string& type,
                            const std::string& memo, KAVDoneBlock onSuccess,
                            KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    MODDWAmount order;
    order.accId = accId;
    order.amChange = amount;
    order.amType = type;
    order.memo = memo;
    order.changeDate = Funs::getToDay();
    order.userId = userId_;
    auto biz = std::make_shared<BizDWAmount>(channelNamed(kWSTrader));
    biz->makeOrderWithSID(sid_, userId_, order, biz->requestCode(), std::move(onSuccess),
                          std::move(onFailure));
}

bool KAVBizSDK::addDealerWith(const std::shared_ptr<MODDealer>& dealer) {
    if (!dealer) return false;
    // A copy of the caller's record, so that the directory's state is its own.
    auto filed = std::make_shared<MODDealer>(*dealer);
    filed->hasDemo = !filed->hostDemo.empty();
    return std::make_shared<BizDealer>()->addDealer(filed);
}

bool KAVBizSDK::removeDealerWith(const std::shared_ptr<MODDealer>& dealer) {
    if (!dealer || dealer->dealerKey.empty()) return false;
    return std::make_shared<BizDealer>()->removeDealer(dealer->dealerKey);
}

MODList<MODDealer> KAVBizSDK::getDealerList() {
    return std::make_shared<BizDealer>()->getDealers();
}
