#include "Core/Biz/BizHoldPosition.h"

#include <cmath>

#include "Core/Biz/BizRecordFields.h"
#include "Core/CalculateUtils.h"

using namespace bizfields;
using namespace reply;

namespace {

double averagePrice(double money, double quantity, int32_t unit) {
    const double lots = quantity * static_cast<double>(unit);
    const double average = quantity > 0 && lots != 0 ? money / lots : 0.0;
    // A quantity too small or money too large for any price: no average.
    return std::isfinite(average) ? average : 0.0;
}

// The floating profit of one side closed at `closePrice`: (symbol currency,
// account currency), or zeros.
void sideProfit(double closePrice, double average, double quantity, const char* side,
                const MODSymbolInfo* symbol, double rate, double& profit, double& converted) {
    profit = 0;
    converted = 0;
    // No average (no money known for the side): no price to count from.
    if (!symbol || average == 0) return;
    CalculateUtils::dynProfitWithClosePrice(
        closePrice, average, average, quantity, side, symbol->unit, rate, symbol->symbolType,
        [&](double, double hold, double inRate) {
            profit = hold;
            converted = inRate;
        },
        nullptr);
}

}  // namespace

BizHoldPosition::BizHoldPosition(const std::shared_ptr<webSocket>& ws)
    : IBizOf(ws, "2027", "2028") {}

MODList<MODHoldPosition> BizHoldPosition::pushData(const platform::Json* children) {
    return recordsOf<MODHoldPosition>(children, &BizHoldPosition::recordWith);
}

std::shared_ptr<MODHoldPosition> BizHoldPosition::recordWith(const platform::Json& r) {
    auto p = std::make_shared<MODHoldPosition>();
    p->accId = int32Value(r, "accId");
    p->moneyBuy = doubleValue(r, "moneyBuy");
    p->moneySell = doubleValue(r, "moneySell");
    p->quantityBuy = doubleValue(r, "quantityBuy");
    p->quantitySell = doubleValue(r, "quantitySell");
    p->symbolId = int32Value(r, "symbolId");
    p->accCode = textValue(r, "accCode");
    p->symbolName = textValue(r, "symbolName");
    p->symbolCode = textValue(r, "symbolCode");
    p->tradeMarketName = textValue(r, "tradeMarketName");
    p->ask = doubleValue(r, "ask");
    p->bid = doubleValue(r, "bid");
    p->dpBuy = doubleValue(r, "dpBuy");
    p->dpSell = doubleValue(r, "dpSell");
    p->quantityApplication = doubleValue(r, "quantityApplication");
    p->bsCode = textValue(r, "bsCode");
    return p;
}

void BizHoldPosition::priceWithSymbol(MODHoldPosition& p, const MODSymbolInfo* symbol,
                                      double rate) {
    const int32_t unit = symbol ? symbol->unit : 0;
    p.ask = symbol ? symbol->ask : 0.0;
    p.bid = symbol ? symbol->bid : 0.0;
    p.avgBuy = averagePrice(p.moneyBuy, p.quantityBuy, unit);
    p.avgSell = averagePrice(p.moneySell, p.quantitySell, unit);
    sideProfit(p.bid, p.avgBuy, p.quantityBuy, "b", symbol, rate, p.dpBuy, p.dppBuy);
    sideProfit(p.ask, p.avgSell, p.quantitySell, "s", symbol, rate, p.dpSell, p.dppSell);
}
