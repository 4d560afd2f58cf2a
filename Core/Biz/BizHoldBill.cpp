#include "Core/Biz/BizHoldBill.h"

#include "Core/Biz/BizRecordFields.h"
#include "Core/CalculateUtils.h"

using namespace bizfields;
using namespace reply;

BizHoldBill::BizHoldBill(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2003", "2004") {}

MODList<MODHoldBill> BizHoldBill::pushData(const platform::Json* children) {
    return recordsOf<MODHoldBill>(children, &BizHoldBill::recordWith);
}

std::shared_ptr<MODHoldBill> BizHoldBill::recordWith(const platform::Json& r) {
    auto bill = std::make_shared<MODHoldBill>();
    bill->symbolCode = textValue(r, "symbolCode");
    bill->chargeInterest = doubleValue(r, "chargeInterest");
    bill->profitSettl = doubleValue(r, "profitSettl");
    bill->marginUsed = doubleValue(r, "marginUsed");
    bill->openDate = textValue(r, "openDate");
    bill->chargeOpen = doubleValue(r, "chargeOpen");
    bill->bsCode = textValue(r, "bsCode");
    bill->priceStopLose = doubleValue(r, "priceStopLose");
    bill->priceTakeProfit = doubleValue(r, "priceTakeProfit");
    bill->priceHold = doubleValue(r, "priceHold");
    bill->orderCode = textValue(r, "orderCode");
    bill->accId = int32Value(r, "accId");
    bill->quantityHold = floatValue(r, "quantityHold");
    bill->symbolId = int32Value(r, "symbolId");
    bill->priceOpen = doubleValue(r, "priceOpen");
    return bill;
}

void BizHoldBill::markWithSymbol(MODHoldBill& bill, const MODSymbolInfo* symbol, double rate) {
    // Closing a buy sells at the bid, closing a sell buys at the ask: the
    // mark follows the side the profit counts with, however it is spelt.
    bill.markPrice =
        symbol ? (CalculateUtils::isBuyCode(bill.bsCode) ? symbol->bid : symbol->ask) : 0.0;
    applyDynProfit(bill, symbol, rate);
}

void BizHoldBill::applyDynProfit(MODHoldBill& bill, const MODSymbolInfo* symbol, double rate) {
    CalculateUtils::dynProfitWithClosePrice(
        bill.markPrice, bill.priceOpen, bill.priceHold, static_cast<double>(bill.quantityHold),
        bill.bsCode, symbol ? symbol->unit : 0, rate,
        symbol ? std::string_view(symbol->symbolType) : std::string_view(),
        [&bill](double total, double hold, double converted) {
            bill.dynProfitTotal = total;
            bill.dynProfit = hold;
            bill.dynProfitPrice = converted;
        },
        [&bill](const platform::Error&) {
            bill.dynProfit = 0;
            bill.dynProfitPrice = 0;
        });
}
