#include "tools/kav-probe/ProbeLines.h"

#include <charconv>
#include <cmath>

#include "Core/Funs.h"
#include "platform/Strings.h"

namespace kavprobe {

namespace {

bool needsQuotes(std::string_view text) {
    if (text.empty()) return true;
    for (const char c : text) {
        if (c == ' ' || c == '"' || c == '=' || c == '\\' || static_cast<unsigned char>(c) < 0x20 ||
            c == 0x7f)
            return true;
    }
    return false;
}

std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                    out += platform::stringf("\\u%04x", static_cast<unsigned char>(c));
                } else {
                    out += c;
                }
        }
    }
    return out;
}

}  // namespace

std::string value(std::string_view text) {
    return needsQuotes(text) ? "\"" + escaped(text) + "\"" : std::string(text);
}

std::string value(double number) {
    return platform::shortestDouble(number);
}

std::string value(float number) {
    if (!std::isfinite(number)) return platform::shortestDouble(number);
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return std::string(buffer, result.ptr);
}

std::string value(int64_t number) {
    return std::to_string(number);
}

std::string symbolLine(const MODSymbolInfo& s) {
    return Line("symbol")
        .field("accId", s.accId)
        .field("ask", s.ask)
        .field("bid", s.bid)
        .field("decimal", s.decimal)
        .field("exchangeRate", s.exchangeRate)
        .field("isClose", s.isClose)
        .field("statusTrade", s.statusTrade)
        .field("isTrade", s.isTrade)
        .field("maxPointOffset", s.maxPointOffset)
        .field("maxTradeQuantity", s.maxTradeQuantity)
        .field("minTradeQuantity", s.minTradeQuantity)
        .field("moveRate", s.moveRate)
        .field("pointAsk", s.pointAsk)
        .field("pointBid", s.pointBid)
        .field("pointLimit", s.pointLimit)
        .field("pointStopLose", s.pointStopLose)
        .field("pointTakeProfit", s.pointTakeProfit)
        .field("priceClose", s.priceClose)
        .field("priceCurrent", s.priceCurrent)
        .field("priceHighest", s.priceHighest)
        .field("priceLowest", s.priceLowest)
        .field("priceOpen", s.priceOpen)
        .field("quantityStep", s.quantityStep)
        .field("seatsCode", s.seatsCode)
        .field("symbolCode", s.symbolCode)
        .field("symbolCurrency", s.symbolCurrency)
        .field("accCurrency", s.accCurrency)
        .field("symbolId", s.symbolId)
        .field("symbolName", s.symbolName)
        .field("symbolType", s.symbolType)
        .field("tradeMarketId", s.tradeMarketId)
        .field("tradeMarketName", s.tradeMarketName)
        .field("tradeModel", s.tradeModel)
        .field("traderAccess", s.traderAccess)
        .field("tradeBillType", s.tradeBillType)
        .field("deliveryModel", s.deliveryModel)
        .field("dailyLimitUp", s.dailyLimitUp)
        .field("dailyLimitDown", s.dailyLimitDown)
        .field("quantityMax", s.quantityMax)
        .field("unit", s.unit)
        .field("spread", s.spread)
        .field("dailyHighest", s.dailyHighest)
        .field("dailyLowest", s.dailyLowest)
        .field("upOrDown", s.upOrDown)
        .field("lastTime", s.lastTime)
        .field("quotedTime", s.quotedTime)
        .field("beginTime", s.beginTime)
        .field("endTime", s.endTime)
        .field("beginTradeTime", s.beginTradeTime)
        .field("endTradeTime", s.endTradeTime)
        .str();
}

std::string quoteLine(const MODSymbolInfo& s) {
    return Line("quote")
        .word(value(s.symbolCode))
        .word(Funs::formatPrice(s.bid, s.decimal))
        .word(Funs::formatPrice(s.ask, s.decimal))
        .word(s.lastTime.empty() ? value(s.lastTime) : escaped(s.lastTime))
        .str();
}

std::string accountLine(const MODUserAccount& a) {
    return Line("account")
        .field("accCode", a.accCode)
        .field("seatsCode", a.seatsCode)
        .field("accId", a.accId)
        .field("payId", a.payId)
        .field("orgId", a.orgId)
        .field("dealerId", a.dealerId)
        .field("exchangeId", a.exchangeId)
        .field("amWithdrawable", a.amWithdrawable)
        .field("amMarginFree", a.amMarginFree)
        .field("amMarginFreezed", a.amMarginFreezed)
        .field("amMarginRemain", a.amMarginRemain)
        .field("amMarginUsed", a.amMarginUsed)
        .field("amDailyCloseProfit", a.amDailyCloseProfit)
        .field("amPreBalance", a.amPreBalance)
        .field("amDailyCharge", a.amDailyCharge)
        .field("amDailyInterest", a.amDailyInterest)
        .field("amDailySProfit", a.amDailySProfit)
        .field("netValue", a.netValue)
        .field("profitClose", a.profitClose)
        .field("profitDyn", a.profitDyn)
        .field("risk", a.risk)
        .field("riskType", a.riskType)
        .field("riskCustomWarning", a.riskCustomWarning)
        .field("riskCustomCut", a.riskCustomCut)
        .field("riskLevel", a.riskLevel)
        .field("riskPercent", a.riskPercent)
        .field("currencyCode", a.currencyCode)
        .field("tradeMarketName", a.tradeMarketName)
        .str();
}

std::string rateLine(const MODCERInfo& r) {
    return Line("rate")
        .word(value(r.currencyBase + "_" + r.currencyExchange))
        .word(value(r.exchangeRate))
        .str();
}

std::string riskLine(const MODRiskInfo& r) {
    return Line("risk")
        .field("accId", r.accId)
        .field("notifyType", r.notifyType)
        .field("riskType", r.riskType)
        .field("netValue", r.netValue)
        .field("usedMargin", r.usedMargin)
        .field("riskValue", r.riskValue)
        .field("threshold", r.threshold)
        .str();
}

std::string ticketLine(const MODHoldBill& t) {
    return Line("ticket")
        .field("accId", t.accId)
        .field("bsCode", t.bsCode)
        .field("chargeInterest", t.chargeInterest)
        .field("chargeOpen", t.chargeOpen)
        .field("marginUsed", t.marginUsed)
        .field("openDate", t.openDate)
        .field("orderCode", t.orderCode)
        .field("priceHold", t.priceHold)
        .field("priceOpen", t.priceOpen)
        .field("quantityHold", t.quantityHold)
        .field("priceStopLose", t.priceStopLose)
        .field("symbolCode", t.symbolCode)
        .field("symbolId", t.symbolId)
        .field("priceTakeProfit", t.priceTakeProfit)
        .field("decimal", t.decimal)
        .field("markPrice", t.markPrice)
        .field("dynProfitPrice", t.dynProfitPrice)
        .field("dynProfit", t.dynProfit)
        .field("dynProfitTotal", t.dynProfitTotal)
        .field("upOrDown", t.upOrDown)
        .field("symbolName", t.symbolName)
        .field("tradeMarketName", t.tradeMarketName)
        .field("accCurrency", t.accCurrency)
        .field("symbolCurrency", t.symbolCurrency)
        .field("profitSettl", t.profitSettl)
        .str();
}

std::string pendingLine(const MODLimitBill& o) {
    return Line("pending")
        .field("accId", o.accId)
        .field("bsCode", o.bsCode)
        .field("limitType", o.limitType)
        .field("marginFreezed", o.marginFreezed)
        .field("memo", o.memo)
        .field("openDate", o.openDate)
        .field("orderCode", o.orderCode)
        .field("orderPrice", o.orderPrice)
        .field("priceStopLose", o.priceStopLose)
        .field("priceTakeProfit", o.priceTakeProfit)
        .field("quantityComplete", o.quantityComplete)
        .field("quantityOrder", o.quantityOrder)
        .field("validDate", o.validDate)
        .field("validDateType", o.validDateType)
        .field("symbolName", o.symbolName)
        .field("symbolCode", o.symbolCode)
        .field("symbolId", o.symbolId)
        .field("tradeMarketName", o.tradeMarketName)
        .field("accCurrency", o.accCurrency)
        .field("symbolCurrency", o.symbolCurrency)
        .field("markPrice", o.markPrice)
        .field("rangePoint", o.rangePoint)
        .str();
}

std::string positionLine(const MODHoldPosition& p) {
    return Line("position")
        .field("accId", p.accId)
        .field("moneyBuy", p.moneyBuy)
        .field("moneySell", p.moneySell)
        .field("quantityBuy", p.quantityBuy)
        .field("quantitySell", p.quantitySell)
        .field("symbolId", p.symbolId)
        .field("accCode", p.accCode)
        .field("symbolName", p.symbolName)
        .field("symbolCode", p.symbolCode)
        .field("tradeMarketName", p.tradeMarketName)
        .field("ask", p.ask)
        .field("bid", p.bid)
        .field("dpBuy", p.dpBuy)
        .field("dpSell", p.dpSell)
        .field("dppBuy", p.dppBuy)
        .field("dppSell", p.dppSell)
        .field("avgBuy", p.avgBuy)
        .field("avgSell", p.avgSell)
        .field("quantityApplication", p.quantityApplication)
        .field("bsCode", p.bsCode)
        .field("marginDelivery", p.marginDelivery)
        .field("accCurrency", p.accCurrency)
        .field("symbolCurrency", p.symbolCurrency)
        .str();
}

std::string closedLine(const MODCloseBill& c) {
    return Line("closed")
        .field("accId", c.accId)
        .field("bsCode", c.bsCode)
        .field("chargeClose", c.chargeClose)
        .field("chargeInterest", c.chargeInterest)
        .field("chargeOpen", c.chargeOpen)
        .field("closeDate", c.closeDate)
        .field("closeType", c.closeType)
        .field("openDate", c.openDate)
        .field("orderCode", c.orderCode)
        .field("orderCodeRe", c.orderCodeRe)
        .field("priceClose", c.priceClose)
        .field("priceHold", c.priceHold)
        .field("priceOpen", c.priceOpen)
        .field("priceStopLose", c.priceStopLose)
        .field("priceTakeProfit", c.priceTakeProfit)
        .field("profitClose", c.profitClose)
        .field("profitCloseTotal", c.profitCloseTotal)
        .field("quantityClose", c.quantityClose)
        .field("quantityHold", c.quantityHold)
        .field("symbolId", c.symbolId)
        .field("accCurrency", c.accCurrency)
        .field("symbolCurrency", c.symbolCurrency)
        .field("closeTime", c.closeTime)
        .field("openTime", c.openTime)
        .field("symbolCode", c.symbolCode)
        .field("symbolName", c.symbolName)
        .str();
}

std::string bulletinLine(const MODBulletin& b) {
    return Line("bulletin")
        .field("content", b.content)
        .field("contentId", b.contentId)
        .field("date", b.date)
        .field("level", b.level)
        .field("publish", b.publish)
        .field("readFlag", b.readFlag)
        .field("title", b.title)
        .str();
}

std::string barLine(const MODSymbolInfo& bar) {
    return Line("bar")
        .field("symbolCode", bar.symbolCode)
        .field("quotedTime", bar.quotedTime)
        .field("priceOpen", bar.priceOpen)
        .field("priceHighest", bar.priceHighest)
        .field("priceLowest", bar.priceLowest)
        .field("priceClose", bar.priceClose)
        .str();
}

std::string failLine(std::string_view prefix, const std::string& code, const std::string& message) {
    std::string line(prefix);
    if (!line.empty()) line += ' ';
    line += "fail ";
    line += value(code);
    if (!message.empty()) {
        line += ' ';
        line += escaped(message);
    }
    return line;
}

}  // namespace kavprobe
