#include "Core/Biz/BizCloseBill.h"

#include "Core/Biz/BizRecordFields.h"
#include "Core/CalculateUtils.h"

using namespace bizfields;

BizCloseBill::BizCloseBill(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2007", "2008") {}

MODList<MODCloseBill> BizCloseBill::pushData(const platform::Json* children) {
    return recordsOf<MODCloseBill>(children, &BizCloseBill::recordWith);
}

std::shared_ptr<MODCloseBill> BizCloseBill::recordWith(const platform::Json& r) {
    auto c = std::make_shared<MODCloseBill>();
    c->accId = int32Of(r, "accId");
    c->bsCode = textOf(r, "bsCode");
    c->chargeClose = doubleOf(r, "chargeClose");
    c->chargeInterest = doubleOf(r, "chargeInterest");
    c->chargeOpen = doubleOf(r, "chargeOpen");
    c->closeDate = textOf(r, "closeDate");
    c->closeType = textOf(r, "closeType");
    c->openDate = textOf(r, "openDate");
    c->orderCode = textOf(r, "orderCode");
    c->priceClose = doubleOf(r, "priceClose");
    c->priceHold = doubleOf(r, "priceHold");
    c->priceOpen = doubleOf(r, "priceOpen");
    c->priceStopLose = doubleOf(r, "priceStopLose");
    c->priceTakeProfit = doubleOf(r, "priceTakeProfit");
    c->profitClose = doubleOf(r, "profitClose");
    c->quantityClose = doubleOf(r, "quantityClose");
    c->quantityHold = doubleOf(r, "quantityHold");
    c->symbolId = int32Of(r, "symbolId");
    c->symbolCode = textOf(r, "symbolCode");
    c->symbolName = textOf(r, "symbolName");
    return c;
}

void BizCloseBill::profitWithSymbol(MODCloseBill& c, const MODSymbolInfo* symbol, double rate) {
    c.profitCloseTotal = 0;
    if (!symbol) return;
    // The record carries the closing side; the ticket ran the other way.
    const char* side = c.bsCode == "b" ? "s" : "b";
    CalculateUtils::dynProfitWithClosePrice(
        c.priceClose, c.priceOpen, c.priceHold, c.quantityClose, side, symbol->unit, rate, symbol->symbolType,
        [&c](double total, double, double) { c.profitCloseTotal = total; }, nullptr);
}
