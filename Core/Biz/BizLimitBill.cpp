#include "Core/Biz/BizLimitBill.h"

#include "Core/Biz/BizRecordFields.h"
#include "Core/Funs.h"

using namespace bizfields;

BizLimitBill::BizLimitBill(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2005", "2006") {}

MODList<MODLimitBill> BizLimitBill::pushData(const platform::Json* children) {
    return recordsOf<MODLimitBill>(children, &BizLimitBill::recordWith);
}

std::shared_ptr<MODLimitBill> BizLimitBill::recordWith(const platform::Json& r) {
    auto order = std::make_shared<MODLimitBill>();
    order->accId = int32Of(r, "accId");
    order->bsCode = textOf(r, "bsCode");
    order->limitType = textOf(r, "limitType");
    order->marginFreezed = doubleOf(r, "marginFreezed");
    order->memo = textOf(r, "memo");
    order->openDate = textOf(r, "openDate");
    order->orderCode = textOf(r, "orderCode");
    order->orderPrice = doubleOf(r, "orderPrice");
    order->priceStopLose = doubleOf(r, "priceStopLose");
    order->priceTakeProfit = doubleOf(r, "priceTakeProfit");
    order->quantityComplete = doubleOf(r, "quantityComplete");
    order->quantityOrder = doubleOf(r, "quantityOrder");
    order->symbolCode = textOf(r, "symbolCode");
    order->symbolId = int32Of(r, "symbolId");
    order->validDate = textOf(r, "validDate");
    order->validDateType = textOf(r, "validDateType");
    order->symbolName = textOf(r, "symbolName");
    return order;
}

void BizLimitBill::markWithSymbol(MODLimitBill& order, const MODSymbolInfo* symbol) {
    order.markPrice = symbol ? (order.bsCode == "s" ? symbol->ask : symbol->bid) : 0.0;
    order.rangePoint = Funs::getPointWithPrice1(order.markPrice, order.orderPrice, symbol ? symbol->decimal : 0);
}
