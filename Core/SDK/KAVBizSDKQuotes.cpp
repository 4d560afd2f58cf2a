// Live quotes and re-pricing: a quote changes the cached symbol in place,
// then everything marked against it is re-priced in place and reported, one
// symbol finished before the next: the symbol, its tickets, its net
// position and their account, its pending orders.
#include <algorithm>
#include <cmath>
#include <limits>

#include "Core/Biz/BizHoldBill.h"
#include "Core/Biz/BizUserAccount.h"
#include "Core/Biz/ReplyValues.h"
#include "Core/Funs.h"
#include "Core/SDK/KAVBizSDK.h"
#include "platform/Strings.h"

using platform::Json;

namespace {

// The account's free margin, net value and risk from its money and its
// floating profit.
void recomputeAccount(MODUserAccount& a) {
    const double margin = a.amMarginUsed + a.amMarginFreezed;
    a.amMarginFree = (a.profitDyn + a.amMarginRemain) - margin;
    a.netValue = margin + a.amMarginFree;
    a.risk = reply::toFloat(Funs::riskWith(a.riskType, a.amMarginUsed, a.netValue));
    BizUserAccount::assessRisk(a);
}

// The quote's number under the key, when it has one.
bool quoteValue(const Json& quote, std::string_view key, double& into) {
    const Json* value = platform::jsonMember(quote, key);
    if (!value) return false;
    into = platform::jsonDouble(value);
    return true;
}

// The symbol code of a quote, without a copy when it is a text.
const std::string* quoteCode(const Json& quote, std::string& scratch) {
    const Json* value = platform::jsonMember(quote, "symbolCode");
    if (value && value->is_string()) return &value->get_ref<const std::string&>();
    scratch = platform::jsonText(value).value_or(std::string());
    return &scratch;
}

}  // namespace

void KAVBizSDK::onQuoted(const KAVPackage& package) {
    // Quotes change the caches only while someone listens, and only good ones.
    if (!pushGate(package)) return;
    const Json* children = package.getValue("children");
    if (!children || !children->is_array()) return;
    std::string scratch;
    for (const Json& child : *children) {
        const auto it = dict_symbolInfos.find(*quoteCode(child, scratch));
        if (it == dict_symbolInfos.end()) continue;
        const std::shared_ptr<MODSymbolInfo> symbol = it->second;
        // Every price below is made from this one: without a usable one the
        // quote says nothing about the symbol. Nor does one so far beyond any
        // market that the prices or the profits made from it overflow.
        double current = 0;
        if (!quoteValue(child, "priceCurrent", current) || !usablePrice(current)) {
            Funs::log("无效的行情已跳过：" + symbol->symbolCode);
            continue;
        }
        // Ask and bid are the symbol's own distances from the current price, in points.
        const double f = std::trunc(std::pow(10.0, std::clamp(symbol->decimal, 0, 9)));
        const double points = current * f;
        const double ask = (symbol->pointAsk + points) / f;
        const double bid = (points - symbol->pointBid) / f;
        if (!std::isfinite(ask) || !std::isfinite(bid)) {
            Funs::log("无效的行情已跳过：" + symbol->symbolCode);
            continue;
        }
        // The move of the ask in points, before the ask is replaced; rounded
        // as the distance of a pending order is, so that one point reads as
        // one whatever the binary form of the two prices.
        const double move = std::round(ask * f - f * symbol->ask);
        symbol->upOrDown = std::isfinite(move)
                               ? static_cast<int32_t>(std::clamp(
                                     move, static_cast<double>(std::numeric_limits<int32_t>::min()),
                                     static_cast<double>(std::numeric_limits<int32_t>::max())))
                               : 0;
        symbol->ask = ask;
        symbol->bid = bid;
        symbol->priceCurrent = current;
        // Only what the quote carries, and can be priced with, replaces what
        // the symbol knows.
        for (const auto& [key, field] : {std::pair{"priceHighest", &MODSymbolInfo::priceHighest},
                                         std::pair{"priceLowest", &MODSymbolInfo::priceLowest},
                                         std::pair{"dailyHight", &MODSymbolInfo::dailyHighest},
                                         std::pair{"dailyLow", &MODSymbolInfo::dailyLowest}}) {
            double value = 0;
            if (quoteValue(child, key, value) && usablePrice(value)) symbol.get()->*field = value;
        }
        if (auto lastTime = platform::jsonText(child, "lastTime"))
            symbol->lastTime = std::move(*lastTime);

        updateSymbolInfo(symbol);
        updateHoldBill(*symbol);
        updateLimitBill(*symbol);
    }
}

void KAVBizSDK::updateSymbolInfo(const std::shared_ptr<MODSymbolInfo>& symbol) {
    const MODList<MODSymbolInfo> one{symbol};
    notifyDelegate(delegate(), "onQuotedReceived", kWSPushReport,
                   [&one](WSPushMessage& d) { d.onQuotedReceived(one); });
}

MODList<MODHoldBill> KAVBizSDK::checkHoldBillsWith(const std::string& symbolCode) {
    const auto symbolIt = dict_symbolInfos.find(symbolCode);
    const MODSymbolInfo* symbol =
        symbolIt == dict_symbolInfos.end() ? nullptr : symbolIt->second.get();
    const auto account = symbol ? getAccountWith(symbol->accId) : nullptr;
    const auto positionIt = holdPosition.find(symbolCode);
    MODHoldPosition* position =
        positionIt == holdPosition.end() ? nullptr : positionIt->second.get();
    if (account) account->profitDyn = 0;
    if (position) {
        position->dpBuy = position->dpSell = 0;
        position->dppBuy = position->dppSell = 0;
        if (symbol) {
            position->ask = symbol->ask;
            position->bid = symbol->bid;
        }
    }
    // One rate for every ticket of the symbol, held to float precision.
    const double rate = symbol ? static_cast<double>(static_cast<float>(getExchangeRateWith(
                                     symbol->symbolCurrency, symbol->accCurrency)))
                               : 1.0;

    MODList<MODHoldBill> tickets;
    for (const auto& [orderCode, ticket] : holdBills) {
        if (ticket->symbolCode == symbolCode) {
            // Closing a buy sells at the bid; closing a sell buys at the ask.
            ticket->markPrice = symbol ? (ticket->bsCode == "b" ? symbol->bid : symbol->ask) : 0.0;
            BizHoldBill::applyDynProfit(*ticket, symbol, rate);
            tickets.push_back(ticket);
            if (position && ticket->bsCode == "b") {
                position->dpBuy += ticket->dynProfit;
                position->dppBuy += ticket->dynProfitPrice;
            } else if (position && ticket->bsCode == "s") {
                position->dpSell += ticket->dynProfit;
                position->dppSell += ticket->dynProfitPrice;
            }
        }
        // The account counts in its own currency: every ticket of it, at its
        // last re-pricing.
        if (account && ticket->accId == account->accId)
            account->profitDyn += ticket->dynProfitPrice;
    }
    return tickets;
}

void KAVBizSDK::updateHoldBill(const MODSymbolInfo& symbol) {
    const MODList<MODHoldBill> tickets = checkHoldBillsWith(symbol.symbolCode);
    const auto account = getAccountWith(symbol.accId);
    if (tickets.empty()) {
        // Nothing of this symbol to report, but the account's floating
        // profit was summed again: its free margin and risk follow.
        if (account) recomputeAccount(*account);
        return;
    }
    notifyDelegate(delegate(), "onHoldBillChange", kWSPushSilent,
                   [&tickets](WSPushMessage& d) { d.onHoldBillChange(tickets); });
    updateHoldPosition(symbol);
    updateAccountInfo(account);
}

void KAVBizSDK::updateHoldPosition(const MODSymbolInfo& symbol) {
    MODList<MODHoldPosition> positions;
    if (const auto it = holdPosition.find(symbol.symbolCode); it != holdPosition.end())
        positions.push_back(it->second);
    notifyDelegate(delegate(), "onHoldPositionChange", kWSPushSilent,
                   [&positions](WSPushMessage& d) { d.onHoldPositionChange(positions); });
}

void KAVBizSDK::updateAccountInfo(const std::shared_ptr<MODUserAccount>& account) {
    MODList<MODUserAccount> accounts;
    if (account) {
        recomputeAccount(*account);
        accounts.push_back(account);
    }
    notifyDelegate(delegate(), "onAccountChange", kWSPushSilent,
                   [&accounts](WSPushMessage& d) { d.onAccountChange(accounts); });
}

void KAVBizSDK::updateLimitBill(const MODSymbolInfo& symbol) {
    MODList<MODLimitBill> orders;
    for (const auto& [orderCode, order] : limitBills) {
        if (order->symbolCode != symbol.symbolCode) continue;
        order->markPrice = order->bsCode == "b" ? symbol.bid : symbol.ask;
        // The distance to the market moves with the market.
        order->rangePoint =
            Funs::getPointWithPrice1(order->markPrice, order->orderPrice, symbol.decimal);
        orders.push_back(order);
    }
    if (orders.empty()) return;
    notifyDelegate(delegate(), "onLimitBillChange", kWSPushSilent,
                   [&orders](WSPushMessage& d) { d.onLimitBillChange(orders); });
}

void KAVBizSDK::holdBillsChanged(int32_t accId) {
    const auto account = getAccountWith(accId);
    if (!account) return;
    double profit = 0;
    for (const auto& [orderCode, ticket] : holdBills) {
        if (ticket->accId == accId) profit += ticket->dynProfitPrice;
    }
    account->profitDyn = profit;
    recomputeAccount(*account);
}
