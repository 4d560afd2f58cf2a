#include "Core/Biz/BizOrder.h"

#include <algorithm>

#include "Core/Funs.h"
#include "platform/Strings.h"

using platform::Json;

namespace {

// A number as the dealer reads it, with `digits` decimals. A value that
// shows as zero goes out as zero without a sign: -0 or a tiny negative
// difference would read "-0.00000", and a stop-loss of 0 means none.
std::string orderNumber(double value, int32_t digits) {
    std::string text = Funs::formatPrice(value, digits);
    if (!text.empty() && text[0] == '-' &&
        text.find_first_not_of("0.", 1) == std::string::npos)
        text.erase(0, 1);
    return text;
}

}  // namespace

BizOrder::BizOrder(const std::shared_ptr<webSocket>& ws) : IBiz(ws) {}

Json BizOrder::orderData(const MODOrder& o, int32_t symbolDecimal, const std::string& now) {
    // The digits come from the dealer's symbol: held to what the quotes are
    // priced with, so that a wild count cannot make a price text of any length.
    const int32_t decimal = std::clamp(symbolDecimal, 0, Funs::kMaxPriceDecimals);
    Json d = Json::object();
    d["accId"] = platform::stringf("%i", o.accId);
    d["pointAsk"] = platform::stringf("%i", o.pointAsk);
    d["pointBid"] = platform::stringf("%i", o.pointBid);
    d["orderType"] = o.orderType;
    d["bsCode"] = o.bsCode;
    d["orderSerial"] = "0";
    d["memo"] = o.memo;
    d["orderCode"] = o.orderCode;
    d["orderCodeRe"] = o.orderCodeRe;
    d["orderPrice"] = orderNumber(o.orderPrice, decimal);
    d["orderQuantity"] = orderNumber(o.orderQuantity, 0);
    d["orderTime"] = now;
    d["pointOffset"] = orderNumber(o.pointOffset, 0);
    d["priceStopLose"] = orderNumber(o.priceStopLose, decimal);
    d["priceTakeProfit"] = orderNumber(o.priceTakeProfit, decimal);
    d["revQuantity"] = orderNumber(o.revQuantity, 2);
    d["seatsCode"] = o.seatsCode;
    d["symbolCode"] = o.symbolCode;
    d["symbolId"] = orderNumber(o.symbolId, 0);
    d["validDateType"] = o.validDateType;
    d["validDate"] = o.validDate;
    d["amId"] = "0";
    d["cmDealerId"] = "0";
    d["sendType"] = "";
    d["cutType"] = o.cutType;
    d["pickInfo"] = o.pickInfo;
    return d;
}

void BizOrder::makeOrderWithSID(const std::string& sid, const std::string& uid,
                                const MODOrder& order, int32_t decimal,
                                const std::string& eventCode, KAVDoneBlock onSuccess,
                                KAVFailureBlock onFailure) {
    KAVPackage package = makePackage(eventCode);
    package.addValue(sid, "sid");
    package.addValue(uid, "uid");
    package.addValue("1", "action");
    package.addValue(Json::array({orderData(order, decimal, Funs::getToDay())}), "children");
    send(
        package,
        [onSuccess = std::move(onSuccess)](const KAVPackage&) {
            if (onSuccess) onSuccess();
        },
        std::move(onFailure));
}
