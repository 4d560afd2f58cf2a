#include "Core/Biz/BizHoldBill.h"

#include "Core/Biz/BizRecordFields.h"
#include "Core/CalculateUtils.h"

using namespace bizfields;

BizHoldBill::BizHoldBill(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2003", "2004") {}

MODList<MODHoldBill> BizHoldBill::pushData(const platform::Json* children) {
    return recordsOf<MODHoldBill>(children, &BizHoldBill::recordWith);
}

std::shared_ptr<MODHoldBill> BizHoldBill::recordWith(const platform::Json& r) {
    auto bill = std::make_shared<MODHoldBill>();
    bill->symbolCode = textOf(r, "symbolCode");
    bill->chargeInterest = doubleOf(r, "chargeInterest");
    bill->profitSettl = doubleOf(r, "profitSettl");
    bill->marginUsed = doubleOf(r, "marginUsed");
    bill->openDate = textOf(r, "openDate");
    bill->chargeOpen = doubleOf(r, "chargeOpen");
    bill->bsCode = textOf(r, "bsCode");
    bill->priceStopLose = doubleOf(r, "priceStopLose");
    bill->priceTakeProfit = doubleOf(r, "priceTakeProfit");
    bill->priceHold = doubleOf(r, "priceHold");
    bill->orderCode = textOf(r, "orderCode");
    bill->accId = int32Of(r, "accId");
    bill->quantityHold = floatOf(r, "quantityHold");
    bill->symbolId = int32Of(r, "symbolId");
    bill->priceOpen = doubleOf(r, "priceOpen");
    return bill;
}

void BizHoldBill::markWithSymbol(MODHoldBill& bill, const MODSymbolInfo* symbol, double rate) {
    bill.markPrice = symbol ? (bill.bsCode == "s" ? symbol->ask : symbol->bid) : 0.0;
    applyDynProfit(bill, symbol, rate);
}

void BizHoldBill::applyDynProfit(MODHoldBill& bill, const MODSymbolInfo* symbol, double rate) {
    CalculateUtils::dynProfitWithClosePrice(
        bill.markPrice, bill.priceOpen, bill.priceHold, static_cast<double>(bill.quantityHold), bill.bsCode,
        symbol ? symbol->unit : 0, rate, symbol ? std::string_view(symbol->symbolType) : std::string_view(),
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
