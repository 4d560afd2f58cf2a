#include "Core/Biz/BizLimitBill.h"

#include "Core/Biz/BizRecordFields.h"
#include "Core/CalculateUtils.h"
#include "Core/Funs.h"

using namespace bizfields;
using namespace reply;

BizLimitBill::BizLimitBill(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2005", "2006") {}

MODList<MODLimitBill> BizLimitBill::pushData(const platform::Json* children) {
    return recordsOf<MODLimitBill>(children, &BizLimitBill::recordWith);
}

std::shared_ptr<MODLimitBill> BizLimitBill::recordWith(const platform::Json& r) {
    auto order = std::make_shared<MODLimitBill>();
    order->accId = int32Value(r, "accId");
    order->bsCode = textValue(r, "bsCode");
    order->limitType = textValue(r, "limitType");
    order->marginFreezed = doubleValue(r, "marginFreezed");
    order->memo = textValue(r, "memo");
    order->openDate = textValue(r, "openDate");
    order->orderCode = textValue(r, "orderCode");
    order->orderPrice = doubleValue(r, "orderPrice");
    order->priceStopLose = doubleValue(r, "priceStopLose");
    order->priceTakeProfit = doubleValue(r, "priceTakeProfit");
    order->quantityComplete = doubleValue(r, "quantityComplete");
    order->quantityOrder = doubleValue(r, "quantityOrder");
    order->symbolCode = textValue(r, "symbolCode");
    order->symbolId = int32Value(r, "symbolId");
    order->validDate = textValue(r, "validDate");
    order->validDateType = textValue(r, "validDateType");
    order->symbolName = textValue(r, "symbolName");
    return order;
}

void BizLimitBill::markWithSymbol(MODLimitBill& order, const MODSymbolInfo* symbol) {
    // A buy at the bid, any other order at the ask, however the side is
    // spelt: as the quotes mark it afterwards.
    order.markPrice =
        symbol ? (CalculateUtils::isBuyCode(order.bsCode) ? symbol->bid : symbol->ask) : 0.0;
    order.rangePoint =
        Funs::getPointWithPrice1(order.markPrice, order.orderPrice, symbol ? symbol->decimal : 0);
}
