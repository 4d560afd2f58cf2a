#include "Core/Biz/BizCERInfo.h"

#include "Core/Biz/ReplyValues.h"

using platform::Json;

BizCERInfo::BizCERInfo(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2029", "2030") {}

MODList<MODCERInfo> BizCERInfo::pushData(const Json* children) {
    MODList<MODCERInfo> rates;
    if (!children || !children->is_array()) return rates;
    for (const Json& e : *children) {
        if (!e.is_object()) continue;
        auto rate = std::make_shared<MODCERInfo>();
        rate->currencyBase = reply::textValue(e, "currencyBase");
        rate->currencyExchange = reply::textValue(e, "currencyExchange");
        rate->exchangeRate = reply::doubleValue(e, "exchangeRate");
        rates.push_back(std::move(rate));
    }
    return rates;
}

std::string BizCERInfo::keyOf(const std::string& base, const std::string& counter) {
    std::string key;
    keyInto(key, base, counter);
    return key;
}

void BizCERInfo::keyInto(std::string& key, const std::string& base, const std::string& counter) {
    key.assign(base).append(1, '_').append(counter);
}
