#include "Core/Biz/BizSymbolInfo.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "Core/Biz/ReplyValues.h"
#include "Core/Funs.h"

using platform::Json;

BizSymbolInfo::BizSymbolInfo(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2009", "2010") {}

MODList<MODSymbolInfo> BizSymbolInfo::pushData(const Json* children) {
    MODList<MODSymbolInfo> symbols;
    if (!children || !children->is_array()) return symbols;
    symbols.reserve(children->size());
    for (const Json& element : *children) {
        if (auto symbol = parseSymbol(element)) {
            symbols.push_back(std::move(symbol));
        } else {
            Funs::log("商品数据缺少商品代码，已跳过：" + element.dump());
        }
    }
    return symbols;
}

std::shared_ptr<MODSymbolInfo> BizSymbolInfo::parseSymbol(const Json& e) {
    using namespace reply;
    if (!e.is_object()) return nullptr;
    std::string code = textValue(e, "symbolCode");
    if (code.empty()) return nullptr;

    auto s = std::make_shared<MODSymbolInfo>();
    s->accId = int32Value(e, "accId");
    s->ask = doubleValue(e, "ask");
    s->bid = doubleValue(e, "bid");
    s->decimal = int32Value(e, "decimal");
    s->isTrade = textValue(e, "isTrade");
    s->maxPointOffset = int32Value(e, "maxPointOffset");
    s->maxTradeQuantity = int32Value(e, "maxTradeQuantity");
    s->minTradeQuantity = int32Value(e, "minTradeQuantity");
    s->moveRate = int32Value(e, "moveRate");
    // The one integer field the server may send with a fraction: cut toward zero.
    const double pointAsk = std::trunc(doubleValue(e, "pointAsk"));
    s->pointAsk = std::isfinite(pointAsk) && std::fabs(pointAsk) < 2147483647.0
                      ? static_cast<int32_t>(pointAsk)
                      : 0;
    s->pointBid = int32Value(e, "pointBid");
    s->pointLimit = int32Value(e, "pointLimit");
    s->pointStopLose = int32Value(e, "pointStopLose");
    s->pointTakeProfit = int32Value(e, "pointTakeProfit");
    s->priceClose = doubleValue(e, "priceClose");
    s->priceCurrent = doubleValue(e, "priceCurrent");
    s->priceHighest = doubleValue(e, "priceHighest");
    s->priceLowest = doubleValue(e, "priceLowest");
    s->priceOpen = doubleValue(e, "priceOpen");
    s->quantityStep = int32Value(e, "quantityStep");
    s->seatsCode = "";
    s->symbolCode = std::move(code);
    s->symbolCurrency = textValue(e, "symbolCurrency");
    s->symbolId = int32Value(e, "symbolId");
    s->symbolName = textValue(e, "symbolName");
    s->symbolType = textValue(e, "symbolType");
    s->tradeMarketId = int32Value(e, "tradeMarketId");
    s->tradeMarketName = textValue(e, "tradeMarketName");
    s->tradeModel = textValue(e, "tradeModel");
    s->traderAccess = textValue(e, "traderAccess");
    s->tradeBillType = textValue(e, "tradeBillType");
    s->deliveryModel = textValue(e, "deliveryModel");
    s->dailyLimitUp = doubleValue(e, "dailyLimitUp");
    s->dailyLimitDown = doubleValue(e, "dailyLimitDown");
    s->quantityMax = int32Value(e, "quantityMax");
    s->unit = int32Value(e, "unit");
    const long long spread = std::llabs(static_cast<long long>(s->pointAsk) - s->pointBid);
    s->spread = static_cast<int32_t>(std::min<long long>(spread, INT32_MAX));
    s->dailyHighest = s->priceHighest;
    s->dailyLowest = s->priceLowest;
    s->lastTime = textValue(e, "date");
    s->beginTradeTime = textValue(e, "beginTradeTime");
    s->endTradeTime = textValue(e, "endTradeTime");
    s->beginTime = Funs::Date2Epoch(s->beginTradeTime);
    s->endTime = Funs::Date2Epoch(s->endTradeTime);
    return s;
}
