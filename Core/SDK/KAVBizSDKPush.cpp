// The push dispatcher: every package a channel could not match to a request
// goes to one handler by its event code. Record pushes keep the caches in
// step (a ticket, order or position whose quantity has gone to 0 leaves its
// cache) and report each record; session pushes end the session.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <unordered_map>

#include "Core/Biz/BizBulletin.h"
#include "Core/Biz/BizCERInfo.h"
#include "Core/Biz/BizCloseBill.h"
#include "Core/Biz/BizHoldBill.h"
#include "Core/Biz/BizHoldPosition.h"
#include "Core/Biz/BizLimitBill.h"
#include "Core/Biz/BizRecordFields.h"
#include "Core/Biz/BizSymbolInfo.h"
#include "Core/Biz/BizUserAccount.h"
#include "Core/Funs.h"
#include "Core/SDK/KAVBizSDK.h"
#include "Core/SymbolFields.h"
#include "platform/MainThread.h"
#include "platform/Strings.h"

using platform::Json;

namespace {

// Quantities come as decimal texts: a close of "0.3" out of "0.3" held is
// the whole ticket even where the two do not meet exactly in binary.
constexpr double kQuantityTolerance = 1e-9;

// Why a pushed symbol record cannot be taken, or nothing: decimals beyond
// what a price can show, a blank name, or a new symbol without one. A
// value that is missing or cannot be read is no reason: a change of a known
// symbol keeps what it does not carry readably.
std::string unreadableSymbolChange(const Json& pushed, bool known) {
    if (const auto decimal = reply::readableNumber(pushed, "decimal");
        decimal && (*decimal < 0 || *decimal > Funs::kMaxPriceDecimals))
        return platform::stringf("小数位数 %s 不在 0 到 %d 之间",
                                 reply::textValue(pushed, "decimal").c_str(),
                                 Funs::kMaxPriceDecimals);
    const Json* name = platform::jsonMember(pushed, "symbolName");
    if (name ? reply::textValue(pushed, "symbolName").find_first_not_of(" \t\r\n") ==
                   std::string::npos
             : !known)
        return "没有商品名称";
    return {};
}

// A change of a known symbol replaces only the fields it carries readably;
// the others, and those a push never carries, stay as the symbol had them.
// The prices have their own rule (fileSymbolChange).
void keepUnsentSymbolFields(MODSymbolInfo& symbol, const MODSymbolInfo& cached,
                            const Json& pushed) {
    static constexpr std::pair<const char*, int32_t MODSymbolInfo::*> kWhole[] = {
        {"accId", &MODSymbolInfo::accId},
        {"decimal", &MODSymbolInfo::decimal},
        {"maxPointOffset", &MODSymbolInfo::maxPointOffset},
        {"maxTradeQuantity", &MODSymbolInfo::maxTradeQuantity},
        {"minTradeQuantity", &MODSymbolInfo::minTradeQuantity},
        {"moveRate", &MODSymbolInfo::moveRate},
        {"pointAsk", &MODSymbolInfo::pointAsk},
        {"pointBid", &MODSymbolInfo::pointBid},
        {"pointLimit", &MODSymbolInfo::pointLimit},
        {"pointStopLose", &MODSymbolInfo::pointStopLose},
        {"pointTakeProfit", &MODSymbolInfo::pointTakeProfit},
        {"quantityStep", &MODSymbolInfo::quantityStep},
        {"tradeMarketId", &MODSymbolInfo::tradeMarketId},
        {"quantityMax", &MODSymbolInfo::quantityMax},
        {"unit", &MODSymbolInfo::unit},
    };
    for (const auto& [key, field] : kWhole)
        if (!reply::readableNumber(pushed, key)) symbol.*field = cached.*field;
    static constexpr std::pair<const char*, double MODSymbolInfo::*> kLimits[] = {
        {"dailyLimitUp", &MODSymbolInfo::dailyLimitUp},
        {"dailyLimitDown", &MODSymbolInfo::dailyLimitDown},
    };
    for (const auto& [key, field] : kLimits)
        if (!reply::readableNumber(pushed, key)) symbol.*field = cached.*field;
    static constexpr std::pair<const char*, std::string MODSymbolInfo::*> kTexts[] = {
        {"isTrade", &MODSymbolInfo::isTrade},
        {"symbolCurrency", &MODSymbolInfo::symbolCurrency},
        {"symbolName", &MODSymbolInfo::symbolName},
        {"symbolType", &MODSymbolInfo::symbolType},
        {"tradeMarketName", &MODSymbolInfo::tradeMarketName},
        {"tradeModel", &MODSymbolInfo::tradeModel},
        {"traderAccess", &MODSymbolInfo::traderAccess},
        {"tradeBillType", &MODSymbolInfo::tradeBillType},
        {"deliveryModel", &MODSymbolInfo::deliveryModel},
        {"beginTradeTime", &MODSymbolInfo::beginTradeTime},
        {"endTradeTime", &MODSymbolInfo::endTradeTime},
    };
    for (const auto& [key, field] : kTexts)
        if (!platform::jsonMember(pushed, key)) symbol.*field = cached.*field;
    if (!platform::jsonMember(pushed, "beginTradeTime")) symbol.beginTime = cached.beginTime;
    if (!platform::jsonMember(pushed, "endTradeTime")) symbol.endTime = cached.endTime;
    const long long spread = std::llabs(static_cast<long long>(symbol.pointAsk) - symbol.pointBid);
    symbol.spread = static_cast<int32_t>(std::min<long long>(spread, INT32_MAX));
    // Never carried by a change.
    symbol.exchangeRate = cached.exchangeRate;
    symbol.isClose = cached.isClose;
    symbol.statusTrade = cached.statusTrade;
    symbol.seatsCode = cached.seatsCode;
    symbol.quotedTime = cached.quotedTime;
}

// A change of a cached ticket or order replaces only the fields it carries
// readably; the others stay as the record had them: a price that is not
// sent is not 0, nor a side that is not sent a sell. The quantity has its
// own rule (the handlers), the symbol's fields theirs (eachPushed).
template <typename Record, size_t kNumbers, size_t kTexts>
void keepUnsentRecordFields(Record& record, const Record& cached, const Json& pushed,
                            const std::pair<const char*, double Record::*> (&numbers)[kNumbers],
                            const std::pair<const char*, std::string Record::*> (&texts)[kTexts]) {
    for (const auto& [key, field] : numbers)
        if (!reply::readableNumber(pushed, key)) record.*field = cached.*field;
    for (const auto& [key, field] : texts)
        if (!platform::jsonMember(pushed, key)) record.*field = cached.*field;
    if (!reply::readableNumber(pushed, "symbolId")) record.symbolId = cached.symbolId;
}

void keepUnsentTicketFields(MODHoldBill& ticket, const MODHoldBill& cached, const Json& pushed) {
    static constexpr std::pair<const char*, double MODHoldBill::*> kNumbers[] = {
        {"chargeInterest", &MODHoldBill::chargeInterest},
        {"profitSettl", &MODHoldBill::profitSettl},
        {"marginUsed", &MODHoldBill::marginUsed},
        {"chargeOpen", &MODHoldBill::chargeOpen},
        {"priceStopLose", &MODHoldBill::priceStopLose},
        {"priceTakeProfit", &MODHoldBill::priceTakeProfit},
        {"priceHold", &MODHoldBill::priceHold},
        {"priceOpen", &MODHoldBill::priceOpen},
    };
    static constexpr std::pair<const char*, std::string MODHoldBill::*> kTexts[] = {
        {"bsCode", &MODHoldBill::bsCode},
        {"openDate", &MODHoldBill::openDate},
    };
    keepUnsentRecordFields(ticket, cached, pushed, kNumbers, kTexts);
}

void keepUnsentOrderFields(MODLimitBill& order, const MODLimitBill& cached, const Json& pushed) {
    static constexpr std::pair<const char*, double MODLimitBill::*> kNumbers[] = {
        {"marginFreezed", &MODLimitBill::marginFreezed},
        {"orderPrice", &MODLimitBill::orderPrice},
        {"priceStopLose", &MODLimitBill::priceStopLose},
        {"priceTakeProfit", &MODLimitBill::priceTakeProfit},
        {"quantityComplete", &MODLimitBill::quantityComplete},
    };
    static constexpr std::pair<const char*, std::string MODLimitBill::*> kTexts[] = {
        {"bsCode", &MODLimitBill::bsCode},
        {"limitType", &MODLimitBill::limitType},
        {"memo", &MODLimitBill::memo},
        {"openDate", &MODLimitBill::openDate},
        {"validDate", &MODLimitBill::validDate},
        {"validDateType", &MODLimitBill::validDateType},
    };
    keepUnsentRecordFields(order, cached, pushed, kNumbers, kTexts);
}

// Files a pushed record under its key: a record cached under the key takes
// the new values in place (whoever holds it sees them), a new one enters as
// a copy (the record handed to the delegate stays its own), and one that is
// gone leaves the cache. Records without a key are not cached.
template <typename Record>
void fileRecord(std::map<std::string, std::shared_ptr<Record>>& cache, const std::string& key,
                const Record& record, bool gone) {
    if (key.empty()) return;
    if (gone) {
        cache.erase(key);
        return;
    }
    auto& slot = cache[key];
    if (slot) {
        *slot = record;
    } else {
        slot = std::make_shared<Record>(record);
    }
}

// Completes each pushed record from its cached symbol (found by its code,
// else by its id; without one the record keeps what it came with) and
// `complete`, which also sees the record's own element of the push, then
// reports it alone, before the next one. A record `complete` returns false
// for is not reported: one the cache never held, pushed with a quantity that
// cannot be read, says nothing a listener could take for its state, and its
// quantity of 0 would read as gone. (A late push of a record that is gone
// is reported as it came: the lists keep it out themselves.) A record that names neither code
// nor id is a change of the record `cachedOf` holds, if any, and stays with
// that record's symbol: its account, its price and the quotes that re-price
// it all follow the symbol.
template <typename Record, typename CachedOf, typename Complete, typename Report>
void eachPushed(KAVBizSDK& sdk, const Json* children, std::shared_ptr<Record> (*parse)(const Json&),
                const char* method, CachedOf cachedOf, Complete complete, Report report) {
    bizfields::forEachChild(children, [&](const Json& child) {
        const std::shared_ptr<Record> record = parse(child);
        if (record->symbolCode.empty() && !reply::readableNumber(child, "symbolId"))
            if (const Record* cached = cachedOf(*record)) {
                record->symbolCode = cached->symbolCode;
                record->symbolId = cached->symbolId;
            }
        auto symbol = sdk.getSymbolWith(record->symbolCode);
        if (!symbol) symbol = sdk.getSymbolWithId(record->symbolId);
        if (symbol) takeSymbolFields(*record, symbol.get());
        if (!complete(*record, symbol.get(), child)) return;
        const MODList<Record> one{record};
        notifyDelegate(sdk.delegate(), method, kWSPushReport,
                       [&](WSPushMessage& d) { report(d, one); });
    });
}

// The cached record under the key, or null.
template <typename Record>
Record* cachedRecord(std::map<std::string, std::shared_ptr<Record>>& cache,
                     const std::string& key) {
    if (key.empty()) return nullptr;
    const auto it = cache.find(key);
    return it == cache.end() ? nullptr : it->second.get();
}

}  // namespace

void KAVBizSDK::onPushMessage(webSocket& channel, const KAVPackage& package) {
    KAV_ASSERT_MAIN_THREAD();
    // Quotes are nearly every push: their event is told before any look-up.
    if (package.eventText() == "4002") {
        onQuoted(package);
        return;
    }
    using Handler = void (KAVBizSDK::*)(const KAVPackage&);
    // Events without a handler are known and ignored.
    static const std::unordered_map<std::string_view, Handler> kHandlers = {
        {"4002", &KAVBizSDK::onQuoted},
        {"4004", &KAVBizSDK::onSymbolChange},
        {"4008", &KAVBizSDK::onAccountChange},
        {"4016", &KAVBizSDK::onHoldBillChange},
        {"4018", &KAVBizSDK::onLimitBillChange},
        {"4020", &KAVBizSDK::onCloseBillChange},
        {"4022", &KAVBizSDK::onHoldPositionChange},
        {"4010", &KAVBizSDK::onSameUserLogin},
        {"4012", &KAVBizSDK::onTerminal},
        {"4024", &KAVBizSDK::onExchangeRateChange},
        {"8002", &KAVBizSDK::onBulletinPush},
        {"4030", &KAVBizSDK::onRiskChange},
        {"4032", &KAVBizSDK::onRiskChange},
        {"4034", &KAVBizSDK::onDeliveryNotice},
        {"4026", nullptr},
        {"sys_1007", nullptr},
        {"sys_1009", nullptr},
        {"sys_1010", nullptr},
        {"sys_1004", &KAVBizSDK::onTokenRefused},
        {webSocket::kStatusEvent, &KAVBizSDK::onWSAction},
    };
    const auto it = kHandlers.find(package.eventText());
    if (it == kHandlers.end()) {
        Funs::log(platform::stringf("接收到推送消息：【%s】-【%s】", channel.Name().c_str(),
                                    package.event().c_str()));
        return;
    }
    if (it->second) (this->*(it->second))(package);
}

bool KAVBizSDK::pushGate(const KAVPackage& package) const {
    // Whether a delegate is there, without taking a hold on it.
    return package.retCodeText() == kKAVSuccessCode && !delegate_.expired();
}

// ---- session ---------------------------------------------------------------

void KAVBizSDK::onWSAction(const KAVPackage& package) {
    // Any code passes, also codes no channel makes (a server's status push);
    // one beyond 32 bits is held to the range, not wrapped onto a small code.
    if (package.getValue("actCode")) {
        SendNetworkStatus(reply::int32Value(package.kavData(), "actCode"));
    }
}

void KAVBizSDK::onSameUserLogin(const KAVPackage&) {
    closeSession();
    notifyDelegate(delegate(), "onSameUserLogin", kWSPushAlwaysLog,
                   [](WSPushMessage& d) { d.onSameUserLogin(); });
}

void KAVBizSDK::onTerminal(const KAVPackage&) {
    closeSession();
    notifyDelegate(delegate(), "onTerminal", kWSPushAlwaysLog,
                   [](WSPushMessage& d) { d.onTerminal(); });
}

void KAVBizSDK::onDeliveryNotice(const KAVPackage&) {
    Funs::log("收到交割通知");
}

void KAVBizSDK::onTokenRefused(const KAVPackage&) {
    Funs::log("接收到TOKEN校验失败通知");
    startReconnect();
}

// ---- definitions: symbols, rates, bulletins -------------------------------------

void KAVBizSDK::onSymbolChange(const KAVPackage& package) {
    if (!pushGate(package)) {
        Funs::log("onSymbolChange 推送的商品变更数据异常");
        return;
    }
    MODList<MODSymbolInfo> changed;
    const Json* children = package.getValue("children");
    if (children && children->is_array()) {
        for (const Json& child : *children) {
            auto symbol = BizSymbolInfo::parseSymbol(child);
            if (!symbol) {
                Funs::log("商品数据缺少商品代码，已跳过：" + child.dump());
                continue;
            }
            if (auto kept = fileSymbolChange(std::move(symbol), child))
                changed.push_back(std::move(kept));
        }
    }
    notifyDelegate(delegate(), "onSymbolChange", kWSPushReport,
                   [&](WSPushMessage& d) { d.onSymbolChange(changed); });
}

std::shared_ptr<MODSymbolInfo> KAVBizSDK::fileSymbolChange(std::shared_ptr<MODSymbolInfo> symbol,
                                                           const Json& pushed) {
    const auto known = dict_symbolInfos.find(symbol->symbolCode);
    const std::shared_ptr<MODSymbolInfo> cached =
        known == dict_symbolInfos.end() ? nullptr : known->second;
    // A change that names no id keeps the one the symbol has.
    if (cached && !reply::readableNumber(pushed, "symbolId")) symbol->symbolId = cached->symbolId;
    // Tickets, orders and positions find their symbol by id as well as by
    // code: one id must never stand for two codes.
    if (const auto byId = dict_symbolIds.find(symbol->symbolId);
        byId != dict_symbolIds.end() && byId->second != cached) {
        Funs::log(platform::stringf("商品变更已拒绝：商品编号 %d 已属于 %s，不能再给 %s",
                                    symbol->symbolId, byId->second->symbolCode.c_str(),
                                    symbol->symbolCode.c_str()));
        return nullptr;
    }
    // A record that cannot stand for a symbol is refused whole: the board's
    // row, every price's decimals and the order screens' bounds read it.
    if (const std::string why = unreadableSymbolChange(pushed, cached != nullptr); !why.empty()) {
        Funs::log("商品变更已拒绝：" + symbol->symbolCode + " " + why);
        return nullptr;
    }
    if (cached) keepUnsentSymbolFields(*symbol, *cached, pushed);
    const auto account = getAccountWith(symbol->accId);
    symbol->accCurrency = account ? account->currencyCode : std::string();
    if (!cached) {
        dict_symbolInfos[symbol->symbolCode] = symbol;
        dict_symbolIds[symbol->symbolId] = symbol;
        symbolInfos_.push_back(symbol);
        return symbol;
    }
    // The live quote stays unless the change brings usable prices of its own:
    // an order priced from the symbol must never go out at 0.
    struct PriceKey {
        const char* key;
        double MODSymbolInfo::*field;
        double MODSymbolInfo::*twin;  // a second field loaded from the same key
    };
    static constexpr PriceKey kPrices[] = {
        {"ask", &MODSymbolInfo::ask, nullptr},
        {"bid", &MODSymbolInfo::bid, nullptr},
        {"priceCurrent", &MODSymbolInfo::priceCurrent, nullptr},
        {"priceOpen", &MODSymbolInfo::priceOpen, nullptr},
        {"priceClose", &MODSymbolInfo::priceClose, nullptr},
        {"priceHighest", &MODSymbolInfo::priceHighest, &MODSymbolInfo::dailyHighest},
        {"priceLowest", &MODSymbolInfo::priceLowest, &MODSymbolInfo::dailyLowest},
    };
    for (const PriceKey& p : kPrices) {
        const auto value = reply::readableNumber(pushed, p.key);
        if (value && usablePrice(*value)) continue;
        symbol.get()->*p.field = cached.get()->*p.field;
        if (p.twin) symbol.get()->*p.twin = cached.get()->*p.twin;
    }
    if (!platform::jsonMember(pushed, "date")) symbol->lastTime = cached->lastTime;
    symbol->upOrDown = cached->upOrDown;

    // One record serves the code, the id and the list: changed in place,
    // every view and every screen holding it sees the new definition.
    if (const auto old = dict_symbolIds.find(cached->symbolId);
        old != dict_symbolIds.end() && old->second == cached &&
        cached->symbolId != symbol->symbolId)
        dict_symbolIds.erase(old);
    *cached = *symbol;
    dict_symbolIds[cached->symbolId] = cached;
    return cached;
}

void KAVBizSDK::onExchangeRateChange(const KAVPackage& package) {
    if (!pushGate(package)) {
        Funs::log("onExchangeRateChange 推送的汇率变更数据异常");
        return;
    }
    const Json* children = package.getValue("children");
    const auto rates = BizCERInfo().pushData(children);
    // One record per object of the list, in its order. A rate that is
    // missing, cannot be read or is not above 0 converts nothing: the rate
    // it would replace stays, rather than every profit of the pair going to 0.
    size_t next = 0;
    bizfields::forEachChild(children, [&](const Json& child) {
        if (next >= rates.size()) return;
        const auto& rate = rates[next++];
        const std::string key = BizCERInfo::keyOf(rate->currencyBase, rate->currencyExchange);
        if (const auto value = reply::readableNumber(child, "exchangeRate");
            !value || !(*value > 0)) {
            Funs::log("汇率无法使用，未记入：" + key);
            return;
        }
        exchangeRate[key] = rate;
    });
    notifyDelegate(delegate(), "onExchangeRateChange", kWSPushReport,
                   [&](WSPushMessage& d) { d.onExchangeRateChange(rates); });
}

void KAVBizSDK::onBulletinPush(const KAVPackage& package) {
    if (!pushGate(package)) {
        Funs::log("onBulletinPush 推送的公告数据异常");
        return;
    }
    const auto bulletins = BizBulletin().pushData(package.getValue("children"));
    notifyDelegate(delegate(), "onBulletinPush", kWSPushReport,
                   [&](WSPushMessage& d) { d.onBulletinPush(bulletins); });
}

// ---- money: accounts and risk notices --------------------------------------------

void KAVBizSDK::onAccountChange(const KAVPackage& package) {
    if (!pushGate(package) || accounts_.empty()) return;
    // Only the money the push carries readably: a balance that is not sent
    // is not 0.
    bizfields::forEachChild(package.getValue("children"), [&](const Json& child) {
        const auto pushed = BizUserAccount::parseAccount(child);
        const auto account = pushed ? getAccountWith(pushed->accId) : nullptr;
        if (!account) return;
        for (size_t i = 0; i < std::size(kPushedMoney); ++i) {
            const auto& [key, field] = kPushedMoney[i];
            if (!reply::readableNumber(child, key)) continue;
            account.get()->*field = pushed.get()->*field;
            pushedMoney_[{account->accId, i}] = ++pushMarks_;
        }
        updateAccountInfo(account);
    });
}

void KAVBizSDK::onRiskChange(const KAVPackage& package) {
    if (!pushGate(package)) return;
    MODList<MODRiskInfo> risks;
    bizfields::forEachChild(package.getValue("children"), [&](const Json& r) {
        auto risk = std::make_shared<MODRiskInfo>();
        risk->accId = reply::int32Value(r, "accId");
        risk->riskType = reply::textValue(r, "riskType");
        risk->notifyType = reply::textValue(r, "notifyType");
        risk->netValue = reply::doubleValue(r, "netValue");
        risk->usedMargin = reply::doubleValue(r, "usedMargin");
        risk->riskValue = reply::doubleValue(r, "riskValue");
        risk->threshold = reply::doubleValue(r, "threshold");
        risks.push_back(std::move(risk));
    });
    const std::vector<MODList<MODRiskInfo>> one{std::move(risks)};
    notifyDelegate(delegate(), "onRiskChange", kWSPushReport,
                   [&](WSPushMessage& d) { d.onRiskChange(one); });
}

// ---- trading records ------------------------------------------------------------

void KAVBizSDK::onHoldBillChange(const KAVPackage& package) {
    if (!pushGate(package)) return;
    eachPushed(
        *this, package.getValue("children"), &BizHoldBill::recordWith, "onHoldBillChange",
        [this](const MODHoldBill& t) { return cachedRecord(holdBills, t.orderCode); },
        [this](MODHoldBill& ticket, const MODSymbolInfo* symbol, const Json& child) -> bool {
            const MODHoldBill* cached = cachedRecord(holdBills, ticket.orderCode);
            // A quantity that cannot be read says nothing, least of all that
            // the ticket is closed: it keeps the quantity it has.
            const auto quantity = reply::readableNumber(child, "quantityHold");
            if (!quantity && cached) ticket.quantityHold = cached->quantityHold;
            if (cached) keepUnsentTicketFields(ticket, *cached, child);
            BizHoldBill::markWithSymbol(
                ticket, symbol, exchangeRateWith(ticket.symbolCurrency, ticket.accCurrency));
            if (!quantity && !cached) {
                Funs::log("持仓单数量无法读取，未记入：" + ticket.orderCode);
                return false;
            }
            const bool closed = quantity && !(*quantity > 0);
            if (closed && !ticket.orderCode.empty()) {
                markPushed(goneTickets_, ticket.orderCode);
            } else if (!cached && goneTickets_.count(ticket.orderCode)) {
                Funs::log("持仓单已平仓，迟到的推送未记入：" + ticket.orderCode);
                return true;
            }
            // A ticket the quotes must re-price from now on, or one closed in full.
            if (!closed && !ticket.orderCode.empty()) markPushed(filedTickets_, ticket.orderCode);
            fileRecord(holdBills, ticket.orderCode, ticket, closed);
            holdBillsChanged(ticket.accId);
            return true;
        },
        [](WSPushMessage& d, const MODList<MODHoldBill>& one) { d.onHoldBillChange(one); });
}

void KAVBizSDK::onLimitBillChange(const KAVPackage& package) {
    if (!pushGate(package)) return;
    eachPushed(
        *this, package.getValue("children"), &BizLimitBill::recordWith, "onLimitBillChange",
        [this](const MODLimitBill& o) { return cachedRecord(limitBills, o.orderCode); },
        [this](MODLimitBill& order, const MODSymbolInfo* symbol, const Json& child) -> bool {
            const MODLimitBill* cached = cachedRecord(limitBills, order.orderCode);
            // Filled or cancelled orders come with nothing left to fill; an
            // order whose quantity is missing or unreadable is still there.
            const auto quantity = reply::readableNumber(child, "quantityOrder");
            if (!quantity && cached) order.quantityOrder = cached->quantityOrder;
            if (cached) keepUnsentOrderFields(order, *cached, child);
            BizLimitBill::markWithSymbol(order, symbol);
            if (!quantity && !cached) {
                Funs::log("挂单数量无法读取，未记入：" + order.orderCode);
                return false;
            }
            const bool done = quantity && !(*quantity > 0);
            if (done && !order.orderCode.empty()) {
                markPushed(goneOrders_, order.orderCode);
            } else if (!cached && goneOrders_.count(order.orderCode)) {
                Funs::log("挂单已成交或撤销，迟到的推送未记入：" + order.orderCode);
                return true;
            }
            if (!done && !order.orderCode.empty()) markPushed(filedOrders_, order.orderCode);
            fileRecord(limitBills, order.orderCode, order, done);
            ordersChanged();
            return true;
        },
        [](WSPushMessage& d, const MODList<MODLimitBill>& one) { d.onLimitBillChange(one); });
}

void KAVBizSDK::onCloseBillChange(const KAVPackage& package) {
    if (!pushGate(package)) return;
    eachPushed(
        *this, package.getValue("children"), &BizCloseBill::recordWith, "onCloseBillChange",
        [](const MODCloseBill&) -> const MODCloseBill* { return nullptr; },
        [this](MODCloseBill& bill, const MODSymbolInfo* symbol, const Json& child) -> bool {
            BizCloseBill::profitWithSymbol(bill, symbol,
                                           exchangeRateWith(bill.symbolCurrency, bill.accCurrency));
            // The closed trade is news whatever it does to the open ticket.
            if (bill.orderCode.empty()) return true;
            // Only a push that tells both how much was held and how much of it
            // is now closed changes the open ticket; one that carries less
            // leaves it to the ticket push.
            const auto closed = reply::readableNumber(child, "quantityClose");
            const auto held = reply::readableNumber(child, "quantityHold");
            if (!closed || !held || !(*closed > 0)) return true;
            const bool whole = *closed >= *held - kQuantityTolerance;
            // Also when the close overtakes the ticket's opening push.
            if (whole) markPushed(goneTickets_, bill.orderCode);
            const auto open = holdBills.find(bill.orderCode);
            if (open == holdBills.end()) return true;
            const std::shared_ptr<MODHoldBill> ticket = open->second;
            if (whole) {
                holdBills.erase(open);
            } else {
                // A ticket only ever shrinks: a close pushed again after later
                // ones gives back nothing they took.
                ticket->quantityHold = reply::toFloat(
                    std::min(static_cast<double>(ticket->quantityHold), *held - *closed));
                const auto tradedIn = getSymbolWith(ticket->symbolCode);
                BizHoldBill::markWithSymbol(
                    *ticket, tradedIn.get(),
                    exchangeRateWith(ticket->symbolCurrency, ticket->accCurrency));
            }
            holdBillsChanged(ticket->accId);
            return true;
        },
        [](WSPushMessage& d, const MODList<MODCloseBill>& one) { d.onCloseBillChange(one); });
}

void KAVBizSDK::onHoldPositionChange(const KAVPackage& package) {
    if (!pushGate(package)) return;
    eachPushed(
        *this, package.getValue("children"), &BizHoldPosition::recordWith, "onHoldPositionChange",
        [](const MODHoldPosition&) -> const MODHoldPosition* { return nullptr; },
        [this](MODHoldPosition& position, const MODSymbolInfo* symbol, const Json& child) -> bool {
            const MODHoldPosition* cached = cachedRecord(holdPosition, position.symbolCode);
            // A side whose quantity cannot be read keeps what the cache knows of it.
            const bool buyRead = reply::readableNumber(child, "quantityBuy").has_value();
            const bool sellRead = reply::readableNumber(child, "quantitySell").has_value();
            if (cached && !buyRead) {
                position.quantityBuy = cached->quantityBuy;
                position.moneyBuy = cached->moneyBuy;
            }
            if (cached && !sellRead) {
                position.quantitySell = cached->quantitySell;
                position.moneySell = cached->moneySell;
            }
            // A side whose quantity was read but whose money cannot be: at the
            // quantity the cache knows it keeps the cache's money; at another,
            // its money is that of the side's tickets when they hold exactly
            // the pushed lots. Else it has none, and so no average to count a
            // profit from (never one from a price of 0).
            const auto moneyOfSide = [&](const char* side, double quantity, double cachedQuantity,
                                         double cachedMoney) {
                if (cached && cachedQuantity == quantity) return cachedMoney;
                if (!symbol) return 0.0;
                double lots = 0, money = 0;
                for (const auto& entry : holdBills) {
                    const MODHoldBill* t = entry.second.get();
                    if (!t || t->symbolCode != position.symbolCode || t->bsCode != side) continue;
                    lots += t->quantityHold;
                    money += t->priceOpen * t->quantityHold * symbol->unit;
                }
                const bool same = std::fabs(lots - quantity) <= 1e-6 * std::max(1.0, quantity);
                return same && std::isfinite(money) ? money : 0.0;
            };
            if (buyRead && !reply::readableNumber(child, "moneyBuy"))
                position.moneyBuy = moneyOfSide("b", position.quantityBuy,
                                                cached ? cached->quantityBuy : 0.0,
                                                cached ? cached->moneyBuy : 0.0);
            if (sellRead && !reply::readableNumber(child, "moneySell"))
                position.moneySell = moneyOfSide("s", position.quantitySell,
                                                 cached ? cached->quantitySell : 0.0,
                                                 cached ? cached->moneySell : 0.0);
            // Priced as the position query prices it, so that a pushed
            // position and a queried one agree.
            BizHoldPosition::priceWithSymbol(
                position, symbol, exchangeRateWith(position.symbolCurrency, position.accCurrency));
            if (!cached && !buyRead && !sellRead) {
                Funs::log("净头寸数量无法读取，未记入：" + position.symbolCode);
                return false;
            }
            if (!position.symbolCode.empty()) markPushed(pushedPositions_, position.symbolCode);
            fileRecord(holdPosition, position.symbolCode, position,
                       !(position.quantityBuy > 0) && !(position.quantitySell > 0));
            return true;
        },
        [](WSPushMessage& d, const MODList<MODHoldPosition>& one) { d.onHoldPositionChange(one); });
}
