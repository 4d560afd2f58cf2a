#include "Core/Biz/BizCloseBill.h"

#include "Core/Biz/BizRecordFields.h"
#include "Core/CalculateUtils.h"

using namespace bizfields;
using namespace reply;

BizCloseBill::BizCloseBill(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2007", "2008") {}

MODList<MODCloseBill> BizCloseBill::pushData(const platform::Json* children) {
    return recordsOf<MODCloseBill>(children, &BizCloseBill::recordWith);
}

std::shared_ptr<MODCloseBill> BizCloseBill::recordWith(const platform::Json& r) {
    auto c = std::make_shared<MODCloseBill>();
    c->accId = int32Value(r, "accId");
    c->bsCode = textValue(r, "bsCode");
    c->chargeClose = doubleValue(r, "chargeClose");
    c->chargeInterest = doubleValue(r, "chargeInterest");
    c->chargeOpen = doubleValue(r, "chargeOpen");
    c->closeDate = textValue(r, "closeDate");
    c->closeType = textValue(r, "closeType");
    c->openDate = textValue(r, "openDate");
    c->orderCode = textValue(r, "orderCode");
    c->priceClose = doubleValue(r, "priceClose");
    c->priceHold = doubleValue(r, "priceHold");
    c->priceOpen = doubleValue(r, "priceOpen");
    c->priceStopLose = doubleValue(r, "priceStopLose");
    c->priceTakeProfit = doubleValue(r, "priceTakeProfit");
    c->profitClose = doubleValue(r, "profitClose");
    c->quantityClose = doubleValue(r, "quantityClose");
    c->quantityHold = doubleValue(r, "quantityHold");
    c->symbolId = int32Value(r, "symbolId");
    c->symbolCode = textValue(r, "symbolCode");
    c->symbolName = textValue(r, "symbolName");
    return c;
}

void BizCloseBill::profitWithSymbol(MODCloseBill& c, const MODSymbolInfo* symbol, double rate) {
    c.profitCloseTotal = 0;
    if (!symbol) return;
    // The record carries the closing side; the ticket ran the other way. A
    // close by buying ("b", or "B" as the profit reads it too) ended a sell.
    const char* side = CalculateUtils::isBuyCode(c.bsCode) ? "s" : "b";
    CalculateUtils::dynProfitWithClosePrice(
        c.priceClose, c.priceOpen, c.priceHold, c.quantityClose, side, symbol->unit, rate,
        symbol->symbolType, [&c](double total, double, double) { c.profitCloseTotal = total; },
        nullptr);
}
