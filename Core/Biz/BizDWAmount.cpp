#include "Core/Biz/BizDWAmount.h"

#include "Core/Biz/BizRecordFields.h"
#include "platform/Strings.h"

using platform::Json;

BizDWAmount::BizDWAmount(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2035", "2036") {}

void BizDWAmount::makeOrderWithSID(const std::string& sid, const std::string& uid,
                                   const MODDWAmount& order, const std::string& eventCode,
                                   KAVDoneBlock onSuccess, KAVFailureBlock onFailure) {
    KAVPackage package = makePackage(eventCode);
    package.addValue(sid, "sid");
    package.addValue(uid, "uid");
    package.addValue("1", "action");
    package.addValue(Json::array({Json{{"accId", platform::stringf("%i", order.accId)},
                                       {"amType", order.amType},
                                       {"changeDate", order.changeDate},
                                       {"memo", order.memo},
                                       {"userId", order.userId},
                                       {"amChange", platform::stringf("%0.2f", order.amChange)}}}),
                     "children");
    send(
        package,
        [onSuccess = std::move(onSuccess)](const KAVPackage&) {
            if (onSuccess) onSuccess();
        },
        std::move(onFailure));
}

MODList<MODDWAmount> BizDWAmount::pushData(const Json* children) {
    // Elements that are not objects carry no movement: read as one, they
    // would be a movement of 0 on account 0.
    return bizfields::recordsOf<MODDWAmount>(children, [](const Json& child) {
        auto item = std::make_shared<MODDWAmount>();
        item->accId = reply::int32Value(child, "accId");
        item->amChange = reply::doubleValue(child, "amChange");
        item->amType = reply::textValue(child, "amType");
        item->changeDate = reply::textValue(child, "changeDate");
        item->memo = reply::textValue(child, "memo");
        item->userId = reply::textValue(child, "userId");
        return item;
    });
}
