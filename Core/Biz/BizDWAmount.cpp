#include "Core/Biz/BizDWAmount.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/Strings.h"

using platform::Json;

BizDWAmount::BizDWAmount(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2035", "2036") {}

void BizDWAmount::makeOrderWithSID(const std::string& sid, const std::string& uid, const MODDWAmount& order,
                                   const std::string& eventCode, KAVDoneBlock onSuccess, KAVFailureBlock onFailure) {
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
    MODList<MODDWAmount> list;
    if (!children || !children->is_array()) return list;
    for (const Json& child : *children) {
        auto item = std::make_shared<MODDWAmount>();
        item->accId = static_cast<int32_t>(std::clamp<int64_t>(platform::jsonInteger(child, "accId"),
                                                               std::numeric_limits<int32_t>::min(),
                                                               std::numeric_limits<int32_t>::max()));
        item->amChange = platform::jsonDouble(child, "amChange");
        item->amType = platform::jsonString(child, "amType");
        item->changeDate = platform::jsonString(child, "changeDate");
        item->memo = platform::jsonString(child, "memo");
        item->userId = platform::jsonString(child, "userId");
        list.push_back(std::move(item));
    }
    return list;
}
